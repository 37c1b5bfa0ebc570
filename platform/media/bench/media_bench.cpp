// Speed of the media graph: a buffer's trip through producer -> consumer/producer ->
// consumer in one process (µs per hop), and the default input's rate conversion, alone
// and through the node.
#include "kernel/OS.h"
#include "media/AudioNodes.h"
#include "media/Buffer.h"
#include "media/CaptureConverter.h"
#include "media/DeviceNodes.h"
#include "media/MediaRoster.h"
#include "media/PassThroughNode.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

constexpr size_t kFrames = 512;

// A source fed from the benchmark's thread, as a device's thread feeds an input.
class PushSource : public AudioProducerNode {
public:
	PushSource() : BMediaNode("Bench source"), AudioProducerNode("Bench source", nullptr, 0)
	{
		SetNativeFormat(44100.0f, 2);
	}
	status_t Push(const float* frames, size_t count) { return PushFrames(frames, count, 0); }

protected:
	bool IsPushSource() const override { return true; }
};

// Notes when each buffer arrives.
class ArrivalSink : public BBufferConsumer, public BMediaEventLooper {
public:
	ArrivalSink()
		: BMediaNode("Bench sink"), BBufferConsumer(B_MEDIA_RAW_AUDIO)
	{
	}
	~ArrivalSink() override { Quit(); }

	void NodeRegistered() override
	{
		fInput.node = Node();
		fInput.destination = media_destination(ControlPort(), 0);
		fInput.format = media_format::RawAudioFormat();
		SetPriority(suggest_thread_priority(B_AUDIO_PLAYBACK, 100, 1000, 1000));
		Run();
	}
	status_t HandleMessage(int32 code, const void* data, size_t size) override
	{
		if (BBufferConsumer::HandleMessage(code, data, size) == B_OK)
			return B_OK;
		return BMediaNode::HandleMessage(code, data, size);
	}
	status_t AcceptFormat(const media_destination&, media_format*) override { return B_OK; }
	status_t GetNextInput(int32* cookie, media_input* out) override
	{
		if (*cookie != 0)
			return B_BAD_INDEX;
		*out = fInput;
		++*cookie;
		return B_OK;
	}
	status_t Connected(const media_source& from, const media_destination&,
		const media_format& format, media_input* out) override
	{
		fInput.source = from;
		fInput.format = format;
		*out = fInput;
		return B_OK;
	}
	void Disconnected(const media_source&, const media_destination&) override
	{
		fInput.source = media_source::null;
	}
	void BufferReceived(BBuffer* buffer) override
	{
		buffer->Recycle();
		std::lock_guard<std::mutex> guard(fLock);
		fArrived = system_time();
		fCount++;
		fChanged.notify_all();
	}
	void HandleEvent(const media_timed_event*, bigtime_t, bool) override {}

	// The arrival time of buffer number `count` (counting from 1).
	bigtime_t WaitFor(long count)
	{
		std::unique_lock<std::mutex> guard(fLock);
		fChanged.wait(guard, [&] { return fCount >= count; });
		return fArrived;
	}

private:
	media_input fInput;
	std::mutex fLock;
	std::condition_variable fChanged;
	bigtime_t fArrived = 0;
	long fCount = 0;
};

// Float frames (at `rate` with `channels`, when given) in kFrames-frame stereo buffers.
status_t Connect(BMediaNode* from, BMediaNode* to, float rate = 0, uint32 channels = 0)
{
	BMediaRoster* roster = BMediaRoster::Roster();
	media_output output;
	media_input input;
	int32 count;
	roster->GetFreeOutputsFor(from->Node(), &output, 1, &count);
	roster->GetFreeInputsFor(to->Node(), &input, 1, &count);
	media_format format = media_format::RawAudioFormat();
	format.u.raw_audio.format = media_raw_audio_format::B_AUDIO_FLOAT;
	format.u.raw_audio.buffer_size = kFrames * 2 * sizeof(float);
	format.u.raw_audio.frame_rate = rate;
	format.u.raw_audio.channel_count = channels;
	return roster->Connect(output.source, input.destination, &format, nullptr, nullptr);
}

// One 512-frame stereo float buffer from a source through a pass-through node to a sink:
// two hops. The median of many trips, halved, is the time of one hop.
void BM_BufferHop(benchmark::State& state)
{
	BMediaRoster* roster = BMediaRoster::Roster();
	auto* source = new PushSource;
	auto* through = new PassThroughNode;
	auto* sink = new ArrivalSink;
	roster->RegisterNode(source);
	roster->RegisterNode(through);
	roster->RegisterNode(sink);
	if (Connect(source, through) != B_OK || Connect(through, sink) != B_OK) {
		state.SkipWithError("cannot connect the nodes");
		return;
	}
	for (BMediaNode* node : {static_cast<BMediaNode*>(sink), static_cast<BMediaNode*>(through),
			 static_cast<BMediaNode*>(source)})
		roster->StartNode(node->Node(), 0);
	snooze(50000);

	std::vector<float> frames(kFrames * 2, 0.25f);
	std::vector<double> hops;
	hops.reserve(100000);
	long sent = 0;
	for (auto _ : state) {
		bigtime_t before = system_time();
		source->Push(frames.data(), kFrames);
		bigtime_t arrived = sink->WaitFor(++sent);
		hops.push_back(double(arrived - before) / 2);
	}
	std::sort(hops.begin(), hops.end());
	if (!hops.empty()) {
		state.counters["median_us_per_hop"] = hops[hops.size() / 2];
		state.counters["p99_us_per_hop"] = hops[hops.size() * 99 / 100];
	}
	for (BMediaNode* node : {static_cast<BMediaNode*>(source), static_cast<BMediaNode*>(through),
			 static_cast<BMediaNode*>(sink)})
		roster->StopNode(node->Node(), 0, true);
	source->Release();
	through->Release();
	sink->Release();
}
BENCHMARK(BM_BufferHop)->Iterations(2000)->Unit(benchmark::kMicrosecond);

// The default input's conversion of a 48 000 Hz stereo device to 44 100 Hz stereo, in
// 512-frame blocks: how many times faster than real time.
void BM_CaptureRateConversion(benchmark::State& state)
{
	CaptureConverter converter;
	if (converter.Prepare(48000, 2, 44100, 2, kFrames) != B_OK) {
		state.SkipWithError("cannot prepare the converter");
		return;
	}
	std::vector<float> block(kFrames * 2);
	for (size_t i = 0; i < kFrames; i++)
		block[2 * i] = block[2 * i + 1] = float(std::sin(i * 0.0577));
	size_t blocks = 0;
	for (auto _ : state) {
		const float* out;
		benchmark::DoNotOptimize(converter.Convert(block.data(), kFrames, &out));
		blocks++;
	}
	state.SetItemsProcessed(int64_t(blocks * kFrames));
	// Seconds of audio per second of work.
	state.counters["times_real_time"] = benchmark::Counter(double(blocks * kFrames) / 48000.0,
		benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CaptureRateConversion)->Unit(benchmark::kMicrosecond);

// A 48 000 Hz stereo capture device driven by the benchmark's thread.
class BenchDevice : public AudioDevice {
public:
	BenchDevice()
	{
		fRate = 48000;
		fChannels = 2;
		fMaxBlock = kFrames;
		fDescription = "bench";
	}
	status_t Start() override { return B_OK; }
	void Stop() override {}
};

// The default input node over that device, giving 44 100 Hz stereo float to a consumer:
// what the device's thread spends on a 512-frame block (conversion, filling and sending
// buffers), as times faster than real time.
void BM_DefaultInputRateConversion(benchmark::State& state)
{
	BMediaRoster* roster = BMediaRoster::Roster();
	auto* input = new AudioInputNode(nullptr, 0);
	input->UseDevice(std::make_unique<BenchDevice>());
	auto* sink = new ArrivalSink;
	roster->RegisterNode(input);
	roster->RegisterNode(sink);
	if (Connect(input, sink, 44100, 2) != B_OK) {
		state.SkipWithError("cannot connect the input");
		return;
	}
	roster->StartNode(sink->Node(), 0);
	roster->StartNode(input->Node(), 0);
	snooze(50000);

	std::vector<float> block(kFrames * 2);
	for (size_t i = 0; i < kFrames; i++)
		block[2 * i] = block[2 * i + 1] = float(std::sin(i * 0.0577));
	size_t blocks = 0;
	for (auto _ : state) {
		AudioInputNode::CaptureHook(input, block.data(), kFrames, system_time());
		blocks++;
	}
	state.counters["times_real_time"] = benchmark::Counter(double(blocks * kFrames) / 48000.0,
		benchmark::Counter::kIsRate);
	// Frames the consumer's side could not take in time (no free buffer): a busy machine.
	state.counters["dropped_frames"] = double(input->DroppedFrames());
	roster->StopNode(input->Node(), 0, true);
	roster->StopNode(sink->Node(), 0, true);
	input->Release();
	sink->Release();
}
BENCHMARK(BM_DefaultInputRateConversion)->Unit(benchmark::kMicrosecond);

}  // namespace
