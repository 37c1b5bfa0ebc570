#include "Capture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace micfeed;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

int16 Amplified(int16 sample, int32 multiplier)
{
	Amplify(&sample, 1, multiplier);
	return sample;
}

TEST(Amplify, ScalesInTenthsTruncatingTowardZeroAndClamps)
{
	EXPECT_EQ(Amplified(1000, 500), 32767);
	EXPECT_EQ(Amplified(-1000, 500), -32768);
	EXPECT_EQ(Amplified(1000, 10), 1000);
	EXPECT_EQ(Amplified(-32768, 10), -32768);
	EXPECT_EQ(Amplified(-700, 15), -1050);
	EXPECT_EQ(Amplified(7, 15), 10);     // 10.5
	EXPECT_EQ(Amplified(-7, 15), -10);   // -10.5 toward zero, not -11
	EXPECT_EQ(Amplified(32767, 20), 32767);
	EXPECT_EQ(Amplified(-32768, 20), -32768);

	std::vector<int16> samples = {100, -100, 3, 0};
	Amplify(samples.data(), samples.size(), 25);
	EXPECT_EQ(samples, (std::vector<int16>{250, -250, 7, 0}));
}

TEST(RemoveDcOffset, SubtractsEachChannelsOwnMean)
{
	// Pure DC on both channels becomes silence.
	std::vector<int16> dc(2 * 300);
	for (size_t i = 0; i < dc.size(); i += 2) {
		dc[i] = 1234;
		dc[i + 1] = -5000;
	}
	RemoveDcOffset(dc.data(), 300);
	EXPECT_EQ(dc, std::vector<int16>(600, 0));

	// Left mean 2 (6 / 3), right mean -7 (-21 / 3).
	std::vector<int16> frames = {1, -10, 2, -1, 3, -10};
	RemoveDcOffset(frames.data(), 3);
	EXPECT_EQ(frames, (std::vector<int16>{-1, -3, 0, 6, 1, -3}));

	// Means truncate toward zero: left 7/2 = 3, right -7/2 = -3.
	std::vector<int16> odd = {3, -3, 4, -4};
	RemoveDcOffset(odd.data(), 2);
	EXPECT_EQ(odd, (std::vector<int16>{0, 0, 1, -1}));
}

TEST(RemoveDcOffset, ClampsWhatTheSubtractionPushesOutOfRange)
{
	// Left mean -10923: 32767 + 10923 would wrap to a loud negative sample.
	std::vector<int16> frames = {32767, 0, -32768, 0, -32768, 0};
	RemoveDcOffset(frames.data(), 3);
	EXPECT_EQ(frames[0], 32767);
	EXPECT_EQ(frames[2], -32768 + 10923);
	EXPECT_EQ(frames[4], -32768 + 10923);

	// A long loud buffer: the sums do not overflow (70000 frames at full scale).
	std::vector<int16> loud(2 * 70000, 32767);
	RemoveDcOffset(loud.data(), 70000);
	EXPECT_EQ(loud, std::vector<int16>(loud.size(), 0));
}

TEST(FeedFifo, WritesWholeFramesInPiecesAndDropsWhatDoesNotFit)
{
	FiFo<char> fifo(2048);
	// Zero-mean frames (each odd frame negates the one before), so the DC removal leaves
	// them as they are.
	std::vector<int16> frames(2 * 384);
	for (size_t i = 0; i < frames.size(); i += 4) {
		frames[i] = int16(i);
		frames[i + 1] = int16(-3 * i);
		frames[i + 2] = int16(-frames[i]);
		frames[i + 3] = int16(-frames[i + 1]);
	}
	std::vector<int16> expected = frames;

	CaptureStdout();
	EXPECT_EQ(FeedFifo(fifo, frames.data(), 1536), 0);   // 3 pieces of 512
	EXPECT_EQ(GetCapturedStdout(), "");
	EXPECT_EQ(fifo.spaceleft(), 512);

	// 600 more bytes: 512 fit, the last 88 do not.
	std::vector<int16> more(300, 0);
	CaptureStdout();
	EXPECT_EQ(FeedFifo(fifo, more.data(), 600), 1);
	EXPECT_EQ(FeedFifo(fifo, more.data(), 600), 2);   // nothing fits now
	EXPECT_EQ(GetCapturedStdout(), "fifo full\nfifo full\nfifo full\n");
	EXPECT_EQ(fifo.spaceleft(), 0);

	std::vector<int16> out(2 * 384);
	ASSERT_EQ(fifo.read(reinterpret_cast<char*>(out.data()), 1536), 1536);
	EXPECT_EQ(out, expected);
}

TEST(FeedFifo, IgnoresBuffersWithoutAWholeFrameAndKeepsOnlyWholeFrames)
{
	FiFo<char> fifo(64);
	int16 samples[4] = {10, 20, 30, 40};
	EXPECT_EQ(FeedFifo(fifo, samples, 3), 0);
	EXPECT_EQ(fifo.spaceleft(), 64);
	EXPECT_EQ(FeedFifo(fifo, samples, 7), 0);   // one frame and 3 stray bytes
	EXPECT_EQ(fifo.spaceleft(), 60);
}

}  // namespace
