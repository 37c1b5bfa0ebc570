// Analysis speed on 60 s of a sung phrase (General MIDI "Voice Oohs" rendered by FluidSynth),
// preset 1, one decision per 16 samples, against Debian's aubionotes on the same file.
// The counter "x_realtime" is seconds of audio analysed per second of time.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/PitchTracker.h"
#include "presets/InstrumentPresets.h"
#include "testing/PhraseRenderer.h"

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 60;

struct Phrase {
  std::vector<int16_t> samples;
  std::string wavPath;  // the same phrase as a file, for aubionotes
  std::string folder;
  std::string error;
  ~Phrase() { RemoveFolder(folder); }
};

// A minute of singing in the default preset's range: notes of 0.35 to 1.1 s, some legato,
// some with breaths between them.
std::vector<PhraseNote> Score() {
  const int melody[] = {55, 57, 59, 60, 62, 64, 62, 60, 59, 57, 55, 52, 55, 60, 64, 67,
                        65, 64, 62, 60, 57, 59, 60, 62, 59, 55, 53, 52, 55, 57};
  std::vector<PhraseNote> notes;
  double t = 0.2;
  for (int i = 0; t < kSeconds - 1.5; ++i) {
    const double length = 0.35 + 0.25 * (i % 4);
    const double gap = i % 3 == 0 ? 0.12 : 0.0;
    notes.push_back({melody[i % 30], t, length - gap, 80 + 10 * (i % 4)});
    t += length;
  }
  return notes;
}

const Phrase& SungPhrase() {
  static Phrase phrase = [] {
    Phrase p;
    if (!CanRenderPhrases()) {
      p.error = "fluidsynth or a General MIDI SoundFont is missing";
      return p;
    }
    p.folder = MakeScratchFolder();
    const std::string midi = p.folder + "/sung.mid";
    const std::string raw = p.folder + "/sung.raw";
    p.wavPath = p.folder + "/sung.wav";
    if (!WriteBytes(midi, BuildMidiFile(53, Score())) || !RenderMidiFile(midi, raw, kRate) ||
        !RenderMidiFile(midi, p.wavPath, kRate)) {
      p.error = "rendering the phrase failed";
      return p;
    }
    p.samples = ReadRawStereoLeft(raw);
    p.samples.resize(static_cast<size_t>(kSeconds * kRate), 0);
    return p;
  }();
  return phrase;
}

void BM_AnalysisOfASungMinute(benchmark::State& state) {
  const Phrase& phrase = SungPhrase();
  if (!phrase.error.empty()) {
    state.SkipWithError(phrase.error.c_str());
    return;
  }
  const std::vector<int16_t>& s = phrase.samples;
  int notes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    PitchTracker* t = RebuildEngine(nullptr, FindPreset(1)->fields);
    MidiDecision d;
    notes = 0;
    state.ResumeTiming();
    for (size_t i = 0; i + 16 <= s.size(); i += 16) {
      WFETProcess(t, &s[i], 32);
      WFETCalc(t, &d);
      notes += d.noteOn >= 0;
    }
    benchmark::DoNotOptimize(notes);
    state.PauseTiming();
    WFETEndProcess(t);
    state.ResumeTiming();
  }
  state.counters["x_realtime"] =
      benchmark::Counter(kSeconds * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["notes"] = notes;
}
BENCHMARK(BM_AnalysisOfASungMinute)->Unit(benchmark::kMillisecond)->MinTime(2);

// The whole aubionotes program (start-up, decoding, analysis) on the same file.
void BM_AubionotesOnTheSameMinute(benchmark::State& state) {
  const Phrase& phrase = SungPhrase();
  if (!phrase.error.empty()) {
    state.SkipWithError(phrase.error.c_str());
    return;
  }
  if (std::system("command -v aubionotes >/dev/null 2>&1") != 0) {
    state.SkipWithError("aubionotes is not installed");
    return;
  }
  const std::string command = "aubionotes -i '" + phrase.wavPath + "' >/dev/null 2>&1";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("aubionotes failed");
      return;
    }
  }
  state.counters["x_realtime"] =
      benchmark::Counter(kSeconds * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AubionotesOnTheSameMinute)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
