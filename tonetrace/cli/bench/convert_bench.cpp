// `tonetrace convert` of 60 s of a rendered phrase, end to end through the media roster
// (file reader node, pitch-tracking node, MIDI store, standard MIDI file), with and
// without the cleaning stage. The counters: "x_real_time", seconds of sound per second of
// wall time; "x_cpu", per second of processor time of the whole process (all its threads),
// which a loaded machine does not inflate.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <string>
#include <vector>

#include "cli/ConvertCommand.h"
#include "testing/PhraseRenderer.h"

namespace {

// A minute of a flute playing a scale up and down, rendered once.
const std::string& Phrase() {
  // Removed when the program ends.
  static const struct Folder {
    std::string path = MakeScratchFolder();
    ~Folder() { RemoveFolder(path); }
  } folder;
  static const std::string path = [] {
    const std::string& dir = folder.path;
    std::vector<PhraseNote> notes;
    const int scale[] = {72, 74, 76, 77, 79, 81, 83, 84, 83, 81, 79, 77, 76, 74};
    for (int i = 0; i < 120; ++i)
      notes.push_back({scale[i % 14], 0.2 + 0.5 * i, 0.45, 100});
    const std::string midi = dir + "/minute.mid", wav = dir + "/minute.wav";
    if (!WriteBytes(midi, BuildMidiFile(73, notes)) || !RenderMidiFile(midi, wav, 44100))
      return std::string();
    return wav;
  }();
  return path;
}

double ProcessSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Convert(benchmark::State& state, bool engineOnly) {
  if (!CanRenderPhrases() || Phrase().empty()) {
    state.SkipWithError("fluidsynth or a General MIDI SoundFont is missing");
    return;
  }
  ConvertRequest request;
  request.input = Phrase();
  request.output = Phrase() + ".mid";
  request.preset = 18;
  request.engineOnly = engineOnly;
  double sound = 0, wall = 0;
  const double cpuBefore = ProcessSeconds();
  for (auto _ : state) {
    ConvertResult result;
    std::string error;
    if (!ConvertFile(request, result, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    sound += result.seconds;
    wall += result.wallSeconds;
  }
  const double cpu = ProcessSeconds() - cpuBefore;
  state.counters["x_real_time"] = wall > 0 ? sound / wall : 0;
  state.counters["x_cpu"] = cpu > 0 ? sound / cpu : 0;
}

void BM_ConvertMinuteCleaned(benchmark::State& state) { Convert(state, false); }
void BM_ConvertMinuteEngineOnly(benchmark::State& state) { Convert(state, true); }

BENCHMARK(BM_ConvertMinuteCleaned)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertMinuteEngineOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
