// Raw audio of the four sample formats into float blocks and back, bytes written by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "vst/SampleConversion.h"

namespace {

struct Stereo {
	explicit Stereo(size_t frames) : left(frames), right(frames) {}
	float* const* blocks()
	{
		pointers[0] = left.data();
		pointers[1] = right.data();
		return pointers;
	}
	std::vector<float> left, right;
	float* pointers[2];
};

TEST(SampleConversion, ShortDeinterleavesAndScalesBothByteOrders)
{
	const uint8 little[] = {
		0xFF, 0x7F,  // left 32767
		0x01, 0x80,  // right -32767
		0x00, 0x00,  // left 0
		0x00, 0xC0,  // right -16384
	};
	Stereo s(2);
	ASSERT_EQ(ConvertToFloat(kSampleShort, false, little, 2, 2, s.blocks()), B_OK);
	EXPECT_EQ(s.left, (std::vector<float>{1.0f, 0.0f}));
	EXPECT_FLOAT_EQ(s.right[0], -1.0f);
	EXPECT_FLOAT_EQ(s.right[1], -16384.0f / 32767);

	const uint8 big[] = {0x7F, 0xFF, 0x80, 0x01, 0x00, 0x00, 0xC0, 0x00};
	Stereo b(2);
	ConvertToFloat(kSampleShort, true, big, 2, 2, b.blocks());
	EXPECT_EQ(b.left, s.left);
	EXPECT_EQ(b.right, s.right);

	uint8 back[8] = {};
	ConvertFromFloat(kSampleShort, false, s.blocks(), 2, 2, back);
	EXPECT_EQ(std::vector<uint8>(back, back + 8), std::vector<uint8>(little, little + 8));
	ConvertFromFloat(kSampleShort, true, s.blocks(), 2, 2, back);
	EXPECT_EQ(std::vector<uint8>(back, back + 8), std::vector<uint8>(big, big + 8));
}

TEST(SampleConversion, IntAndUnsignedCharScaleAsTheirRanges)
{
	const uint8 ints[] = {
		0x00, 0x00, 0x00, 0x40,  // 2^30: 0.5
		0x00, 0x00, 0x00, 0x80,  // -2^31: -1
	};
	float value[2];
	float* mono[] = {value};
	ConvertToFloat(kSampleInt, false, ints, 1, 2, mono);
	EXPECT_EQ(value[0], 0.5f);
	EXPECT_EQ(value[1], -1.0f);
	uint8 intsBack[8];
	ConvertFromFloat(kSampleInt, false, mono, 1, 2, intsBack);
	EXPECT_EQ(std::vector<uint8>(intsBack, intsBack + 8), std::vector<uint8>(ints, ints + 8));
	const uint8 bigInt[] = {0x40, 0x00, 0x00, 0x00};
	ConvertToFloat(kSampleInt, true, bigInt, 1, 1, mono);
	EXPECT_EQ(value[0], 0.5f);

	const uint8 chars[] = {128, 255, 1, 0};
	float u[4];
	float* uBlocks[] = {u};
	ConvertToFloat(kSampleUChar, false, chars, 1, 4, uBlocks);
	EXPECT_EQ(u[0], 0.0f);
	EXPECT_EQ(u[1], 1.0f);
	EXPECT_EQ(u[2], -1.0f);
	EXPECT_FLOAT_EQ(u[3], -128.0f / 127);
	uint8 charsBack[4];
	ConvertFromFloat(kSampleUChar, false, uBlocks, 1, 4, charsBack);
	EXPECT_EQ(charsBack[0], 128);
	EXPECT_EQ(charsBack[1], 255);
	EXPECT_EQ(charsBack[2], 1);
	EXPECT_EQ(charsBack[3], 1);  // below -1: clamped, not wrapped to 255
}

TEST(SampleConversion, FloatInterleavesBothWaysWithoutClamping)
{
	const float interleaved[] = {0.25f, -0.5f, 1.5f, -2.0f, 0.0f, 1.0f};
	Stereo s(3);
	ConvertToFloat(kSampleFloat, false, interleaved, 2, 3, s.blocks());
	EXPECT_EQ(s.left, (std::vector<float>{0.25f, 1.5f, 0.0f}));
	EXPECT_EQ(s.right, (std::vector<float>{-0.5f, -2.0f, 1.0f}));
	float back[6];
	ConvertFromFloat(kSampleFloat, false, s.blocks(), 2, 3, back);
	EXPECT_EQ(std::vector<float>(back, back + 6), std::vector<float>(interleaved, interleaved + 6));

	// Big-endian floats: the bytes of 0.25 (0x3E800000) reversed.
	const uint8 bigFloat[] = {0x3E, 0x80, 0x00, 0x00};
	float one[1];
	float* oneBlock[] = {one};
	ConvertToFloat(kSampleFloat, true, bigFloat, 1, 1, oneBlock);
	EXPECT_EQ(one[0], 0.25f);
	uint8 bigBack[4];
	ConvertFromFloat(kSampleFloat, true, oneBlock, 1, 1, bigBack);
	EXPECT_EQ(std::vector<uint8>(bigBack, bigBack + 4), std::vector<uint8>(bigFloat, bigFloat + 4));
}

TEST(SampleConversion, IntegerOutputClampsLoudAndInvalidValues)
{
	float values[] = {1.5f, -3.0f, NAN, INFINITY, -INFINITY, 1.0f};
	float* block[] = {values};
	int16 shorts[6];
	ConvertFromFloat(kSampleShort, false, block, 1, 6, shorts);
	EXPECT_EQ(shorts[0], 32767);
	EXPECT_EQ(shorts[1], -32767);
	EXPECT_EQ(shorts[2], 0);
	EXPECT_EQ(shorts[3], 32767);
	EXPECT_EQ(shorts[4], -32767);
	int32 ints[6];
	ConvertFromFloat(kSampleInt, false, block, 1, 6, ints);
	EXPECT_EQ(ints[0], INT32_MAX);  // 1 × 2^31 does not fit
	EXPECT_EQ(ints[1], INT32_MIN);
	EXPECT_EQ(ints[2], 0);
	EXPECT_EQ(ints[5], INT32_MAX);
}

TEST(SampleConversion, UnknownFormatsAreRefused)
{
	float value = 0;
	float* block[] = {&value};
	uint8 bytes[4] = {};
	EXPECT_EQ(ConvertToFloat(0x1 /* signed 8-bit */, false, bytes, 1, 1, block), B_BAD_VALUE);
	EXPECT_EQ(ConvertFromFloat(0x1, false, block, 1, 1, bytes), B_BAD_VALUE);
	EXPECT_EQ(SampleSize(0x1), 0u);
	EXPECT_EQ(SampleSize(kSampleUChar), 1u);
	EXPECT_EQ(SampleSize(kSampleShort), 2u);
	EXPECT_EQ(SampleSize(kSampleInt), 4u);
	EXPECT_EQ(SampleSize(kSampleFloat), 4u);
}

}  // namespace
