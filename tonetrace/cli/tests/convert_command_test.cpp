// `tonetrace convert`: rendered instruments through the roster into a MIDI file that an
// independent reader (mido) reads back with the played notes at their times; bad input.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "cli/NotesCommand.h"
#include "testing/PhraseRenderer.h"
#include "testing/ScratchDir.h"

namespace {

struct Result {
  int code;
  std::string out, err;
};

Result Tonetrace(std::vector<const char*> args) {
  args.insert(args.begin(), "tonetrace");
  std::ostringstream out, err;
  const int code = RunCommandLine(static_cast<int>(args.size()), args.data(), out, err);
  return {code, out.str(), err.str()};
}

struct Played {
  int note;
  long onset;  // milliseconds
};

// The notes of a file as mido reads it (note on with a velocity above 0).
std::vector<Played> NotesOf(const std::vector<ReadMidiEvent>& events, int channel) {
  std::vector<Played> notes;
  for (const ReadMidiEvent& e : events)
    if (e.bytes.size() == 3 && e.bytes[0] == 0x90 + channel - 1 && e.bytes[2] > 0)
      notes.push_back({e.bytes[1], e.milliseconds});
  return notes;
}

class ConvertCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(mDir.Valid());
    mDir.UseAsHome();
  }
  ScratchDir mDir{"tonetrace-convert"};
};

TEST_F(ConvertCommandTest, WritesThePlayedNotesAtTheirTimes) {
  if (!CanRenderPhrases()) GTEST_SKIP() << "fluidsynth or a General MIDI SoundFont is missing";
  if (!HaveMido()) GTEST_SKIP() << "/usr/bin/python3 with mido is missing";
  const struct {
    const char* name;
    int program, preset;
    std::vector<int> pitches;
  } phrases[] = {
      {"flute", 73, 18, {72, 74, 76, 77, 79, 77, 76}},
      {"trumpet", 56, 10, {60, 64, 67, 72, 67, 64, 60}},
      {"voice", 53, 2, {50, 53, 57, 55, 52, 50}},
      {"bass", 33, 5, {36, 40, 43, 48, 43, 38, 36}},
  };
  for (const auto& p : phrases) {
    std::vector<PhraseNote> score;
    for (size_t i = 0; i < p.pitches.size(); ++i)
      score.push_back({p.pitches[i], 0.3 + 0.5 * static_cast<double>(i), 0.45, 100});
    const std::string midi = mDir.File(std::string(p.name) + "-score.mid");
    const std::string wav = mDir.File(std::string(p.name) + ".wav");
    ASSERT_TRUE(WriteBytes(midi, BuildMidiFile(p.program, score)));
    ASSERT_TRUE(RenderMidiFile(midi, wav, 44100)) << p.name;
    const std::string out = mDir.File(std::string(p.name) + ".mid");
    const std::string preset = std::to_string(p.preset), program = std::to_string(p.program);
    Result r = Tonetrace({"convert", wav.c_str(), out.c_str(), "--preset", preset.c_str(),
                          "--program", program.c_str(), "--channel", "3"});
    ASSERT_EQ(r.code, 0) << r.err;
    bool ok = false;
    std::string format;
    const std::vector<ReadMidiEvent> events = ReadMidiWithMido(out, ok, &format);
    ASSERT_TRUE(ok) << p.name << ": mido refused the file";
    EXPECT_EQ(format, "format 0 1\n");

    // The set-up events first: program, bend range, full expression, on the channel.
    const int bendRange = FindPreset(p.preset)->fields.bendRange;
    const std::vector<std::vector<int>> setUp = {
        {0xC2, p.program}, {0xB2, 101, 0}, {0xB2, 100, 0}, {0xB2, 6, bendRange},
        {0xB2, 38, 0}, {0xB2, 11, 127}};
    ASSERT_GE(events.size(), setUp.size());
    for (size_t i = 0; i < setUp.size(); ++i) {
      EXPECT_EQ(events[i].bytes, setUp[i]) << p.name << " set-up event " << i;
      EXPECT_EQ(events[i].milliseconds, 0);
    }
    // The played notes, within the tolerances of scripts/eval-notes (50 ms, the note).
    const std::vector<Played> found = NotesOf(events, 3);
    int matched = 0;
    std::string listing;
    for (const Played& n : found) listing += std::to_string(n.note) + "@" + std::to_string(n.onset) + " ";
    for (const PhraseNote& played : score) {
      const long at = std::lround(played.start * 1000);
      for (const Played& n : found)
        if (n.note == played.note && std::labs(n.onset - at) <= 50) {
          ++matched;
          break;
        }
    }
    EXPECT_GE(matched, static_cast<int>(score.size()) - 1) << p.name << ": " << listing;
    EXPECT_LE(found.size(), score.size() + 1) << p.name << ": " << listing;
    // Bends and expression travel with the notes.
    bool bend = false;
    for (const ReadMidiEvent& e : events) bend = bend || e.bytes[0] == 0xE2;
    EXPECT_TRUE(bend) << p.name;
  }
}

TEST_F(ConvertCommandTest, TheEnginesOwnNotesOnRequest) {
  if (!CanRenderPhrases() || !HaveMido()) GTEST_SKIP() << "fluidsynth, a SoundFont or mido is missing";
  const std::string midi = mDir.File("score.mid"), wav = mDir.File("flute.wav");
  ASSERT_TRUE(WriteBytes(midi, BuildMidiFile(73, {{72, 0.3, 1.0}, {79, 1.5, 1.0}})));
  ASSERT_TRUE(RenderMidiFile(midi, wav, 44100));
  const std::string out = mDir.File("engine.mid");
  Result r = Tonetrace({"convert", wav.c_str(), out.c_str(), "--preset", "18", "--engine-only",
                        "--transpose", "-12"});
  ASSERT_EQ(r.code, 0) << r.err;
  bool ok = false;
  const std::vector<Played> found = NotesOf(ReadMidiWithMido(out, ok), 1);
  ASSERT_TRUE(ok);
  // The engine's notes, transposed: an octave below what was played, where it heard them
  // (this flute starts flat, and the engine fixes the note at its onset: 71 or 72).
  bool low = false, high = false;
  for (const Played& n : found) {
    low = low || ((n.note == 59 || n.note == 60) && n.onset >= 300 && n.onset < 450);
    high = high || (n.note == 67 && n.onset >= 1500 && n.onset < 1650);
  }
  std::string listing;
  for (const Played& n : found) listing += std::to_string(n.note) + "@" + std::to_string(n.onset) + " ";
  EXPECT_TRUE(low && high) << listing;
}

TEST_F(ConvertCommandTest, BadInputGivesAClearMessageAndWritesNothing) {
  const std::string text = mDir.File("words.wav"), out = mDir.File("out.mid");
  std::ofstream(text) << "RIFF but no sound in here";
  std::ofstream(out) << "the old file";
  const std::string folder = mDir.File("no-such-folder/out.mid");
  const std::string missing = mDir.File("missing.wav");
  const struct {
    std::vector<const char*> args;
    int code;
    const char* message;
  } cases[] = {
      {{"convert", text.c_str(), out.c_str()}, kExitFailure, "not a sound file"},
      {{"convert", missing.c_str(), out.c_str()}, kExitFailure, "missing.wav"},
      {{"convert", text.c_str(), folder.c_str()}, kExitFailure, "does not exist"},
      {{"convert", text.c_str(), mDir.Path().c_str()}, kExitFailure, "is a folder"},
      {{"convert", text.c_str(), out.c_str(), "--preset", "21"}, kExitUsage, "--preset must be"},
      {{"convert", text.c_str(), out.c_str(), "--preset", "0"}, kExitUsage, "--preset must be"},
      {{"convert", text.c_str(), out.c_str(), "--program", "128"}, kExitUsage, "--program"},
      {{"convert", text.c_str(), out.c_str(), "--channel", "17"}, kExitUsage, "--channel"},
      {{"convert", text.c_str(), out.c_str(), "--transpose", "x"}, kExitUsage, "--transpose"},
      {{"convert", text.c_str()}, kExitUsage, "give a sound file and the MIDI file"},
      {{"convert", text.c_str(), out.c_str(), "--loud"}, kExitUsage, "unknown option"},
  };
  for (const auto& c : cases) {
    Result r = Tonetrace(c.args);
    EXPECT_EQ(r.code, c.code) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
  std::ifstream in(out);
  std::stringstream kept;
  kept << in.rdbuf();
  EXPECT_EQ(kept.str(), "the old file");
  Result help = Tonetrace({"convert", "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("--engine-only"), std::string::npos);
}

}  // namespace
