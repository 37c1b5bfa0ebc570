#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "RecordingMidi.h"
#include "midi/MidiConsumer.h"
#include "midi/MidiPort.h"
#include "midi/MidiSynth.h"
#include "midi/Synth.h"
#include "node/SonaraCore.h"
#include "testing/AllocationCounter.h"

namespace {

// Local endpoints only: no system MIDI ports in these tests.
const bool kNoSystemPorts = setenv("SUITE_MIDI_API", "none", 1) == 0;

// A port for the node to send to; what it receives is not looked at here.
class RecordingPort : public BMidiLocalConsumer {
 public:
  using BMidiLocalConsumer::BMidiLocalConsumer;

 protected:
  ~RecordingPort() override = default;
};

constexpr double kPi = 3.14159265358979323846;
using Broadcast = std::array<int32_t, SonaraCore::kPresetBroadcastCount>;

int ApplyFloat(SonaraCore& core, int32_t id, float value, int64_t now = 1000) {
  Broadcast b{};
  return core.Apply(id, &value, sizeof value, now, b);
}

int ApplyInt(SonaraCore& core, int32_t id, int32_t value, int64_t now = 1000) {
  Broadcast b{};
  return core.Apply(id, &value, sizeof value, now, b);
}

float GetFloat(const SonaraCore& core, int32_t id, int64_t* when = nullptr) {
  float v = 0;
  size_t size = sizeof v;
  EXPECT_EQ(core.Get(id, when, &v, &size), 0);
  return v;
}

// A sine at -10 dBFS, mono or stereo (another tone on the right).
std::vector<int16_t> Sine(double hz, double seconds, int channels = 1, double rightHz = 0) {
  std::vector<int16_t> x;
  for (size_t i = 0; i < static_cast<size_t>(seconds * 44100); ++i) {
    x.push_back(static_cast<int16_t>(10362 * std::sin(2 * kPi * hz * i / 44100.0)));
    if (channels == 2) x.push_back(static_cast<int16_t>(10362 * std::sin(2 * kPi * rightHz * i / 44100.0)));
  }
  return x;
}

// Buffers of the samples (stereo ones are changed in place, as buffers are).
void Feed(SonaraCore& core, std::vector<int16_t>& x, int channels = 1, size_t bufferBytes = 1024) {
  auto* bytes = reinterpret_cast<uint8_t*>(x.data());
  const size_t total = x.size() * 2;
  for (size_t at = 0; at < total; at += bufferBytes)
    core.AnalyseBuffer(bytes + at, std::min(bufferBytes, total - at), channels);
}
void Feed(SonaraCore& core, std::vector<int16_t>&& x, int channels = 1, size_t bufferBytes = 1024) {
  Feed(core, x, channels, bufferBytes);
}

std::vector<SentMessage> Only(const std::vector<SentMessage>& all, const std::string& kind) {
  std::vector<SentMessage> out;
  for (const SentMessage& m : all)
    if (m.kind == kind) out.push_back(m);
  return out;
}

TEST(SonaraCore, APresetBroadcastsItsThirteenIdsInOrderAndSetsItsFields) {
  SonaraCore core(1);
  Broadcast b{};
  const int32_t violin = 6;
  ASSERT_EQ(core.Apply(SonaraCore::kPreset, &violin, 4, 5000, b), 13);
  EXPECT_EQ(b, (Broadcast{45, 29, 47, 49, 25, 27, 21, 23, 33, 35, 37, 41, 43}));
  int64_t when = 0;
  EXPECT_EQ(GetFloat(core, SonaraCore::kLowestNote, &when), 55);
  EXPECT_EQ(when, 5000);
  EXPECT_EQ(GetFloat(core, SonaraCore::kHighestNote), 103);
  EXPECT_EQ(GetFloat(core, SonaraCore::kBendRange), 2);
  EXPECT_FLOAT_EQ(GetFloat(core, SonaraCore::kStartDistance), 0.4f);
  int32_t preset = 0;
  size_t size = 4;
  EXPECT_EQ(core.Get(SonaraCore::kPreset, nullptr, &preset, &size), 0);
  EXPECT_EQ(preset, 6);

  // Outside 1..20: the engine is rebuilt with the fields as they are.
  ASSERT_EQ(ApplyFloat(core, SonaraCore::kStartDistance, 0.9f), 1);
  ASSERT_EQ(ApplyInt(core, SonaraCore::kPreset, 99), 13);
  EXPECT_FLOAT_EQ(GetFloat(core, SonaraCore::kStartDistance), 0.9f);
  EXPECT_EQ(GetFloat(core, SonaraCore::kLowestNote), 55);
  EXPECT_TRUE(core.HasEngine());
}

TEST(SonaraCore, ShortAndEqualValuesChangeNothing) {
  SonaraCore core(1);
  Broadcast b{};
  const float level = -20;
  EXPECT_EQ(core.Apply(SonaraCore::kStartLevel, &level, 3, 7, b), 0);  // short float
  EXPECT_EQ(GetFloat(core, SonaraCore::kStartLevel), -30);
  const int16_t program = 40;
  EXPECT_EQ(core.Apply(SonaraCore::kProgram, &program, 1, 7, b), 0);  // short int32
  EXPECT_EQ(core.Apply(SonaraCore::kProgram, &program, 2, 7, b), 1);  // 2 bytes will do
  int32_t got = 0;
  size_t size = 4;
  core.Get(SonaraCore::kProgram, nullptr, &got, &size);
  EXPECT_EQ(got, 40);

  int64_t when = -1;
  ASSERT_EQ(ApplyFloat(core, SonaraCore::kHoldLevel, -50, 111), 1);
  EXPECT_EQ(ApplyFloat(core, SonaraCore::kHoldLevel, -50, 222), 0);
  GetFloat(core, SonaraCore::kHoldLevel, &when);
  EXPECT_EQ(when, 111);
  // Notes are whole: 60.7 is stored as 60, so 60.2 is no change.
  ASSERT_EQ(ApplyFloat(core, SonaraCore::kLowestNote, 60.7f), 1);
  EXPECT_EQ(GetFloat(core, SonaraCore::kLowestNote), 60);
  EXPECT_EQ(ApplyFloat(core, SonaraCore::kLowestNote, 60.2f), 0);

  // A value the engine refuses is still kept and broadcast.
  EXPECT_EQ(ApplyFloat(core, SonaraCore::kBendRange, 40), 1);
  EXPECT_EQ(GetFloat(core, SonaraCore::kBendRange), 40);

  // Reading: unknown ids -1, a buffer under 2 bytes refused, never written past its end.
  float v = 0;
  size = 4;
  EXPECT_EQ(core.Get(12345, nullptr, &v, &size), -1);
  size = 1;
  EXPECT_EQ(core.Get(SonaraCore::kStartLevel, nullptr, &v, &size), B_NO_MEMORY);
  uint8_t small[3] = {0xAA, 0xAA, 0xAA};
  size = 2;
  EXPECT_EQ(core.Get(SonaraCore::kStartLevel, nullptr, small, &size), 0);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(small[2], 0xAA);
}

TEST(SonaraCore, SendsExpressionAndBendOnlyBeyondTheirThresholds) {
  SonaraCore core(3);
  RecordingMidi synth;
  core.SetSynth(&synth);
  MidiDecision d;
  d.expression = 127;  // the preset's 127 is the last expression sent
  d.bend = 0;          // nothing sent yet: the last bend is 0
  core.SendDecision(d, 1);
  EXPECT_TRUE(synth.Take().empty());
  d.expression = 123;
  d.bend = 64;
  core.SendDecision(d, 2);
  EXPECT_TRUE(synth.Take().empty());
  d.expression = 122;
  d.bend = 65;
  core.SendDecision(d, 3);
  EXPECT_EQ(synth.Take(), (std::vector<SentMessage>{{"cc", 3, 11, 122, 3}, {"bend", 3, 65, 0, 3}}));
  d.bend = 8192;  // LSB 0, MSB 64
  core.SendDecision(d, 4);
  EXPECT_EQ(synth.Take(), (std::vector<SentMessage>{{"bend", 3, 0, 64, 4}}));
}

TEST(SonaraCore, ATwentyByteBufferIsOneChunkOfTenSamples) {
  SonaraCore core(1);
  core.StartClock(1000);
  std::vector<int16_t> x(10, 100);
  core.AnalyseBuffer(x.data(), 20, 1);
  EXPECT_EQ(core.Decisions(), 1);
  EXPECT_NEAR(core.AnalysisClock(), 1000 + 10 * 1000 / 44100.0, 1e-9);
  std::vector<int16_t> y(48, 100);
  core.AnalyseBuffer(y.data(), 96, 1);
  EXPECT_EQ(core.Decisions(), 4);
}

TEST(SonaraCore, StereoIsAnalysedOnItsLeftChannel) {
  SonaraCore core(1);
  RecordingMidi synth;
  core.SetSynth(&synth);
  Feed(core, Sine(440, 0.5, 2, 659.26), 2);
  const auto ons = Only(synth.Take(), "on");
  ASSERT_EQ(ons.size(), 1u);
  EXPECT_EQ(ons[0].data1, 69);
}

TEST(SonaraCore, TransposeShiftsEveryNoteAfterAllNotesOff) {
  SonaraCore core(2);
  RecordingMidi synth;
  RecordingOwner owner;
  core.SetSynth(&synth);
  core.SetOwner(&owner);
  ASSERT_EQ(ApplyFloat(core, SonaraCore::kTranspose, 12), 1);
  const auto sent = synth.Take();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[0], (SentMessage{"all", 0, 1, 0, 0}));  // just the channel messages
  EXPECT_EQ(sent[1], (SentMessage{"cc", 2, 11, 127, 0}));
  EXPECT_EQ(owner.mTranspose.load(), 12);

  std::vector<int16_t> tones = Sine(440, 0.4);
  const std::vector<int16_t> d = Sine(293.66, 0.4);
  tones.insert(tones.end(), d.begin(), d.end());
  tones.insert(tones.end(), 44100 / 5, 0);
  Feed(core, tones);
  const auto all = synth.Take();
  const auto ons = Only(all, "on"), offs = Only(all, "off");
  ASSERT_EQ(ons.size(), 2u);
  EXPECT_EQ(ons[0].data1, 81);
  EXPECT_EQ(ons[1].data1, 74);
  ASSERT_EQ(offs.size(), 2u);
  EXPECT_EQ(offs[0].data1, 81);
  EXPECT_EQ(offs[1].data1, 74);
  EXPECT_EQ(ons[0].channel, 2);
  EXPECT_EQ(owner.mNote.load(), 0);  // shown 0 after the last note off

  // Transposed beyond the MIDI range: not sent.
  ApplyFloat(core, SonaraCore::kTranspose, 60);
  synth.Take();
  Feed(core, Sine(440, 0.3));
  EXPECT_TRUE(Only(synth.Take(), "on").empty());
}

TEST(SonaraCore, ProgramAndBendRangeGoToChannelOneInTheirOrder) {
  SonaraCore core(5);
  RecordingMidi synth, port;
  RecordingOwner owner;
  core.SetSynth(&synth);
  core.SetPort(&port);
  core.SetOwner(&owner);
  ASSERT_EQ(ApplyInt(core, SonaraCore::kProgram, 73), 1);
  const std::vector<SentMessage> program = {{"all", 0, 0, 0, 0}, {"program", 1, 73, 0, 0}};
  EXPECT_EQ(synth.Take(), program);
  EXPECT_EQ(port.Take(), program);

  ASSERT_EQ(ApplyFloat(core, SonaraCore::kBendRange, 12), 1);
  const std::vector<SentMessage> range = {
      {"cc", 1, 101, 0, 0}, {"cc", 1, 100, 0, 0}, {"cc", 1, 6, 12, 0}, {"cc", 1, 38, 0, 0}};
  EXPECT_EQ(synth.Take(), range);
  EXPECT_EQ(port.Take(), range);
  EXPECT_EQ(owner.mBendRange.load(), 12);

  // A preset: expression 127 on the node's channel, then the bend range on channel 1.
  ASSERT_EQ(ApplyInt(core, SonaraCore::kPreset, 18), 13);
  const auto sent = synth.Take();
  ASSERT_EQ(sent.size(), 5u);
  EXPECT_EQ(sent[0], (SentMessage{"cc", 5, 11, 127, 0}));
  EXPECT_EQ(std::vector<SentMessage>(sent.begin() + 1, sent.end()),
            (std::vector<SentMessage>{{"cc", 1, 101, 0, 0}, {"cc", 1, 100, 0, 0},
                                      {"cc", 1, 6, 2, 0}, {"cc", 1, 38, 0, 0}}));
  EXPECT_EQ(owner.mMin.load(), 60);
  EXPECT_EQ(owner.mMax.load(), 96);
}

TEST(SonaraCore, APresetChangeEndsTheNoteThatSounds) {
  SonaraCore core(4);
  RecordingMidi synth;
  core.SetSynth(&synth);
  Feed(core, Sine(440, 0.3));
  ASSERT_EQ(Only(synth.Take(), "on").size(), 1u);
  ApplyInt(core, SonaraCore::kPreset, 7);
  const auto sent = synth.Take();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0], (SentMessage{"off", 4, 69, 0, 0}));
  // Nothing sounds now: another preset ends nothing.
  ApplyInt(core, SonaraCore::kPreset, 8);
  EXPECT_TRUE(Only(synth.Take(), "off").empty());
}

TEST(SonaraCore, RecordsNotesBendsAndExpressionRelativeToTheStoreBase) {
  SonaraCore core(1);
  RecordingOwner owner;
  core.SetOwner(&owner);
  core.StartClock(50000);
  Feed(core, Sine(440, 0.3));  // not recording: nothing stored
  EXPECT_EQ(owner.mStore.CountEvents(), 0);
  owner.mRecording = true;
  core.SetStoreBaseTime(core.AnalysisClock());
  std::vector<int16_t> x(44100 / 5, 0);
  const auto a = Sine(440, 0.5);
  x.insert(x.end(), a.begin(), a.end());
  x.insert(x.end(), 44100 / 5, 0);
  Feed(core, x);
  bool on = false, off = false, expression = false;
  for (const BMidiStore::Event& e : owner.mStore.Events()) {
    if ((e.bytes[0] & 0xF0) == 0x90 && e.bytes[1] == 69) {
      on = true;
      EXPECT_NEAR(e.time, 200, 20);  // after the 200 ms of silence
    }
    off = off || (e.bytes[0] & 0xF0) == 0x80;
    expression = expression || ((e.bytes[0] & 0xF0) == 0xB0 && e.bytes[1] == 11);
    EXPECT_LT(e.time, 1000u);
  }
  EXPECT_TRUE(on && off && expression);
  EXPECT_EQ(owner.mScope.load(), nullptr);  // the scope pointer is the node's to give
}

TEST(SonaraCore, NothingIsAllocatedOnTheBufferPath) {
  // Every output the node has: the synthesizer, a port, the owner's recording store.
  ASSERT_TRUE(kNoSystemPorts);
  BSynth synth;
  BMidiSynth midi(&synth);
  ASSERT_EQ(midi.EnableInput(true, true), B_OK);
  const std::string font = BSynth::DefaultSoundFont();
  if (!font.empty()) {
    ASSERT_EQ(synth.LoadSynthData(font.c_str()), B_OK);
  }
  auto* receiver = new RecordingPort("sonara allocation test port");
  ASSERT_EQ(receiver->Register(), B_OK);
  BMidiPort port("sonara allocation test port");
  ASSERT_EQ(port.InitCheck(), B_OK);
  RecordingOwner owner;
  owner.mRecording = true;
  SonaraCore core(1, &midi, &port);
  core.SetOwner(&owner);
  std::vector<int16_t> x = Sine(440, 0.2);
  const std::vector<int16_t> d = Sine(293.66, 0.4);
  x.insert(x.end(), d.begin(), d.end());
  x.insert(x.end(), 8820, 0);
  Feed(core, Sine(330, 0.1));  // warm: the synthesizer's first voice
  owner.mStore.Clear();
  AllocationCounter counter;
  Feed(core, x);
  EXPECT_EQ(counter.Count(), 0);
  EXPECT_GE(owner.mStore.CountEvents(), 4) << "notes went out on the way";
  port.Close();
  receiver->Unregister();
  receiver->Release();
}

}  // namespace
