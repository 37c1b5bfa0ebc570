#include "LowPassFilter.h"

#include "ThudConstants.h"

#include <cmath>

namespace thud {

namespace {

struct Section {
    double a0, a1, a2;  // numerator of the analogue prototype
    double b0, b1, b2;  // denominator
};

// Damping terms of the fourth-order Butterworth pair.
constexpr Section kPrototype[2] = {
    {1.0, 0.0, 0.0, 1.0, 0.765367, 1.0},
    {1.0, 0.0, 0.0, 1.0, 1.847759, 1.0},
};

constexpr double kPi = 3.141592653589793;

// Moves the analogue cutoff so the digital filter's cutoff lands at fc.
// (The constant term of a section is unchanged.)
void Prewarp(double& c1, double& c2, double fc, double fs)
{
    double wp = 2.0 * fs * std::tan(kPi * fc / fs);
    c1 /= wp;
    c2 /= wp * wp;
}

}  // namespace

LowPassFilter::LowPassFilter()
{
    UpdateFilter(1.0, 5000.0);
}

void LowPassFilter::UpdateFilter(double q, double cutoff)
{
    const double fs = kSampleRate;
    double k = 1.0;
    for (int s = 0; s < kSections; s++) {
        Section p = kPrototype[s];
        p.b1 /= q;
        Prewarp(p.a1, p.a2, cutoff, fs);
        Prewarp(p.b1, p.b2, cutoff, fs);

        double ad = 4.0 * p.a2 * fs * fs + 2.0 * p.a1 * fs + p.a0;
        double bd = 4.0 * p.b2 * fs * fs + 2.0 * p.b1 * fs + p.b0;
        k *= ad / bd;
        float* c = &fCoef[1 + 4 * s];
        c[0] = static_cast<float>((2.0 * p.b0 - 8.0 * p.b2 * fs * fs) / bd);
        c[1] = static_cast<float>((4.0 * p.b2 * fs * fs - 2.0 * p.b1 * fs + p.b0) / bd);
        c[2] = static_cast<float>((2.0 * p.a0 - 8.0 * p.a2 * fs * fs) / ad);
        c[3] = static_cast<float>((4.0 * p.a2 * fs * fs - 2.0 * p.a1 * fs + p.a0) / ad);
    }
    fGain = k;
    fCoef[0] = static_cast<float>(k);
    fHistory.fill(0.0f);
}

}  // namespace thud
