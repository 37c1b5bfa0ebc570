#pragma once
// Fourth-order resonant low-pass: two second-order analogue sections (the Butterworth
// pair, their damping divided by Q) turned digital by the bilinear transform, run as a
// cascade in float arithmetic.

#include <array>
#include <cstddef>

namespace thud {

class LowPassFilter {
public:
    LowPassFilter();

    // Recomputes the coefficients for resonance q and cutoff (Hz) and clears the history.
    void UpdateFilter(double q, double cutoff);
    // Filters the values in place. Per value, with each section's history h1, h2:
    // out -= h1·β1; w = out − h2·β2; out = w + h1·α1 + h2·α2; h2 = h1; h1 = w.
    void ProcessBlock(float* data, size_t count)
    {
        const float k = fCoef[0];
        const float b11 = fCoef[1], b12 = fCoef[2], a11 = fCoef[3], a12 = fCoef[4];
        const float b21 = fCoef[5], b22 = fCoef[6], a21 = fCoef[7], a22 = fCoef[8];
        float h11 = fHistory[0], h12 = fHistory[1], h21 = fHistory[2], h22 = fHistory[3];
        for (size_t i = 0; i < count; i++) {
            float out = data[i] * k;
            out = out - h11 * b11;
            float w = out - h12 * b12;
            out = w + h11 * a11 + h12 * a12;
            h12 = h11;
            h11 = w;
            out = out - h21 * b21;
            w = out - h22 * b22;
            out = w + h21 * a21 + h22 * a22;
            h22 = h21;
            h21 = w;
            data[i] = out;
        }
        fHistory = {h11, h12, h21, h22};
    }

    // Overall gain, then β1 β2 α1 α2 of each section.
    const std::array<float, 9>& Coefficients() const { return fCoef; }
    double Gain() const { return fGain; }

private:
    static constexpr int kSections = 2;

    std::array<float, 9> fCoef{};
    std::array<float, 4> fHistory{};
    double fGain = 1.0;
};

}  // namespace thud
