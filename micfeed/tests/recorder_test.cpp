#include "Amplification.h"
#include "Recorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace micfeed;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

// A recorder whose capture chain is the test: StartCapture() only answers `start`. The
// test's capture thread waits for `starts`, as a real capture starts only then (the FIFO
// is made before it: reading Fifo() earlier would race with its making).
class TestRecorder : public Recorder {
public:
	explicit TestRecorder(status_t start = B_OK) : fStart(start) {}
	using Recorder::Fifo;
	std::atomic<int> starts{0};

protected:
	status_t StartCapture() override
	{
		starts++;
		return fStart;
	}

private:
	status_t fStart;
};

// 256 stereo frames whose channels each have mean zero: frame k and k+1 cancel.
std::vector<int16> ZeroMeanPiece(int16 seed)
{
	std::vector<int16> piece(2 * 256);
	for (size_t i = 0; i < piece.size(); i += 4) {
		piece[i] = int16(seed + i);
		piece[i + 1] = int16(-seed - 2 * i);
		piece[i + 2] = int16(-piece[i]);
		piece[i + 3] = int16(-piece[i + 1]);
	}
	return piece;
}

bool WaitFor(const std::function<bool()>& condition)
{
	for (int i = 0; i < 1000 && !condition(); i++)
		snooze(5000);
	return condition();
}

class RecorderTest : public testing::Test {
protected:
	void SetUp() override { SetMultiplier(kDefaultAmplification); }
	void TearDown() override { SetMultiplier(kDefaultAmplification); }
};

TEST_F(RecorderTest, AThousandFrameReadTakesTheFifoEmptyInQuarterPieces)
{
	TestRecorder recorder;
	std::vector<int16> out(2 * 1024, 0x5555);
	std::atomic<int32> returned{-2};
	std::thread player([&] {
		returned = recorder.Read(reinterpret_cast<char*>(out.data()), 1024);
	});
	ASSERT_TRUE(WaitFor([&] { return recorder.starts.load() > 0; }));
	EXPECT_EQ(recorder.starts.load(), 1);

	// One piece of 256 frames (1024 bytes) at a time: the reader must take each before the
	// next comes, which it does only when it reads in pieces of at most 256 frames.
	std::vector<int16> expected;
	for (int16 piece = 0; piece < 4; piece++) {
		std::vector<int16> frames = ZeroMeanPiece(int16(100 * (piece + 1)));
		expected.insert(expected.end(), frames.begin(), frames.end());
		EXPECT_EQ(returned.load(), -2) << "returned before piece " << piece;
		recorder.Record(frames.data(), frames.size() * sizeof(int16));
		ASSERT_TRUE(WaitFor([&] { return recorder.Fifo()->spaceleft() == Recorder::kFifoBytes; }))
			<< "piece " << piece << " was not read";
	}
	player.join();
	EXPECT_EQ(returned.load(), 1024);
	EXPECT_EQ(out, expected);
	EXPECT_EQ(recorder.DroppedChunks(), 0);
}

TEST_F(RecorderTest, ReadsAmplifyByTheAmplificationOfTheMomentAndClamp)
{
	TestRecorder recorder;
	std::vector<int16> frames(2 * 256);
	for (size_t i = 0; i < frames.size(); i += 2) {
		frames[i] = (i / 2) % 2 ? 700 : -700;
		frames[i + 1] = (i / 2) % 2 ? -1000 : 1000;
	}
	std::vector<int16> out(2 * 256);
	std::thread capture([&] {
		WaitFor([&] { return recorder.starts.load() > 0; });
		for (int i = 0; i < 2; i++) {
			std::vector<int16> copy = frames;
			WaitFor([&] { return recorder.Fifo()->spaceleft() >= 1024; });
			recorder.Record(copy.data(), copy.size() * sizeof(int16));
		}
	});
	SetMultiplier(15);
	ASSERT_EQ(recorder.Read(reinterpret_cast<char*>(out.data()), 256), 256);
	EXPECT_EQ(out[0], -1050);
	EXPECT_EQ(out[1], 1500);
	EXPECT_EQ(out[2], 1050);
	EXPECT_EQ(out[3], -1500);
	SetMultiplier(500);
	ASSERT_EQ(recorder.Read(reinterpret_cast<char*>(out.data()), 256), 256);
	capture.join();
	EXPECT_EQ(out[0], -32768);
	EXPECT_EQ(out[1], 32767);
	EXPECT_EQ(out[2], 32767);
	EXPECT_EQ(out[3], -32768);
}

TEST_F(RecorderTest, AChainThatFailedToStartGivesPacedSilenceAndOneErrorLine)
{
	TestRecorder recorder(B_BUSY);
	std::vector<int16> out(2 * 4410, 0x5555);
	CaptureStderr();
	bigtime_t start = system_time();
	EXPECT_EQ(recorder.Read(reinterpret_cast<char*>(out.data()), 4410), 4410);
	EXPECT_EQ(recorder.Read(reinterpret_cast<char*>(out.data()), 4410), 4410);
	bigtime_t took = system_time() - start;
	std::string errors = GetCapturedStderr();

	EXPECT_EQ(out, std::vector<int16>(out.size(), 0));
	EXPECT_EQ(recorder.starts.load(), 1) << "a failed start is not retried on every read";
	EXPECT_EQ(recorder.StartStatus(), B_BUSY);
	// Two reads of 0.1 s each are paced at about the stream's rate, not returned at once.
	EXPECT_GE(took, 150000);
	EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
	EXPECT_NE(errors.find("micfeed: cannot record from the default audio input"),
		std::string::npos) << errors;
}

TEST_F(RecorderTest, AChainThatDeliversNothingGivesSilenceAfterItsTimeOut)
{
	TestRecorder recorder;
	std::vector<int16> out(2 * 512, 0x5555);
	CaptureStderr();
	bigtime_t start = system_time();
	EXPECT_EQ(recorder.Read(reinterpret_cast<char*>(out.data()), 512), 512);
	bigtime_t took = system_time() - start;
	std::string errors = GetCapturedStderr();
	EXPECT_EQ(out, std::vector<int16>(out.size(), 0));
	EXPECT_GE(took, Recorder::kStallTimeout);
	EXPECT_NE(errors.find("delivers nothing"), std::string::npos) << errors;

	// What arrives later is read again.
	std::vector<int16> frames = ZeroMeanPiece(9);
	recorder.Record(frames.data(), frames.size() * sizeof(int16));
	ASSERT_EQ(recorder.Read(reinterpret_cast<char*>(out.data()), 256), 256);
	EXPECT_TRUE(std::equal(frames.begin(), frames.end(), out.begin()));
}

TEST_F(RecorderTest, AFullFifoDropsCaptureWithoutBlockingTheCaptureThread)
{
	TestRecorder recorder;
	// Start the chain with a read that finds one piece.
	std::vector<int16> frames = ZeroMeanPiece(3);
	std::thread capture([&] {
		WaitFor([&] { return recorder.starts.load() > 0; });
		recorder.Record(frames.data(), frames.size() * sizeof(int16));
	});
	std::vector<int16> out(2 * 256);
	ASSERT_EQ(recorder.Read(reinterpret_cast<char*>(out.data()), 256), 256);
	capture.join();

	// Nobody reads now: two pieces more than the FIFO holds.
	testing::internal::CaptureStdout();
	for (int i = 0; i < Recorder::kFifoBytes / 1024 + 1; i++) {
		std::vector<int16> copy = ZeroMeanPiece(int16(i));
		recorder.Record(copy.data(), copy.size() * sizeof(int16));
	}
	std::string printed = testing::internal::GetCapturedStdout();
	EXPECT_EQ(recorder.DroppedChunks(), 2);
	EXPECT_EQ(printed, "fifo full\nfifo full\n");
}

}  // namespace
