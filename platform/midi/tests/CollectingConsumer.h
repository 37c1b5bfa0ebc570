// A local consumer for tests: records every message Data() receives, with the thread it
// ran on, and lets the test wait (blocking, with a time-out) for a number of them.
#pragma once

#include "midi/MidiConsumer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class CollectingConsumer : public BMidiLocalConsumer {
public:
	struct Received {
		std::vector<uint8_t> bytes;
		bigtime_t time;
		std::thread::id thread;
	};

	explicit CollectingConsumer(const char* name = nullptr) : BMidiLocalConsumer(name) {}

	void Data(uchar* data, size_t length, bool atomic, bigtime_t time) override
	{
		// Handlers first, so that a waiting test sees their effects too.
		BMidiLocalConsumer::Data(data, length, atomic, time);
		{
			std::lock_guard lock(fLock);
			fReceived.push_back({std::vector<uint8_t>(data, data + length), time,
				std::this_thread::get_id()});
		}
		fChanged.notify_all();
	}

	// True when at least `count` messages arrived within the time-out.
	bool WaitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10))
	{
		std::unique_lock lock(fLock);
		return fChanged.wait_for(lock, timeout, [&] { return fReceived.size() >= count; });
	}

	std::vector<Received> Messages()
	{
		std::lock_guard lock(fLock);
		return fReceived;
	}

	size_t Count()
	{
		std::lock_guard lock(fLock);
		return fReceived.size();
	}

protected:
	~CollectingConsumer() override = default;

private:
	std::mutex fLock;
	std::condition_variable fChanged;
	std::vector<Received> fReceived;
};
