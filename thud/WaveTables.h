#pragma once
// The oscillator's single-period tables and the tanh distortion curve. Each table has one
// guard entry past the end so interpolation never reads outside it.

#include "ThudConstants.h"

#include <array>

namespace thud {

using WaveTable = std::array<float, kTableSize + 1>;

// Fills one period of the given oscillator type; an unknown type leaves the table as it was.
void FillWaveTable(int32_t oscType, WaveTable& table);
// shape[i] = tanh(drive × (i/1024 − 1)); the guard repeats the last entry.
void FillShapeTable(float drive, WaveTable& table);

}  // namespace thud
