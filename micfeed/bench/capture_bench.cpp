// Capture as a player does it, for a long time: a JACK client plays a click every 0.1 s
// into the default audio input (the JACK server's capture ports), and a reader takes the
// stream in 1024-frame reads. Reports the delay from the JACK callback that wrote a click
// to the return of the read that holds it (median and 99th percentile), the pieces the
// FIFO dropped, the frames the input dropped, and gaps in the click train.
//   MICFEED_CAPTURE_SECONDS   how long to capture (default 600)
#include "Recorder.h"
#include "media/AudioNodes.h"
#include "media/MediaRoster.h"
#include "tests_jack/JackSource.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

constexpr int64_t kClickEvery = 4410;

// The default audio input node, with a reference; null when it is not a producer.
AudioProducerNode* DefaultInput()
{
	BMediaRoster* roster = BMediaRoster::Roster();
	media_node node;
	if (roster->GetAudioInput(&node) != B_OK)
		return nullptr;
	BMediaNode* acquired = roster->AcquireNode(node.node);
	roster->ReleaseNode(node);
	auto* producer = dynamic_cast<AudioProducerNode*>(acquired);
	if (producer == nullptr && acquired != nullptr)
		acquired->Release();
	return producer;
}

void BM_CaptureThroughJack(benchmark::State& state)
{
	const char* setting = getenv("MICFEED_CAPTURE_SECONDS");
	const double seconds = setting != nullptr ? std::max(1.0, atof(setting)) : 600.0;
	const size_t clicks = size_t(seconds * 44100 / kClickEvery) + 100;
	for (auto _ : state) {
		unsetenv("SUITE_AUDIO_INPUT");
		JackSource source(0, 0.5f, kClickEvery, clicks);
		if (!source.Open("micfeed bench clicks")) {
			state.SkipWithError("no JACK server answers (scripts/bench starts one)");
			return;
		}
		std::vector<bigtime_t> delays;
		delays.reserve(clicks);
		int64 gaps = 0;
		int64 inputDropsAtStart = 0;
		int64 fifoDrops = 0;
		int64 inputDrops = 0;
		{
			Recorder recorder;
			std::vector<int16> frames(2 * 1024);
			recorder.Read(reinterpret_cast<char*>(frames.data()), 1024);
			if (recorder.StartStatus() != B_OK || !source.WaitAndConnect()) {
				state.SkipWithError("the default audio input is not on JACK");
				return;
			}
			AudioProducerNode* input = DefaultInput();
			const int64 total = int64(seconds * 44100);
			int64 position = 0;
			int64 lastClick = -1;
			for (; position < total; position += 1024) {
				recorder.Read(reinterpret_cast<char*>(frames.data()), 1024);
				const bigtime_t returned = system_time();
				if (position == 0 && input != nullptr)
					inputDropsAtStart = input->DroppedFrames();
				for (int32 i = 0; i < 1024; i++) {
					if (frames[2 * i] < 8000)
						continue;
					const int64 at = position + i;
					if (lastClick >= 0 && at - lastClick != kClickEvery)
						gaps++;
					lastClick = at;
					// The newest click written before this read returned.
					size_t n = source.ClicksWritten();
					while (n > 0 && (source.ClickTime(n - 1) == 0
						|| source.ClickTime(n - 1) > returned))
						n--;
					if (n > 0)
						delays.push_back(returned - source.ClickTime(n - 1));
				}
			}
			fifoDrops = recorder.DroppedChunks();
			if (input != nullptr) {
				inputDrops = input->DroppedFrames() - inputDropsAtStart;
				input->Release();
			}
		}
		source.Close();

		std::sort(delays.begin(), delays.end());
		auto at = [&](double q) {
			return delays.empty() ? 0.0 : double(delays[size_t(q * (delays.size() - 1))]);
		};
		state.SetIterationTime(seconds);
		state.counters["seconds"] = seconds;
		state.counters["clicks"] = double(delays.size());
		state.counters["delay_median_ms"] = at(0.5) / 1000.0;
		state.counters["delay_p99_ms"] = at(0.99) / 1000.0;
		state.counters["delay_max_ms"] = at(1.0) / 1000.0;
		state.counters["fifo_drops"] = double(fifoDrops);
		state.counters["input_drops"] = double(inputDrops);
		state.counters["gaps"] = double(gaps);
	}
}
BENCHMARK(BM_CaptureThroughJack)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
