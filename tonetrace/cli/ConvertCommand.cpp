#include "cli/ConvertCommand.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Graph.h"
#include "cli/NoteCleaner.h"
#include "cli/NotesCommand.h"
#include "media/MediaRoster.h"
#include "media/SoundFileReader.h"
#include "media/TimeSource.h"
#include "midi/MidiStore.h"
#include "node/SonaraNode.h"
#include "node/SonaraOwnerI.h"

const char kConvertUsage[] =
    "usage: tonetrace convert IN OUT.mid [--preset N] [--program P] [--transpose T]\n"
    "                         [--channel C] [--engine-only]\n"
    "\n"
    "Converts a monophonic recording (any sound file libsndfile reads; the left channel\n"
    "of a stereo file) into a standard MIDI file: notes, pitch bend and expression, as\n"
    "fast as the machine goes.\n"
    "\n"
    "  --preset N       instrument preset 1..20 (default 1; 'tonetrace notes --help' lists them)\n"
    "  --program P      General MIDI program 0..127 set at the start (default 0)\n"
    "  --transpose T    semitones added to every note, -48..48 (default 0)\n"
    "  --channel C      MIDI channel 1..16 of the notes (default 1)\n"
    "  --engine-only    the analysis engine's own notes, without the cleaning stage\n"
    "  -h, --help       this text\n";

namespace {

constexpr size_t kConvertBufferBytes = 65536;

// The node's owner during a conversion: records everything, tells when the file ended.
class ConvertOwner : public SonaraOwnerI {
 public:
  explicit ConvertOwner(int8_t channel) { mPreferences.internalSynth = 0; mPreferences.midiChannel = channel; }

  void ShowNote(int16_t, int16_t) override {}
  void ShowExpression(int16_t) override {}
  void ShowBend(int16_t) override {}
  void SetTranspose(float) override {}
  void SetBendRange(float) override {}
  void SetMidiMin(int32_t) override {}
  void SetMidiMax(int32_t) override {}
  void SetScopeBuffer(const int16_t*) override {}
  BMidiStore* RecordingStore() override { return mRecording.load() ? &mStore : nullptr; }
  SonaraPreferences Preferences() override { return mPreferences; }
  void Alert(const char*, const char*, const char*) override {}
  void Started() override { Set(mStarted); }
  void StreamEnded() override { Set(mEnded); }

  void Record() { mRecording.store(true); }
  // Wait for the node's start and for the end of the file.
  bool WaitForStart(std::chrono::milliseconds timeout) { return Wait(mStarted, timeout); }
  bool WaitForEnd(std::chrono::milliseconds timeout) { return Wait(mEnded, timeout); }
  BMidiStore& Store() { return mStore; }

 private:
  void Set(bool& flag) {
    {
      std::lock_guard<std::mutex> guard(mLock);
      flag = true;
    }
    mChanged.notify_all();
  }
  bool Wait(const bool& flag, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mLock);
    return mChanged.wait_for(lock, timeout, [&flag] { return flag; });
  }

  SonaraPreferences mPreferences;
  BMidiStore mStore;
  std::atomic<bool> mRecording{false};
  std::mutex mLock;
  std::condition_variable mChanged;
  bool mStarted = false;  // guarded by mLock
  bool mEnded = false;    // guarded by mLock
};

// Program, bend range and full expression at time 0, as a recording starts.
void SetUpEvents(BMidi& store, uchar channel, int program, int bendRange) {
  store.ProgramChange(channel, static_cast<uchar>(program), 0);
  store.ControlChange(channel, 101, 0, 0);
  store.ControlChange(channel, 100, 0, 0);
  store.ControlChange(channel, 6, static_cast<uchar>(bendRange & 0x7F), 0);
  store.ControlChange(channel, 38, 0, 0);
  store.ControlChange(channel, 11, 127, 0);
}

// The notes the node recorded (after the set-up events), as the cleaning stage takes them.
std::vector<TranscribedNote> RecordedNotes(const std::vector<BMidiStore::Event>& events) {
  std::vector<TranscribedNote> notes;
  bool open = false;
  for (const BMidiStore::Event& e : events) {
    const double t = e.time / 1000.0;
    const uint8 kind = e.bytes[0] & 0xF0;
    if (kind == 0x80 || (kind == 0x90 && e.bytes[2] == 0)) {
      if (open) notes.back().offset = t;
      open = false;
    } else if (kind == 0x90) {
      if (open) notes.back().offset = t;
      notes.push_back({e.bytes[1], t, t, e.bytes[2], {}, {}});
      open = true;
    } else if (kind == 0xE0 && open) {
      notes.back().bends.push_back({t, e.bytes[1] | (e.bytes[2] << 7)});
    } else if (kind == 0xB0 && e.bytes[1] == 11 && open) {
      notes.back().expressions.push_back({t, e.bytes[2]});
    }
  }
  if (open && !events.empty()) notes.back().offset = events.back().time / 1000.0;
  return notes;
}

uint32 Milliseconds(double seconds) {
  return seconds > 0 ? static_cast<uint32>(seconds * 1000 + 0.5) : 0;
}

// Writes the cleaned notes into `store` after its set-up events.
void WriteNotes(const std::vector<TranscribedNote>& notes, uchar channel, BMidiStore& store) {
  for (const TranscribedNote& n : notes) {
    const auto note = static_cast<uchar>(n.note);
    for (const TimedValue& e : n.expressions)
      store.ControlChange(channel, 11, static_cast<uchar>(e.value), Milliseconds(e.time));
    bool started = false;
    for (const TimedValue& b : n.bends) {
      if (!started && b.time > n.onset) {
        store.NoteOn(channel, note, static_cast<uchar>(n.velocity), Milliseconds(n.onset));
        started = true;
      }
      store.PitchBend(channel, static_cast<uchar>(b.value & 0x7F),
                      static_cast<uchar>((b.value >> 7) & 0x7F), Milliseconds(b.time));
    }
    if (!started) store.NoteOn(channel, note, static_cast<uchar>(n.velocity), Milliseconds(n.onset));
    store.NoteOff(channel, note, 0, Milliseconds(n.offset));
  }
}

int CountNotes(const BMidiStore& store) {
  int count = 0;
  for (const BMidiStore::Event& e : store.Events())
    count += (e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] > 0;
  return count;
}

// A place the file can be written: an existing, writable folder, and not a folder itself.
bool CheckOutput(const std::string& path, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target(path);
  if (fs::is_directory(target, ec)) {
    error = path + ": is a folder";
    return false;
  }
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, ec)) {
    error = path + ": the folder " + folder.string() + " does not exist";
    return false;
  }
  if (access(folder.c_str(), W_OK) != 0) {
    error = path + ": the folder " + folder.string() + " cannot be written";
    return false;
  }
  return true;
}

// The left channel of the file as 16-bit samples (what the node analysed).
bool ReadLeftChannel(const std::string& path, std::vector<int16_t>& samples, double& rate) {
  SoundFileReader reader;
  if (reader.Open(path) != B_OK) return false;
  rate = reader.SampleRate();
  const int32 channels = reader.Channels();
  std::vector<int16> block(static_cast<size_t>(4096 * channels));
  for (;;) {
    const int64 got = reader.ReadInt16(block.data(), 4096);
    if (got < 0) return false;
    if (got == 0) return true;
    for (int64 i = 0; i < got; ++i) samples.push_back(block[static_cast<size_t>(i * channels)]);
  }
}

// Runs the reader into the node; the node's MIDI ends up in owner.Store().
bool RunGraph(const ConvertRequest& request, ConvertOwner& owner, double& seconds,
              std::string& error) {
  status_t status = B_OK;
  BMediaRoster* roster = BMediaRoster::Roster(&status);
  if (roster == nullptr) {
    error = std::string("the media roster did not start: ") + media_strerror(status);
    return false;
  }
  const entry_ref file(request.input.c_str());
  dormant_node_info info;
  if ((status = roster->SniffRef(file, B_BUFFER_PRODUCER, &info)) != B_OK) {
    error = request.input + ": not a sound file that can be read (" + media_strerror(status) + ")";
    return false;
  }
  media_node reader;
  if ((status = roster->InstantiateDormantNode(info, &reader)) != B_OK) {
    error = std::string("couldn't instantiate file reader node: ") + media_strerror(status);
    return false;
  }
  bigtime_t duration = 0;
  if ((status = roster->SetRefFor(reader, file, false, &duration)) != B_OK) {
    roster->ReleaseNode(reader);
    error = request.input + ": " + media_strerror(status);
    return false;
  }
  seconds = static_cast<double>(duration) / 1e6;

  auto* node = new SonaraNode(&owner, nullptr, "", static_cast<int8>(request.channel));
  if ((status = roster->RegisterNode(node)) != B_OK) {
    node->Release();
    roster->ReleaseNode(reader);
    error = std::string("unable to register TonetraceNode node: ") + media_strerror(status);
    return false;
  }
  // Queued for the node's thread before anything starts: applied first.
  const int32 preset = request.preset, program = request.program;
  const float transpose = request.transpose;
  node->SetParameterValue(SonaraCore::kPreset, 0, &preset, sizeof preset);
  node->SetParameterValue(SonaraCore::kProgram, 0, &program, sizeof program);
  node->SetParameterValue(SonaraCore::kTranspose, 0, &transpose, sizeof transpose);

  media_output output;
  media_input input;
  // Offline, large buffers: the file goes through in a few hundred of them.
  const bool connected =
      ConnectToTonetrace(roster, reader, node, kConvertBufferBytes, output, input, error);
  bool ended = false;
  if (connected) {
    roster->SetRunModeFor(reader, B_OFFLINE);
    roster->SetRunModeFor(node->Node(), B_OFFLINE);
    owner.Record();
    BTimeSource* clock = roster->MakeTimeSourceFor(node->Node());
    const bigtime_t now = clock != nullptr ? clock->Now() : 0;
    if (clock != nullptr) clock->Release();
    // The node's clock must run before the first buffer comes.
    roster->StartNode(node->Node(), now);
    if (!owner.WaitForStart(std::chrono::seconds(10))) {
      error = "the converter node did not start";
    } else {
      roster->StartNode(reader, now);
      // Offline the graph runs faster than the clock; a stall still ends.
      ended = owner.WaitForEnd(std::chrono::milliseconds(60000 + duration / 1000));
      if (!ended) error = "the conversion stopped before the end of the file";
    }
    roster->StopNode(reader, 0, true);
    roster->StopNode(node->Node(), 0, true);
    roster->Disconnect(output, input);
  }
  roster->ReleaseNode(reader);
  node->Release();
  return ended;
}

}  // namespace

int ParseConvertArguments(int argc, const char* const* argv, ConvertRequest& request,
                          bool& wantsHelp, std::string& error) {
  wantsHelp = false;
  std::vector<std::string> files;
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
    if (arg == "--preset" || arg == "--program" || arg == "--transpose" || arg == "--channel") {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return kExitUsage;
      }
      const char* value = argv[++i];
      double transpose = 0;
      bool ok = true;
      if (arg == "--preset")
        ok = ParseWhole(value, 1, 20, request.preset);
      else if (arg == "--program")
        ok = ParseWhole(value, 0, 127, request.program);
      else if (arg == "--channel")
        ok = ParseWhole(value, 1, 16, request.channel);
      else if ((ok = ParseDecimal(value, -48, 48, transpose)))
        request.transpose = static_cast<float>(transpose);
      if (!ok) {
        const char* range = arg == "--preset"    ? "a number from 1 to 20"
                            : arg == "--program" ? "a number from 0 to 127"
                            : arg == "--channel" ? "a number from 1 to 16"
                                                 : "a number of semitones from -48 to 48";
        error = arg + " must be " + range + ", not '" + value + "'";
        return kExitUsage;
      }
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option '" + arg + "'";
      return kExitUsage;
    }
    files.push_back(arg);
  }
  if (files.size() != 2) {
    error = files.size() < 2 ? "give a sound file and the MIDI file to write"
                             : "one sound file and one MIDI file, not " +
                                   std::to_string(files.size()) + " names";
    return kExitUsage;
  }
  request.input = files[0];
  request.output = files[1];
  return kExitOk;
}

bool ConvertFile(const ConvertRequest& request, ConvertResult& result, std::string& error) {
  const auto started = std::chrono::steady_clock::now();
  if (!CheckOutput(request.output, error)) return false;
  ConvertOwner owner(static_cast<int8_t>(request.channel));
  const auto channel = static_cast<uchar>(request.channel);
  const int bendRange = FindPreset(request.preset)->fields.bendRange;
  SetUpEvents(owner.Store(), channel, request.program, bendRange);
  const size_t setUp = static_cast<size_t>(owner.Store().CountEvents());
  if (!RunGraph(request, owner, result.seconds, error)) return false;

  BMidiStore cleaned;
  BMidiStore* out = &owner.Store();
  if (!request.engineOnly) {
    std::vector<int16_t> samples;
    double rate = 0;
    if (!ReadLeftChannel(request.input, samples, rate)) {
      error = request.input + ": the sound data could not be read again";
      return false;
    }
    std::vector<BMidiStore::Event> events = owner.Store().Events();
    events.erase(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(setUp));
    const std::vector<TranscribedNote> notes =
        CleanNotes(RecordedNotes(events), bendRange, samples, rate);
    SetUpEvents(cleaned, channel, request.program, bendRange);
    WriteNotes(notes, channel, cleaned);
    out = &cleaned;
  }
  const status_t status = out->Export(request.output.c_str(), 0);
  if (status != B_OK) {
    error = request.output + ": could not be written (" + media_strerror(status) + ")";
    return false;
  }
  result.notes = CountNotes(*out);
  result.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return true;
}

int RunConvertCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  ConvertRequest request;
  const int answered = ParseOrAnswer(
      "convert", kConvertUsage,
      [&](bool& wantsHelp, std::string& error) {
        return ParseConvertArguments(argc, argv, request, wantsHelp, error);
      },
      out, err);
  if (answered >= 0) return answered;
  std::string error;
  ConvertResult result;
  if (!ConvertFile(request, result, error)) {
    err << "tonetrace convert: " << error << "\n";
    return kExitFailure;
  }
  out << request.output << ": " << result.notes << " notes from " << result.seconds
      << " s of sound\n";
  return kExitOk;
}
