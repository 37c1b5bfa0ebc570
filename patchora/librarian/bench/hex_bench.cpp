// Hex text of a preset-sized block (564 bytes), both ways: every patch of a library
// document goes through these.
#include "librarian/LbData.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace {

LbData PresetSizedBlock()
{
    std::vector<uint8> bytes(564);
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = uint8((i * 37) & 0x7F);
    return LbData(bytes.data(), uint32(bytes.size()));
}

void BM_HexEncode564(benchmark::State& state)
{
    LbData block = PresetSizedBlock();
    for (auto _ : state) {
        char* text = block.AsString();
        benchmark::DoNotOptimize(text);
        free(text);
    }
}
BENCHMARK(BM_HexEncode564);

void BM_HexDecode564(benchmark::State& state)
{
    char* text = PresetSizedBlock().AsString();
    LbData block;
    for (auto _ : state) {
        block.FromString(text);
        benchmark::DoNotOptimize(block.Bits());
    }
    free(text);
}
BENCHMARK(BM_HexDecode564);

} // namespace
