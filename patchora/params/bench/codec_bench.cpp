// Reading every parameter word of a preset block through its codec, as an editor page or
// 'patchora show --params' does: 266 signed 14-bit words from byte 7 on.
#include "librarian/LbData.h"
#include "params/LbIntCodecs.h"
#include "params/LbParam.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

void BM_ReadPresetWords(benchmark::State& state)
{
    std::vector<uint8> bytes(564);
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = uint8((i * 13) & 0x7F);
    LbData block(bytes.data(), uint32(bytes.size()));
    std::vector<std::unique_ptr<LbIntParam>> params;
    for (uint32 word = 0; word < 266; word++) {
        uint32 first = 7 + 2 * word;
        params.emplace_back(new LbIntParam("word", new Lb14BitIntCodec2, int32(first), first, first + 1, -8192, 8191));
    }
    for (auto _ : state) {
        int64 sum = 0;
        for (const auto& param : params) {
            int32 value = 0;
            param->ReadSysEx(&block, 0, &value);
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ReadPresetWords);

} // namespace
