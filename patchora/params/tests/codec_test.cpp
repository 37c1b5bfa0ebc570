#include "params/LbIntCodecs.h"
#include "params/LbStringCodec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<uint8> Encode14(int32 value)
{
    std::vector<uint8> block(4, 0x55);
    Lb14BitIntCodec2 codec;
    EXPECT_EQ(B_OK, codec.WriteSysEx(block.data(), uint32(block.size()), 1, 2, value));
    return {block[1], block[2]};
}

TEST(IntCodecs, FourteenBitWordsMatchTheWrittenOutExamples)
{
    EXPECT_EQ((std::vector<uint8>{0x00, 0x00}), Encode14(0));
    EXPECT_EQ((std::vector<uint8>{0x7F, 0x00}), Encode14(127));
    EXPECT_EQ((std::vector<uint8>{0x00, 0x01}), Encode14(128));
    EXPECT_EQ((std::vector<uint8>{0x7F, 0x7F}), Encode14(-1));
    EXPECT_EQ((std::vector<uint8>{0x00, 0x7F}), Encode14(-128));
    EXPECT_EQ((std::vector<uint8>{0x7F, 0x3F}), Encode14(8191));

    Lb14BitIntCodec2 codec;
    const uint8 max[] = {0x7F, 0x3F};
    const uint8 wrapped[] = {0x00, 0x40};
    int32 value = 0;
    ASSERT_EQ(B_OK, codec.ReadSysEx(max, 2, 0, 1, &value));
    EXPECT_EQ(8191, value);
    ASSERT_EQ(B_OK, codec.ReadSysEx(wrapped, 2, 0, 1, &value));
    EXPECT_EQ(-8192, value);
}

TEST(IntCodecs, EveryFourteenBitValueRoundTrips)
{
    Lb14BitIntCodec2 codec;
    uint8 block[2];
    for (int32 v = -8192; v <= 8191; v++) {
        ASSERT_EQ(B_OK, codec.WriteSysEx(block, 2, 0, 1, v));
        ASSERT_LT(block[0], 0x80);
        ASSERT_LT(block[1], 0x80);
        int32 back = 0;
        ASSERT_EQ(B_OK, codec.ReadSysEx(block, 2, 0, 1, &back));
        ASSERT_EQ(v, back);
    }
}

TEST(IntCodecs, SingleBytesSignedAndUnsigned)
{
    uint8 block[] = {0x00, 0xFF, 0x7F, 0x80};
    Lb7BitIntCodec plain;
    Lb7BitIntCodec2 signedCodec;
    int32 v = 0;
    ASSERT_EQ(B_OK, plain.ReadSysEx(block, 4, 1, 1, &v));
    EXPECT_EQ(255, v);
    ASSERT_EQ(B_OK, signedCodec.ReadSysEx(block, 4, 1, 1, &v));
    EXPECT_EQ(-1, v);
    ASSERT_EQ(B_OK, signedCodec.ReadSysEx(block, 4, 2, 2, &v));
    EXPECT_EQ(127, v);
    ASSERT_EQ(B_OK, signedCodec.ReadSysEx(block, 4, 3, 3, &v));
    EXPECT_EQ(-128, v);

    ASSERT_EQ(B_OK, signedCodec.WriteSysEx(block, 4, 0, 0, -2));
    EXPECT_EQ(0xFE, block[0]);
    ASSERT_EQ(B_OK, plain.WriteSysEx(block, 4, 0, 0, 100));
    EXPECT_EQ(100, block[0]);
}

TEST(IntCodecs, OutsideTheBlockOrTheWidthFailsAndTouchesNothing)
{
    const std::vector<uint8> original = {1, 2, 3};
    std::vector<uint8> block = original;
    Lb7BitIntCodec plain;
    Lb7BitIntCodec2 signedCodec;
    Lb14BitIntCodec2 wide;
    int32 v = 42;

    EXPECT_EQ(B_ERROR, plain.ReadSysEx(block.data(), 3, 3, 3, &v));
    EXPECT_EQ(B_ERROR, wide.ReadSysEx(block.data(), 3, 2, 3, &v));   // high byte past the end
    EXPECT_EQ(B_ERROR, wide.ReadSysEx(nullptr, 0, 0, 1, &v));
    EXPECT_EQ(42, v);

    EXPECT_EQ(B_ERROR, plain.WriteSysEx(block.data(), 3, 3, 3, 1));
    EXPECT_EQ(B_ERROR, wide.WriteSysEx(block.data(), 3, 2, 3, 1));
    EXPECT_EQ(B_ERROR, wide.WriteSysEx(block.data(), 3, 0xFFFFFFFFu, 0, 1));
    // Values the width cannot hold would wrap into another value: refused.
    EXPECT_EQ(B_ERROR, plain.WriteSysEx(block.data(), 3, 0, 0, 256));
    EXPECT_EQ(B_ERROR, plain.WriteSysEx(block.data(), 3, 0, 0, -1));
    EXPECT_EQ(B_ERROR, signedCodec.WriteSysEx(block.data(), 3, 0, 0, 128));
    EXPECT_EQ(B_ERROR, wide.WriteSysEx(block.data(), 3, 0, 1, 8192));
    EXPECT_EQ(B_ERROR, wide.WriteSysEx(block.data(), 3, 0, 1, -8193));
    EXPECT_EQ(original, block);
}

TEST(IntCodecs, FactoryMakesTheThreeKindsAndRefusesTheRest)
{
    struct Case { uint32 flags, bits; bool made; };
    const Case cases[] = {{1, 7, true}, {1, 14, true}, {0, 7, true}, {0, 14, false}, {1, 8, false}, {0, 0, false}};
    for (const Case& c : cases) {
        LbIntCodecI* codec = reinterpret_cast<LbIntCodecI*>(1);
        status_t status = LbCodecFactory::NewIntCodec(c.flags, c.bits, &codec);
        std::unique_ptr<LbIntCodecI> owned(codec);
        EXPECT_EQ(c.made ? B_OK : B_ERROR, status) << c.flags << "/" << c.bits;
        EXPECT_EQ(c.made, codec != nullptr);
    }
    LbIntCodecI* codec = nullptr;
    ASSERT_EQ(B_OK, LbCodecFactory::NewIntCodec(1, 14, &codec));
    std::unique_ptr<LbIntCodecI> owned(codec);
    uint8 block[] = {0x00, 0x7F};
    int32 v = 0;
    ASSERT_EQ(B_OK, codec->ReadSysEx(block, 2, 0, 1, &v));
    EXPECT_EQ(-128, v);
}

std::string ReadString(const LbStringCodec& codec, const std::vector<uint8>& block, uint32 first, uint32 last,
                       int8 step)
{
    char* text = nullptr;
    EXPECT_EQ(B_OK, codec.ReadSysEx(block.data(), uint32(block.size()), first, last, step, &text));
    std::string result = text ? text : "<null>";
    free(text);
    return result;
}

TEST(StringCodec, WritesEveryStepAndFillsOnlyWhenAsked)
{
    std::vector<uint8> block(32, 'x');
    LbRunStringCodec plain;
    ASSERT_EQ(B_OK, plain.WriteSysEx(block.data(), 32, 7, 29, 2, "ABC"));
    for (uint32 i = 0; i < 32; i++) {
        uint8 expected = i == 7 ? 'A' : i == 9 ? 'B' : i == 11 ? 'C' : 'x';
        EXPECT_EQ(expected, block[i]) << "at " << i;
    }

    LbRunStringCodec filling;
    filling.SetFillBlanks(' ');
    std::fill(block.begin(), block.end(), 'x');
    ASSERT_EQ(B_OK, filling.WriteSysEx(block.data(), 32, 7, 29, 2, "ABC"));
    for (uint32 i = 0; i < 32; i++) {
        uint8 expected = 'x';
        if (i >= 7 && i <= 29 && (i - 7) % 2 == 0) expected = i == 7 ? 'A' : i == 9 ? 'B' : i == 11 ? 'C' : ' ';
        EXPECT_EQ(expected, block[i]) << "at " << i;
    }
    EXPECT_EQ("ABC         ", ReadString(filling, block, 7, 29, 2));
}

TEST(StringCodec, ReadsWhatLiesInsideTheBlockAndRefusesBadSteps)
{
    std::vector<uint8> block = {'N', 'a', 'm', 'e', '1', '2'};
    LbRunStringCodec codec;
    // (last - first) / step + 1 characters when all lie inside.
    EXPECT_EQ("Name12", ReadString(codec, block, 0, 5, 1));
    EXPECT_EQ("Nm1", ReadString(codec, block, 0, 5, 2));
    EXPECT_EQ("Nm1", ReadString(codec, block, 0, 4, 2));
    // A range running past the block stops at its end.
    EXPECT_EQ("e12", ReadString(codec, block, 3, 40, 1));

    char* text = nullptr;
    EXPECT_EQ(B_ERROR, codec.ReadSysEx(block.data(), 6, 0, 5, 0, &text));
    EXPECT_EQ(B_ERROR, codec.WriteSysEx(block.data(), 6, 0, 5, -1, "zz"));
    EXPECT_EQ(nullptr, text);
    LbStringCodec base;
    EXPECT_EQ(B_ERROR, base.ReadSysEx(block.data(), 6, 0, 5, 1, &text));
    EXPECT_EQ(B_ERROR, base.WriteSysEx(block.data(), 6, 0, 5, 1, "zz"));
    EXPECT_EQ('N', block[0]);
}

} // namespace
