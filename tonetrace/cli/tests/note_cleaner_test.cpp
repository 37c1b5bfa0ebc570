#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cli/NoteCleaner.h"
#include "cli/NotesCommand.h"
#include "testing/PhraseRenderer.h"
#include "testing/ScratchDir.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 44100;

// A tone of `hz` between `from` and `to` seconds (silence elsewhere), -10 dBFS.
void AddTone(std::vector<int16_t>& x, double hz, double from, double to) {
  for (auto i = static_cast<size_t>(from * kRate); i < static_cast<size_t>(to * kRate) && i < x.size(); ++i)
    x[i] = static_cast<int16_t>(10362 * std::sin(2 * kPi * hz * static_cast<double>(i) / kRate));
}

TranscribedNote Engine(int note, double onset, double offset, std::vector<TimedValue> bends = {}) {
  return {note, onset, offset, 100, std::move(bends), {{onset, 90}}};
}

std::string Listing(const std::vector<TranscribedNote>& notes) {
  std::string s;
  for (const TranscribedNote& n : notes)
    s += std::to_string(n.note) + " " + std::to_string(n.onset) + "-" + std::to_string(n.offset) + "\n";
  return s;
}

TEST(NoteCleaner, AToneWithADropoutStaysOneNoteOfItsPitch) {
  std::vector<int16_t> x(static_cast<size_t>(2 * kRate));
  AddTone(x, 440, 0, 2);
  for (size_t i = 22050; i < 22150; ++i) x[i] = 0;  // 100 samples of nothing at 0.5 s
  for (int preset : {1, 6, 18}) {
    NoteTranscriber engine;
    ASSERT_TRUE(engine.Start(FindPreset(preset)->fields, kRate));
    engine.Feed(x.data(), static_cast<int64_t>(x.size()));
    engine.Finish();
    const std::vector<TranscribedNote> notes =
        CleanNotes(engine.Notes(), FindPreset(preset)->fields.bendRange, x, kRate);
    ASSERT_EQ(notes.size(), 1u) << "preset " << preset << "\n" << Listing(notes);
    EXPECT_EQ(notes[0].note, 69) << preset;
    EXPECT_LT(notes[0].onset, 0.02) << preset;
    EXPECT_GT(notes[0].offset, 1.95) << preset;
    // What a synthesizer plays stays on A: every bend of the note is near the centre.
    const int range = FindPreset(preset)->fields.bendRange;
    for (const TimedValue& b : notes[0].bends)
      EXPECT_LT(std::fabs(b.value - 8192) * range / 8191, 0.25) << preset << " at " << b.time;
  }
}

TEST(NoteCleaner, MergesRetriggersDropsBlipsAndSplitsWhereThePitchSettles) {
  std::vector<int16_t> x(static_cast<size_t>(3 * kRate));
  AddTone(x, 440, 0.1, 1.0);
  AddTone(x, 440, 1.1, 1.6);   // the same note again after a 100 ms rest
  AddTone(x, 493.88, 1.6, 2.5);  // legato up a whole tone
  const int range = 6;
  const int up2 = static_cast<int>(8192 + 2 * 8191 / range);
  const std::vector<TranscribedNote> engine = {
      Engine(69, 0.13, 0.40),
      Engine(69, 0.41, 0.60),   // re-trigger across 10 ms
      Engine(76, 0.60, 0.615),  // a 15 ms blip
      Engine(69, 0.615, 1.0),
      Engine(69, 1.13, 2.5, {{1.13, 8192}, {1.65, up2}}),  // the engine bends to B
  };
  const std::vector<TranscribedNote> notes = CleanNotes(engine, range, x, kRate);
  ASSERT_EQ(notes.size(), 3u) << Listing(notes);
  EXPECT_EQ(notes[0].note, 69);
  EXPECT_NEAR(notes[0].onset, 0.1, 0.01);  // back to the rise of the level
  EXPECT_NEAR(notes[0].offset, 1.0, 0.01);
  EXPECT_EQ(notes[1].note, 69);
  EXPECT_NEAR(notes[1].onset, 1.1, 0.01);
  EXPECT_EQ(notes[2].note, 71);
  EXPECT_NEAR(notes[2].onset, 1.65, 0.01);  // where the pitch left A
  EXPECT_LE(notes[1].offset, notes[2].onset);
  // Bends are relative to the cleaned note: B sounds as 71 with the bend at the centre.
  ASSERT_FALSE(notes[2].bends.empty());
  EXPECT_NEAR(notes[2].bends.back().value, 8192, 100);
  // The engine's velocity and expression go with the notes.
  EXPECT_EQ(notes[0].velocity, 100);
  ASSERT_FALSE(notes[0].expressions.empty());
  EXPECT_EQ(notes[0].expressions.front().value, 90);
}

TEST(NoteCleaner, MovesAWrongOctaveOrTwelfthToThePitchTheSignalRepeatsAt) {
  std::vector<int16_t> x(static_cast<size_t>(1 * kRate));
  AddTone(x, 440, 0, 1);
  for (int wrong : {57, 50, 81}) {  // an octave low, a twelfth low, an octave high
    const std::vector<TranscribedNote> notes =
        CleanNotes({Engine(wrong, 0.01, 1.0)}, 2, x, kRate);
    ASSERT_EQ(notes.size(), 1u) << wrong;
    EXPECT_EQ(notes[0].note, 69) << wrong;
  }
  // A different note is no harmonic relative: it stays (the engine heard what it heard).
  EXPECT_EQ(CleanNotes({Engine(66, 0.01, 1.0)}, 2, x, kRate).at(0).note, 66);
}

TEST(NoteCleaner, NothingInGivesNothingOut) {
  std::vector<int16_t> x(1000);
  EXPECT_TRUE(CleanNotes({}, 2, x, kRate).empty());
  EXPECT_TRUE(CleanNotes({Engine(69, 0, 0.01)}, 2, {}, kRate).empty());
  EXPECT_TRUE(CleanNotes({Engine(69, 0, 0.01)}, 2, x, 0).empty());
  // Notes beyond the samples (a caller's mismatch) are not read past the end.
  EXPECT_TRUE(CleanNotes({Engine(69, 5, 6)}, 2, x, kRate).empty());
}

// Rendered instruments: the cleaned list holds the played notes, at their onsets (50 ms,
// the tolerance of scripts/eval-notes) and pitches, and few others.
TEST(NoteCleaner, ListsThePlayedNotesOfRenderedInstruments) {
  if (!CanRenderPhrases()) GTEST_SKIP() << "fluidsynth or a General MIDI SoundFont is missing";
  ScratchDir scratch("tonetrace-notes");
  ASSERT_TRUE(scratch.Valid());
  const std::string& dir = scratch.Path();
  const struct {
    const char* name;
    int program, preset;
    std::vector<int> pitches;
  } phrases[] = {
      {"flute", 73, 18, {67, 72, 76, 79, 74, 71, 67}},
      {"violin", 40, 6, {67, 71, 74, 79, 76, 72, 69}},
      {"trumpet", 56, 10, {60, 64, 67, 72, 67, 64, 60}},
      {"voice", 53, 2, {50, 53, 57, 55, 52, 50}},
      {"bass", 33, 5, {36, 40, 43, 48, 43, 38, 36}},
  };
  for (const auto& p : phrases) {
    std::vector<PhraseNote> score;
    for (size_t i = 0; i < p.pitches.size(); ++i)
      score.push_back({p.pitches[i], 0.2 + 0.45 * static_cast<double>(i), 0.4, 100});
    const std::string midi = dir + "/" + p.name + ".mid";
    NotesRequest request;
    request.path = dir + "/" + p.name + ".wav";
    request.preset = p.preset;
    ASSERT_TRUE(WriteBytes(midi, BuildMidiFile(p.program, score)));
    ASSERT_TRUE(RenderMidiFile(midi, request.path, 44100)) << p.name;
    double rate = 0;
    std::string error;
    bool ok = false;
    const std::vector<TranscribedNote> found = ListNotes(request, rate, error, ok);
    ASSERT_TRUE(ok) << error;
    int matched = 0;
    for (const PhraseNote& played : score) {
      for (const TranscribedNote& n : found) {
        if (n.note == played.note && std::fabs(n.onset - played.start) <= 0.05) {
          ++matched;
          break;
        }
      }
    }
    const int played = static_cast<int>(score.size());
    EXPECT_GE(matched, played - 1) << p.name << "\n" << Listing(found);
    EXPECT_LE(found.size(), score.size() + 1) << p.name << "\n" << Listing(found);
  }
}

}  // namespace
