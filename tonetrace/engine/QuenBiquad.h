// A second-order IIR filter stage (the "audio EQ cookbook" family) with numbered settings.
// Plain functions over one record; no allocation, no platform dependency.
#pragma once

#include <cstdint>

enum BiquadType : int16_t {
  kBiquadLowPass = 1,
  kBiquadHighPass = 2,
  kBiquadBandPass = 3,   // constant 0 dB peak gain
  kBiquadNotch = 4,
  kBiquadPeaking = 5,
  kBiquadLowShelf = 6,
  kBiquadHighShelf = 7,
  kBiquadAllPass = 8,
};

enum BiquadSetting : int16_t {
  kBiquadSetSampleRate = 1,  // int, > 0
  kBiquadSetFrequency = 2,   // Hz, > 0
  kBiquadSetQ = 3,           // > 0
  kBiquadSetShelfSlope = 4,  // 0 < S <= 1
  kBiquadSetBandwidth = 5,   // octaves, > 0; sets Q
  kBiquadSetGain = 6,        // linear A, > 0
  kBiquadSetGainDb = 7,      // -120..120; A = 10^(dB/40)
  kBiquadSetType = 8,        // one of BiquadType
};

// Status codes of QuenBiquadFloat_Set.
constexpr int32_t kBiquadOk = 0;
constexpr int32_t kBiquadBadValue = -2147483643;   // value out of range; nothing changed
constexpr int32_t kBiquadBadSetting = -2147483642; // unknown setting number; nothing changed

struct BiquadFloat {
  int32_t sampleRate = 44100;
  int16_t type = kBiquadLowPass;
  double frequency = 1000;
  double omega = 0;
  double gain = 1;        // A
  double q = 1;
  double shelfSlope = 1;  // S
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

// Puts the record in its initial state (type 1, 1000 Hz, 44100, A = Q = S = 1) with
// coefficients computed and history cleared.
void QuenBiquadFloat_Init(BiquadFloat* filter);

// Changes one setting and recomputes the coefficients. Returns kBiquadOk, or an error code
// with the filter left exactly as it was.
int32_t QuenBiquadFloat_Set(BiquadFloat* filter, int16_t setting, double value);

// Clears the sample history (x1, x2, y1, y2).
void QuenBiquadFloat_Reset(BiquadFloat* filter);

inline double QuenBiquadFloat_ProcessSample(BiquadFloat* f, double x) {
  const double y = f->b0 * x + f->b1 * f->x1 + f->b2 * f->x2 - f->a1 * f->y1 - f->a2 * f->y2;
  f->x2 = f->x1;
  f->x1 = x;
  f->y2 = f->y1;
  f->y1 = y;
  return y;
}
