// Cost of the kernel's real-time hand-offs: a port message written and read back, and
// items through the single-producer/single-consumer ring.
#include <benchmark/benchmark.h>

#include "kernel/OS.h"
#include "kernel/SpscRing.h"

static void BM_PortWriteRead64Bytes(benchmark::State& state)
{
	port_id port = create_port(64, "bench");
	char message[64] = {};
	char back[64];
	int32 code;
	for (auto _ : state) {
		write_port(port, 1, message, sizeof message);
		benchmark::DoNotOptimize(read_port(port, &code, back, sizeof back));
	}
	delete_port(port);
}
BENCHMARK(BM_PortWriteRead64Bytes);

// One thread fills a block's worth and empties it: the cost of a push and a pop.
static void BM_SpscRingPushPop(benchmark::State& state)
{
	SpscRing<uint64> ring(1024);
	uint64 value = 0;
	for (auto _ : state) {
		for (uint64 i = 0; i < 512; i++)
			ring.Push(i);
		for (uint64 i = 0; i < 512; i++)
			ring.Pop(value);
		benchmark::DoNotOptimize(value);
	}
	state.SetItemsProcessed(int64_t(state.iterations() * 512));
}
BENCHMARK(BM_SpscRingPushPop);

static void BM_SpscByteRingMidiMessage(benchmark::State& state)
{
	SpscByteRing ring(4096);
	const uint8 noteOn[3] = {0x90, 60, 100};
	uint8 back[16];
	bigtime_t stamp = 0;
	for (auto _ : state) {
		ring.Write(&stamp, sizeof stamp, noteOn, sizeof noteOn);
		benchmark::DoNotOptimize(ring.Read(back, sizeof back));
	}
}
BENCHMARK(BM_SpscByteRingMidiMessage);
