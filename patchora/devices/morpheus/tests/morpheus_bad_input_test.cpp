// Cut-short and garbage input: every reader stays inside the bytes it is given.
#include "MorpheusTestSupport.h"
#include "MorpheusTreeWalk.h"
#include "devices/morpheus/LbEffectMap.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbEmuMorpheusHyperpreset.h"
#include "devices/morpheus/LbEmuMorpheusMidimap.h"
#include "devices/morpheus/LbEmuMorpheusPreset.h"
#include "devices/morpheus/LbFilterMap.h"
#include "devices/morpheus/LbInstrumentMap.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(MorpheusBadInput, ParametersOnCutShortBlocksFailWithoutTouchingThem)
{
    Bytes effects = {0x18, 0x0C, 0x00, 0x55, 0, 0, 0, 0};
    LbEmuMorpheus::DeleteMaps();
    LbEmuMorpheus::EffectMapSystemExclusive(effects.data(), uint32(effects.size()));
    std::vector<std::unique_ptr<LbEmuMorpheusBank>> banks;
    banks.emplace_back(new LbEmuMorpheusPreset("Preset - RAM", nullptr, 0, 127));
    banks.emplace_back(new LbEmuMorpheusHyperpreset("Hyperpreset - RAM", nullptr, 0, 127));
    banks.emplace_back(new LbEmuMorpheusMidimap("Midimap - RAM", nullptr, 0, 15));
    std::vector<uint32> lengths = {LB_PRESET_DUMP_LENGTH, LB_HYPERPRESET_DUMP_LENGTH, LB_MIDIMAP_DUMP_LENGTH};
    for (size_t b = 0; b < banks.size(); b++) {
        std::vector<LbIntParam*> params = IntLeaves(*banks[b]);
        for (uint32 length : {0u, 1u, 6u, 31u, 100u, lengths[b] / 2, lengths[b] - 2}) {
            Bytes bytes(length, 0x11);
            LbData block(bytes.data(), length);
            for (LbIntParam* param : params) {
                for (uint32 which : {0u, 1u, 2u}) {
                    int32 value = 0;
                    bool inside = param->LastByte() < length;
                    EXPECT_EQ(param->ReadSysEx(&block, which, &value) == B_OK, inside) << param->Name();
                    if (!inside) {
                        EXPECT_EQ(param->WriteSysEx(&block, which, 0), B_ERROR) << param->Name();
                    }
                }
            }
            EXPECT_TRUE(block.Matches(bytes.data(), length)) << banks[b]->Name() << " " << length;
            TestSnapshot snapshot;
            EXPECT_FALSE(banks[b]->ReceiveData(bytes.data(), length, &snapshot));
        }
    }
    LbEmuMorpheus::DeleteMaps();
}

TEST(MorpheusBadInput, GarbageListsBuildWhateverTheyHoldAndNothingMore)
{
    std::mt19937 random(1234);
    for (int round = 0; round < 300; round++) {
        uint32 length = random() % 400;
        Bytes message(length);
        for (uint8& byte : message) byte = uint8(random() & 0x7F);
        if (length > 3) message[3] = 0x55;
        LbInstrumentMap instruments;
        instruments.SetTo(message.data(), length);
        EXPECT_LE(instruments.CountEntries(), int32(length / 14 + 1));
        LbFilterMap filters;
        filters.SetTo(message.data(), length);
        for (int32 i = 0; i < filters.Size(); i++) {
            const char* name = nullptr;
            if (filters.NameForIndex(i, &name) == B_OK) {
                EXPECT_LE(6 + 16 * uint32(i) + 15, length);
            }
        }
        LbEffectMap effects;
        effects.SetTo(message.data(), length);
        uint32 least = 0;
        for (const LbEffectList* list : {&effects.ListA(), &effects.ListB()})
            for (int32 i = 0; i < list->NumberOfEffects(); i++) least += 16 + 17 * uint32(list->EffectAt(i)->NumberOfParams());
        EXPECT_LE(least, length);
        // The device takes any of them through its list readers without harm.
        LbEmuMorpheus::EffectMapSystemExclusive(message.data(), length);
    }
    LbEmuMorpheus::DeleteMaps();
}

} // namespace
