#pragma once
// Numbers every part of the sound generator agrees on.

#include <cstdint>

namespace thud {

constexpr double kSampleRate = 44100.0;
// One oscillator period and the distortion curve each span this many table entries.
constexpr int32_t kTableSize = 2048;

enum OscillatorType : int32_t {
    kOscSine = 1,
    kOscSquare = 2,
    kOscSaw = 3,
    kOscTriangle = 4,
};

}  // namespace thud
