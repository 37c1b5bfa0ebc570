// Nodes for the media tests: a consumer that keeps what it receives, and a scratch folder.
#pragma once

#include "media/AudioNodes.h"
#include "media/MediaRoster.h"
#include "testing/Signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

// Keeps up to `capacity` float frames (room made up front: receiving allocates nothing).
class CollectingConsumer : public AudioConsumerNode {
public:
	explicit CollectingConsumer(size_t capacitySamples, const char* name = "Collector")
		: BMediaNode(name), AudioConsumerNode(name, nullptr, 0)
	{
		fSamples.reserve(capacitySamples);
	}

	void Accept(const media_raw_audio_format& format) { SetAcceptedFormat(format); }

	// Waits until at least `samples` samples arrived (or the stream ended).
	bool WaitForSamples(size_t samples, int seconds = 20)
	{
		std::unique_lock<std::mutex> guard(fLock);
		return fChanged.wait_for(guard, std::chrono::seconds(seconds),
			[&] { return fSamples.size() >= samples || fEnded; });
	}
	bool WaitForEnd(int seconds = 20)
	{
		std::unique_lock<std::mutex> guard(fLock);
		return fChanged.wait_for(guard, std::chrono::seconds(seconds), [&] { return fEnded; });
	}
	std::vector<float> Samples()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fSamples;
	}
	size_t BufferCount()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fBuffers;
	}
	std::vector<bigtime_t> StartTimes()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fStartTimes;
	}
	void Quit() { BMediaEventLooper::Quit(); }

protected:
	void Consume(const float* frames, size_t count, bigtime_t startTime) override
	{
		std::lock_guard<std::mutex> guard(fLock);
		size_t samples = count * InputFormat().channel_count;
		size_t room = fSamples.capacity() - fSamples.size();
		fSamples.insert(fSamples.end(), frames, frames + std::min(samples, room));
		fBuffers++;
		if (fStartTimes.size() < fStartTimes.capacity())
			fStartTimes.push_back(startTime);
		fChanged.notify_all();
	}
	void InputConnected(const media_raw_audio_format&) override { fStartTimes.reserve(4096); }
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
	std::vector<bigtime_t> fStartTimes;
	size_t fBuffers = 0;
	bool fEnded = false;
};

// Connects the first free output of producer to the first free input of consumer.
inline status_t ConnectNodes(const media_node& producer, const media_node& consumer,
	media_format* format, media_output* outOutput = nullptr, media_input* outInput = nullptr)
{
	BMediaRoster* roster = BMediaRoster::Roster();
	media_output output;
	media_input input;
	int32 count = 0;
	status_t status = roster->GetFreeOutputsFor(producer, &output, 1, &count, B_MEDIA_RAW_AUDIO);
	if (status != B_OK || count < 1)
		return status != B_OK ? status : B_MEDIA_BAD_SOURCE;
	status = roster->GetFreeInputsFor(consumer, &input, 1, &count, B_MEDIA_RAW_AUDIO);
	if (status != B_OK || count < 1)
		return status != B_OK ? status : B_MEDIA_BAD_DESTINATION;
	media_output madeOutput;
	media_input madeInput;
	status = roster->Connect(output.source, input.destination, format, &madeOutput, &madeInput);
	if (outOutput != nullptr)
		*outOutput = madeOutput;
	if (outInput != nullptr)
		*outInput = madeInput;
	return status;
}
