// The pitch and level analysis engine: turns 16-bit samples of one monophonic voice into
// note decisions (note on/off, velocity, pitch bend, expression), one per WFETCalc call.
// Plain functions over one record; nothing allocates after WFETBegProcess. Not thread-safe:
// one thread feeds the record and reads its decisions.
#pragma once

#include <cstdint>

#include "engine/QuenBiquad.h"

constexpr int kEventRingSize = 512;
constexpr int kMatchCapacity = 100;

struct ExtremumEvent {
  int16_t type;      // 1 maximum, 0 minimum
  int32_t interval;  // samples since the previous event
  int32_t lag;       // position relative to the reference event (<= 0)
  double value;      // filtered sample at the extremum
  double before;     // filtered sample one step before
  double after;      // filtered sample one step after
  double swing;      // |value - value of the previous event|
  double force;      // min(swing, swing of the next newer event)
};

struct MatchEntry {
  int16_t type;
  int16_t source;  // 0 reference sequence, 1 candidate sequence
  int32_t time;    // relative to the start of its sequence (<= 0)
  double force;
  double value;
};

struct MidiDecision {
  int16_t noteOff = -1;  // -1: none
  int16_t noteOn = -1;   // -1: none
  int16_t velocity = 0;
  int16_t bend = 8192;
  int16_t expression = 0;
};

// Index 0 of the paired fields applies while idle, index 1 while a note sounds.
struct PitchTracker {
  ExtremumEvent events[kEventRingSize];
  double sampleRate;
  int32_t writeIndex;
  int32_t samplesSinceEvent;
  BiquadFloat lowPass;
  BiquadFloat highPass;
  double envelope;
  double slowEnvelope;
  double prev2, prev1;
  int32_t minLag[2];
  int32_t maxLag[2];
  double lowFreq;
  double highFreq;
  double referencePitch;
  double frequency;
  double period;
  double distance;
  double inputPeak;
  int16_t currentNote;
  int16_t onsetVelocity;
  int16_t sounding;
  int16_t bendRange;
  double mismatchWeight[2];
  double lagWeight[2];
  double distanceLimit[2];
  double levelLimit[2];
  double levelLimitDb[2];
  double valueTolerance[2];
  // 1 at start, where the record leaves it to the node: the filters' first cutoffs (55 and
  // 1760 Hz) are 1 x lowFreq and 1 x highFreq, and frequency settings move them at once.
  double bandFactor;
  int32_t spanPeriods[2];
  double continuityWeight;
  int32_t samplesSinceCalc;
  int16_t useMedian;
  int16_t needTwoFrames;
  int16_t valid, prevValid;
  double history[3];
  double usedFrequency;
  int16_t velocityMode;
  double velocityFloorDb;
  double velocityTopDb;
};

// Numbered settings of WFETSet.
enum PitchTrackerSetting : int16_t {
  kSetSampleRate = 0,
  kSetLowFrequency = 1,
  kSetHighFrequency = 2,
  kSetLowNote = 3,
  kSetHighNote = 4,
  kSetReferencePitch = 5,
  kSetBendRange = 6,
  kSetVelocityMode = 7,
  kSetVelocityFloorDb = 8,
  kSetVelocityTopDb = 9,
  kSetStartLevel = 30,
  kSetHoldLevel = 31,
  kSetStartLevelDb = 32,
  kSetHoldLevelDb = 33,
  kSetStartDistance = 34,
  kSetHoldDistance = 35,
  kSetIdleSpan = 36,
  kSetSoundingSpan = 37,
  kSetLagPenalty = 38,
  kSetBandFactor = 39,
  kSetContinuity = 40,
  kSetUseMedian = 41,
  kSetNeedTwoFrames = 42,
};

// A new record in its initial state, or null when memory runs out.
PitchTracker* WFETBegProcess();
// Frees the record (and with it both filter stages).
void WFETEndProcess(PitchTracker* tracker);

// Changes one numbered setting. Returns 1 when accepted, 0 when the value is out of range
// (nothing changes) or the id is not a setting. Not a number is always refused; -inf is
// accepted as the velocity floor only.
int WFETSet(PitchTracker* tracker, int16_t id, double value);

// Analyses byteCount / 2 samples; returns the number of samples consumed.
int32_t WFETProcess(PitchTracker* tracker, const int16_t* samples, int32_t byteCount);

// Searches the period of the latest stretch and decides notes into `decision`.
void WFETCalc(PitchTracker* tracker, MidiDecision* decision);

// The steps of WFETCalc, reachable on their own.
void WFETForces(PitchTracker* tracker);
int32_t WFETRef(const PitchTracker* tracker);  // ring index, or -1 when no force is > 0
void WFETTimeLags(PitchTracker* tracker, int32_t ref);
int32_t WFETCopy(const PitchTracker* tracker, int32_t ref, int32_t candidate,
                 MatchEntry (&entries)[kMatchCapacity]);  // returns count - 1
double WFETDistCalc(const PitchTracker* tracker, int32_t candidate,
                    const MatchEntry (&entries)[kMatchCapacity], int32_t n);
void WFETMIDI(PitchTracker* tracker, MidiDecision* decision);
