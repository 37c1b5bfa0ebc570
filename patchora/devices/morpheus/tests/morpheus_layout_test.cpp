// Where the parameters of the three dump types lie, checked against the positions and
// parameter numbers written out by hand.
#include "MorpheusTestSupport.h"
#include "MorpheusTreeWalk.h"
#include "devices/morpheus/LbEmuFgSegLevel.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbEmuMorpheusHyperpreset.h"
#include "devices/morpheus/LbEmuMorpheusMidimap.h"
#include "devices/morpheus/LbEmuMorpheusPreset.h"
#include "devices/morpheus/LbMorpheusProgramParam.h"
#include "devices/morpheus/LbMorpheusRealtime.h"
#include "devices/morpheus/LbMpLoopCodec.h"

#include <gtest/gtest.h>

#include <set>

namespace {

int32 NumberOf(const LbIntParam* param)
{
    auto* realtime = dynamic_cast<const LbMorpheusRealtime*>(param->Realtime());
    return realtime ? realtime->ParamNumber() : -1;
}

// Every word a tree covers, and the check that no two parameters share a byte.
std::set<uint32> CoveredBytes(const LbBank& bank, bool* overlap)
{
    std::set<uint32> bytes;
    *overlap = false;
    for (LbIntParam* param : IntLeaves(bank))
        for (uint32 b = param->FirstByte(); b <= param->LastByte(); b++) *overlap |= !bytes.insert(b).second;
    return bytes;
}

class MorpheusLayoutTest : public ::testing::Test {
protected:
    void SetUp() override { LbEmuMorpheus::DeleteMaps(); }
    void TearDown() override { LbEmuMorpheus::DeleteMaps(); }
};

TEST_F(MorpheusLayoutTest, PresetParametersLieWhereTheWordRuleSays)
{
    // One instrument and one filter, so that the parameters that need the maps are made.
    Bytes instruments = {0x18, 0x0C, 0x00, 0x0F, 1, 0, 0x01, 0x0E, 'P', 'i', 'a', 'n', 'o', 0, 0, 0, 0, 0, 0, 0};
    Bytes filters = {0x18, 0x0C, 0x00, 0x57, 1, 0, 0x05, 0, 'L', 'o', 'w', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(LbEmuMorpheus::InstrumentMapSystemExclusive(instruments.data(), uint32(instruments.size())), B_OK);
    ASSERT_EQ(LbEmuMorpheus::FilterMapSystemExclusive(filters.data(), uint32(filters.size())), B_OK);
    LbEmuMorpheusPreset bank("Preset - RAM", nullptr, 0, 127);
    LbIntParam* instrument = FindInt(bank, "Layers/Secondary Instrument/Instrument");
    ASSERT_NE(instrument, nullptr);
    EXPECT_EQ(instrument->FirstByte(), 493u);
    EXPECT_EQ(instrument->Max(0), 1793);   // the highest instrument id
    LbIntParam* filterType = FindInt(bank, "Layers/Filter/Type", 1);
    ASSERT_NE(filterType, nullptr);
    EXPECT_EQ(filterType->FirstByte(), 549u);
    EXPECT_EQ(NumberOf(filterType), 8463);
    LbIntParam* amount = FindInt(bank, "Patchcords/Note-On/Amount", 1);   // second cord
    ASSERT_NE(amount, nullptr);
    EXPECT_EQ(amount->FirstByte(), 67u);
    EXPECT_EQ(NumberOf(amount), 8222);
    EXPECT_EQ(amount->Id(), 61);
    LbIntParam* trans2 = FindInt(bank, "Layers/Filter/Trans2", 1);   // secondary layer
    ASSERT_NE(trans2, nullptr);
    EXPECT_EQ(trans2->FirstByte(), 559u);
    EXPECT_EQ(NumberOf(trans2), 8468);
    LbIntParam* pan = FindInt(bank, "Layers/Pan", 1);
    ASSERT_NE(pan, nullptr);
    EXPECT_EQ(pan->FirstByte(), 501u);
    EXPECT_EQ(NumberOf(pan), 8439);
    LbIntParam* lastDest = FindInt(bank, "Modulation/Function Generator 2/SegDestSeg", 7);
    ASSERT_NE(lastDest, nullptr);
    EXPECT_EQ(lastDest->FirstByte(), 225u + 98 + 84);
    EXPECT_EQ(NumberOf(lastDest), 8301 + 49 + 42);
    LbIntParam* loopSize = FindInt(bank, "Layers/Secondary Instrument/Size");
    ASSERT_NE(loopSize, nullptr);
    EXPECT_EQ(loopSize->FirstByte(), 527u);
    EXPECT_EQ(loopSize->LastByte(), 530u);

    // Every word's parameter number follows from its position, and every word from 31 to
    // 562 is covered once, except the five unused ones.
    bool overlap = false;
    std::set<uint32> bytes = CoveredBytes(bank, &overlap);
    EXPECT_FALSE(overlap);
    for (LbIntParam* param : IntLeaves(bank)) {
        if (dynamic_cast<LbMpLoopRealtime*>(param->Realtime()) != nullptr) continue;
        EXPECT_EQ(NumberOf(param), 8192 + int32(param->FirstByte() - 7) / 2) << param->Name();
        EXPECT_EQ(param->FirstByte() % 2, 1u) << param->Name();
    }
    std::set<uint32> unused = {177, 179, 181, 491, 561};
    for (uint32 word = 31; word < 563; word += 2) {
        bool covered = bytes.count(word) && bytes.count(word + 1);
        EXPECT_EQ(covered, unused.count(word) == 0) << "word " << word;
    }
    EXPECT_EQ(IntLeaves(bank).size(), 257u);
    ASSERT_NE(FindLeaf(bank, "Header/Name"), nullptr);
    EXPECT_EQ(FindLeaf(bank, "Header/Name")->Id(), 7);
}

TEST_F(MorpheusLayoutTest, LoopPointsSplitIntoThousandsAndUnits)
{
    LbMpLoopCodec codec;
    uint8 block[6] = {};
    auto words = [&](int32 value) {
        EXPECT_EQ(codec.WriteSysEx(block, 6, 1, 4, value), B_OK) << value;
        return Bytes(block + 1, block + 5);
    };
    EXPECT_EQ(words(12345), (Bytes{12, 0, 0x59, 0x02}));            // 12 and 345
    EXPECT_EQ(words(-5), (Bytes{0, 0, 0x7B, 0x7F}));                // 0 and -5
    EXPECT_EQ(words(-1500), (Bytes{0x7F, 0x7F, 0x0C, 0x7C}));       // -1 and -500
    EXPECT_EQ(words(999), (Bytes{0, 0, 0x67, 0x07}));
    int32 value = 0;
    for (int32 v : {0, -5, 999, -999, 1000, -1500, 12345, 999999, -999999}) {
        words(v);
        EXPECT_EQ(codec.ReadSysEx(block, 6, 1, 4, &value), B_OK);
        EXPECT_EQ(value, v);
    }
    Bytes before(block, block + 6);
    EXPECT_EQ(codec.WriteSysEx(block, 6, 1, 4, 1000000), B_ERROR);
    EXPECT_EQ(codec.WriteSysEx(block, 6, 1, 4, -1000000), B_ERROR);
    EXPECT_EQ(codec.WriteSysEx(block, 6, 3, 6, 5), B_ERROR);   // past the end
    EXPECT_EQ(codec.ReadSysEx(block, 6, 3, 6, &value), B_ERROR);
    EXPECT_EQ(Bytes(block, block + 6), before);

    // A mixed-sign pair reads negative.
    uint8 mixed[4] = {2, 0, 0x7B, 0x7F};   // 2 and -5
    EXPECT_EQ(codec.ReadSysEx(mixed, 4, 0, 3, &value), B_OK);
    EXPECT_EQ(value, -2005);
}

TEST_F(MorpheusLayoutTest, HyperpresetParametersLieWhereTheWordRuleSays)
{
    LbEmuMorpheusHyperpreset bank("Hyperpreset - RAM", nullptr, 0, 127);
    LbIntParam* fine = FindInt(bank, "Zones/16/Fine");
    ASSERT_NE(fine, nullptr);
    EXPECT_EQ(fine->FirstByte(), 479u);
    EXPECT_EQ(NumberOf(fine), 8940);
    LbIntParam* dest = FindInt(bank, "Modulation/Function Generator/SegDestSeg", 7);
    ASSERT_NE(dest, nullptr);
    EXPECT_EQ(dest->FirstByte(), 127u);
    EXPECT_EQ(NumberOf(dest), 8764);
    auto* level = dynamic_cast<LbEmuFgSegLevel*>(FindInt(bank, "Modulation/Function Generator/SegLevel", 2));
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->FirstByte(), 33u + 24);
    EXPECT_EQ(level->Id(), 33);
    EXPECT_EQ(NumberOf(level), 8717 + 12);
    auto* program = dynamic_cast<LbMorpheusProgramParam*>(FindInt(bank, "Zones/2/Bank/Program"));
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(program->ProgramIndex(), 151u);
    EXPECT_EQ(program->BankIndex(), 152u);
    EXPECT_EQ(NumberOf(program), 8776);
    EXPECT_EQ(program->Max(LB_PROGRAM_BANK), 2);

    bool overlap = false;
    std::set<uint32> bytes = CoveredBytes(bank, &overlap);
    EXPECT_FALSE(overlap);
    for (uint32 word = 31; word < 481; word += 2) EXPECT_TRUE(bytes.count(word) && bytes.count(word + 1)) << word;
    for (LbIntParam* param : IntLeaves(bank))
        EXPECT_EQ(NumberOf(param), 8704 + int32(param->FirstByte() - 7) / 2) << param->Name();
}

TEST_F(MorpheusLayoutTest, MidimapParametersLieWhereTheWordRuleSays)
{
    // An effect message with one effect per list, so that the FX page is made.
    Bytes effects = {0x18, 0x0C, 0x00, 0x55, 1, 0, 3, 0};
    for (int i = 0; i < 12; i++) effects.push_back('A');
    effects.insert(effects.end(), {0, 0, 1, 0});
    effects.insert(effects.end(), {1, 0});
    for (int i = 0; i < 12; i++) effects.push_back('B');
    effects.insert(effects.end(), {0, 0});
    ASSERT_EQ(LbEmuMorpheus::EffectMapSystemExclusive(effects.data(), uint32(effects.size())), B_OK);

    LbEmuMorpheusMidimap bank("Midimap - RAM", nullptr, 0, 15);
    LbIntParam* foot3 = FindInt(bank, "Channels/16/Foot 3");
    ASSERT_NE(foot3, nullptr);
    EXPECT_EQ(foot3->FirstByte(), 669u);
    EXPECT_EQ(NumberOf(foot3), 2379);
    LbIntParam* programMap = FindInt(bank, "Header/Program map");
    ASSERT_NE(programMap, nullptr);
    EXPECT_EQ(programMap->FirstByte(), 671u);
    EXPECT_EQ(NumberOf(programMap), 2380);
    LbIntParam* effectB = FindInt(bank, "FX/FX B/Effect");
    ASSERT_NE(effectB, nullptr);
    EXPECT_EQ(effectB->FirstByte(), 695u);
    EXPECT_EQ(NumberOf(effectB), 2392);
    LbIntParam* lastValueB = FindInt(bank, "FX/FX B/Value", 9);
    ASSERT_NE(lastValueB, nullptr);
    EXPECT_EQ(lastValueB->FirstByte(), 715u);
    EXPECT_EQ(NumberOf(lastValueB), 2402);
    EXPECT_EQ(FindInt(bank, "FX/FX B/Amount")->FirstByte(), 719u);
    EXPECT_EQ(FindInt(bank, "FX/FX B/Bus")->FirstByte(), 725u);
    EXPECT_EQ(FindInt(bank, "FX/FX A/Bus")->FirstByte(), 723u);
    LbIntParam* bToA = FindInt(bank, "FX/B->A");
    ASSERT_NE(bToA, nullptr);
    EXPECT_EQ(bToA->FirstByte(), 721u);
    EXPECT_EQ(NumberOf(bToA), 2405);
    EXPECT_EQ(FindInt(bank, "FX/FX A/Effect")->Max(0), 3);   // list A's effect id
    EXPECT_EQ(FindInt(bank, "FX/FX B/Effect")->Max(0), 1);

    bool overlap = false;
    std::set<uint32> bytes = CoveredBytes(bank, &overlap);
    EXPECT_FALSE(overlap);
    for (uint32 word = 31; word < 727; word += 2) {
        bool unused = word < 671 && (word - 33) % 40 == 0;
        EXPECT_EQ(bytes.count(word) && bytes.count(word + 1), !unused) << word;
    }
    for (LbIntParam* param : IntLeaves(bank))
        EXPECT_EQ(NumberOf(param), 2048 + int32(param->FirstByte() - 7) / 2) << param->Name();
}

} // namespace
