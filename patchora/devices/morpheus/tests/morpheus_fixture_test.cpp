// The model against a real whole-device dump and real single dumps, read in place.
#include "MorpheusTestSupport.h"
#include "MorpheusTreeWalk.h"
#include "devices/morpheus/LbEmuFgSegLevel.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbEmuMorpheusHyperpreset.h"
#include "devices/morpheus/LbEmuMorpheusMidimap.h"
#include "devices/morpheus/LbEmuMorpheusPreset.h"
#include "devices/morpheus/LbMorpheusProgramParam.h"
#include "devices/morpheus/LbMorpheusProtocol.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class MorpheusFixtureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string dumpPath = MorpheusFixture("device-dump.syx");
        std::string listPath = MorpheusFixture("instrument-list.syx");
        if (dumpPath.empty() || listPath.empty()) GTEST_SKIP() << "fixture folder morpheus/ is absent";
        messages = SplitSysEx(ReadFile(dumpPath));
        ASSERT_EQ(messages.size(), 279u);
        LbEmuMorpheus::DeleteMaps();
        Bytes list = Unframe(ReadFile(listPath));
        ASSERT_EQ(LbEmuMorpheus::InstrumentMapSystemExclusive(list.data(), uint32(list.size())), B_OK);
        presets = std::make_unique<LbEmuMorpheusPreset>("Preset - RAM", nullptr, 0, 127);
        hyperpresets = std::make_unique<LbEmuMorpheusHyperpreset>("Hyperpreset - RAM", nullptr, 0, 127);
        midimaps = std::make_unique<LbEmuMorpheusMidimap>("Midimap - RAM", nullptr, 0, 15);
    }
    void TearDown() override { LbEmuMorpheus::DeleteMaps(); }

    std::vector<const LbEmuMorpheusBank*> Banks() const { return {presets.get(), hyperpresets.get(), midimaps.get()}; }
    const LbEmuMorpheusBank* BankFor(uint8 command) const
    {
        switch (command) {
        case 0x01: return presets.get();
        case 0x45: return hyperpresets.get();
        case 0x47: return midimaps.get();
        default: return nullptr;
        }
    }

    std::vector<Bytes> messages;
    std::unique_ptr<LbEmuMorpheusPreset> presets;
    std::unique_ptr<LbEmuMorpheusHyperpreset> hyperpresets;
    std::unique_ptr<LbEmuMorpheusMidimap> midimaps;
};

// The sub-fields a parameter packs, with the range each must lie in.
struct Field {
    uint32 which;
    int32 min;
    int32 max;
};

std::vector<Field> FieldsOf(const LbIntParam* param)
{
    if (dynamic_cast<const LbMorpheusProgramParam*>(param) != nullptr)
        return {{LB_PROGRAM_BANK, param->Min(LB_PROGRAM_BANK), param->Max(LB_PROGRAM_BANK)},
                {LB_PROGRAM_PROGRAM, param->Min(LB_PROGRAM_PROGRAM), param->Max(LB_PROGRAM_PROGRAM)},
                {LB_PROGRAM_ENABLE, param->Min(LB_PROGRAM_ENABLE), param->Max(LB_PROGRAM_ENABLE)}};
    if (dynamic_cast<const LbEmuFgSegLevel*>(param) != nullptr)
        return {{LB_SEG_LEVEL, param->Min(LB_SEG_LEVEL), param->Max(LB_SEG_LEVEL)}, {LB_SEG_TYPE, 0, 3}};
    return {{0, param->Min(0), param->Max(0)}};
}

TEST_F(MorpheusFixtureTest, EveryDumpIsTakenByTheBankOfItsTypeOnly)
{
    std::map<const LbEmuMorpheusBank*, TestSnapshot> snapshots;
    int others = 0;
    for (const Bytes& message : messages) {
        const LbEmuMorpheusBank* own = BankFor(message[3]);
        if (own == nullptr) others++;
        for (const LbEmuMorpheusBank* bank : Banks()) {
            bool taken = bank->ReceiveData(message.data(), uint32(message.size()), &snapshots[bank]);
            EXPECT_EQ(taken, bank == own) << bank->Name() << " command " << int(message[3]);
        }
    }
    EXPECT_EQ(others, 7);   // the messages of commands 0x03, 0x05 and 0x07
    TestSnapshot& p = snapshots[presets.get()];
    TestSnapshot& h = snapshots[hyperpresets.get()];
    TestSnapshot& m = snapshots[midimaps.get()];
    EXPECT_EQ(p.count, 128);
    EXPECT_EQ(h.count, 128);
    EXPECT_EQ(m.count, 16);
    EXPECT_EQ(p.installed.size(), 128u);   // numbers 0..127, each once
    EXPECT_EQ(p.installed.rbegin()->first, 127);
    EXPECT_EQ(h.installed.size(), 128u);
    EXPECT_EQ(m.installed.size(), 16u);
    EXPECT_EQ(m.installed.rbegin()->first, 15);
    EXPECT_EQ(p.installed[0].name, "Mph:Z-Synth ");
    EXPECT_EQ(p.installed[1].name, "Real:PnoVibe");
    EXPECT_EQ(p.installed[2].name, "Cmp:ElecPno ");
    EXPECT_EQ(h.installed[0].name, "Hyp:HootTube");
    for (int32 n = 116; n < 128; n++) EXPECT_EQ(h.installed[n].name, "Hyp:Default ") << n;
    EXPECT_EQ(m.installed[0].name, "Warm Room   ");
    EXPECT_EQ(m.installed[15].name, "Dry         ");

    // The name parameter reads what the bank extracted.
    LbData block(p.installed[1].bytes.data(), uint32(p.installed[1].bytes.size()));
    auto* name = static_cast<LbStringParam*>(FindLeaf(*presets, "Header/Name"));
    char* text = nullptr;
    ASSERT_EQ(name->ReadSysEx(&block, &text), B_OK);
    EXPECT_STREQ(text, "Real:PnoVibe");
    free(text);
}

TEST_F(MorpheusFixtureTest, EveryParameterReadsInsideItsRangeAndWritesBackUnchanged)
{
    int dumps = 0;
    for (const Bytes& message : messages) {
        const LbEmuMorpheusBank* bank = BankFor(message[3]);
        if (bank == nullptr) continue;
        dumps++;
        LbData block(message.data(), uint32(message.size()));
        for (LbIntParam* param : IntLeaves(*bank)) {
            for (const Field& field : FieldsOf(param)) {
                int32 value = 0;
                ASSERT_EQ(param->ReadSysEx(&block, field.which, &value), B_OK) << param->Name();
                bool off = value == -1 && dynamic_cast<LbMorpheusProgramParam*>(param) != nullptr;
                if (!off) {
                    EXPECT_GE(value, field.min) << bank->Name() << " " << int(message[5]) << " " << param->Name()
                                            << " at " << param->FirstByte() << " which " << field.which;
                    EXPECT_LE(value, field.max) << bank->Name() << " " << int(message[5]) << " " << param->Name()
                                                << " at " << param->FirstByte() << " which " << field.which;
                }
                // An off bank/program word is written back whole (through its enable field).
                if (value == -1 && dynamic_cast<LbMorpheusProgramParam*>(param) && field.which != LB_PROGRAM_ENABLE)
                    continue;
                ASSERT_EQ(param->WriteSysEx(&block, field.which, value), B_OK) << param->Name();
            }
        }
        for (const LeafParam& leaf : Leaves(*bank)) {
            if (leaf.param->Type() != LB_STRING_PARAM) continue;
            auto* text = static_cast<LbStringParam*>(leaf.param);
            char* value = nullptr;
            ASSERT_EQ(text->ReadSysEx(&block, &value), B_OK);
            EXPECT_EQ(text->WriteSysEx(&block, value), B_OK);
            free(value);
        }
        uint32 differs = 0;
        while (differs < message.size() && block.Bits()[differs] == message[differs]) differs++;
        EXPECT_EQ(differs, message.size()) << bank->Name() << " " << int(message[5])
                                           << " changed by writing its own values back";
    }
    EXPECT_EQ(dumps, 272);
}

TEST_F(MorpheusFixtureTest, RealDumpsCarryValidChecksumsThatPreparingKeeps)
{
    int checked = 0;
    for (const Bytes& message : messages) {
        const LbEmuMorpheusBank* bank = BankFor(message[3]);
        if (bank == nullptr) continue;
        EXPECT_TRUE(LbMorpheusChecksumMatches(message.data(), uint32(message.size())));
        LbData block(message.data(), uint32(message.size()));
        ASSERT_EQ(bank->PrepareOutgoing(&block), B_OK);
        EXPECT_TRUE(block.Matches(message.data(), uint32(message.size())));
        checked++;
    }
    EXPECT_EQ(checked, 272);

    // An edit through a parameter, then preparing: the instrument's rule holds again.
    const Bytes& first = messages[0];
    ASSERT_EQ(first[3], 0x01);
    LbData block(first.data(), uint32(first.size()));
    LbIntParam* coarse = FindInt(*presets, "Layers/Pitch/Coarse");
    int32 value = 0;
    ASSERT_EQ(coarse->ReadSysEx(&block, 0, &value), B_OK);
    ASSERT_EQ(coarse->WriteSysEx(&block, 0, value == 12 ? 11 : 12), B_OK);
    EXPECT_FALSE(LbMorpheusChecksumMatches(block.Bits(), block.Length()));
    ASSERT_EQ(presets->PrepareOutgoing(&block), B_OK);
    EXPECT_TRUE(LbMorpheusChecksumMatches(block.Bits(), block.Length()));
}

TEST_F(MorpheusFixtureTest, SingleDumpsAreTakenByTheirBanks)
{
    TestSnapshot snapshot;
    std::string presetPath = MorpheusFixture("init-preset.syx");
    std::string midimapPath = MorpheusFixture("init-midimap.syx");
    if (presetPath.empty() || midimapPath.empty()) GTEST_SKIP() << "single dumps in morpheus/ are absent";
    Bytes preset = Unframe(ReadFile(presetPath));
    Bytes midimap = Unframe(ReadFile(midimapPath));
    ASSERT_EQ(preset.size(), 564u);
    ASSERT_EQ(midimap.size(), 728u);
    EXPECT_TRUE(presets->ReceiveData(preset.data(), uint32(preset.size()), &snapshot));
    EXPECT_FALSE(midimaps->ReceiveData(preset.data(), uint32(preset.size()), &snapshot));
    EXPECT_TRUE(midimaps->ReceiveData(midimap.data(), uint32(midimap.size()), &snapshot));
    EXPECT_EQ(snapshot.installed.count(127), 1u);
    EXPECT_EQ(snapshot.installed.count(15), 1u);
    EXPECT_TRUE(LbMorpheusChecksumMatches(preset.data(), uint32(preset.size())));
    EXPECT_TRUE(LbMorpheusChecksumMatches(midimap.data(), uint32(midimap.size())));
}

} // namespace
