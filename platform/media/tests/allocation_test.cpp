// Counts every allocation of the program while buffers flow, to show that the
// buffer path (request, fill, send, receive, convert, recycle) allocates nothing.
#include "MediaTestNodes.h"

#include "kernel/OS.h"
#include "media/PlatformNodes.h"

#include "testing/AllocationCounter.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

// Counts buffers (keeps nothing); waking a waiter allocates nothing either.
class CountingConsumer : public AudioConsumerNode {
public:
	CountingConsumer() : BMediaNode("Counter"), AudioConsumerNode("Counter", nullptr, 0) {}

	// Waits until `count` buffers arrived (false after 30 s).
	bool WaitFor(long count)
	{
		std::unique_lock<std::mutex> guard(fLock);
		return fChanged.wait_for(guard, std::chrono::seconds(30),
			[&] { return fBuffers >= count; });
	}
	long Buffers()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fBuffers;
	}

protected:
	void Consume(const float* frames, size_t count, bigtime_t) override
	{
		std::lock_guard<std::mutex> guard(fLock);
		fBuffers++;
		fChanged.notify_all();
	}

private:
	std::mutex fLock;
	std::condition_variable fChanged;
	long fBuffers = 0;   // guarded by fLock
};

// Whether the kernel's ports copy each message into memory of their own.
bool PortsAllocate()
{
	port_id port = create_port(4, "probe");
	int32 code;
	char byte = 1;
	write_port(port, 1, &byte, 1);
	read_port(port, &code, &byte, 1);
	AllocationCounter counter;
	write_port(port, 1, &byte, 1);
	read_port(port, &code, &byte, 1);
	long made = counter.Count();
	delete_port(port);
	return made > 0;
}

TEST(MediaAllocations, SteadyBuffersFromProducerToConsumerAllocateNothing)
{
	if (PortsAllocate())
		GTEST_SKIP() << "the kernel's ports allocate for every message; buffers travel by port";
	BMediaRoster* roster = BMediaRoster::Roster();
	auto* tone = new ToneGeneratorNode(440.0f, -6.0f, 44100.0f, 2);
	auto* counter = new CountingConsumer;
	ASSERT_EQ(roster->RegisterNode(tone), B_OK);
	ASSERT_EQ(roster->RegisterNode(counter), B_OK);
	media_format format = media_format::RawAudioFormat();
	format.u.raw_audio.format = media_raw_audio_format::B_AUDIO_SHORT;
	ASSERT_EQ(ConnectNodes(tone->Node(), counter->Node(), &format), B_OK);
	// Offline: buffers go as fast as they come back, thousands a second.
	ASSERT_EQ(roster->SetRunModeFor(tone->Node(), B_OFFLINE), B_OK);
	ASSERT_EQ(roster->StartNode(counter->Node(), 0), B_OK);
	ASSERT_EQ(roster->StartNode(tone->Node(), 0), B_OK);

	ASSERT_TRUE(counter->WaitFor(100));   // warmed up
	AllocationCounter allocations(AllocationCounter::kAllThreads);
	long from = counter->Buffers();
	ASSERT_TRUE(counter->WaitFor(from + 1000));
	long made = allocations.Count();
	EXPECT_EQ(made, 0) << "over " << counter->Buffers() - from << " buffers";

	roster->StopNode(tone->Node(), 0, true);
	tone->Release();
	counter->Release();
}

}  // namespace
