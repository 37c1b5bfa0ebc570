// Recorder over the real media graph: the default audio input is a signal generator.
#include "Amplification.h"
#include "Recorder.h"
#include "media/MediaRoster.h"
#include "media/PlatformNodes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace micfeed;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

// Makes a sine generator the process's default audio input.
void UseToneAsInput(float frequency, float levelDb, uint32 channels)
{
	BMediaRoster* roster = BMediaRoster::Roster();
	auto* tone = new ToneGeneratorNode(frequency, levelDb, 44100.0f, channels);
	ASSERT_EQ(roster->RegisterNode(tone), B_OK);
	ASSERT_EQ(roster->SetAudioInput(tone->Node()), B_OK);
	roster->ReleaseNode(tone->Node());   // the roster keeps its own reference
}

struct Measured {
	double frequency[2];
	double peak[2];
	double mean[2];
};

Measured Measure(const std::vector<int16>& frames)
{
	Measured m = {};
	for (int c = 0; c < 2; c++) {
		int crossings = 0;
		double sum = 0;
		for (size_t i = c; i < frames.size(); i += 2) {
			m.peak[c] = std::max(m.peak[c], std::abs(double(frames[i])));
			sum += frames[i];
			if (i >= 2 && (frames[i] >= 0) != (frames[i - 2] >= 0))
				crossings++;
		}
		m.frequency[c] = crossings / 2.0 * 44100.0 / double(frames.size() / 2);
		m.mean[c] = sum / double(frames.size() / 2);
	}
	return m;
}

class RecorderChain : public testing::Test {
protected:
	void SetUp() override { SetMultiplier(kDefaultAmplification); }
	void TearDown() override { SetMultiplier(kDefaultAmplification); }
};

TEST_F(RecorderChain, ReadsTheDefaultInputAsAnEndlessStereoStream)
{
	UseToneAsInput(441.0f, -12.0f, 2);
	Recorder recorder;
	std::vector<int16> frames(2 * 1024);
	// Skip the first half second, then take two seconds in the player's own pieces.
	for (int i = 0; i < 22; i++)
		ASSERT_EQ(recorder.Read(reinterpret_cast<char*>(frames.data()), 1024), 1024);
	ASSERT_EQ(recorder.StartStatus(), B_OK);
	std::vector<int16> heard;
	for (int i = 0; i < 86; i++) {
		ASSERT_EQ(recorder.Read(reinterpret_cast<char*>(frames.data()), 1024), 1024);
		heard.insert(heard.end(), frames.begin(), frames.end());
	}
	Measured m = Measure(heard);
	for (int c = 0; c < 2; c++) {
		EXPECT_NEAR(m.frequency[c], 441, 3) << c;
		EXPECT_NEAR(m.peak[c], 32767 * std::pow(10.0, -12 / 20.0), 400) << c;
		EXPECT_NEAR(m.mean[c], 0, 50) << c;
	}
}

TEST_F(RecorderChain, AMonoInputIsHeardOnBothChannelsAmplified)
{
	UseToneAsInput(1000.0f, -26.0f, 1);
	SetMultiplier(40);   // x4: -26 dBFS becomes about -14
	Recorder recorder;
	std::vector<int16> frames(2 * 4410);
	for (int i = 0; i < 5; i++)
		ASSERT_EQ(recorder.Read(reinterpret_cast<char*>(frames.data()), 4410), 4410);
	Measured m = Measure(frames);
	EXPECT_NEAR(m.frequency[0], 1000, 10);
	EXPECT_NEAR(m.peak[0], 4 * 32767 * std::pow(10.0, -26 / 20.0), 500);
	for (size_t i = 0; i < frames.size(); i += 2)
		ASSERT_EQ(frames[i], frames[i + 1]) << "frame " << i / 2;
}

TEST_F(RecorderChain, ASecondStreamFindsTheInputBusyAndPlaysSilence)
{
	UseToneAsInput(441.0f, -6.0f, 2);
	Recorder first;
	std::vector<int16> frames(2 * 441, 0x5555);
	ASSERT_EQ(first.Read(reinterpret_cast<char*>(frames.data()), 441), 441);
	ASSERT_EQ(first.StartStatus(), B_OK);

	Recorder second;
	CaptureStderr();
	bigtime_t start = system_time();
	for (int i = 0; i < 3; i++)
		EXPECT_EQ(second.Read(reinterpret_cast<char*>(frames.data()), 441), 441);
	bigtime_t took = system_time() - start;
	std::string errors = GetCapturedStderr();
	EXPECT_EQ(second.StartStatus(), B_BUSY);
	EXPECT_EQ(frames, std::vector<int16>(frames.size(), 0));
	EXPECT_LT(took, 5000000) << "bounded";
	EXPECT_NE(errors.find("micfeed: cannot record from the default audio input: cannot "
		"connect"), std::string::npos) << errors;
	EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;

	// The first stream goes on.
	ASSERT_EQ(first.Read(reinterpret_cast<char*>(frames.data()), 441), 441);
	EXPECT_GT(Measure(frames).peak[0], 10000);
}

TEST_F(RecorderChain, EndingAStreamStopsItsServiceThreadAndFreesTheInput)
{
	UseToneAsInput(441.0f, -6.0f, 2);
	std::vector<int16> frames(2 * 1024);
	{
		Recorder recorder;
		ASSERT_EQ(recorder.Read(reinterpret_cast<char*>(frames.data()), 1024), 1024);
		EXPECT_GE(find_thread("Tunedeck audio input Service"), 0);
	}
	EXPECT_LT(find_thread("Tunedeck audio input Service"), 0);
	// The input is free again for the next stream.
	Recorder next;
	ASSERT_EQ(next.Read(reinterpret_cast<char*>(frames.data()), 1024), 1024);
	EXPECT_EQ(next.StartStatus(), B_OK);
	EXPECT_GT(Measure(frames).peak[0], 10000);
}

}  // namespace
