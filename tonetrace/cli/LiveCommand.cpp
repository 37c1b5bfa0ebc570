#include "cli/LiveCommand.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Graph.h"
#include "cli/NotesCommand.h"
#include "media/MediaRoster.h"
#include "media/TimeSource.h"
#include "node/SonaraNode.h"
#include "node/SonaraOwnerI.h"

const char kLiveUsage[] =
    "usage: tonetrace live [--preset N] [--program P] [--channel C] [--midi-out PORT]\n"
    "                      [--no-synth] [--print-notes] [--seconds S]\n"
    "\n"
    "Plays what the default audio input hears as MIDI: on the General MIDI synthesizer\n"
    "and/or a MIDI port of this computer, until Ctrl-C. SUITE_AUDIO_INPUT chooses the\n"
    "input (\"tone:440\" a test tone, \"file:PATH\" a sound file in a loop).\n"
    "\n"
    "  --preset N       instrument preset 1..20 (default 1; 'tonetrace notes --help' lists them)\n"
    "  --program P      General MIDI program 0..127 (default 0)\n"
    "  --channel C      MIDI channel 1..16 of the notes (default 1)\n"
    "  --midi-out PORT  also send the MIDI to this port ('patchora ports' lists them)\n"
    "  --no-synth       no General MIDI synthesizer\n"
    "  --print-notes    print the notes as they come (the default on a terminal)\n"
    "  --seconds S      stop after S seconds\n"
    "  -h, --help       this text\n";

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void Interrupt(int) { gInterrupted.store(true); }

// The node's owner while playing live: hands the notes to the printing thread through a
// ring that the node's thread fills without waiting.
class LiveOwner : public SonaraOwnerI {
 public:
  explicit LiveOwner(const LiveRequest& request) {
    mPreferences.internalSynth = request.synth ? 1 : 0;
    mPreferences.midiPort = request.midiOut.empty() ? 0 : 1;
    mPreferences.midiPortName = request.midiOut;
    mPreferences.midiChannel = static_cast<int8_t>(request.channel);
  }

  void ShowNote(int16_t note, int16_t velocity) override {
    const uint32_t head = mHead.load(std::memory_order_relaxed);
    if (head - mTail.load(std::memory_order_acquire) >= kRing) return;  // the printer is behind
    mNotes[head % kRing] = {note, velocity};
    mHead.store(head + 1, std::memory_order_release);
  }
  void ShowExpression(int16_t) override {}
  void ShowBend(int16_t) override {}
  void SetTranspose(float) override {}
  void SetBendRange(float) override {}
  void SetMidiMin(int32_t) override {}
  void SetMidiMax(int32_t) override {}
  void SetScopeBuffer(const int16_t*) override {}
  BMidiStore* RecordingStore() override { return nullptr; }
  SonaraPreferences Preferences() override { return mPreferences; }
  void Alert(const char* title, const char* text, const char*) override {
    std::fprintf(stderr, "tonetrace live: %s: %s\n", title, text);
  }

  // Prints the notes that came since the last call.
  void Print(std::ostream& out) {
    for (uint32_t tail = mTail.load(); tail != mHead.load(std::memory_order_acquire); ++tail) {
      const Shown& n = mNotes[tail % kRing];
      if (n.note > 0)
        out << "note " << n.note << " on, velocity " << n.velocity << "\n";
      else
        out << "note off\n";
      mTail.store(tail + 1, std::memory_order_release);
    }
    out.flush();
  }

 private:
  struct Shown {
    int16_t note, velocity;
  };
  static constexpr uint32_t kRing = 256;
  SonaraPreferences mPreferences;
  Shown mNotes[kRing] = {};
  std::atomic<uint32_t> mHead{0}, mTail{0};
};

}  // namespace

int ParseLiveArguments(int argc, const char* const* argv, LiveRequest& request,
                       bool& wantsHelp, std::string& error) {
  wantsHelp = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      wantsHelp = true;
      return kExitOk;
    }
    if (arg == "--no-synth") {
      request.synth = false;
    } else if (arg == "--print-notes") {
      request.printNotes = true;
    } else if (arg == "--preset" || arg == "--program" || arg == "--channel" ||
               arg == "--midi-out" || arg == "--seconds") {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return kExitUsage;
      }
      const char* value = argv[++i];
      bool ok = true;
      if (arg == "--preset")
        ok = ParseWhole(value, 1, 20, request.preset);
      else if (arg == "--program")
        ok = ParseWhole(value, 0, 127, request.program);
      else if (arg == "--channel")
        ok = ParseWhole(value, 1, 16, request.channel);
      else if (arg == "--seconds")
        ok = ParseDecimal(value, 0.001, 1e7, request.seconds);
      else
        ok = *(request.midiOut = value).c_str() != '\0';
      if (!ok) {
        error = arg + " does not take '" + value + "' (see --help for its range)";
        return kExitUsage;
      }
    } else {
      error = "unknown argument '" + arg + "'";
      return kExitUsage;
    }
  }
  if (!request.synth && request.midiOut.empty()) {
    error = "with --no-synth, give --midi-out PORT: the notes must go somewhere";
    return kExitUsage;
  }
  return kExitOk;
}

int RunLiveCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  LiveRequest request;
  const int answered = ParseOrAnswer(
      "live", kLiveUsage,
      [&](bool& wantsHelp, std::string& error) {
        return ParseLiveArguments(argc, argv, request, wantsHelp, error);
      },
      out, err);
  if (answered >= 0) return answered;
  std::string error;
  const bool print = request.printNotes || isatty(STDOUT_FILENO);
  status_t status = B_OK;
  BMediaRoster* roster = BMediaRoster::Roster(&status);
  media_node input;
  if (roster == nullptr || (status = roster->GetAudioInput(&input)) != B_OK) {
    err << "tonetrace live: no audio input (" << media_strerror(status) << ")\n";
    return kExitFailure;
  }
  LiveOwner owner(request);
  auto* node = new SonaraNode(&owner, nullptr, "", static_cast<int8>(request.channel));
  const std::string problems = node->OutputProblems();
  if (!problems.empty()) err << "tonetrace live: " << problems << "\n";
  if (!node->HasSynth() && !node->HasPort()) {
    err << "tonetrace live: neither a synthesizer nor a MIDI port to play on\n";
    node->Release();
    roster->ReleaseNode(input);
    return kExitFailure;
  }
  int code = kExitOk;
  media_output output;
  media_input in;
  if ((status = roster->RegisterNode(node)) != B_OK) {
    err << "tonetrace live: unable to register TonetraceNode node (" << media_strerror(status)
        << ")\n";
    code = kExitFailure;
  } else if (!ConnectToTonetrace(roster, input, node, 0, output, in, error)) {
    err << "tonetrace live: " << error << "\n";
    code = kExitFailure;
  }
  if (code == kExitOk) {
    const int32 preset = request.preset, program = request.program;
    node->SetParameterValue(SonaraCore::kPreset, 0, &preset, sizeof preset);
    node->SetParameterValue(SonaraCore::kProgram, 0, &program, sizeof program);
    BTimeSource* clock = roster->MakeTimeSourceFor(input);
    const bigtime_t now = clock != nullptr ? clock->Now() : 0;
    bigtime_t latency = 0;
    roster->GetLatencyFor(input, &latency);
    roster->StartNode(node->Node(), now);
    roster->StartNode(input, now + latency);
    if (clock != nullptr) clock->Release();

    struct sigaction action = {};
    action.sa_handler = Interrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    err << "tonetrace live: listening (Ctrl-C ends)\n";
    const auto start = std::chrono::steady_clock::now();
    while (!gInterrupted.load()) {
      // The signal ends the sleep early; the notes are printed a few times a second.
      usleep(50000);
      if (print) owner.Print(out);
      const double elapsed =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (request.seconds > 0 && elapsed >= request.seconds) break;
    }
    roster->StopNode(input, 0, true);
    roster->StopNode(node->Node(), 0, true);
    roster->Disconnect(output, in);
    if (print) owner.Print(out);
  }
  node->Release();
  roster->ReleaseNode(input);
  return code;
}
