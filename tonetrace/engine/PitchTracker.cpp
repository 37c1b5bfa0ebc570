#include "engine/PitchTracker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

namespace {

constexpr double kNoDistance = 2e30;
constexpr int kForceDepth = 99;      // events whose force is refreshed per search
constexpr int kReferenceWindow = 7;  // newest events considered as the reference
constexpr int kMaxCandidates = 50;
// Lags are needed for every candidate (ref-2 ... ref-100), one more than the forces.
constexpr int kLagDepth = 2 * kMaxCandidates;
// Slots not yet written count as lying far in the past. With an interval of 0 they would
// all sit at the same moment and match each other perfectly, so at the start of a stream a
// long candidate period (an octave too low) could win on a stretch of empty slots.
constexpr int32_t kUnfilledInterval = 1 << 24;

inline int32_t Ring(int32_t i) { return i & (kEventRingSize - 1); }

inline int32_t ClampToInt32(int64_t v) {
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

// Truncation toward zero that saturates instead of overflowing (NaN gives 0).
inline int32_t TruncToInt32(double v) {
  if (!(v == v)) return 0;
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

inline int16_t ClampInt16(double v, int16_t lo, int16_t hi) {
  if (!(v == v)) return lo;
  if (v < lo) return lo;
  if (v > hi) return hi;
  return static_cast<int16_t>(v);
}

// Sub-sample position of an extremum from the parabola through its three samples.
double PeakOffset(const ExtremumEvent& e) {
  const double denominator = 2 * (e.before - 2 * e.value + e.after);
  if (denominator == 0) return 0;
  return (e.before - e.after) / denominator;
}

void SetHighPassCutoff(PitchTracker* t, double hz) {
  QuenBiquadFloat_Set(&t->highPass, kBiquadSetFrequency, hz);
}

void SetLowPassCutoff(PitchTracker* t, double hz) {
  QuenBiquadFloat_Set(&t->lowPass, kBiquadSetFrequency, hz);
}

void InitFilter(BiquadFloat* f, int16_t type, double cutoff) {
  QuenBiquadFloat_Init(f);
  QuenBiquadFloat_Set(f, kBiquadSetType, type);
  QuenBiquadFloat_Set(f, kBiquadSetFrequency, cutoff);
  QuenBiquadFloat_Set(f, kBiquadSetQ, 1);
}

double Median3(double a, double b, double c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

}  // namespace

PitchTracker* WFETBegProcess() {
  auto* t = new (std::nothrow) PitchTracker{};
  if (t == nullptr) return nullptr;
  t->sampleRate = 44100;
  t->writeIndex = kEventRingSize - 1;
  for (ExtremumEvent& e : t->events) e.interval = kUnfilledInterval;
  InitFilter(&t->lowPass, kBiquadLowPass, 1760);
  InitFilter(&t->highPass, kBiquadHighPass, 55);
  t->minLag[0] = t->minLag[1] = 25;
  t->maxLag[0] = t->maxLag[1] = 801;
  t->lowFreq = 55;
  t->highFreq = 1760;
  t->referencePitch = 440;
  t->bendRange = 2;
  t->mismatchWeight[0] = t->mismatchWeight[1] = 4;
  t->lagWeight[0] = t->lagWeight[1] = 0.001;
  t->distanceLimit[0] = 0.2;
  t->distanceLimit[1] = 0.5;
  t->levelLimit[0] = 500;
  t->levelLimit[1] = 50;
  t->valueTolerance[0] = 0.2;
  t->valueTolerance[1] = 0.5;
  // The filters start at 1 x lowFreq and 1 x highFreq; keep the factor consistent with that
  // so that frequency settings move the filters even before a factor is set.
  t->bandFactor = 1;
  t->spanPeriods[0] = 4;
  t->spanPeriods[1] = 2;
  t->continuityWeight = 1000;
  t->history[0] = t->history[1] = t->history[2] = 440;
  t->velocityMode = 2;
  return t;
}

void WFETEndProcess(PitchTracker* tracker) { delete tracker; }

int WFETSet(PitchTracker* t, int16_t id, double v) {
  // Not a number is in no range. Infinities are refused by the ranges themselves, except
  // -inf for the velocity floor (every level then lies far above it: velocity 127) and for
  // the velocity top, where it is refused (below).
  if (t == nullptr || std::isnan(v)) return 0;
  switch (id) {
    case kSetSampleRate:
      if (!(v > 4000 && v < 200000)) return 0;
      t->sampleRate = v;
      QuenBiquadFloat_Set(&t->lowPass, kBiquadSetSampleRate, v);
      QuenBiquadFloat_Set(&t->highPass, kBiquadSetSampleRate, v);
      return 1;
    case kSetLowFrequency:
      if (!(v > 0 && v < t->sampleRate / 2)) return 0;
      t->lowFreq = v;
      t->maxLag[0] = t->maxLag[1] = TruncToInt32(t->sampleRate / v);
      SetHighPassCutoff(t, t->bandFactor * v);
      return 1;
    case kSetHighFrequency:
      if (!(v > 0 && v < t->sampleRate / 2)) return 0;
      t->highFreq = v;
      t->minLag[0] = t->minLag[1] = TruncToInt32(t->sampleRate / v);
      SetLowPassCutoff(t, t->bandFactor * v);
      return 1;
    case kSetLowNote:
      if (!(v > 10 && v < 80)) return 0;
      return WFETSet(t, kSetLowFrequency, t->referencePitch * std::pow(2.0, (v - 69) / 12));
    case kSetHighNote:
      if (!(v > 35 && v < 105)) return 0;
      return WFETSet(t, kSetHighFrequency, t->referencePitch * std::pow(2.0, (v - 69) / 12));
    case kSetReferencePitch:
      if (!(v > 0 && v < 1000)) return 0;
      t->referencePitch = v;
      return 1;
    case kSetBendRange:
      if (!(v >= 1 && v < 36)) return 0;
      t->bendRange = static_cast<int16_t>(v);
      return 1;
    case kSetVelocityMode:
      if (!(v >= 0 && v <= 3)) return 0;
      t->velocityMode = static_cast<int16_t>(v);
      return 1;
    case kSetVelocityFloorDb:
      if (!(v < 0)) return 0;
      t->velocityFloorDb = v;
      return 1;
    case kSetVelocityTopDb:
      // A top of -inf would make every velocity 127 x (1 - (-inf)/(-inf)): not a number.
      if (!(v <= 0 && std::isfinite(v))) return 0;
      t->velocityTopDb = v;
      return 1;
    case kSetStartLevel:
      if (!(v > 0 && v < 30000)) return 0;
      t->levelLimit[0] = v;
      t->levelLimitDb[0] = 20 * std::log10(v / 32768);
      return 1;
    case kSetHoldLevel:
      if (!(v > 0 && v < 30000)) return 0;
      t->levelLimit[1] = v;
      t->levelLimitDb[1] = 20 * std::log10(v / 32768);
      WFETSet(t, kSetVelocityFloorDb, t->levelLimitDb[1]);
      return 1;
    case kSetStartLevelDb:
      if (!(v > -120 && v <= 0)) return 0;
      t->levelLimitDb[0] = v;
      t->levelLimit[0] = 32768 * std::pow(10.0, v / 20);
      return 1;
    case kSetHoldLevelDb:
      if (!(v > -120 && v <= 0)) return 0;
      t->levelLimitDb[1] = v;
      WFETSet(t, kSetVelocityFloorDb, v);
      t->levelLimit[1] = 32768 * std::pow(10.0, v / 20);
      return 1;
    case kSetStartDistance:
      if (!(v > 0 && v < 2)) return 0;
      t->distanceLimit[0] = v / 3;
      return 1;
    case kSetHoldDistance:
      if (!(v > 0 && v < 2)) return 0;
      t->distanceLimit[1] = v / 2;
      return 1;
    case kSetIdleSpan:
      if (!(v >= 1 && v < 9)) return 0;
      t->spanPeriods[0] = static_cast<int32_t>(v);
      return 1;
    case kSetSoundingSpan:
      if (!(v >= 1 && v < 30)) return 0;
      t->spanPeriods[1] = static_cast<int32_t>(v);
      return 1;
    case kSetLagPenalty:
      if (!(v > 0 && v < 1)) return 0;
      t->lagWeight[0] = t->lagWeight[1] = v / 100;
      return 1;
    case kSetBandFactor:
      if (!(v > 0.1 && v < 3)) return 0;
      t->bandFactor = v;
      SetHighPassCutoff(t, v * t->lowFreq);
      SetLowPassCutoff(t, v * t->highFreq);
      return 1;
    case kSetContinuity:
      if (!(v >= 0 && v < 1)) return 0;
      t->continuityWeight = v * 20000;
      return 1;
    case kSetUseMedian:
      if (!(v == 0 || v == 1)) return 0;
      t->useMedian = static_cast<int16_t>(v);
      return 1;
    case kSetNeedTwoFrames:
      if (!(v == 0 || v == 1)) return 0;
      t->needTwoFrames = static_cast<int16_t>(v);
      return 1;
    default:
      return 0;
  }
}

int32_t WFETProcess(PitchTracker* t, const int16_t* samples, int32_t byteCount) {
  if (t == nullptr || samples == nullptr || byteCount < 2) return 0;
  const int32_t count = byteCount / 2;
  for (int32_t k = 0; k < count; ++k) {
    const double x = samples[k];
    const double ax = std::fabs(x);
    t->inputPeak = ax > t->inputPeak ? ax : (ax + 1023 * t->inputPeak) / 1024;

    const double y =
        QuenBiquadFloat_ProcessSample(&t->lowPass, QuenBiquadFloat_ProcessSample(&t->highPass, x));

    const double ay = std::fabs(y);
    t->envelope = ay > t->envelope ? ay : (8 * ay + 4088 * t->envelope) / 4096;
    t->slowEnvelope = (8 * t->envelope + 4088 * t->slowEnvelope) / 4096;

    const bool maximum = t->prev1 >= t->prev2 && t->prev1 > y;
    const bool minimum = t->prev1 < t->prev2 && t->prev1 <= y;
    if (maximum || minimum) {
      const double previousValue = t->events[t->writeIndex].value;
      t->writeIndex = Ring(t->writeIndex + 1);
      ExtremumEvent& e = t->events[t->writeIndex];
      e.type = maximum ? 1 : 0;
      e.interval = t->samplesSinceEvent;
      e.lag = 0;
      e.value = t->prev1;
      e.before = t->prev2;
      e.after = y;
      e.swing = std::fabs(previousValue - t->prev1);
      e.force = 0;
      t->samplesSinceEvent = 0;
    }
    t->prev2 = t->prev1;
    t->prev1 = y;
    // A flat signal makes no events; saturate rather than overflow after hours of it.
    if (t->samplesSinceEvent < std::numeric_limits<int32_t>::max()) ++t->samplesSinceEvent;
  }
  t->samplesSinceCalc = ClampToInt32(int64_t{t->samplesSinceCalc} + count);
  return count;
}

void WFETForces(PitchTracker* t) {
  for (int32_t k = 1; k <= kForceDepth; ++k) {
    ExtremumEvent& e = t->events[Ring(t->writeIndex - k)];
    const ExtremumEvent& newer = t->events[Ring(t->writeIndex - k + 1)];
    e.force = std::min(e.swing, newer.swing);
  }
}

int32_t WFETRef(const PitchTracker* t) {
  int32_t best = -1;
  double bestForce = 0;
  for (int32_t k = 1; k <= kReferenceWindow; ++k) {
    const int32_t i = Ring(t->writeIndex - k);
    if (t->events[i].force > bestForce) {
      bestForce = t->events[i].force;
      best = i;
    }
  }
  return best;
}

void WFETTimeLags(PitchTracker* t, int32_t ref) {
  int64_t lag = 0;
  t->events[Ring(ref)].lag = 0;
  for (int32_t k = 1; k <= kLagDepth; ++k) {
    lag -= t->events[Ring(ref - k + 1)].interval;
    t->events[Ring(ref - k)].lag = ClampToInt32(lag);
  }
}

int32_t WFETCopy(const PitchTracker* t, int32_t ref, int32_t candidate,
                 MatchEntry (&entries)[kMatchCapacity]) {
  const int s = t->sounding ? 1 : 0;
  const int64_t limit = int64_t{t->events[Ring(candidate)].lag} * t->spanPeriods[s];
  int32_t refIndex = ref, candIndex = candidate;
  int64_t refTime = 0, candTime = 0;
  int32_t count = 0;
  do {
    const bool takeRef = refTime >= candTime;
    int32_t& index = takeRef ? refIndex : candIndex;
    int64_t& time = takeRef ? refTime : candTime;
    const ExtremumEvent& e = t->events[Ring(index)];
    MatchEntry& m = entries[count];
    m.type = e.type;
    m.source = takeRef ? 0 : 1;
    m.time = ClampToInt32(time);
    m.force = e.force;
    m.value = e.value;
    ++count;
    time -= e.interval;
    index = Ring(index - 1);
  } while (count <= kMatchCapacity - 1 &&
           ((refTime >= limit && candTime >= limit) || (count & 1) != 0 || count <= 2));
  return count - 1;
}

double WFETDistCalc(const PitchTracker* t, int32_t candidate,
                    const MatchEntry (&entries)[kMatchCapacity], int32_t n) {
  const int s = t->sounding ? 1 : 0;
  double a = 0, b = 0;
  for (int32_t i = 0; i < n && i + 1 < kMatchCapacity; i += 2) {
    const MatchEntry& first = entries[i];
    const MatchEntry& second = entries[i + 1];
    if (first.source != second.source) {
      a += std::fabs(first.value - second.value);
      b += std::fabs(static_cast<double>(first.time) - second.time);
    } else {
      a += t->mismatchWeight[s] * (first.force + second.force);
    }
  }
  const double period = -static_cast<double>(t->events[Ring(candidate)].lag);
  return a / (t->envelope * n) + b / ((period + 1) * n);
}

void WFETCalc(PitchTracker* t, MidiDecision* decision) {
  const int s = t->sounding ? 1 : 0;
  WFETForces(t);
  const int32_t ref = WFETRef(t);
  if (ref < 0) {
    // Nothing to compare: frequency, period and the sample count since the last search
    // stay as they were (the count keeps growing until a search runs).
    t->distance = kNoDistance;
    WFETMIDI(t, decision);
    return;
  }
  WFETTimeLags(t, ref);
  const ExtremumEvent& reference = t->events[ref];
  const double tolerance = t->valueTolerance[s] * t->slowEnvelope;
  int32_t best = -1;
  double bestScore = kNoDistance, bestDistance = kNoDistance;
  MatchEntry entries[kMatchCapacity];
  for (int32_t k = 1; k <= kMaxCandidates; ++k) {
    const int32_t c = Ring(ref - 2 * k);
    const double lag = -static_cast<double>(t->events[c].lag);
    if (lag > t->maxLag[s]) break;
    if (!(std::fabs(reference.value - t->events[c].value) < tolerance) || lag < t->minLag[s])
      continue;
    const int32_t n = WFETCopy(t, ref, c, entries);
    const double distance = WFETDistCalc(t, c, entries, n);
    double score = distance + t->lagWeight[s] * lag;
    if (t->valid == 1 && t->period > 0 && t->samplesSinceCalc > 0)
      score += std::fabs(1 - lag / t->period) * t->continuityWeight / t->samplesSinceCalc;
    if (score < bestScore) {
      best = c;
      bestScore = score;
      bestDistance = distance;
    }
  }
  if (best >= 0) {
    const double lag = -static_cast<double>(t->events[best].lag);
    const double span = lag + PeakOffset(reference) - PeakOffset(t->events[best]);
    // A zero-length period (only possible with degenerate events) has no frequency.
    t->frequency = span > 0 ? t->sampleRate / span : 0;
    t->period = lag;
    t->distance = bestDistance;
  } else {
    t->frequency = 0;
    t->period = 0;
    t->distance = kNoDistance;
  }
  WFETMIDI(t, decision);
  t->samplesSinceCalc = 0;
}

void WFETMIDI(PitchTracker* t, MidiDecision* d) {
  d->noteOff = -1;
  d->noteOn = -1;
  const int s = t->sounding ? 1 : 0;

  t->history[2] = t->history[1];
  t->history[1] = t->history[0];
  t->history[0] = t->frequency;
  const double f = t->useMedian ? Median3(t->history[0], t->history[1], t->history[2])
                                : t->frequency;
  t->usedFrequency = f;
  t->prevValid = t->valid;

  t->valid = (t->distanceLimit[s] > t->distance && t->levelLimit[s] < t->inputPeak && f > 0 &&
              std::isfinite(f))
                 ? 1
                 : 0;
  if (!t->valid || (t->needTwoFrames && t->prevValid != 1)) {
    t->frequency = -1;
    if (t->sounding) {
      d->noteOff = t->currentNote;
      t->sounding = 0;
    }
  } else {
    // f is finite and positive, so p stays within a few thousand notes either way.
    const double p = 69 + 12 * std::log2(f / t->referencePitch);
    const int16_t n = ClampInt16(std::fabs(std::trunc(p + 0.5)), 0, 32767);

    int32_t v = 0;
    if (t->inputPeak > 1e-20) {
      const double db = 20 * std::log10(t->inputPeak / 32768);
      const double scaled = 127 * (1 - (t->velocityTopDb - db) /
                                            (t->velocityTopDb - t->velocityFloorDb));
      // Clamp before converting: far outside the range the product is not an int.
      v = ClampInt16(std::trunc(scaled), 0, 127);
    }

    if (!t->sounding) {
      t->sounding = 1;
      t->currentNote = n;
      d->noteOn = n;
      switch (t->velocityMode) {
        case 0: d->velocity = static_cast<int16_t>(v); d->expression = 127; break;
        case 1: d->velocity = static_cast<int16_t>(v); d->expression = 96; break;
        case 2: d->velocity = 127; d->expression = static_cast<int16_t>(v); break;
        default: break;
      }
      t->onsetVelocity = d->velocity;
      const double widen = std::pow(2.0, t->bendRange / 12.0);
      t->maxLag[1] = TruncToInt32(widen * t->period);
      t->minLag[1] = TruncToInt32(t->period / widen);
    } else {
      d->velocity = t->onsetVelocity;
      switch (t->velocityMode) {
        case 0: d->expression = 127; break;
        case 1:
          d->expression =
              t->onsetVelocity > 10 ? ClampInt16(v * 96 / t->onsetVelocity, 0, 32767) : 127;
          break;
        case 2: d->expression = static_cast<int16_t>(v); break;
        default: break;
      }
    }

    double delta = p - t->currentNote;
    if (std::fabs(delta) > t->bendRange) {
      d->noteOff = t->currentNote;
      t->currentNote = n;
      d->noteOn = n;
      d->velocity = 127;
      delta = p - n;
    }
    d->bend = ClampInt16(std::trunc(delta * 8191 / t->bendRange + 8192), 0, 16383);
  }
  d->bend = std::clamp<int16_t>(d->bend, 0, 16383);
  d->expression = std::clamp<int16_t>(d->expression, 0, 127);
  d->velocity = std::clamp<int16_t>(d->velocity, 0, 127);
}
