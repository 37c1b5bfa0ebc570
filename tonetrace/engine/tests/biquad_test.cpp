#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/QuenBiquad.h"

namespace {

struct Coefficients {
  double b0, b1, b2, a1, a2;
};

// The cookbook formulas, written out independently of the kit. alpha follows the kit's
// definition sin(w) * sinh(1 / (2Q)); the shelves use the slope form.
Coefficients Expected(int type, double rate, double hz, double q, double gainA, double slope) {
  const double w = 6.283185308 * hz / rate;
  const double c = std::cos(w), s = std::sin(w);
  const double alpha = s * std::sinh(1 / (2 * q));
  const double A = gainA;
  double b[3], a[3];
  auto set = [&](double b0, double b1, double b2, double a0, double a1, double a2) {
    b[0] = b0; b[1] = b1; b[2] = b2; a[0] = a0; a[1] = a1; a[2] = a2;
  };
  const double shelfAlpha = s / 2 * std::sqrt((A + 1 / A) * (1 / slope - 1) + 2);
  const double k = 2 * std::sqrt(A) * shelfAlpha;
  switch (type) {
    case 1: set((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha); break;
    case 2: set((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha); break;
    case 3: set(alpha, 0, -alpha, 1 + alpha, -2 * c, 1 - alpha); break;
    case 4: set(1, -2 * c, 1, 1 + alpha, -2 * c, 1 - alpha); break;
    case 5: set(1 + alpha * A, -2 * c, 1 - alpha * A, 1 + alpha / A, -2 * c, 1 - alpha / A); break;
    case 6:
      set(A * ((A + 1) - (A - 1) * c + k), 2 * A * ((A - 1) - (A + 1) * c),
          A * ((A + 1) - (A - 1) * c - k), (A + 1) + (A - 1) * c + k,
          -2 * ((A - 1) + (A + 1) * c), (A + 1) + (A - 1) * c - k);
      break;
    case 7:
      set(A * ((A + 1) + (A - 1) * c + k), -2 * A * ((A - 1) + (A + 1) * c),
          A * ((A + 1) + (A - 1) * c - k), (A + 1) - (A - 1) * c + k,
          2 * ((A - 1) - (A + 1) * c), (A + 1) - (A - 1) * c - k);
      break;
    default: set(1 - alpha, -2 * c, 1 + alpha, 1 + alpha, -2 * c, 1 - alpha); break;
  }
  return {b[0] / a[0], b[1] / a[0], b[2] / a[0], a[1] / a[0], a[2] / a[0]};
}

void ExpectCoefficients(const BiquadFloat& f, const Coefficients& e, const char* what) {
  EXPECT_NEAR(f.b0, e.b0, 1e-12) << what;
  EXPECT_NEAR(f.b1, e.b1, 1e-12) << what;
  EXPECT_NEAR(f.b2, e.b2, 1e-12) << what;
  EXPECT_NEAR(f.a1, e.a1, 1e-12) << what;
  EXPECT_NEAR(f.a2, e.a2, 1e-12) << what;
}

TEST(QuenBiquad, EveryTypeMatchesTheCookbookFormulas) {
  const char* names[] = {"", "low-pass", "high-pass", "band-pass", "notch",
                         "peaking", "low shelf", "high shelf", "all-pass"};
  for (int type = 1; type <= 8; ++type) {
    BiquadFloat f;
    QuenBiquadFloat_Init(&f);
    ASSERT_EQ(QuenBiquadFloat_Set(&f, kBiquadSetType, type), kBiquadOk);
    ASSERT_EQ(QuenBiquadFloat_Set(&f, kBiquadSetSampleRate, 48000), kBiquadOk);
    ASSERT_EQ(QuenBiquadFloat_Set(&f, kBiquadSetFrequency, 2500), kBiquadOk);
    ASSERT_EQ(QuenBiquadFloat_Set(&f, kBiquadSetQ, 0.8), kBiquadOk);
    ASSERT_EQ(QuenBiquadFloat_Set(&f, kBiquadSetGainDb, 9), kBiquadOk);
    ASSERT_EQ(QuenBiquadFloat_Set(&f, kBiquadSetShelfSlope, 0.7), kBiquadOk);
    EXPECT_NEAR(f.gain, std::pow(10.0, 9.0 / 40), 1e-15);
    EXPECT_NEAR(f.omega, 6.283185308 * 2500 / 48000, 1e-15);
    ExpectCoefficients(f, Expected(type, 48000, 2500, 0.8, f.gain, 0.7), names[type]);
  }
}

TEST(QuenBiquad, StartsAsAOneKilohertzLowPassAndFiltersSampleBySample) {
  BiquadFloat f;
  QuenBiquadFloat_Init(&f);
  EXPECT_EQ(f.type, kBiquadLowPass);
  EXPECT_EQ(f.sampleRate, 44100);
  ExpectCoefficients(f, Expected(1, 44100, 1000, 1, 1, 1), "initial");

  // Impulse response from the difference equation.
  const Coefficients c = Expected(1, 44100, 1000, 1, 1, 1);
  const double y0 = QuenBiquadFloat_ProcessSample(&f, 1);
  const double y1 = QuenBiquadFloat_ProcessSample(&f, 0);
  const double y2 = QuenBiquadFloat_ProcessSample(&f, 0);
  const double y3 = QuenBiquadFloat_ProcessSample(&f, 0);
  EXPECT_NEAR(y0, c.b0, 1e-15);
  EXPECT_NEAR(y1, c.b1 - c.a1 * y0, 1e-15);
  EXPECT_NEAR(y2, c.b2 - c.a1 * y1 - c.a2 * y0, 1e-15);
  EXPECT_NEAR(y3, -c.a1 * y2 - c.a2 * y1, 1e-15);

  // A low-pass passes DC with gain 1, a high-pass blocks it.
  BiquadFloat lp, hp;
  QuenBiquadFloat_Init(&lp);
  QuenBiquadFloat_Init(&hp);
  QuenBiquadFloat_Set(&hp, kBiquadSetType, kBiquadHighPass);
  double ylp = 0, yhp = 0;
  for (int i = 0; i < 20000; ++i) {
    ylp = QuenBiquadFloat_ProcessSample(&lp, 1000);
    yhp = QuenBiquadFloat_ProcessSample(&hp, 1000);
  }
  EXPECT_NEAR(ylp, 1000, 1e-6);
  EXPECT_NEAR(yhp, 0, 1e-6);
  QuenBiquadFloat_Reset(&lp);
  EXPECT_EQ(lp.y1, 0);
  EXPECT_EQ(lp.x2, 0);
}

TEST(QuenBiquad, BandwidthSetsQAndRefusedValuesChangeNothing) {
  BiquadFloat f;
  QuenBiquadFloat_Init(&f);
  ASSERT_EQ(QuenBiquadFloat_Set(&f, kBiquadSetBandwidth, 1.5), kBiquadOk);
  const double w = 6.283185308 * 1000 / 44100;
  EXPECT_NEAR(f.q, std::sin(w) / (1.5 * w * 0.6931471806), 1e-15);
  ExpectCoefficients(f, Expected(1, 44100, 1000, f.q, 1, 1), "after bandwidth");

  const struct { int16_t setting; double value; } refused[] = {
      {kBiquadSetSampleRate, 0}, {kBiquadSetFrequency, 0}, {kBiquadSetFrequency, -5},
      {kBiquadSetQ, 0}, {kBiquadSetShelfSlope, 0}, {kBiquadSetShelfSlope, 1.01},
      {kBiquadSetBandwidth, 0}, {kBiquadSetGain, 0}, {kBiquadSetGainDb, 120.5},
      {kBiquadSetGainDb, -121}, {kBiquadSetType, 0}, {kBiquadSetType, 9},
      {kBiquadSetQ, std::nan("")}, {kBiquadSetFrequency, INFINITY},
  };
  BiquadFloat before = f;
  for (const auto& r : refused) {
    EXPECT_EQ(QuenBiquadFloat_Set(&f, r.setting, r.value), kBiquadBadValue)
        << "setting " << r.setting << " value " << r.value;
    EXPECT_EQ(std::memcmp(&before, &f, sizeof f), 0) << "setting " << r.setting;
  }
  EXPECT_EQ(QuenBiquadFloat_Set(&f, 0, 1), kBiquadBadSetting);
  EXPECT_EQ(QuenBiquadFloat_Set(&f, 9, 1), kBiquadBadSetting);
  // At half the sample rate there is no bandwidth to speak of.
  ASSERT_EQ(QuenBiquadFloat_Set(&f, kBiquadSetFrequency, 22050), kBiquadOk);
  EXPECT_EQ(QuenBiquadFloat_Set(&f, kBiquadSetBandwidth, 1), kBiquadBadValue);
}

}  // namespace
