#pragma once
// The parameter block of one sound and its preset file: 52 bytes, little-endian, the
// magic "TH0D" (digit zero) and a 0 byte, 3 reserved bytes, then the block.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace thud {

class ThudSound;

struct ThudParams {
    float startFreq = 1000.0f;
    float reserved = 0.0f;  // unused; kept as loaded
    float duration = 200.0f;
    float amplitude = 0.95f;
    float freqCurve = 1.0f;
    float ampCurve = 1.0f;
    float distortion = 1.0f;
    float cutoff = 5000.0f;
    float resonance = 1.0f;
    int32_t oscType = 1;
    uint8_t ampEnvOn = 0;
    uint8_t freqEnvOn = 0;
    uint8_t distortionOn = 0;
    uint8_t filterOn = 0;

    bool operator==(const ThudParams&) const = default;
};

constexpr size_t kPresetFileSize = 52;
constexpr char kPresetMimeType[] = "document/thud-preset";

constexpr char kCannotOpenText[] = "Error: Could not open file!";
constexpr char kCannotReadText[] = "Error: Could not read from file!";
constexpr char kNotValidText[] = "Error: Not a valid Thud file! Loading default parameters...";

std::array<uint8_t, kPresetFileSize> EncodePreset(const ThudParams& params);

struct PresetReadResult {
    enum Outcome {
        kLoaded,      // params hold the file's block
        kNotValid,    // wrong magic, too short or unreadable: params hold the defaults
        kCannotOpen,  // params hold the defaults; a window keeps what it had
    };
    Outcome outcome = kNotValid;
    ThudParams params;
    // The texts to show the user, in order.
    std::vector<std::string> messages;
    // The system's error number when the file could not be opened or read, else 0.
    int systemError = 0;
};

// A block shorter than 52 bytes is not valid; bytes after the 52nd are ignored.
PresetReadResult DecodePreset(const uint8_t* data, size_t length);
PresetReadResult ReadPresetFromFile(const std::string& path);
// Writes the 52 bytes whole or not at all. Returns 0, or -1 with the reason in `error`.
int32_t WritePresetToFile(const std::string& path, const ThudParams& params, std::string& error);

// Pushes every parameter into the engine and rebuilds both tables.
void ApplyParams(ThudSound& sound, const ThudParams& params);

}  // namespace thud
