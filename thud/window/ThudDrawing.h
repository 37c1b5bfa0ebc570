#pragma once
// The arithmetic of thud's pictures, apart from pixels: what a drag in an envelope view
// means, and the points the envelope, distortion and sound views draw.

#include <cstdint>
#include <string>
#include <vector>

namespace thud {

class ThudSound;

// The curve a drag at x in an envelope view `width` pixels wide gives:
// floor(x / width × 100 − 50), where 0 becomes 1 (a curve of 0 means nothing).
int32_t CurveFromDrag(double x, double width);

// The envelope of curvature k at `columns` evenly spaced times from 0 to 1: 1 at the
// first column, 0 at the last.
std::vector<float> EnvelopeCurve(double k, int columns);

// One period of the sound's oscillator across `columns`, passed through its distortion
// curve when `distort` is set: values in -1..1.
std::vector<float> ShapedPeriod(const ThudSound& sound, int columns, bool distort);

struct SampleRange {
    int16_t low;
    int16_t high;
};

// The rendered sound in columns for a view `width` pixels wide: each column covers
// floor(count / (width − 2)) samples (at least 1) and keeps their lowest and highest.
std::vector<SampleRange> SoundColumns(const int16_t* samples, int64_t count, int width);

// Vertical position of a sample in a view `height` high: full scale (±32768) reaches the
// top and bottom, 0 is the middle.
double SampleY(int32_t sample, double height);

// A number as the window's text fields show it ("%g").
std::string FormatValue(double value);
// A number typed into a text field: the C library's reading, 0 for text that is not one.
double ParseValue(const std::string& text);

}  // namespace thud
