#include "engine/QuenBiquad.h"

#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185308;
constexpr double kLn2 = 0.6931471806;

void ComputeOmega(BiquadFloat* f) { f->omega = kTwoPi * f->frequency / f->sampleRate; }

// Computes the normalised coefficients from the settings. Returns false when they would not
// be finite numbers (a0 of zero, an overflow), leaving the coefficients in an unknown state.
bool ComputeCoefficients(BiquadFloat* f) {
  const double cosw = std::cos(f->omega);
  const double sinw = std::sin(f->omega);
  const double alpha = sinw * std::sinh(1.0 / (2.0 * f->q));
  const double A = f->gain;
  double b0, b1, b2, a0, a1, a2;
  switch (f->type) {
    case kBiquadLowPass:
      b0 = (1 - cosw) / 2; b1 = 1 - cosw; b2 = (1 - cosw) / 2;
      a0 = 1 + alpha; a1 = -2 * cosw; a2 = 1 - alpha;
      break;
    case kBiquadHighPass:
      b0 = (1 + cosw) / 2; b1 = -(1 + cosw); b2 = (1 + cosw) / 2;
      a0 = 1 + alpha; a1 = -2 * cosw; a2 = 1 - alpha;
      break;
    case kBiquadBandPass:
      b0 = alpha; b1 = 0; b2 = -alpha;
      a0 = 1 + alpha; a1 = -2 * cosw; a2 = 1 - alpha;
      break;
    case kBiquadNotch:
      b0 = 1; b1 = -2 * cosw; b2 = 1;
      a0 = 1 + alpha; a1 = -2 * cosw; a2 = 1 - alpha;
      break;
    case kBiquadPeaking:
      b0 = 1 + alpha * A; b1 = -2 * cosw; b2 = 1 - alpha * A;
      a0 = 1 + alpha / A; a1 = -2 * cosw; a2 = 1 - alpha / A;
      break;
    case kBiquadLowShelf:
    case kBiquadHighShelf: {
      // Shelves take their steepness from the slope S rather than from Q.
      const double shelfAlpha =
          sinw / 2 * std::sqrt((A + 1 / A) * (1 / f->shelfSlope - 1) + 2);
      const double k = 2 * std::sqrt(A) * shelfAlpha;
      if (f->type == kBiquadLowShelf) {
        b0 = A * ((A + 1) - (A - 1) * cosw + k);
        b1 = 2 * A * ((A - 1) - (A + 1) * cosw);
        b2 = A * ((A + 1) - (A - 1) * cosw - k);
        a0 = (A + 1) + (A - 1) * cosw + k;
        a1 = -2 * ((A - 1) + (A + 1) * cosw);
        a2 = (A + 1) + (A - 1) * cosw - k;
      } else {
        b0 = A * ((A + 1) + (A - 1) * cosw + k);
        b1 = -2 * A * ((A - 1) + (A + 1) * cosw);
        b2 = A * ((A + 1) + (A - 1) * cosw - k);
        a0 = (A + 1) - (A - 1) * cosw + k;
        a1 = 2 * ((A - 1) - (A + 1) * cosw);
        a2 = (A + 1) - (A - 1) * cosw - k;
      }
      break;
    }
    case kBiquadAllPass:
      b0 = 1 - alpha; b1 = -2 * cosw; b2 = 1 + alpha;
      a0 = 1 + alpha; a1 = -2 * cosw; a2 = 1 - alpha;
      break;
    default:
      return false;
  }
  if (a0 == 0) return false;
  f->b0 = b0 / a0;
  f->b1 = b1 / a0;
  f->b2 = b2 / a0;
  f->a1 = a1 / a0;
  f->a2 = a2 / a0;
  return std::isfinite(f->b0) && std::isfinite(f->b1) && std::isfinite(f->b2) &&
         std::isfinite(f->a1) && std::isfinite(f->a2);
}

}  // namespace

void QuenBiquadFloat_Init(BiquadFloat* filter) {
  *filter = BiquadFloat{};
  ComputeOmega(filter);
  ComputeCoefficients(filter);
}

void QuenBiquadFloat_Reset(BiquadFloat* filter) {
  filter->x1 = filter->x2 = filter->y1 = filter->y2 = 0;
}

int32_t QuenBiquadFloat_Set(BiquadFloat* filter, int16_t setting, double value) {
  if (!std::isfinite(value)) return kBiquadBadValue;
  BiquadFloat next = *filter;
  switch (setting) {
    case kBiquadSetSampleRate:
      if (!(value >= 1 && value < 2147483648.0)) return kBiquadBadValue;
      next.sampleRate = static_cast<int32_t>(value);
      ComputeOmega(&next);
      break;
    case kBiquadSetFrequency:
      if (!(value > 0)) return kBiquadBadValue;
      next.frequency = value;
      ComputeOmega(&next);
      break;
    case kBiquadSetQ:
      if (!(value > 0)) return kBiquadBadValue;
      next.q = value;
      break;
    case kBiquadSetShelfSlope:
      if (!(value > 0 && value <= 1)) return kBiquadBadValue;
      next.shelfSlope = value;
      break;
    case kBiquadSetBandwidth: {
      if (!(value > 0)) return kBiquadBadValue;
      const double q = std::sin(next.omega) / (value * next.omega * kLn2);
      // At or above half the sample rate sin(omega) is not positive: no usable Q.
      if (!(q > 0) || !std::isfinite(q)) return kBiquadBadValue;
      next.q = q;
      break;
    }
    case kBiquadSetGain:
      if (!(value > 0)) return kBiquadBadValue;
      next.gain = value;
      break;
    case kBiquadSetGainDb:
      if (!(value >= -120 && value <= 120)) return kBiquadBadValue;
      next.gain = std::pow(10.0, value / 40.0);
      break;
    case kBiquadSetType:
      if (!(value >= 1 && value < 9)) return kBiquadBadValue;  // kBiquadLowPass..kBiquadAllPass
      next.type = static_cast<int16_t>(value);
      break;
    default:
      return kBiquadBadSetting;
  }
  if (!ComputeCoefficients(&next)) return kBiquadBadValue;
  *filter = next;
  return kBiquadOk;
}
