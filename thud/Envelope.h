#pragma once
// The exponential envelope both the frequency sweep and the amplitude decay follow:
// 1 at t = 0 falling to 0 at t = 1; a negative curvature k falls fast then slowly, a
// positive one holds and falls at the end.

#include <cmath>
#include <cstdint>

namespace thud {

// A curvature of 0 would divide by zero; it counts as 1.
inline double EffectiveCurve(double k)
{
    return k == 0.0 ? 1.0 : k;
}

inline double ExpEnvelope(double t, double k)
{
    k = EffectiveCurve(k);
    return 1.0 - (1.0 - std::exp(k * t)) / (1.0 - std::exp(k));
}

// The envelope at t = i / span for i = 0, 1, 2, ...: one multiplication per step instead
// of an exponential, which keeps rendering fast.
class EnvelopeRamp {
public:
    EnvelopeRamp(double k, double span)
    {
        k = EffectiveCurve(k);
        fScale = 1.0 / (1.0 - std::exp(k));
        fStep = std::exp(k / span);
    }

    double Next()
    {
        double value = 1.0 - (1.0 - fPower) * fScale;
        fPower *= fStep;
        return value;
    }

private:
    double fPower = 1.0;  // e^(k·t)
    double fStep;
    double fScale;
};

}  // namespace thud
