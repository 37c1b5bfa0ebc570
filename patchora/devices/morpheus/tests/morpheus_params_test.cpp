// The parameters that pack several fields into one word, and their real-time senders.
#include "MorpheusTestSupport.h"
#include "MorpheusTreeWalk.h"
#include "devices/morpheus/LbEmuFgPoint.h"
#include "devices/morpheus/LbEmuFgSegLevel.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbEmuMorpheusAddon.h"
#include "devices/morpheus/LbEmuMorpheusHyperpreset.h"
#include "devices/morpheus/LbEmuMorpheusPreset.h"
#include "devices/morpheus/LbFgShapeGeometry.h"
#include "devices/morpheus/LbMorpheusProgramParam.h"
#include "params/LbIntCodecs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace {

class MorpheusParamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        device.reset(static_cast<LbEmuMorpheus*>(addon.NewDevice()));
        service = new FakeMidiService;
        device->SetMidiService(service);
    }

    LbEmuMorpheusAddon addon;
    std::unique_ptr<LbEmuMorpheus> device;
    FakeMidiService* service = nullptr;
};

int32 Read(const LbIntParam& param, const LbData& data, uint32 which)
{
    int32 value = -12345;
    EXPECT_EQ(param.ReadSysEx(&data, which, &value), B_OK);
    return value;
}

TEST_F(MorpheusParamTest, BankProgramWordPacksBankProgramAndEnable)
{
    LbMorpheusProgramParam param("Bank/Program", 1, 2, 1, 0, 2, 8765);   // program at 1, bank at 2
    uint8 bytes[4] = {0, 0x7F, 0x7F, 0};
    LbData data(bytes, 4);
    EXPECT_EQ(Read(param, data, LB_PROGRAM_BANK), -1);
    EXPECT_EQ(Read(param, data, LB_PROGRAM_PROGRAM), -1);
    EXPECT_EQ(Read(param, data, LB_PROGRAM_ENABLE), -1);
    EXPECT_EQ(param.OnState(), 0);
    EXPECT_EQ(param.OffState(), -1);

    // Enabling an off word starts from bank 0, program 0.
    EXPECT_EQ(param.WriteSysEx(&data, LB_PROGRAM_ENABLE, 0), B_OK);
    EXPECT_TRUE(data.Matches(Bytes{0, 0, 0, 0}.data(), 4));

    // Bank 2 into a word holding program 10.
    EXPECT_EQ(param.WriteSysEx(&data, LB_PROGRAM_PROGRAM, 10), B_OK);
    EXPECT_EQ(param.WriteSysEx(&data, LB_PROGRAM_BANK, 2), B_OK);
    EXPECT_EQ(data.Bits()[1], 0x0A);
    EXPECT_EQ(data.Bits()[2], 0x02);
    EXPECT_EQ(Read(param, data, LB_PROGRAM_BANK), 2);
    EXPECT_EQ(Read(param, data, LB_PROGRAM_PROGRAM), 10);
    EXPECT_EQ(Read(param, data, LB_PROGRAM_ENABLE), 0);
    // Enabling a word that is on keeps it; disabling writes 7F 7F.
    EXPECT_EQ(param.WriteSysEx(&data, LB_PROGRAM_ENABLE, 0), B_OK);
    EXPECT_EQ(Read(param, data, LB_PROGRAM_PROGRAM), 10);
    EXPECT_EQ(param.WriteSysEx(&data, LB_PROGRAM_ENABLE, -1), B_OK);
    EXPECT_TRUE(data.Matches(Bytes{0, 0x7F, 0x7F, 0}.data(), 4));

    // A bank byte beyond the range reads clamped; bytes that are not data bytes are refused.
    data.Bits()[1] = 5;
    data.Bits()[2] = 9;
    EXPECT_EQ(Read(param, data, LB_PROGRAM_BANK), 2);
    EXPECT_EQ(param.WriteSysEx(&data, LB_PROGRAM_PROGRAM, 128), B_ERROR);
    EXPECT_EQ(param.WriteSysEx(&data, LB_PROGRAM_BANK, -1), B_ERROR);
    EXPECT_EQ(param.WriteSysEx(&data, LB_PROGRAM_ENABLE, 8192), B_ERROR);
    EXPECT_TRUE(data.Matches(Bytes{0, 5, 9, 0}.data(), 4));
    EXPECT_EQ(param.Min(LB_PROGRAM_BANK), 0);
    EXPECT_EQ(param.Max(LB_PROGRAM_BANK), 2);
    EXPECT_EQ(param.Max(LB_PROGRAM_PROGRAM), 127);

    LbData tooShort(bytes, 2);
    int32 value;
    EXPECT_EQ(param.ReadSysEx(&tooShort, LB_PROGRAM_BANK, &value), B_ERROR);
    EXPECT_EQ(param.WriteSysEx(&tooShort, LB_PROGRAM_BANK, 1), B_ERROR);
}

TEST_F(MorpheusParamTest, BankProgramSenderSendsTheWholeWord)
{
    device->SetDeviceId(1);
    LbEmuMorpheusHyperpreset bank("Hyperpreset - RAM", device.get(), 0, 127);
    auto* zone = dynamic_cast<LbMorpheusProgramParam*>(FindInt(bank, "Zones/1/Bank/Program"));
    ASSERT_NE(zone, nullptr);
    Bytes dump(LB_HYPERPRESET_DUMP_LENGTH, 0);
    dump[129] = 10;   // program 10, bank 1
    dump[130] = 1;
    LbData data(dump.data(), uint32(dump.size()));
    EXPECT_EQ(zone->SendRealtime(&data, LB_PROGRAM_BANK, 2), B_OK);
    EXPECT_EQ(zone->SendRealtime(&data, LB_PROGRAM_PROGRAM, 3), B_OK);
    EXPECT_EQ(zone->SendRealtime(&data, LB_PROGRAM_ENABLE, -1), B_OK);
    ASSERT_EQ(service->sent.size(), 3u);
    // 8765 = 0x223D: 3D 44.
    EXPECT_EQ(service->sent[0], (Bytes{0xF0, 0x18, 0x0C, 0x01, 0x03, 0x3D, 0x44, 0x0A, 0x02, 0xF7}));
    EXPECT_EQ(service->sent[1], (Bytes{0xF0, 0x18, 0x0C, 0x01, 0x03, 0x3D, 0x44, 0x03, 0x01, 0xF7}));
    EXPECT_EQ(service->sent[2], (Bytes{0xF0, 0x18, 0x0C, 0x01, 0x03, 0x3D, 0x44, 0x7F, 0x7F, 0xF7}));
    // The block itself is not changed by sending.
    EXPECT_TRUE(data.Matches(dump.data(), uint32(dump.size())));
    LbData empty;
    EXPECT_EQ(zone->SendRealtime(&empty, LB_PROGRAM_BANK, 2), B_ERROR);
}

TEST_F(MorpheusParamTest, SegmentLevelPacksTypeAndLevel)
{
    LbEmuFgSegLevel level("SegLevel", new Lb14BitIntCodec2, 215, 1, 2, -127, 127, 8296);
    uint8 bytes[4] = {};
    LbData data(bytes, 4);
    EXPECT_EQ(level.WriteSysEx(&data, LB_SEG_TYPE, 3), B_OK);
    EXPECT_EQ(level.WriteSysEx(&data, LB_SEG_LEVEL, -127), B_OK);
    EXPECT_EQ(data.Bits()[1], 0x01);   // 3 * 256 + 0x81 = 0x381
    EXPECT_EQ(data.Bits()[2], 0x07);
    EXPECT_EQ(Read(level, data, LB_SEG_LEVEL), -127);
    EXPECT_EQ(Read(level, data, LB_SEG_TYPE), 3);

    // Type 1, level -2 is 0x1FE: 7E 03.
    EXPECT_EQ(level.WriteSysEx(&data, LB_SEG_TYPE, 1), B_OK);
    EXPECT_EQ(Read(level, data, LB_SEG_LEVEL), -127);   // the level stays
    EXPECT_EQ(level.WriteSysEx(&data, LB_SEG_LEVEL, -2), B_OK);
    EXPECT_EQ(Read(level, data, LB_SEG_TYPE), 1);       // the type stays
    EXPECT_EQ(data.Bits()[1], 0x7E);
    EXPECT_EQ(data.Bits()[2], 0x03);
    EXPECT_EQ(level.Min(LB_SEG_TYPE), -127);
    EXPECT_EQ(level.Max(LB_SEG_TYPE), 127);

    // Out of range: refused, nothing written. High types still round-trip.
    EXPECT_EQ(level.WriteSysEx(&data, LB_SEG_LEVEL, 128), B_ERROR);
    EXPECT_EQ(level.WriteSysEx(&data, LB_SEG_LEVEL, -128), B_ERROR);
    EXPECT_EQ(level.WriteSysEx(&data, LB_SEG_TYPE, 64), B_ERROR);
    EXPECT_EQ(level.WriteSysEx(&data, LB_SEG_TYPE, -1), B_ERROR);
    EXPECT_EQ(data.Bits()[1], 0x7E);
    EXPECT_EQ(data.Bits()[2], 0x03);
    EXPECT_EQ(level.WriteSysEx(&data, LB_SEG_TYPE, 40), B_OK);
    EXPECT_EQ(Read(level, data, LB_SEG_TYPE), 40);
    EXPECT_EQ(Read(level, data, LB_SEG_LEVEL), -2);

    LbData tooShort(bytes, 2);
    EXPECT_EQ(level.WriteSysEx(&tooShort, LB_SEG_LEVEL, 5), B_ERROR);
    EXPECT_EQ(tooShort.Bits()[1], 0);
}

TEST_F(MorpheusParamTest, SegmentLevelSenderSendsTheEncodedWord)
{
    device->SetDeviceId(0);
    LbEmuMorpheusPreset bank("Preset - RAM", device.get(), 0, 127);
    auto* level = dynamic_cast<LbEmuFgSegLevel*>(FindInt(bank, "Modulation/Function Generator 1/SegLevel"));
    ASSERT_NE(level, nullptr);
    Bytes dump(LB_PRESET_DUMP_LENGTH, 0);
    dump[215] = 0x05;   // type 1, level 5
    dump[216] = 0x02;
    LbData data(dump.data(), uint32(dump.size()));
    EXPECT_EQ(level->SendRealtime(&data, LB_SEG_LEVEL, -2), B_OK);
    EXPECT_EQ(level->SendRealtime(&data, LB_SEG_TYPE, 3), B_OK);
    EXPECT_EQ(level->SendRealtime(&data, LB_SEG_LEVEL, 200), B_ERROR);
    ASSERT_EQ(service->sent.size(), 2u);
    // 8296 = 0x2068: 68 40.
    EXPECT_EQ(service->sent[0], (Bytes{0xF0, 0x18, 0x0C, 0x00, 0x03, 0x68, 0x40, 0x7E, 0x03, 0xF7}));
    EXPECT_EQ(service->sent[1], (Bytes{0xF0, 0x18, 0x0C, 0x00, 0x03, 0x68, 0x40, 0x05, 0x06, 0xF7}));
}

TEST_F(MorpheusParamTest, SegmentLevelEditsFromTwoThreadsKeepBothFields)
{
    LbEmuFgSegLevel level("SegLevel", new Lb14BitIntCodec2, 215, 0, 1, -127, 127, 8296);
    uint8 bytes[2] = {};
    LbData data(bytes, 2);
    std::thread types([&] {
        for (int i = 0; i < 2000; i++) level.WriteSysEx(&data, LB_SEG_TYPE, 2);
    });
    for (int i = 0; i < 2000; i++) level.WriteSysEx(&data, LB_SEG_LEVEL, -100);
    types.join();
    EXPECT_EQ(Read(level, data, LB_SEG_TYPE), 2);
    EXPECT_EQ(Read(level, data, LB_SEG_LEVEL), -100);
}

TEST_F(MorpheusParamTest, LoopPointsAreSentAsTwoEdits)
{
    device->SetDeviceId(5);
    LbEmuMorpheusPreset bank("Preset - RAM", device.get(), 0, 127);
    LbIntParam* start = FindInt(bank, "Layers/Secondary Instrument/Start", 1);   // the loop start
    ASSERT_NE(start, nullptr);
    ASSERT_EQ(start->FirstByte(), 523u);
    LbData data(Bytes(LB_PRESET_DUMP_LENGTH, 0).data(), LB_PRESET_DUMP_LENGTH);
    EXPECT_EQ(start->WriteSysEx(&data, 0, -1500), B_OK);
    EXPECT_EQ(Read(*start, data, 0), -1500);
    EXPECT_EQ(start->SendRealtime(&data, 0, -1500), B_OK);
    ASSERT_EQ(service->sent.size(), 2u);
    // 8415 + 35 = 8450 = 0x2102 and 8451.
    EXPECT_EQ(service->sent[0], (Bytes{0xF0, 0x18, 0x0C, 0x05, 0x03, 0x02, 0x42, 0x7F, 0x7F, 0xF7}));
    EXPECT_EQ(service->sent[1], (Bytes{0xF0, 0x18, 0x0C, 0x05, 0x03, 0x03, 0x42, 0x0C, 0x7C, 0xF7}));
    EXPECT_EQ(start->SendRealtime(&data, 0, 1000000), B_ERROR);
    EXPECT_EQ(start->WriteSysEx(&data, 0, 1000000), B_ERROR);
    EXPECT_EQ(Read(*start, data, 0), -1500);

    // The first edit failing stops the second.
    service->status = B_ERROR;
    EXPECT_EQ(start->SendRealtime(&data, 0, 12345), B_ERROR);
    EXPECT_EQ(service->sent.size(), 3u);
}

TEST_F(MorpheusParamTest, WordParametersRefuseValuesTheWordCannotHold)
{
    LbEmuMorpheusPreset bank("Preset - RAM", device.get(), 0, 127);
    Bytes dump(LB_PRESET_DUMP_LENGTH, 0);
    LbData data(dump.data(), uint32(dump.size()));
    LbIntParam* coarse = FindInt(bank, "Layers/Pitch/Coarse");
    ASSERT_NE(coarse, nullptr);
    for (int32 value : {8192, -8193, 37, -37})
        EXPECT_EQ(coarse->WriteSysEx(&data, 0, value), B_ERROR) << value;
    EXPECT_TRUE(data.Matches(dump.data(), uint32(dump.size())));
    device->SetDeviceId(0);
    EXPECT_EQ(coarse->SendRealtime(&data, 0, 37), B_ERROR);
    EXPECT_TRUE(service->sent.empty());
    LbIntParam* pan = FindInt(bank, "Layers/Pan");
    EXPECT_EQ(pan->WriteSysEx(&data, 0, 8), B_ERROR);
    EXPECT_EQ(pan->WriteSysEx(&data, 0, -7), B_OK);
    EXPECT_EQ(coarse->WriteSysEx(&data, 0, -36), B_OK);
    EXPECT_EQ(Read(*coarse, data, 0), -36);
    EXPECT_EQ(Read(*pan, data, 0), -7);
    LbData truncated(dump.data(), 300);
    int32 value;
    EXPECT_EQ(coarse->ReadSysEx(&truncated, 0, &value), B_ERROR);   // word 433 lies past the end
}

TEST(MorpheusFgPoint, ReadsWritesAndFollowsChangesOfItsParameters)
{
    LbEmuMorpheusHyperpreset bank("Hyperpreset - RAM", nullptr, 0, 127);
    LbIntParam* time = FindInt(bank, "Modulation/Function Generator/SegTime", 1);
    LbIntParam* level = FindInt(bank, "Modulation/Function Generator/SegLevel", 1);
    LbIntParam* shape = FindInt(bank, "Modulation/Function Generator/SegShape", 1);
    ASSERT_TRUE(time && level && shape);
    Bytes dump(LB_HYPERPRESET_DUMP_LENGTH, 0);
    LbData data(dump.data(), uint32(dump.size()));
    ASSERT_EQ(time->WriteSysEx(&data, 0, 300), B_OK);
    ASSERT_EQ(level->WriteSysEx(&data, LB_SEG_LEVEL, -20), B_OK);
    ASSERT_EQ(shape->WriteSysEx(&data, 0, 5), B_OK);

    LbEmuFgPoint point(time, level);
    EXPECT_EQ(point.YValue(), -127);   // the level's minimum until read
    EXPECT_EQ(point.ReadValueFromPatch(&data), B_OK);
    EXPECT_EQ(point.XValue(), 300);
    EXPECT_EQ(point.YValue(), -20);
    EXPECT_EQ(point.ShapeValue(), 0);   // no shape bound: not read
    point.SetShapeParam(shape);
    EXPECT_EQ(point.ReadValueFromPatch(&data), B_OK);
    EXPECT_EQ(point.ShapeValue(), 5);

    EXPECT_TRUE(point.IntChange(shape, 7));
    EXPECT_FALSE(point.IntChange(shape, 7));
    EXPECT_TRUE(point.IntChange(time, 400));
    EXPECT_TRUE(point.IntChange(level, 12));
    EXPECT_FALSE(point.IntChange(level, 12));
    LbIntParam* other = FindInt(bank, "Modulation/Function Generator/SegTime", 2);
    EXPECT_FALSE(point.IntChange(other, 1));
    EXPECT_EQ(point.WriteValueToPatch(&data), B_OK);
    EXPECT_EQ(Read(*shape, data, 0), 7);
    EXPECT_EQ(Read(*time, data, 0), 400);
    EXPECT_EQ(Read(*level, data, LB_SEG_LEVEL), 12);

    // A shape that cannot be read keeps the cached one.
    LbData tooShort(dump.data(), 40);
    EXPECT_EQ(point.ReadValueFromPatch(&tooShort), B_ERROR);
    EXPECT_EQ(point.ShapeValue(), 7);

    std::vector<LbEmuFgPoint*> points{new LbEmuFgPoint(nullptr, nullptr), new LbEmuFgPoint(time, nullptr)};
    DeleteFgPointVector(&points);
    EXPECT_TRUE(points.empty());
}

TEST(MorpheusFgPoint, SegmentPathsRunFromAToB)
{
    BPoint a(10, 100), b(90, 20);
    for (int32 shape = -1; shape <= 64; shape++) {
        std::vector<BPoint> path = LbFgSegmentPath(shape, a, b);
        ASSERT_GE(path.size(), 2u) << shape;
        EXPECT_EQ(path.front(), a) << shape;
        EXPECT_EQ(path.back(), b) << shape;
        bool straight = shape <= 0 || shape > LB_FG_SHAPE_LAST;
        EXPECT_EQ(path.size() == 2, straight) << shape;
    }
    // The exponential curves bend further with the shape number: at mid-time the level has
    // moved further from A.
    float previous = 0;
    for (int32 shape = 1; shape <= LB_FG_SHAPE_LAST_EXPONENTIAL; shape++) {
        std::vector<BPoint> path = LbFgSegmentPath(shape, a, b);
        float moved = std::fabs(path[path.size() / 2].y - a.y);
        EXPECT_GT(moved, previous) << shape;
        previous = moved;
    }
    // A point draws its shape only when one is bound and not linear; the origin moves both ends.
    LbEmuFgPoint point(nullptr, nullptr);
    std::vector<BPoint> line = point.LinePath(a, b, BPoint(5, 5));
    EXPECT_EQ(line, (std::vector<BPoint>{BPoint(15, 105), BPoint(95, 25)}));
    EXPECT_EQ(point.LineColor(), (rgb_color{0, 0, 0, 255}));
}

} // namespace
