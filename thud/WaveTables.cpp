#include "WaveTables.h"

#include <cmath>

namespace thud {

void FillWaveTable(int32_t oscType, WaveTable& table)
{
    constexpr double kTwoPi = 6.283185307179586;
    switch (oscType) {
        case kOscSine:
            for (int i = 0; i < kTableSize; i++)
                table[i] = static_cast<float>(std::sin(kTwoPi * i / kTableSize));
            break;
        case kOscSquare:
            for (int i = 0; i < kTableSize; i++)
                table[i] = i < kTableSize / 2 ? 1.0f : -1.0f;
            break;
        case kOscSaw: {
            // Steps of 1/1024 are exact in binary, so the ramp reaches exactly 1.0.
            float v = 0.0f;
            for (int i = 0; i < kTableSize; i++) {
                table[i] = v;
                v += 1.0f / 1024.0f;
                if (v > 1.0f)
                    v -= 2.0f;
            }
            break;
        }
        case kOscTriangle: {
            float v = 0.0f;
            bool rising = true;
            for (int i = 0; i < kTableSize; i++) {
                table[i] = v;
                if (v <= -1.0f)
                    rising = true;
                else if (v >= 1.0f)
                    rising = false;
                v += rising ? 1.0f / 512.0f : -1.0f / 512.0f;
            }
            break;
        }
        default:
            return;
    }
    table[kTableSize] = table[0];
}

void FillShapeTable(float drive, WaveTable& table)
{
    for (int i = 0; i < kTableSize; i++)
        table[i] = static_cast<float>(std::tanh(drive * (i / 1024.0 - 1.0)));
    table[kTableSize] = table[kTableSize - 1];
}

}  // namespace thud
