// What the node adds to a plug-in's own processing: 512-frame stereo blocks of the gain test
// plug-in called directly, and the same blocks through a graph with and without the node
// (offline, as fast as they go). The node's overhead per block is the difference between
// the two graphs less the direct call. Also `plugbridge process` of 60 s of stereo noise
// through a real LSP plug-in, as a real-time factor.
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "media/AudioNodes.h"
#include "media/MediaRoster.h"
#include "node/VSTEffectNode.h"
#include "vst/VSTPlugIn.h"

namespace {

constexpr int32 kFrames = 512;
const std::string kGain = std::string(VST_TEST_PLUGINS_DIR) + "/vst-test-gain.so";

void DirectProcess(benchmark::State& state)
{
	VSTPlugIn prototype(kGain.c_str(), 0);
	auto plugIn = prototype.newInstance();
	plugIn->open(0);
	plugIn->setSampleRate(44100);
	plugIn->setBlockSize(kFrames);
	plugIn->resume();
	std::vector<float> a(kFrames, 0.5f), b(kFrames, 0.25f), c(kFrames), d(kFrames);
	float* in[] = {a.data(), b.data()};
	float* out[] = {c.data(), d.data()};
	for (auto _ : state) {
		plugIn->process(in, out, kFrames, 0);
		benchmark::DoNotOptimize(c.data());
	}
	state.counters["us_per_block"] = benchmark::Counter(double(state.iterations()),
		benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(DirectProcess)->Unit(benchmark::kMicrosecond)->UseRealTime();

class Source : public AudioProducerNode {
public:
	explicit Source(int64 frames)
		: BMediaNode("Bench source"), AudioProducerNode("Bench source", nullptr, 0),
		  fFrames(frames)
	{
		SetNativeFormat(44100, 2);
	}

protected:
	size_t Produce(float* out, size_t frames) override
	{
		const size_t n = size_t(std::min<int64>(int64(frames), fFrames - fNext));
		for (size_t i = 0; i < n * 2; i++)
			out[i] = 0.25f;
		fNext += int64(n);
		return n;
	}

private:
	int64 fFrames;
	int64 fNext = 0;
};

class Sink : public AudioConsumerNode {
public:
	Sink() : BMediaNode("Bench sink"), AudioConsumerNode("Bench sink", nullptr, 0) {}
	void WaitForEnd()
	{
		std::unique_lock<std::mutex> guard(fLock);
		fChanged.wait_for(guard, std::chrono::seconds(120), [&] { return fEnded; });
	}

protected:
	void Consume(const float*, size_t, bigtime_t) override {}
	void StreamEnded() override
	{
		std::lock_guard<std::mutex> guard(fLock);
		fEnded = true;
		fChanged.notify_all();
	}

private:
	std::mutex fLock;
	std::condition_variable fChanged;
	bool fEnded = false;
};

status_t Link(const media_node& from, const media_node& to)
{
	BMediaRoster* roster = BMediaRoster::Roster();
	media_output output;
	media_input input;
	int32 count = 0;
	roster->GetFreeOutputsFor(from, &output, 1, &count);
	roster->GetFreeInputsFor(to, &input, 1, &count);
	media_format format = media_format::RawAudioFormat();
	format.u.raw_audio.format = media_raw_audio_format::B_AUDIO_FLOAT;
	format.u.raw_audio.channel_count = 2;
	format.u.raw_audio.frame_rate = 44100;
	format.u.raw_audio.buffer_size = kFrames * 2 * sizeof(float);
	media_output madeOutput;
	media_input madeInput;
	return roster->Connect(output.source, input.destination, &format, &madeOutput, &madeInput);
}

// Streams `blocks` blocks from a source to a sink, through the node when withNode.
void Graph(benchmark::State& state, bool withNode)
{
	const int64 blocks = 2000;
	BMediaRoster* roster = BMediaRoster::Roster();
	for (auto _ : state) {
		state.PauseTiming();
		auto* source = new Source(blocks * kFrames);
		auto* sink = new Sink;
		roster->RegisterNode(source);
		roster->RegisterNode(sink);
		VSTEffectNode* node = nullptr;
		if (withNode) {
			VSTPlugIn prototype(kGain.c_str(), 0);
			node = new VSTEffectNode(nullptr, "Gain", prototype.newInstance());
			roster->RegisterNode(node);
			Link(source->Node(), node->Node());
			Link(node->Node(), sink->Node());
		} else {
			Link(source->Node(), sink->Node());
		}
		std::vector<media_node> nodes{sink->Node(), source->Node()};
		if (node != nullptr)
			nodes.insert(nodes.begin() + 1, node->Node());
		for (const media_node& n : nodes)
			roster->SetRunModeFor(n, B_OFFLINE);
		state.ResumeTiming();
		for (const media_node& n : nodes)
			roster->StartNode(n, 0);
		sink->WaitForEnd();
		state.PauseTiming();
		source->Release();
		if (node != nullptr)
			node->Release();
		sink->Release();
		state.ResumeTiming();
	}
	state.counters["us_per_block"] = benchmark::Counter(double(state.iterations() * blocks),
		benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
	// A 512-frame period at 44 100 Hz, for the share of it a block takes.
	state.counters["period_us"] = 1e6 * kFrames / 44100.0;
}

void GraphWithoutNode(benchmark::State& state) { Graph(state, false); }
void GraphThroughNode(benchmark::State& state) { Graph(state, true); }
BENCHMARK(GraphWithoutNode)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(GraphThroughNode)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// `plugbridge process` of 60 s of stereo through an LSP plug-in.
void ProcessSixtySecondsThroughLsp(benchmark::State& state)
{
	const char* plugIn = "/usr/lib/vst/lsp-plugins/comp-delay-stereo.so";
	struct stat info;
	if (stat(plugIn, &info) != 0 || std::system("command -v sox >/dev/null") != 0) {
		state.SkipWithError("lsp-plugins-vst or sox is not installed");
		return;
	}
	char folder[] = "/tmp/plugbridge-bench.XXXXXX";
	if (mkdtemp(folder) == nullptr) {
		state.SkipWithError("no scratch folder");
		return;
	}
	const std::string in = std::string(folder) + "/in.wav", out = std::string(folder) + "/out.wav";
	std::system(("sox -q -n -r 44100 -c 2 '" + in + "' synth 60 pinknoise gain -12").c_str());
	double audio = 0, seconds = 0;
	for (auto _ : state) {
		const auto start = std::chrono::steady_clock::now();
		std::system(("XDG_CONFIG_HOME='" + std::string(folder) + "' '" PLUGBRIDGE_PROGRAM
			"' process " + plugIn + " '" + in + "' '" + out + "' --param g_out=0.4 >/dev/null")
			.c_str());
		seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
		audio += 60;
	}
	state.counters["realtime_factor"] = audio / seconds;
	std::system(("rm -rf '" + std::string(folder) + "'").c_str());
}
BENCHMARK(ProcessSixtySecondsThroughLsp)->Unit(benchmark::kSecond)->Iterations(3);

}  // namespace
