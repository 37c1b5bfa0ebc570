// Fuzz target for thud's preset decoder (libFuzzer; scripts/fuzz builds and runs it): any
// bytes decode without fault, and a block that loads encodes back to the same bytes.
#include "ThudCommandLine.h"
#include "ThudPreset.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    thud::PresetReadResult read = thud::DecodePreset(data, size);
    if (read.outcome != thud::PresetReadResult::kLoaded)
        return 0;
    thud::CheckRenderable(read.params);
    auto bytes = thud::EncodePreset(read.params);
    // The magic and the block (bytes 5 to 7 are reserved and written as 0).
    if (std::memcmp(bytes.data(), data, 5) != 0
        || std::memcmp(bytes.data() + 8, data + 8, thud::kPresetFileSize - 8) != 0)
        abort();
    return 0;
}
