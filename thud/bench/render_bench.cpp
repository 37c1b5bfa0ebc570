// Rendering speed: a 3-second sound with every stage on must render at least 1000 times
// faster than real time, i.e. in under 3 ms.

#include "ThudSound.h"

#include <benchmark/benchmark.h>

using namespace thud;

namespace {

void SetUpKick(ThudSound& sound, bool allStages)
{
    sound.SetOscType(kOscSaw);
    sound.GenerateWaveTable();
    sound.SetStartFreq(180);
    sound.SetDuration(3000);
    sound.SetAmplitude(0.9f);
    sound.SetFreqEnvelope(-6);
    sound.SetAmpEnvelope(-3);
    sound.SetDistortion(6);
    sound.GenerateWaveShapeTable();
    sound.SetFilterCutoff(2500);
    sound.SetFilterQ(2.5f);
    sound.SetFreqEnvEnabled(allStages);
    sound.SetAmpEnvEnabled(allStages);
    sound.SetDistortionEnabled(allStages);
    sound.SetFilterEnabled(allStages);
}

void Render3Seconds(benchmark::State& state)
{
    ThudSound sound;
    SetUpKick(sound, state.range(0) != 0);
    for (auto _ : state) {
        sound.GenerateSound();
        benchmark::DoNotOptimize(sound.GetSampleAt(1000));
    }
    // Seconds of sound per second of rendering.
    state.counters["realtime_factor"] = benchmark::Counter(
        3.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetItemsProcessed(state.iterations() * sound.GetSampleLength());
}

}  // namespace

BENCHMARK(Render3Seconds)->Arg(1)->ArgName("all_stages")->Unit(benchmark::kMillisecond);
BENCHMARK(Render3Seconds)->Arg(0)->ArgName("all_stages")->Unit(benchmark::kMillisecond);
