// Round trip of one 564-byte System Exclusive message (a Morpheus preset dump) between
// endpoints of this process: out to an echo consumer, back to the waiting sender.
#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

class EchoConsumer : public BMidiLocalConsumer {
public:
	explicit EchoConsumer(BMidiLocalProducer* back) : fBack(back) {}
	void SystemExclusive(void* data, size_t length, bigtime_t) override
	{
		fBack->SpraySystemExclusive(data, length);
	}

private:
	BMidiLocalProducer* fBack;
};

class ReplyConsumer : public BMidiLocalConsumer {
public:
	void SystemExclusive(void* data, size_t length, bigtime_t) override
	{
		std::lock_guard lock(fLock);
		fLength = length;
		++fReplies;
		fArrived.notify_one();
	}
	void WaitForReply(uint64_t number)
	{
		std::unique_lock lock(fLock);
		fArrived.wait(lock, [&] { return fReplies >= number; });
	}

private:
	std::mutex fLock;
	std::condition_variable fArrived;
	uint64_t fReplies = 0;
	size_t fLength = 0;
};

void BM_SystemExclusiveRoundTrip564(benchmark::State& state)
{
	setenv("SUITE_MIDI_API", "none", 1);
	auto* request = new BMidiLocalProducer("request");
	auto* reply = new BMidiLocalProducer("reply");
	auto* echo = new EchoConsumer(reply);
	auto* waiter = new ReplyConsumer;
	request->Connect(echo);
	reply->Connect(waiter);
	std::vector<uint8_t> dump(564, 0x11);
	dump.front() = 0xF0;
	dump.back() = 0xF7;
	uint64_t sent = 0;
	for (auto _ : state) {
		request->SpraySystemExclusive(dump.data(), dump.size());
		waiter->WaitForReply(++sent);
	}
	request->Release();
	reply->Release();
	echo->Release();
	waiter->Release();
}

}  // namespace

BENCHMARK(BM_SystemExclusiveRoundTrip564)
	->UseRealTime()
	->Repetitions(7)
	->ReportAggregatesOnly(true)
	->Unit(benchmark::kMicrosecond);
