// The capture hook and the reading path allocate nothing once the stream runs.
#include "Amplification.h"
#include "Recorder.h"
#include "testing/AllocationCounter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class DirectRecorder : public Recorder {
protected:
	status_t StartCapture() override { return B_OK; }
};

TEST(CaptureMemory, CaptureAndReadsAllocateNothingOnceRunning)
{
	DirectRecorder recorder;
	std::vector<int16> capture(2 * 256, 1000);
	std::vector<int16> full(2 * 1024, 2000);
	std::vector<int16> out(2 * 256);
	// The first read starts the stream (and allocates its FIFO).
	recorder.Record(capture.data(), 1024);
	micfeed::SetMultiplier(30);
	ASSERT_EQ(recorder.Read(reinterpret_cast<char*>(out.data()), 256), 256);
	// One drop first, so that standard output has its buffer before counting.
	testing::internal::CaptureStdout();
	recorder.Record(full.data(), 4096);
	recorder.Read(reinterpret_cast<char*>(out.data()), 256);
	recorder.Read(reinterpret_cast<char*>(out.data()), 256);

	AllocationCounter counter(AllocationCounter::kAllThreads);
	for (int i = 0; i < 1000; i++) {
		recorder.Record(capture.data(), 1024);
		recorder.Record(full.data(), 4096);   // 6 of its 8 pieces find no room
		recorder.Read(reinterpret_cast<char*>(out.data()), 256);
		recorder.Read(reinterpret_cast<char*>(out.data()), 256);
	}
	const long allocations = counter.Count();
	testing::internal::GetCapturedStdout();
	EXPECT_EQ(allocations, 0);
	EXPECT_EQ(recorder.DroppedChunks(), 1 * 4 + 1000 * 6);
	micfeed::SetMultiplier(micfeed::kDefaultAmplification);
}

}  // namespace
