// Counts every allocation of the program while buffers flow, to show that the
// buffer path (request, fill, send, receive, convert, recycle) allocates nothing.
#include "MediaTestNodes.h"

#include "kernel/OS.h"
#include "media/PlatformNodes.h"

#include "testing/AllocationCounter.h"

#include <atomic>

namespace {

// Counts buffers and frames only (keeps nothing).
class CountingConsumer : public AudioConsumerNode {
public:
	CountingConsumer() : BMediaNode("Counter"), AudioConsumerNode("Counter", nullptr, 0) {}
	std::atomic<long> buffers{0};
	std::atomic<double> sum{0};

protected:
	void Consume(const float* frames, size_t count, bigtime_t) override
	{
		double s = sum.load();
		for (size_t i = 0; i < count; i++)
			s += frames[i];
		sum.store(s);
		buffers.fetch_add(1);
	}
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

	auto waitFor = [&](long buffers) {
		for (int i = 0; i < 3000 && counter->buffers.load() < buffers; i++)
			snooze(10000);
		return counter->buffers.load() >= buffers;
	};
	ASSERT_TRUE(waitFor(100));   // warmed up
	AllocationCounter allocations(AllocationCounter::kAllThreads);
	long from = counter->buffers.load();
	ASSERT_TRUE(waitFor(from + 1000));
	long made = allocations.Count();
	EXPECT_EQ(made, 0) << "over " << counter->buffers.load() - from << " buffers";

	roster->StopNode(tone->Node(), 0, true);
	tone->Release();
	counter->Release();
}

}  // namespace
