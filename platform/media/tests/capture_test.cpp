// The default input's conversion from what a device captures to what a consumer takes.
#include "MediaTestNodes.h"

#include "media/CaptureConverter.h"
#include "testing/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;

// Converts one second of a device's stereo sine (the right channel at half level) in
// 480-frame blocks; returns the output.
std::vector<float> ConvertSecond(CaptureConverter& converter, double rate, double frequency)
{
	std::vector<float> out;
	std::vector<float> block(480 * 2);
	size_t frame = 0;
	for (int b = 0; b < int(rate) / 480; b++) {
		for (size_t i = 0; i < 480; i++, frame++) {
			float v = float(0.8 * std::sin(2 * kPi * frequency * double(frame) / rate));
			block[2 * i] = v;
			block[2 * i + 1] = v / 2;
		}
		const float* converted;
		size_t made = converter.Convert(block.data(), 480, &converted);
		out.insert(out.end(), converted, converted + made * 1);
	}
	return out;
}

TEST(CaptureConverter, ConvertsRateAndMixesChannelsKeepingPitchAndLevel)
{
	CaptureConverter converter;
	ASSERT_EQ(converter.Prepare(48000, 2, 44100, 1, 480), B_OK);
	EXPECT_TRUE(converter.ConvertsRate());
	std::vector<float> out = ConvertSecond(converter, 48000, 1000);
	// About a second at the new rate (the converter keeps a few frames back).
	EXPECT_NEAR(double(out.size()), 44100, 200);
	std::vector<float> steady(out.begin() + 1000, out.end() - 1000);
	EXPECT_NEAR(SignalFrequency(steady, 44100), 1000.0, 0.5);
	EXPECT_NEAR(SignalPeak(steady), 0.6, 0.01);   // the mean of 0.8 and 0.4
}

TEST(CaptureConverter, SameRatePassesThroughAndBadSettingsAreRefused)
{
	CaptureConverter converter;
	ASSERT_EQ(converter.Prepare(44100, 1, 44100, 2, 64), B_OK);
	EXPECT_FALSE(converter.ConvertsRate());
	const float in[3] = {0.1f, -0.2f, 0.3f};
	const float* out;
	ASSERT_EQ(converter.Convert(in, 3, &out), 3u);
	const float expected[6] = {0.1f, 0.1f, -0.2f, -0.2f, 0.3f, 0.3f};   // repeated
	for (int i = 0; i < 6; i++)
		EXPECT_EQ(out[i], expected[i]);

	EXPECT_EQ(converter.Prepare(0, 2, 44100, 2, 64), B_BAD_VALUE);
	EXPECT_EQ(converter.Prepare(48000, 0, 44100, 2, 64), B_BAD_VALUE);
	EXPECT_EQ(converter.Prepare(48000, 2, 44100, 2, 0), B_BAD_VALUE);
	EXPECT_EQ(converter.Prepare(1000, 2, 384000, 2, 64), B_BAD_VALUE);   // ratio too large
}

TEST(CaptureConverter, ConvertingAllocatesNothing)
{
	CaptureConverter converter;
	ASSERT_EQ(converter.Prepare(48000, 2, 44100, 2, 512), B_OK);
	std::vector<float> block(1024, 0.25f);
	const float* out;
	converter.Convert(block.data(), 512, &out);
	AllocationCounter counter;
	for (int i = 0; i < 1000; i++)
		converter.Convert(block.data(), 512, &out);
	EXPECT_EQ(counter.Count(), 0);
}

}  // namespace
