#include "ThudDrawing.h"

#include "Envelope.h"
#include "ThudConstants.h"
#include "ThudSound.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace thud {

int32_t CurveFromDrag(double x, double width)
{
    if (!(width > 0.0))
        return 1;
    auto curve = static_cast<int32_t>(std::floor(x / width * 100.0 - 50.0));
    return curve == 0 ? 1 : curve;
}

std::vector<float> EnvelopeCurve(double k, int columns)
{
    std::vector<float> values;
    if (columns <= 0)
        return values;
    values.reserve(static_cast<size_t>(columns));
    for (int i = 0; i < columns; i++) {
        double t = columns == 1 ? 0.0 : static_cast<double>(i) / (columns - 1);
        values.push_back(static_cast<float>(ExpEnvelope(t, k)));
    }
    return values;
}

std::vector<float> ShapedPeriod(const ThudSound& sound, int columns, bool distort)
{
    std::vector<float> values;
    if (columns <= 0)
        return values;
    values.reserve(static_cast<size_t>(columns));
    double phase = 0.0;
    double increment = static_cast<double>(kTableSize) / columns;
    for (int i = 0; i < columns; i++) {
        float s = sound.Oscillator(increment, phase);
        values.push_back(distort ? sound.Distort(s) : s);
    }
    return values;
}

std::vector<SampleRange> SoundColumns(const int16_t* samples, int64_t count, int width)
{
    std::vector<SampleRange> columns;
    if (samples == nullptr || count <= 0 || width <= 2)
        return columns;
    int64_t step = std::max<int64_t>(1, count / (width - 2));
    for (int64_t start = 0; start + step <= count && columns.size() < size_t(width - 2);
         start += step) {
        auto [low, high] = std::minmax_element(samples + start, samples + start + step);
        columns.push_back(SampleRange{*low, *high});
    }
    return columns;
}

double SampleY(int32_t sample, double height)
{
    double half = height / 2.0;
    return half - static_cast<double>(sample) / 32768.0 * half;
}

std::string FormatValue(double value)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

double ParseValue(const std::string& text)
{
    return std::strtod(text.c_str(), nullptr);
}

}  // namespace thud
