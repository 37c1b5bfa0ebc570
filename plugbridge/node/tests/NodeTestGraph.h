#pragma once
// A source of a known signal and a collecting consumer around plugbridge's node, and the
// way to make and release nodes in a test.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/AudioNodes.h"
#include "media/MediaRoster.h"
#include "node/VSTEffectNode.h"
#include "vst/VSTPlugIn.h"
#include "vst/tests/TestPlugIns.h"

// Sample i of channel c of the test signal: a sine per channel, at half scale.
inline float TestSignal(int64 i, uint32 c)
{
	return 0.5f * float(std::sin(2 * M_PI * (220.0 * (c + 1)) * double(i) / 44100.0));
}

// Produces `frames` frames of TestSignal, then ends.
class SignalSource : public AudioProducerNode {
public:
	SignalSource(float rate, uint32 channels, int64 frames)
		: BMediaNode("Signal"), AudioProducerNode("Signal", nullptr, 0), fFrames(frames),
		  fChannels(channels)
	{
		SetNativeFormat(rate, channels);
	}

protected:
	size_t Produce(float* out, size_t frames) override
	{
		const size_t n = size_t(std::min<int64>(int64(frames), fFrames - fNext));
		for (size_t f = 0; f < n; f++) {
			for (uint32 c = 0; c < fChannels; c++)
				out[f * fChannels + c] = TestSignal(fNext + int64(f), c);
		}
		fNext += int64(n);
		return n;
	}

private:
	int64 fFrames;
	uint32 fChannels;
	int64 fNext = 0;
};

// Keeps what it receives (room made up front: receiving allocates nothing).
class Collector : public AudioConsumerNode {
public:
	explicit Collector(size_t capacitySamples)
		: BMediaNode("Collector"), AudioConsumerNode("Collector", nullptr, 0)
	{
		fSamples.reserve(capacitySamples);
	}
	void Accept(const media_raw_audio_format& format) { SetAcceptedFormat(format); }
	bool WaitForEnd(int seconds = 60)
	{
		std::unique_lock<std::mutex> guard(fLock);
		return fChanged.wait_for(guard, std::chrono::seconds(seconds), [&] { return fEnded; });
	}
	std::vector<float> Samples()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fSamples;
	}
	size_t Buffers()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fBuffers;
	}

protected:
	void Consume(const float* frames, size_t count, bigtime_t) override
	{
		std::lock_guard<std::mutex> guard(fLock);
		const size_t samples = count * InputFormat().channel_count;
		const size_t room = fSamples.capacity() - fSamples.size();
		fSamples.insert(fSamples.end(), frames, frames + std::min(samples, room));
		fBuffers++;
	}
	void StreamEnded() override
	{
		std::lock_guard<std::mutex> guard(fLock);
		fEnded = true;
		fChanged.notify_all();
	}

private:
	std::mutex fLock;
	std::condition_variable fChanged;
	std::vector<float> fSamples;
	size_t fBuffers = 0;
	bool fEnded = false;
};

// Registers nodes and releases them at the end of a test.
class NodeGraph : public testing::Test {
protected:
	// Released from the test's thread: the last reference ends the node's thread. (Not
	// stopped first: a queued stop holds a reference of its own, and a node whose last
	// reference goes on its own thread is freed under its running loop.)
	void TearDown() override
	{
		for (auto it = fNodes.rbegin(); it != fNodes.rend(); ++it)
			(*it)->Release();
		fNodes.clear();
	}

	template <class Node>
	Node* Register(Node* node)
	{
		EXPECT_EQ(fRoster->RegisterNode(node), B_OK);
		fNodes.push_back(node);
		return node;
	}
	// Keeps a node made elsewhere (its reference is the test's).
	void Keep(BMediaNode* node) { fNodes.push_back(node); }

	VSTEffectNode* Effect(const char* plugIn)
	{
		VSTPlugIn prototype(TestPlugInPath(plugIn).c_str(), 0);
		EXPECT_EQ(prototype.InitCheck(), B_OK) << plugIn;
		return Register(new VSTEffectNode(nullptr, prototype.Name(), prototype.newInstance()));
	}

	// Connects output `from` of one node to input `to` of another with the given format.
	status_t Connect(const media_node& producer, const media_node& consumer, media_format format,
		int32 inputIndex = 0)
	{
		media_output outputs[2];
		media_input inputs[4];
		int32 outputCount = 0, inputCount = 0;
		fRoster->GetFreeOutputsFor(producer, outputs, 2, &outputCount);
		fRoster->GetFreeInputsFor(consumer, inputs, 4, &inputCount);
		if (outputCount < 1 || inputCount <= inputIndex)
			return B_MEDIA_BAD_DESTINATION;
		media_output made;
		media_input taken;
		return fRoster->Connect(outputs[0].source, inputs[inputIndex].destination, &format,
			&made, &taken);
	}

	// Starts the nodes (offline) and waits for the stream to reach the collector's end.
	bool RunOffline(const std::vector<media_node>& nodes, Collector* collector)
	{
		for (const media_node& node : nodes)
			fRoster->SetRunModeFor(node, B_OFFLINE);
		for (auto it = std::rbegin(nodes); it != std::rend(nodes); ++it)
			fRoster->StartNode(*it, 0);
		return collector->WaitForEnd();
	}

	static media_format Format(uint32 sampleFormat = 0, uint32 channels = 0, float rate = 0,
		size_t frames = 0)
	{
		media_format format = media_format::RawAudioFormat();
		media_raw_audio_format& raw = format.u.raw_audio;
		raw.format = sampleFormat;
		raw.channel_count = channels;
		raw.frame_rate = rate;
		raw.buffer_size = frames * channels * media_sample_size(sampleFormat);
		return format;
	}

	BMediaRoster* fRoster = BMediaRoster::Roster();
	std::vector<BMediaNode*> fNodes;
};
