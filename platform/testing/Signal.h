#pragma once
// Measures of a recorded tone, for tests that check what came out of an audio path.
#include <vector>

// The frequency from the rising zero crossings (0 for fewer than two).
double SignalFrequency(const std::vector<float>& samples, double rate);
// The largest magnitude.
float SignalPeak(const std::vector<float>& samples);
// The root mean square (0 for no samples).
double SignalRms(const std::vector<float>& samples);
// Whether every sample is a finite number.
bool SignalFinite(const std::vector<float>& samples);
