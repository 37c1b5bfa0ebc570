// Speed of the request path between endpoints of this process: one request and its reply,
// waiting out the time-out (CPU time, not wall time: the wait must not spin), and a whole
// 128-patch bank from an in-process instrument.
#include "librarian/LbBankSnapshot.h"
#include "librarian/LbIterators.h"
#include "librarian/LbStatus.h"
#include "librarian/tests/toy_device.h"
#include "midi/LbMidiService.h"
#include "midi/tests/fake_instrument.h"

#include <benchmark/benchmark.h>

namespace {

class Sink : public LbDataReceiverI {
public:
    void SystemExclusive(const uint8*, uint32 length, uint32) override { bytes += length; }
    size_t bytes = 0;
};

void BM_RequestAndReply(benchmark::State& state)
{
    FakeInstrument instrument([](const std::vector<uint8>& request) { return ToyInstrument(request); });
    LbMidiService service;
    service.SetMidiConsumer(instrument.In());
    service.SetMidiProducer(instrument.Out());
    LbData request = LbData(0xF0) + LbData('R') + LbData(5) + LbData(0xF7);
    Sink sink;
    for (auto _ : state) {
        if (service.SendSystemExclusive(&request, true, &sink) != B_OK) state.SkipWithError("no reply");
    }
    state.counters["bytes"] = double(sink.bytes);
}
BENCHMARK(BM_RequestAndReply)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The CPU column is what counts here: the 3-second wall time is the time-out itself.
void BM_WaitOutTheTimeOut(benchmark::State& state)
{
    FakeInstrument silent([](const std::vector<uint8>&) { return std::vector<uint8>(); });
    LbMidiService service;
    service.SetMidiConsumer(silent.In());
    service.SetMidiProducer(silent.Out());
    LbData request = LbData(0xF0) + LbData('R') + LbData(5) + LbData(0xF7);
    Sink sink;
    for (auto _ : state) {
        if (service.SendSystemExclusive(&request, true, &sink) != LB_NO_RESPONSE) state.SkipWithError("answered");
    }
}
BENCHMARK(BM_WaitOutTheTimeOut)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_RequestWholeBank(benchmark::State& state)
{
    Studio studio(0, 127);
    for (auto _ : state) {
        state.PauseTiming();
        LbBankSnapshot snapshot(&studio.deviceSnapshot, &studio.bank());
        LbDmwBankInt32It all(&studio.bank());
        state.ResumeTiming();
        if (snapshot.Request(&all, nullptr) != B_OK) state.SkipWithError("request failed");
    }
}
BENCHMARK(BM_RequestWholeBank)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
