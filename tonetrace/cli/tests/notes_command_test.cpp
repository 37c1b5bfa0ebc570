#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/NotesCommand.h"
#include "testing/PhraseRenderer.h"
#include "testing/ScratchDir.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

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

struct Line {
  double note, onset, offset;
};

std::vector<Line> ParseTsv(const std::string& text) {
  std::vector<Line> lines;
  std::istringstream in(text);
  std::string row;
  while (std::getline(in, row)) {
    Line l{};
    char tab1 = 0, tab2 = 0;
    std::istringstream fields(row);
    fields >> l.note >> std::noskipws >> tab1 >> std::skipws >> l.onset >> std::noskipws >>
        tab2 >> std::skipws >> l.offset;
    EXPECT_TRUE(fields && tab1 == '\t' && tab2 == '\t') << "malformed line '" << row << "'";
    EXPECT_LE(l.onset, l.offset) << row;
    lines.push_back(l);
  }
  return lines;
}

class NotesCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(mScratch.Valid()); }
  std::string Path(const std::string& name) const { return mScratch.File(name); }

  // A 16-bit file; `left(i)` and `right(i)` give sample i of each channel (-1..1).
  template <typename L, typename R>
  std::string WriteFile(const std::string& name, int rate, int channels, double seconds, L left,
                        R right, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
    const std::string path = Path(name);
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
    if (f == nullptr) return path;
    const auto frames = static_cast<size_t>(seconds * rate);
    std::vector<float> data;
    for (size_t i = 0; i < frames; ++i) {
      data.push_back(static_cast<float>(left(i)));
      if (channels == 2) data.push_back(static_cast<float>(right(i)));
    }
    sf_writef_float(f, data.data(), static_cast<sf_count_t>(frames));
    sf_close(f);
    return path;
  }

  std::string Sine(const std::string& name, int rate, double hz, double seconds,
                   double amplitude = 0.316) {
    auto s = [=](size_t i) { return amplitude * std::sin(2 * kPi * hz * i / rate); };
    return WriteFile(name, rate, 1, seconds, s, s);
  }

  ScratchDir mScratch{"tonetrace-notes-command"};
};

TEST_F(NotesCommandTest, CommandLineIsCheckedWithClearMessages) {
  Result r = Tonetrace({"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("notes FILE"), std::string::npos);
  r = Tonetrace({"notes", "--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("--preset N"), std::string::npos);
  EXPECT_NE(r.out.find("--engine-only"), std::string::npos);
  EXPECT_EQ(Tonetrace({}).code, kExitUsage);
  r = Tonetrace({"--version"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "tonetrace 0.1\n");

  const struct { std::vector<const char*> args; const char* message; } bad[] = {
      {{"notes"}, "no sound file given"},
      {{"notes", "a.wav", "--preset", "0"}, "--preset must be a number from 1 to 20"},
      {{"notes", "a.wav", "--preset", "21"}, "--preset must be"},
      {{"notes", "a.wav", "--preset", "3x"}, "--preset must be"},
      {{"notes", "a.wav", "--preset", "99999999999999999999"}, "--preset must be"},
      {{"notes", "a.wav", "--preset"}, "--preset needs a value"},
      {{"notes", "a.wav", "--format", "xml"}, "--format must be tsv or json"},
      {{"notes", "a.wav", "--fast"}, "unknown option '--fast'"},
      {{"notes", "a.wav", "b.wav"}, "only one file at a time"},
      {{"listen"}, "unknown command 'listen'"},
  };
  for (const auto& b : bad) {
    r = Tonetrace(b.args);
    EXPECT_EQ(r.code, kExitUsage) << b.message;
    EXPECT_NE(r.err.find(b.message), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
  // The start-up argument of the converter window is not a command.
  const char* window[] = {"tonetrace", "node=Tonetrace"};
  EXPECT_FALSE(IsCommandLineRequest(2, window));
}

TEST_F(NotesCommandTest, ListsTheNoteOfASineInBothFormats) {
  const std::string path = Sine("a440.wav", 44100, 440, 1.0);
  Result r = Tonetrace({"notes", path.c_str()});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<Line> lines = ParseTsv(r.out);
  ASSERT_EQ(lines.size(), 1u) << r.out;
  EXPECT_EQ(r.out.substr(0, 3), "69\t");
  EXPECT_LT(lines[0].onset, 0.015);
  EXPECT_GT(lines[0].offset, 0.99);
  EXPECT_LT(lines[0].offset, 1.09);

  r = Tonetrace({"notes", path.c_str(), "--format", "json", "--preset", "10"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\"preset\": 10"), std::string::npos);
  EXPECT_NE(r.out.find("{\"note\": 69, \"onset\": "), std::string::npos) << r.out;
  // Preset 10 uses velocity mode 1: the onset level gives the velocity, -10 dBFS between
  // the -40 dB floor and the -6 dB top: trunc(127 x (1 - 4 / 34)) = 112 (peak may be a hair lower).
  EXPECT_TRUE(r.out.find("\"velocity\": 112") != std::string::npos ||
              r.out.find("\"velocity\": 111") != std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"bend\": [["), std::string::npos);
  EXPECT_NE(r.out.find("\"expression\": [["), std::string::npos);
}

TEST_F(NotesCommandTest, TakesTheLeftChannelAndTheFilesOwnRate) {
  auto left = [](size_t i) { return 0.3 * std::sin(2 * kPi * 440 * i / 44100.0); };
  auto right = [](size_t i) { return 0.3 * std::sin(2 * kPi * 659.26 * i / 44100.0); };
  std::string path = WriteFile("stereo.flac", 44100, 2, 0.5, left, right,
                               SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  Result r = Tonetrace({"notes", path.c_str()});
  ASSERT_EQ(r.code, 0) << r.err;
  std::vector<Line> lines = ParseTsv(r.out);
  ASSERT_EQ(lines.size(), 1u) << r.out;
  EXPECT_EQ(lines[0].note, 69);

  for (int rate : {8000, 22050, 96000, 192000}) {
    path = Sine("rate" + std::to_string(rate) + ".wav", rate, 440, 0.5);
    r = Tonetrace({"notes", path.c_str()});
    ASSERT_EQ(r.code, 0) << rate << ": " << r.err;
    lines = ParseTsv(r.out);
    ASSERT_EQ(lines.size(), 1u) << rate << ":\n" << r.out;
    EXPECT_EQ(lines[0].note, 69) << rate;
    EXPECT_GT(lines[0].offset, 0.49) << rate;
  }
}

TEST_F(NotesCommandTest, BadInputGivesAMessageOrAnEmptyList) {
  // Not analysable: a clear message and exit 1, nothing on standard output.
  std::ofstream(Path("empty.wav")).close();
  std::ofstream(Path("words.wav")) << "RIFF but not really a wave file\n";
  const std::string slow = Sine("slow.wav", 4000, 440, 0.5);
  const std::string fast = Sine("fast.wav", 200000, 440, 0.1);
  const struct { std::string path; const char* message; } refused[] = {
      {Path("empty.wav"), "empty"},
      {Path("words.wav"), "not a sound file"},
      {Path("missing.wav"), "No such file"},
      {mScratch.Path(), "folder"},
      {slow, "sample rate 4000 Hz is outside"},
      {fast, "sample rate 200000 Hz is outside"},
  };
  for (const auto& f : refused) {
    Result r = Tonetrace({"notes", f.path.c_str()});
    EXPECT_EQ(r.code, kExitFailure) << f.path;
    EXPECT_NE(r.err.find(f.message), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }

  // Analysable but without notes: an empty list.
  const std::string silence = WriteFile("silence.wav", 44100, 1, 2.0, [](size_t) { return 0.0; },
                                        [](size_t) { return 0.0; });
  const std::string none = WriteFile("none.wav", 44100, 1, 0, [](size_t) { return 0.0; },
                                     [](size_t) { return 0.0; });
  for (const std::string& path : {silence, none}) {
    Result r = Tonetrace({"notes", path.c_str()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "") << path;
    r = Tonetrace({"notes", path.c_str(), "--format", "json"});
    EXPECT_NE(r.out.find("\"notes\": []"), std::string::npos) << r.out;
  }

  // Full-scale noise and out-of-range float samples: well-formed lines, no fault.
  std::mt19937 random(7);
  std::uniform_real_distribution<double> full(-1.0, 1.0);
  const std::string noise = WriteFile("noise.wav", 44100, 1, 3.0,
                                      [&](size_t) { return full(random); },
                                      [](size_t) { return 0.0; });
  const std::string wild = WriteFile(
      "wild.wav", 44100, 1, 1.0, [](size_t i) { return i % 3 ? 1e6 : -NAN; },
      [](size_t) { return 0.0; }, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  for (const std::string& path : {noise, wild}) {
    Result r = Tonetrace({"notes", path.c_str()});
    EXPECT_EQ(r.code, 0) << r.err;
    for (const Line& l : ParseTsv(r.out)) {
      EXPECT_GE(l.note, 0);
      EXPECT_LE(l.note, 127);
    }
  }

  // A sine driven 12 dB into clipping still reads as its note.
  const std::string clipped = WriteFile(
      "clipped.wav", 44100, 1, 1.0,
      [](size_t i) { return std::clamp(4.0 * std::sin(2 * kPi * 220 * i / 44100.0), -1.0, 1.0); },
      [](size_t) { return 0.0; });
  Result r = Tonetrace({"notes", clipped.c_str()});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<Line> lines = ParseTsv(r.out);
  ASSERT_GE(lines.size(), 1u);
  EXPECT_EQ(lines[0].note, 57);
  EXPECT_GT(lines[0].offset - lines[0].onset, 0.9);
}

TEST(NoteTranscriber, PiecesOfAnySizeGiveTheSameNotesAsOneBlock) {
  std::vector<int16_t> samples(44100 + 5);  // ends in a chunk of 9 samples
  for (size_t i = 0; i < samples.size(); ++i) {
    const double hz = i < 22050 ? 440 : 293.66;  // A4, then D4
    samples[i] = static_cast<int16_t>(i < 40000 ? 9000 * std::sin(2 * kPi * hz * i / 44100.0) : 0);
  }
  NoteTranscriber whole, pieces;
  ASSERT_TRUE(whole.Start(FindPreset(1)->fields, 44100));
  ASSERT_TRUE(pieces.Start(FindPreset(1)->fields, 44100));
  whole.Feed(samples.data(), static_cast<int64_t>(samples.size()));
  whole.Finish();
  for (size_t i = 0; i < samples.size(); i += 7)
    pieces.Feed(samples.data() + i, static_cast<int64_t>(std::min<size_t>(7, samples.size() - i)));
  pieces.Finish();
  EXPECT_EQ(whole.Decisions(), (44105 + 15) / 16);
  EXPECT_EQ(pieces.Decisions(), whole.Decisions());
  ASSERT_EQ(whole.Notes().size(), 2u);
  ASSERT_EQ(pieces.Notes().size(), 2u);
  EXPECT_EQ(whole.Notes()[0].note, 69);
  EXPECT_EQ(whole.Notes()[1].note, 62);
  EXPECT_NEAR(whole.Notes()[1].onset, 0.5, 0.02);
  EXPECT_LE(whole.Notes()[0].offset, whole.Notes()[1].onset);
  EXPECT_NEAR(whole.Notes()[1].offset, 40000 / 44100.0, 0.09);
  for (size_t n = 0; n < 2; ++n) {
    EXPECT_EQ(pieces.Notes()[n].onset, whole.Notes()[n].onset);
    EXPECT_EQ(pieces.Notes()[n].offset, whole.Notes()[n].offset);
    EXPECT_EQ(pieces.Notes()[n].bends.size(), whole.Notes()[n].bends.size());
  }
  // Rates the engine refuses leave no transcriber running.
  NoteTranscriber refused;
  EXPECT_FALSE(refused.Start(FindPreset(1)->fields, 3000));
  refused.Feed(samples.data(), 100);
  refused.Finish();
  EXPECT_EQ(refused.Decisions(), 0);
}

// Real instruments: General MIDI sounds rendered by FluidSynth from a known score.
struct Phrase {
  const char* name;
  int program;  // 0-based General MIDI program
  int preset;
  std::vector<int> pitches;
};

// The pitch a synthesizer plays at `time` for a transcribed note: note number plus bend.
double SoundingPitch(const TranscribedNote& n, double time, int bendRange) {
  int bend = 8192;
  for (const TimedValue& b : n.bends)
    if (b.time <= time) bend = b.value;
  return n.note + (bend - 8192) * static_cast<double>(bendRange) / 8191;
}

TEST_F(NotesCommandTest, FindsThePlayedNotesOfRenderedInstruments) {
  if (!CanRenderPhrases()) GTEST_SKIP() << "fluidsynth or a General MIDI SoundFont is missing";
  const Phrase phrases[] = {
      {"flute", 73, 18, {67, 72, 76, 79, 74, 71, 67}},
      {"violin", 40, 6, {67, 71, 74, 79, 76, 72, 69}},
      {"trumpet", 56, 10, {60, 64, 67, 72, 67, 64, 60}},
      {"voice", 53, 2, {50, 53, 57, 55, 52, 50}},
      {"bass", 33, 5, {36, 40, 43, 48, 43, 38, 36}},
  };
  for (const Phrase& p : phrases) {
    std::vector<PhraseNote> score;
    for (size_t i = 0; i < p.pitches.size(); ++i)
      score.push_back({p.pitches[i], 0.2 + 0.6 * static_cast<double>(i), 0.5, 100});
    NotesRequest request;
    request.path = Path(std::string(p.name) + ".wav");
    request.preset = p.preset;
    const std::string midi = Path(std::string(p.name) + ".mid");
    ASSERT_TRUE(WriteBytes(midi, BuildMidiFile(p.program, score)));
    ASSERT_TRUE(RenderMidiFile(midi, request.path, 44100)) << p.name;
    NoteTranscriber transcriber;
    double rate = 0;
    std::string error;
    ASSERT_TRUE(TranscribeFile(request, transcriber, rate, error)) << error;
    const std::vector<TranscribedNote>& found = transcriber.Notes();
    const int bendRange = FindPreset(p.preset)->fields.bendRange;

    // Each played note: a listed note starts within 120 ms after it (the attack of the
    // sound plus a few periods), and 200 ms in, what the converter plays (note and bend)
    // is within 50 cents of it. The note number itself is fixed at the onset, where
    // some sounds (this trumpet) begin flat; it is counted, not required.
    int onsets = 0, pitches = 0, numbers = 0;
    std::string listing;
    for (const TranscribedNote& n : found)
      listing += std::to_string(n.note) + " at " + std::to_string(n.onset) + "\n";
    for (const PhraseNote& played : score) {
      bool onset = false, number = false;
      for (const TranscribedNote& n : found) {
        if (n.onset >= played.start - 0.02 && n.onset <= played.start + 0.12) {
          onset = true;
          number = number || n.note == played.note;
        }
      }
      const double probe = played.start + 0.2;
      bool pitch = false;
      for (const TranscribedNote& n : found)
        if (n.onset <= probe && n.offset > probe)
          pitch = std::fabs(SoundingPitch(n, probe, bendRange) - played.note) <= 0.5;
      onsets += onset;
      pitches += pitch;
      numbers += number;
    }
    const int played = static_cast<int>(score.size());
    EXPECT_GE(onsets, played - 1) << p.name << " onsets; listed:\n" << listing;
    EXPECT_GE(pitches, played - 1) << p.name << " pitches; listed:\n" << listing;
    EXPECT_LE(found.size(), 3 * score.size()) << p.name << ": a flood of notes\n" << listing;
    std::printf("%-8s of %d played: %d onsets found, %d sounding within 50 cents, "
                "%d with the right note number at the onset; %zu notes listed\n",
                p.name, played, onsets, pitches, numbers, found.size());
  }
}

}  // namespace
