// `tonetrace live` on a test tone (the default input the roster makes from
// SUITE_AUDIO_INPUT): the notes reach the named MIDI port and are printed.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/NotesCommand.h"
#include "midi/MidiConsumer.h"
#include "testing/ScratchDir.h"

namespace {

// Before the roster makes its default input: an A at -10 dBFS. Local MIDI ports only.
const bool kTone = setenv("SUITE_AUDIO_INPUT", "tone:440:-10:1", 1) == 0 &&
                   setenv("SUITE_MIDI_API", "none", 1) == 0;

class NoteCounter : public BMidiLocalConsumer {
 public:
  using BMidiLocalConsumer::BMidiLocalConsumer;
  // Channels count from 0 here: 0 is MIDI channel 1.
  void NoteOn(uchar channel, uchar note, uchar velocity, bigtime_t) override {
    if (note == 69 && velocity > 0 && channel < 2) ++mA[channel];
  }
  std::atomic<int> mA[2] = {0, 0};

 protected:
  ~NoteCounter() override = default;
};

struct Result {
  int code;
  std::string out, err;
};

Result Live(std::vector<const char*> args) {
  args.insert(args.begin(), {"tonetrace", "live"});
  std::ostringstream out, err;
  const int code = RunCommandLine(static_cast<int>(args.size()), args.data(), out, err);
  return {code, out.str(), err.str()};
}

TEST(LiveCommand, PlaysTheInputOnTheNamedPortAndPrintsTheNotes) {
  ASSERT_TRUE(kTone);
  ScratchDir home("tonetrace-live");
  home.UseAsHome();
  auto* port = new NoteCounter("live test synth");
  ASSERT_EQ(port->Register(), B_OK);
  Result r = Live({"--no-synth", "--midi-out", "live test synth", "--channel", "2",
                   "--print-notes", "--seconds", "1.5"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("note 69 on"), std::string::npos) << r.out << r.err;
  EXPECT_EQ(port->mA[0].load(), 0) << "channel 2 was asked for";
  EXPECT_GE(port->mA[1].load(), 1) << "the port got note on 69 on channel 2";

  r = Live({"--no-synth", "--midi-out", "live test synth", "--print-notes", "--seconds", "1.5"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_GE(port->mA[0].load(), 1) << "the port got note on 69 on channel 1";
  port->Unregister();
  port->Release();
}

TEST(LiveCommand, AMissingPortIsNamedAndTheSynthPlaysOn) {
  ASSERT_TRUE(kTone);
  ScratchDir home("tonetrace-live");
  home.UseAsHome();
  Result r = Live({"--midi-out", "no such port", "--print-notes", "--seconds", "1"});
  EXPECT_NE(r.err.find("no MIDI port named 'no such port'"), std::string::npos) << r.err;
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("note 69 on"), std::string::npos) << r.out;

  r = Live({"--no-synth"});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_NE(r.err.find("give --midi-out"), std::string::npos) << r.err;
  r = Live({"--preset", "0"});
  EXPECT_EQ(r.code, kExitUsage);
  r = Live({"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("--midi-out PORT"), std::string::npos);
}

}  // namespace
