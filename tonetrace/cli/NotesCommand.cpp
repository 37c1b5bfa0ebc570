#include "cli/NotesCommand.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/Arguments.h"
#include "cli/NoteCleaner.h"
#include "cli/NotesOutput.h"
#include "media/SoundFileReader.h"

const char kNotesUsage[] =
    "usage: tonetrace notes FILE [--preset N] [--format tsv|json] [--engine-only]\n"
    "\n"
    "Lists the notes of a monophonic recording (any sound file libsndfile reads; the left\n"
    "channel of a stereo file) as the converter would play them.\n"
    "\n"
    "  --preset N       instrument preset 1..20 (default 1, \"Default\"):\n"
    "                   1 Default, 2 Male voice, 3 Female voice, 4 Guitars, 5 Bass,\n"
    "                   6 Violon, 7 Alto, 8 Violoncelle, 9 Contrebasse, 10 Trompette,\n"
    "                   11 Trombone, 12 Cor, 13 Tuba, 14 Cor Anglais, 15 Clarinette,\n"
    "                   16 Basson, 17 Piccolo, 18 Flute, 19 Hautbois, 20 Flute alto\n"
    "  --format tsv     one line per note: MIDI note, onset, offset (seconds), tab-separated\n"
    "  --format json    the notes with velocity and the bend and expression changes\n"
    "  --engine-only    the analysis engine's own note decisions, without the cleaning\n"
    "                   that merges re-triggers, drops blips and places onsets\n"
    "  -h, --help       this text\n";

namespace {

bool ParseInt(const char* text, int& value) {
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < -1000000 || v > 1000000) return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace

int ParseNotesArguments(int argc, const char* const* argv, NotesRequest& request,
                        bool& wantsHelp, std::string& error) {
  wantsHelp = false;
  bool havePath = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      wantsHelp = true;
      return kExitOk;
    }
    if (arg == "--engine-only") {
      request.engineOnly = true;
      continue;
    }
    if (arg == "--preset" || arg == "--format") {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return kExitUsage;
      }
      const char* value = argv[++i];
      if (arg == "--preset") {
        if (!ParseInt(value, request.preset) || FindPreset(request.preset) == nullptr) {
          error = std::string("--preset must be a number from 1 to 20, not '") + value + "'";
          return kExitUsage;
        }
      } else if (std::strcmp(value, "tsv") == 0) {
        request.format = NotesFormat::kTsv;
      } else if (std::strcmp(value, "json") == 0) {
        request.format = NotesFormat::kJson;
      } else {
        error = std::string("--format must be tsv or json, not '") + value + "'";
        return kExitUsage;
      }
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option '" + arg + "'";
      return kExitUsage;
    }
    if (havePath) {
      error = "only one file at a time ('" + request.path + "' and '" + arg + "')";
      return kExitUsage;
    }
    request.path = arg;
    havePath = true;
  }
  if (!havePath) {
    error = "no sound file given";
    return kExitUsage;
  }
  return kExitOk;
}

bool TranscribeFile(const NotesRequest& request, NoteTranscriber& transcriber,
                    double& sampleRate, std::string& error, std::vector<int16_t>* keep) {
  const InstrumentPreset* preset = FindPreset(request.preset);
  if (preset == nullptr) {
    error = "no preset " + std::to_string(request.preset);
    return false;
  }
  SoundFileReader reader;
  if (reader.Open(request.path) != B_OK) {
    error = reader.ErrorText();
    return false;
  }
  sampleRate = reader.SampleRate();
  if (!transcriber.Start(preset->fields, sampleRate)) {
    error = request.path + ": the sample rate " + std::to_string(reader.SampleRate()) +
            " Hz is outside what the analysis takes (more than 4000 and less than 200000 Hz)";
    return false;
  }
  const int32_t channels = reader.Channels();
  constexpr int64_t kBlockFrames = 4096;
  std::vector<int16_t> frames(static_cast<size_t>(kBlockFrames * channels));
  std::vector<int16_t> mono(static_cast<size_t>(kBlockFrames));
  for (;;) {
    const int64_t got = reader.ReadInt16(frames.data(), kBlockFrames);
    if (got < 0) {
      error = request.path + ": the sound data could not be read to its end";
      return false;
    }
    if (got == 0) break;
    for (int64_t i = 0; i < got; ++i) mono[static_cast<size_t>(i)] = frames[static_cast<size_t>(i * channels)];
    transcriber.Feed(mono.data(), got);
    if (keep != nullptr) keep->insert(keep->end(), mono.begin(), mono.begin() + got);
  }
  transcriber.Finish();
  return true;
}

std::vector<TranscribedNote> ListNotes(const NotesRequest& request, double& sampleRate,
                                       std::string& error, bool& ok) {
  NoteTranscriber transcriber;
  std::vector<int16_t> samples;
  ok = TranscribeFile(request, transcriber, sampleRate, error,
                      request.engineOnly ? nullptr : &samples);
  if (!ok) return {};
  if (request.engineOnly) return transcriber.Notes();
  return CleanNotes(transcriber.Notes(), FindPreset(request.preset)->fields.bendRange, samples,
                    sampleRate);
}

int RunNotesCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  NotesRequest request;
  const int answered = ParseOrAnswer(
      "notes", kNotesUsage,
      [&](bool& wantsHelp, std::string& error) {
        return ParseNotesArguments(argc, argv, request, wantsHelp, error);
      },
      out, err);
  if (answered >= 0) return answered;
  std::string error;
  double sampleRate = 0;
  bool ok = false;
  const std::vector<TranscribedNote> notes = ListNotes(request, sampleRate, error, ok);
  if (!ok) {
    err << "tonetrace notes: " << error << "\n";
    return kExitFailure;
  }
  if (request.format == NotesFormat::kJson)
    WriteNotesJson(out, notes, sampleRate, request.preset);
  else
    WriteNotesTsv(out, notes);
  out.flush();
  return out ? kExitOk : kExitFailure;
}
