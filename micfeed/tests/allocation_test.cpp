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
	// One piece more than the FIFO holds, and reads that empty it again.
	constexpr int32 kOverfull = Recorder::kFifoBytes + 512;
	constexpr int32 kReads = Recorder::kFifoBytes / 1024;
	std::vector<int16> capture(kOverfull / 2, 1000);
	std::vector<int16> out(2 * 256);
	auto cycle = [&] {
		recorder.Record(capture.data(), kOverfull);
		for (int32 r = 0; r < kReads; r++)
			recorder.Read(reinterpret_cast<char*>(out.data()), 256);
	};
	micfeed::SetMultiplier(30);
	// The first read starts the stream (and allocates its FIFO); the first drop gives
	// standard output its buffer.
	recorder.Record(capture.data(), 1024);
	ASSERT_EQ(recorder.Read(reinterpret_cast<char*>(out.data()), 256), 256);
	testing::internal::CaptureStdout();
	cycle();

	AllocationCounter counter(AllocationCounter::kAllThreads);
	for (int i = 0; i < 1000; i++)
		cycle();
	const long allocations = counter.Count();
	testing::internal::GetCapturedStdout();
	EXPECT_EQ(allocations, 0);
	EXPECT_EQ(recorder.DroppedChunks(), 1001);
	micfeed::SetMultiplier(micfeed::kDefaultAmplification);
}

}  // namespace
