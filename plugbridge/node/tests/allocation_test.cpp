// The node's buffer path allocates nothing: counted on the node's own thread while buffers
// flow, the ports that carry them included.
#include <gtest/gtest.h>

#include <atomic>

#include "NodeTestGraph.h"
#include "kernel/OS.h"
#include "testing/AllocationCounter.h"

namespace {

// Counts the allocations of the node's thread while it handles buffers.
class CountingNode : public VSTEffectNode {
public:
	explicit CountingNode(std::unique_ptr<VSTPlugIn> plugIn)
		: BMediaNode("Counting"), VSTEffectNode(nullptr, "Counting", std::move(plugIn))
	{
	}
	long Allocations() const { return fAllocations.load(); }

protected:
	void HandleEvent(const media_timed_event* event, bigtime_t lateness,
		bool realTimeEvent) override
	{
		if (event->type != B_HANDLE_BUFFER) {
			VSTEffectNode::HandleEvent(event, lateness, realTimeEvent);
			return;
		}
		AllocationCounter counter;
		VSTEffectNode::HandleEvent(event, lateness, realTimeEvent);
		fAllocations += counter.Count();
	}

private:
	std::atomic<long> fAllocations{0};
};

TEST_F(NodeGraph, ProcessingBuffersAllocatesNothingInTheNode)
{
	VSTPlugIn prototype(TestPlugInPath("gain").c_str(), 0);
	auto* node = Register(new CountingNode(prototype.newInstance()));
	const int64 frames = 512 * 200;
	auto* source = Register(new SignalSource(44100, 2, frames));
	auto* collector = Register(new Collector(size_t(frames) * 2));
	ASSERT_EQ(Connect(source->Node(), node->Node(),
		Format(media_raw_audio_format::B_AUDIO_SHORT, 2, 44100, 512)), B_OK);
	ASSERT_EQ(Connect(node->Node(), collector->Node(),
		Format(media_raw_audio_format::B_AUDIO_SHORT, 2)), B_OK);
	ASSERT_TRUE(RunOffline({source->Node(), node->Node(), collector->Node()}, collector));
	ASSERT_EQ(node->BuffersSent(), 200);
	// Receiving, processing and sending on 200 buffers (ports included) allocates nothing.
	EXPECT_EQ(node->Allocations(), 0);
}

}  // namespace
