#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/PitchTracker.h"
#include "presets/InstrumentPresets.h"

namespace {

constexpr double kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

struct EngineDeleter {
  void operator()(PitchTracker* t) const { WFETEndProcess(t); }
};
using Engine = std::unique_ptr<PitchTracker, EngineDeleter>;

Engine PresetEngine(int preset) {
  return Engine(RebuildEngine(nullptr, FindPreset(preset)->fields));
}

int16_t ToSample(double v) { return static_cast<int16_t>(std::lrint(v)); }

// A sine whose frequency follows `hzAt(t)` (phase-continuous), at `dbfs`.
template <typename F>
std::vector<int16_t> Tone(double seconds, double dbfs, F hzAt) {
  const double amplitude = 32768 * std::pow(10.0, dbfs / 20);
  std::vector<int16_t> out(static_cast<size_t>(seconds * kRate));
  double phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = ToSample(amplitude * std::sin(phase));
    phase += 2 * kPi * hzAt(i / kRate) / kRate;
  }
  return out;
}

struct Step {
  double time;  // chunk start, seconds
  MidiDecision decision;
  int16_t sounding;
};

// Feeds the samples in chunks of 16 and records every decision.
std::vector<Step> Decide(PitchTracker* t, const std::vector<int16_t>& samples) {
  std::vector<Step> steps;
  MidiDecision d;
  for (size_t i = 0; i + 16 <= samples.size(); i += 16) {
    EXPECT_EQ(WFETProcess(t, &samples[i], 32), 16);
    WFETCalc(t, &d);
    steps.push_back({i / kRate, d, t->sounding});
  }
  return steps;
}

TEST(PitchTracker, StartsInTheDocumentedState) {
  Engine t(WFETBegProcess());
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->sampleRate, 44100);
  EXPECT_EQ(t->writeIndex, 511);
  EXPECT_EQ(t->minLag[0], 25);
  EXPECT_EQ(t->maxLag[1], 801);
  EXPECT_EQ(t->lowPass.type, kBiquadLowPass);
  EXPECT_EQ(t->lowPass.frequency, 1760);
  EXPECT_EQ(t->highPass.type, kBiquadHighPass);
  EXPECT_EQ(t->highPass.frequency, 55);
  EXPECT_EQ(t->levelLimit[0], 500);
  EXPECT_EQ(t->levelLimit[1], 50);
  EXPECT_EQ(t->spanPeriods[0], 4);
  EXPECT_EQ(t->velocityMode, 2);
  EXPECT_EQ(t->history[2], 440);
  EXPECT_EQ(t->sounding, 0);
}

// A 440 Hz sine at -10 dBFS with the default preset: one note 69, near-centre bend, nothing
// else while it lasts, then one note off within the hold level's release (about 80 ms).
TEST(PitchTracker, SineGivesOneNoteAndReleasesAfterItStops) {
  Engine t = PresetEngine(1);
  std::vector<int16_t> samples = Tone(1.0, -10, [](double) { return 440.0; });
  samples.resize(samples.size() + static_cast<size_t>(0.3 * kRate), 0);
  const std::vector<Step> steps = Decide(t.get(), samples);

  size_t onsetStep = steps.size();
  for (size_t i = 0; i < steps.size(); ++i)
    if (steps[i].decision.noteOn >= 0) { onsetStep = i; break; }
  ASSERT_LT(onsetStep, steps.size()) << "no note started";
  EXPECT_EQ(steps[onsetStep].decision.noteOn, 69);
  EXPECT_EQ(steps[onsetStep].decision.noteOff, -1);
  EXPECT_LT(steps[onsetStep].time, 6 / 440.0) << "the note needs only a few periods";
  EXPECT_EQ(steps[onsetStep].decision.velocity, 127);  // velocity mode 2

  size_t offStep = steps.size();
  for (size_t i = onsetStep + 1; i < steps.size(); ++i) {
    const MidiDecision& d = steps[i].decision;
    if (d.noteOff >= 0 || d.noteOn >= 0) { offStep = i; break; }
    // 1365 bend units per semitone with a range of 6: stay within about 10 cents.
    EXPECT_NEAR(d.bend, 8192, 140) << "at " << steps[i].time;
  }
  ASSERT_LT(offStep, steps.size()) << "the note never ended";
  EXPECT_EQ(steps[offStep].decision.noteOff, 69);
  EXPECT_EQ(steps[offStep].decision.noteOn, -1);
  EXPECT_GE(steps[offStep].time, 1.0) << "ended while the sine still sounded";
  // Once the input peak has decayed from -10 to -40 dBFS (3535 samples) no hold is possible.
  EXPECT_LE(steps[offStep].time, 1.0 + 3535 / kRate + 16 / kRate);
  for (size_t i = offStep + 1; i < steps.size(); ++i) {
    EXPECT_EQ(steps[i].decision.noteOn, -1) << "at " << steps[i].time;
    EXPECT_EQ(steps[i].decision.noteOff, -1) << "at " << steps[i].time;
  }
}

// The first note of a stream: the ring is still mostly empty, which must not make a
// period of two cycles (an octave low) look like the best match.
TEST(PitchTracker, FirstNoteOfAStreamIsNotAnOctaveLow) {
  const struct { int preset; int note; } cases[] = {{1, 69}, {5, 45}, {10, 69}, {18, 81}};
  for (const auto [preset, note] : cases) {
    Engine t = PresetEngine(preset);
    const double hz = 440 * std::pow(2.0, (note - 69) / 12.0);
    const std::vector<Step> steps = Decide(t.get(), Tone(0.2, -10, [=](double) { return hz; }));
    int firstNote = -1;
    for (const Step& s : steps)
      if (s.decision.noteOn >= 0) { firstNote = s.decision.noteOn; break; }
    EXPECT_EQ(firstNote, note) << "preset " << preset;
  }
}

// A glide beyond the bend range re-triggers in one decision, without going idle.
TEST(PitchTracker, GlidePastTheBendRangeRetriggersInOneDecision) {
  Engine t = PresetEngine(1);
  ASSERT_EQ(WFETSet(t.get(), kSetBendRange, 2), 1);
  // 0.2 s at A4, then up three semitones over 0.6 s.
  std::vector<int16_t> samples = Tone(0.8, -10, [](double s) {
    return s < 0.2 ? 440.0 : 440.0 * std::pow(2.0, 3 * (s - 0.2) / 0.6 / 12);
  });
  const std::vector<Step> steps = Decide(t.get(), samples);
  int ons = 0;
  bool retriggered = false;
  for (const Step& s : steps) {
    const MidiDecision& d = s.decision;
    if (d.noteOn >= 0) ++ons;
    if (d.noteOn >= 0 && ons == 1) {
      EXPECT_EQ(d.noteOn, 69);
    }
    if (d.noteOn >= 0 && ons == 2) {
      EXPECT_EQ(d.noteOff, 69) << "the old note ends in the same decision";
      EXPECT_EQ(d.noteOn, 71);
      EXPECT_EQ(d.velocity, 127);
      EXPECT_EQ(s.sounding, 1);
      EXPECT_NEAR(d.bend, 8192, 8191 / 2 / 2 + 1) << "the bend is relative to the new note";
      retriggered = true;
      break;
    }
    if (ons == 1) {
      ASSERT_EQ(d.noteOff, -1) << "went idle at " << s.time << " instead of re-triggering";
      ASSERT_EQ(s.sounding, 1);
    }
  }
  EXPECT_TRUE(retriggered);
}

// The decision on a prepared record: the level maps linearly in dB to 0..127.
TEST(PitchTracker, VelocityFollowsTheLevelBetweenFloorAndTop) {
  Engine t(WFETBegProcess());
  const double top = 20 * std::log10(16384.0 / 32768);   // -6.02 dBFS
  const double floor = 20 * std::log10(1024.0 / 32768);  // -30.1 dBFS
  ASSERT_EQ(WFETSet(t.get(), kSetVelocityTopDb, top), 1);
  ASSERT_EQ(WFETSet(t.get(), kSetVelocityFloorDb, floor), 1);
  ASSERT_EQ(WFETSet(t.get(), kSetVelocityMode, 0), 1);
  auto onsetVelocity = [&](double peak) {
    t->sounding = 0;
    t->valid = 0;
    t->frequency = 440;
    t->distance = 0.01;
    t->inputPeak = peak;
    MidiDecision d;
    WFETMIDI(t.get(), &d);
    EXPECT_EQ(d.noteOn, 69);
    EXPECT_EQ(d.expression, 127);  // mode 0
    return d.velocity;
  };
  EXPECT_EQ(onsetVelocity(16384), 127);  // exactly at the top level
  EXPECT_EQ(onsetVelocity(32767), 127);  // louder clamps
  EXPECT_EQ(onsetVelocity(1024), 0) << "exactly at the floor";
  EXPECT_EQ(onsetVelocity(4096), 63);    // 2 of 4 doublings: trunc(127 / 2)

  // Mode 2: velocity 127 at the onset, the level goes to expression instead.
  ASSERT_EQ(WFETSet(t.get(), kSetVelocityMode, 2), 1);
  t->sounding = 0;
  t->inputPeak = 4096;
  MidiDecision d;
  WFETMIDI(t.get(), &d);
  EXPECT_EQ(d.velocity, 127);
  EXPECT_EQ(d.expression, 63);

  // Mode 1 while held: expression = level velocity x 96 / onset velocity.
  ASSERT_EQ(WFETSet(t.get(), kSetVelocityMode, 1), 1);
  t->sounding = 0;
  t->inputPeak = 16384;
  WFETMIDI(t.get(), &d);
  EXPECT_EQ(d.velocity, 127);
  EXPECT_EQ(d.expression, 96);
  t->inputPeak = 4096;
  WFETMIDI(t.get(), &d);
  EXPECT_EQ(d.noteOn, -1);
  EXPECT_EQ(d.velocity, 127);
  EXPECT_EQ(d.expression, 63 * 96 / 127);

  // Equal floor and top, or no input at all: a velocity in range, no arithmetic fault.
  ASSERT_EQ(WFETSet(t.get(), kSetVelocityMode, 0), 1);
  ASSERT_EQ(WFETSet(t.get(), kSetVelocityFloorDb, -6), 1);
  ASSERT_EQ(WFETSet(t.get(), kSetVelocityTopDb, -6), 1);
  EXPECT_EQ(onsetVelocity(1024), 0);
  EXPECT_EQ(onsetVelocity(32767), 127);
}

TEST(PitchTracker, RefusesOutOfRangeSettingsAndChangesNothing) {
  Engine t = PresetEngine(1);
  const double nan = std::nan("");
  const struct { int16_t id; double value; } refused[] = {
      {kSetBendRange, 36}, {kSetBendRange, 0.5}, {kSetUseMedian, 0.5}, {kSetNeedTwoFrames, 2},
      {kSetSampleRate, 4000}, {kSetSampleRate, 200000}, {kSetLowFrequency, 0},
      {kSetLowFrequency, 22050}, {kSetHighFrequency, -1}, {kSetLowNote, 10},
      {kSetLowNote, 80}, {kSetHighNote, 35}, {kSetHighNote, 105}, {kSetReferencePitch, 0},
      {kSetReferencePitch, 1000}, {kSetVelocityMode, 3.5}, {kSetVelocityMode, -1},
      {kSetVelocityFloorDb, 0}, {kSetVelocityTopDb, 0.1}, {kSetStartLevel, 0},
      {kSetStartLevel, 30000}, {kSetHoldLevel, 30000}, {kSetStartLevelDb, -120},
      {kSetStartLevelDb, 0.5}, {kSetHoldLevelDb, -120}, {kSetStartDistance, 0},
      {kSetStartDistance, 2}, {kSetHoldDistance, 2}, {kSetIdleSpan, 0.5}, {kSetIdleSpan, 9},
      {kSetSoundingSpan, 30}, {kSetLagPenalty, 0}, {kSetLagPenalty, 1},
      {kSetBandFactor, 0.1}, {kSetBandFactor, 3}, {kSetContinuity, 1},
      {kSetContinuity, -0.1}, {kSetBendRange, nan}, {kSetVelocityTopDb, -INFINITY},
      {kSetSampleRate, nan}, {99, 1}, {-1, 0},
  };
  PitchTracker before;
  std::memcpy(&before, t.get(), sizeof before);
  for (const auto& r : refused) {
    EXPECT_EQ(WFETSet(t.get(), r.id, r.value), 0) << "id " << r.id << " value " << r.value;
    EXPECT_EQ(std::memcmp(&before, t.get(), sizeof before), 0)
        << "id " << r.id << " value " << r.value << " changed the record";
  }

  // The edges that are inside, and what they do.
  EXPECT_EQ(WFETSet(t.get(), kSetBendRange, 35.9), 1);
  EXPECT_EQ(t->bendRange, 35);
  EXPECT_EQ(WFETSet(t.get(), kSetVelocityTopDb, 0), 1);
  EXPECT_EQ(WFETSet(t.get(), kSetIdleSpan, 8.99), 1);
  EXPECT_EQ(t->spanPeriods[0], 8);
  EXPECT_EQ(WFETSet(t.get(), kSetLowNote, 69), 1);
  EXPECT_DOUBLE_EQ(t->lowFreq, 440);
  EXPECT_EQ(t->maxLag[0], 100);
  EXPECT_EQ(t->maxLag[1], 100);
  EXPECT_DOUBLE_EQ(t->highPass.frequency, 440 * t->bandFactor);
  EXPECT_EQ(WFETSet(t.get(), kSetHoldLevelDb, -50), 1);
  EXPECT_EQ(t->velocityFloorDb, -50);
  EXPECT_NEAR(t->levelLimit[1], 32768 * std::pow(10.0, -2.5), 1e-9);
  EXPECT_EQ(WFETSet(t.get(), kSetHoldLevel, 3276.8), 1);
  EXPECT_NEAR(t->levelLimitDb[1], -20, 1e-9);
  EXPECT_NEAR(t->velocityFloorDb, -20, 1e-9);
  EXPECT_EQ(WFETSet(t.get(), kSetStartDistance, 0.9), 1);
  EXPECT_DOUBLE_EQ(t->distanceLimit[0], 0.3);
  EXPECT_EQ(WFETSet(t.get(), kSetSampleRate, 48000), 1);
  EXPECT_EQ(t->lowPass.sampleRate, 48000);
  EXPECT_EQ(t->highPass.sampleRate, 48000);
  EXPECT_EQ(WFETSet(t.get(), kSetUseMedian, 1), 1);
  EXPECT_EQ(t->useMedian, 1);
}

// A hand-built ring: alternating extrema every 5 samples (period 10).
TEST(PitchTracker, MergesAndComparesTwoStretchesOfExtrema) {
  Engine t(WFETBegProcess());
  t->spanPeriods[0] = 1;
  t->envelope = 1000;
  const int ref = 300;
  for (int i = 0; i < kEventRingSize; ++i) {
    ExtremumEvent& e = t->events[i];
    e.type = static_cast<int16_t>((ref - i) % 2 == 0 ? 1 : 0);
    e.interval = 5;
    e.value = e.type == 1 ? 1000 : -1000;
    e.force = 7;
  }
  t->events[ref - 2].value = 900;
  WFETTimeLags(t.get(), ref);
  EXPECT_EQ(t->events[ref].lag, 0);
  EXPECT_EQ(t->events[ref - 2].lag, -10);
  EXPECT_EQ(t->events[ref - 100].lag, -500) << "every candidate has its lag";

  MatchEntry entries[kMatchCapacity];
  const int32_t n = WFETCopy(t.get(), ref, ref - 2, entries);
  ASSERT_EQ(n, 5);
  const int16_t sources[] = {0, 1, 0, 1, 0, 1};
  const int32_t times[] = {0, 0, -5, -5, -10, -10};
  const double values[] = {1000, 900, -1000, -1000, 900, 1000};
  for (int i = 0; i <= n; ++i) {
    EXPECT_EQ(entries[i].source, sources[i]) << i;
    EXPECT_EQ(entries[i].time, times[i]) << i;
    EXPECT_EQ(entries[i].value, values[i]) << i;
  }
  // |1000-900| + 0 + |900-1000| over envelope x n; no time differences.
  EXPECT_DOUBLE_EQ(WFETDistCalc(t.get(), ref - 2, entries, n), 200.0 / (1000 * 5));

  // A missing extremum leaves pairs from one source: each costs 4 x (force + force).
  entries[1].source = 0;
  EXPECT_DOUBLE_EQ(WFETDistCalc(t.get(), ref - 2, entries, n),
                   (4 * 14 + 0 + 100) / (1000.0 * 5));
  entries[1].source = 1;
  entries[1].time = -2;
  EXPECT_DOUBLE_EQ(WFETDistCalc(t.get(), ref - 2, entries, n),
                   200.0 / (1000 * 5) + 2.0 / ((10 + 1) * 5));
}

TEST(PitchTracker, SurvivesHostileInput) {
  Engine t = PresetEngine(1);
  MidiDecision d;
  // Nothing to analyse.
  EXPECT_EQ(WFETProcess(t.get(), nullptr, 32), 0);
  int16_t one = 5;
  EXPECT_EQ(WFETProcess(t.get(), &one, 1), 0);
  EXPECT_EQ(WFETProcess(t.get(), &one, -4), 0);
  WFETCalc(t.get(), &d);
  EXPECT_EQ(d.noteOn, -1);

  // Full-scale alternating samples, a full-scale square, then digital silence for 20 s:
  // decisions stay in range.
  std::vector<int16_t> samples(static_cast<size_t>(kRate));
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = i < samples.size() / 2 ? (i % 2 ? 32767 : -32768)
                                        : ((i / 50) % 2 ? 32767 : -32768);
  std::vector<Step> steps = Decide(t.get(), samples);
  std::vector<int16_t> silence(static_cast<size_t>(20 * kRate), 0);
  std::vector<Step> quiet = Decide(t.get(), silence);
  steps.insert(steps.end(), quiet.begin(), quiet.end());
  for (const Step& s : steps) {
    ASSERT_GE(s.decision.bend, 0);
    ASSERT_LE(s.decision.bend, 16383);
    ASSERT_GE(s.decision.velocity, 0);
    ASSERT_LE(s.decision.velocity, 127);
    ASSERT_LE(s.decision.noteOn, 127);
  }
  EXPECT_EQ(t->sounding, 0) << "silence ends every note";
  EXPECT_EQ(quiet.back().decision.noteOn, -1);
}

// A hand-built ring of alternating extrema, one every 5 samples (period 10), with equal
// swings, so that the newest event is the reference. Values: maxima `high`, minima -1000.
void PeriodicRing(PitchTracker* t, double high) {
  t->writeIndex = 300;
  for (int i = 0; i < kEventRingSize; ++i) {
    ExtremumEvent& e = t->events[i];
    e.type = static_cast<int16_t>((t->writeIndex - 1 - i) % 2 == 0 ? 1 : 0);
    e.interval = 5;
    e.value = e.type == 1 ? high : -1000;
    e.before = e.after = 0;
    e.swing = 2000;
  }
  t->events[t->writeIndex - 1].value = 1000;  // the reference
  t->envelope = t->slowEnvelope = 1000;
  t->minLag[0] = t->minLag[1] = 5;
  t->maxLag[0] = t->maxLag[1] = 45;
  t->lagWeight[0] = t->lagWeight[1] = 0;
  t->valid = 0;
}

TEST(PitchTracker, ReferenceIsTheStrongestOfTheSevenNewestAndTheNewerOnATie) {
  Engine t(WFETBegProcess());
  t->writeIndex = 3;  // the window wraps: 2, 1, 0, 511, 510, 509, 508
  for (ExtremumEvent& e : t->events) e.force = 0;
  EXPECT_EQ(WFETRef(t.get()), -1) << "no force above 0";
  t->events[0].force = 5;
  t->events[510].force = 5;
  t->events[507].force = 50;  // eighth newest: outside the window
  EXPECT_EQ(WFETRef(t.get()), 0) << "a tie keeps the newer event";
  t->events[509].force = 5.5;
  EXPECT_EQ(WFETRef(t.get()), 509);
}

TEST(PitchTracker, EqualScoresKeepTheShorterCandidate) {
  Engine t(WFETBegProcess());
  PeriodicRing(t.get(), 1000);  // every candidate matches exactly: distance 0, score 0
  MidiDecision d;
  WFETCalc(t.get(), &d);
  EXPECT_EQ(t->period, 10);
  EXPECT_EQ(t->distance, 0);
}

TEST(PitchTracker, ContinuityFavoursThePreviousPeriodByItsWeightOverTheElapsedSamples) {
  // With a lag penalty of 0.001 per sample, period 10 scores 0.010 and period 20 scores
  // 0.020. After a pitched frame of period 20, period 10 adds |1 - 10/20| x weight /
  // samples: with weight 0.3 that is 0.15 / samples, so period 20 wins once fewer than
  // 15 samples have passed (0.0107 at 14) and loses at 16 (0.0094).
  const struct { int16_t valid; int32_t samples; double weight; double period; } cases[] = {
      {1, 14, 0.3, 20}, {1, 16, 0.3, 10}, {1, 14, 0.2, 10},  // 0.2/2/14 = 0.0071
      {0, 14, 0.3, 10},                                       // not after a pitched frame
      {1, 0, 0.3, 10},                                        // no samples: no term
  };
  for (const auto& c : cases) {
    Engine t(WFETBegProcess());
    PeriodicRing(t.get(), 1000);
    t->lagWeight[0] = 0.001;
    t->valid = c.valid;
    t->period = 20;
    t->samplesSinceCalc = c.samples;
    t->continuityWeight = c.weight;
    MidiDecision d;
    WFETCalc(t.get(), &d);
    EXPECT_EQ(t->period, c.period) << "valid " << c.valid << ", " << c.samples << " samples, weight "
                                   << c.weight;
  }
}

TEST(PitchTracker, ValueToleranceFollowsTheState) {
  // The reference maximum is 1000, every other maximum 700: a difference of 300, outside
  // the idle tolerance (0.2 x 1000) and inside the sounding one (0.5 x 1000).
  for (int16_t sounding : {0, 1}) {
    Engine t(WFETBegProcess());
    PeriodicRing(t.get(), 700);
    t->sounding = sounding;
    t->currentNote = 69;
    MidiDecision d;
    WFETCalc(t.get(), &d);
    EXPECT_EQ(t->period > 0, sounding == 1) << "sounding " << sounding << ", period " << t->period;
  }
}

TEST(PitchTracker, SoundingLagWindowIsSetAtTheOnsetOnly) {
  Engine t(WFETBegProcess());
  ASSERT_EQ(WFETSet(t.get(), kSetBendRange, 12), 1);
  auto decide = [&](double frequency, double period) {
    t->frequency = frequency;
    t->period = period;
    t->distance = 0.01;
    t->inputPeak = 16000;
    MidiDecision d;
    WFETMIDI(t.get(), &d);
    return d;
  };
  // Onset at 441 Hz, period 100: one octave either way, trunc(2 x 100), trunc(100 / 2).
  EXPECT_EQ(decide(441, 100).noteOn, 69);
  EXPECT_EQ(t->maxLag[1], 200);
  EXPECT_EQ(t->minLag[1], 50);
  // Held a little higher: the window stays.
  EXPECT_EQ(decide(466, 95).noteOn, -1);
  EXPECT_EQ(t->maxLag[1], 200);
  EXPECT_EQ(t->minLag[1], 50);
  // Past the bend range: re-triggered, and still the onset's window.
  const MidiDecision jump = decide(1760, 25);
  EXPECT_EQ(jump.noteOff, 69);
  EXPECT_EQ(jump.noteOn, 93);
  EXPECT_EQ(t->maxLag[1], 200);
  EXPECT_EQ(t->minLag[1], 50);
  EXPECT_EQ(t->maxLag[0], 801) << "the idle window is the settings'";
}

// The peak offsets refine the integer period: A4 lasts 100.227 samples at 44.1 kHz, so the
// integer period alone reads 441 Hz, 0.0393 semitones (322 bend units at a range of one
// semitone) sharp. With the refinement the bend stays within 40 units (0.5 cent) of the
// centre the formula gives for 440 Hz, 8192.
TEST(PitchTracker, SteadyToneBendsByLessThanHalfACent) {
  Engine t = PresetEngine(1);
  ASSERT_EQ(WFETSet(t.get(), kSetBendRange, 1), 1);
  const std::vector<Step> steps = Decide(t.get(), Tone(0.6, -10, [](double) { return 440.0; }));
  int held = 0;
  for (const Step& s : steps) {
    if (s.time < 0.1 || s.sounding == 0) continue;  // past the onset and the filters' start
    ++held;
    EXPECT_NEAR(s.decision.bend, 8192, 40) << "at " << s.time;
  }
  EXPECT_GT(held, 1000);
}

TEST(PitchTracker, VelocityFloorMayBeMinusInfinityButTheTopMayNot) {
  Engine t(WFETBegProcess());
  ASSERT_EQ(WFETSet(t.get(), kSetVelocityMode, 0), 1);
  ASSERT_EQ(WFETSet(t.get(), kSetVelocityTopDb, -6), 1);
  // A floor of -inf: every finite level lies infinitely far above it, 127 x (1 - 0).
  ASSERT_EQ(WFETSet(t.get(), kSetVelocityFloorDb, -INFINITY), 1);
  EXPECT_EQ(t->velocityFloorDb, -INFINITY);
  t->frequency = 440;
  t->distance = 0.01;
  t->inputPeak = 600;  // about -35 dBFS
  MidiDecision d;
  WFETMIDI(t.get(), &d);
  EXPECT_EQ(d.noteOn, 69);
  EXPECT_EQ(d.velocity, 127);
  // A top of -inf would make every velocity 127 x (1 - (-inf)/(-inf)), not a number.
  EXPECT_EQ(WFETSet(t.get(), kSetVelocityTopDb, -INFINITY), 0);
  EXPECT_EQ(t->velocityTopDb, -6);
  for (double bad : {std::nan(""), double(INFINITY)}) {
    EXPECT_EQ(WFETSet(t.get(), kSetVelocityFloorDb, bad), 0) << bad;
    EXPECT_EQ(WFETSet(t.get(), kSetVelocityTopDb, bad), 0) << bad;
  }
  EXPECT_EQ(t->velocityFloorDb, -INFINITY);
}

TEST(PitchTracker, FrequencySettingsMoveTheFiltersBeforeAnyBandFactor) {
  // The record starts with a band factor of 1, matching its filters' first cutoffs (55 and
  // 1760 Hz, 1 x lowFreq and 1 x highFreq).
  Engine t(WFETBegProcess());
  EXPECT_EQ(t->bandFactor, 1);
  ASSERT_EQ(WFETSet(t.get(), kSetLowFrequency, 100), 1);
  ASSERT_EQ(WFETSet(t.get(), kSetHighFrequency, 1000), 1);
  EXPECT_EQ(t->highPass.frequency, 100);
  EXPECT_EQ(t->lowPass.frequency, 1000);
}

}  // namespace
