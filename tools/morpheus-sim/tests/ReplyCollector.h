// A local consumer for the tests: keeps the System Exclusive messages it receives and lets
// a test wait for them (blocking, with a time-out).
#pragma once

#include "midi/MidiConsumer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

class ReplyCollector : public BMidiLocalConsumer {
public:
	explicit ReplyCollector(const char* name = nullptr) : BMidiLocalConsumer(name) {}

	void SystemExclusive(void* data, size_t length, bigtime_t time) override
	{
		auto* bytes = static_cast<uint8_t*>(data);
		{
			std::lock_guard lock(fLock);
			fReplies.emplace_back(bytes, bytes + length);
		}
		fChanged.notify_all();
	}

	// True when at least `count` replies came within the time-out.
	bool WaitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10))
	{
		std::unique_lock lock(fLock);
		return fChanged.wait_for(lock, timeout, [&] { return fReplies.size() >= count; });
	}

	std::vector<std::vector<uint8_t>> Replies()
	{
		std::lock_guard lock(fLock);
		return fReplies;
	}

protected:
	~ReplyCollector() override = default;

private:
	std::mutex fLock;
	std::condition_variable fChanged;
	std::vector<std::vector<uint8_t>> fReplies;
};
