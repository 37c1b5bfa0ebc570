#include "MorpheusTestSupport.h"
#include "devices/morpheus/LbEffectMap.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbFilterMap.h"
#include "devices/morpheus/LbInstrumentMap.h"
#include "devices/morpheus/LbEmuMorpheusMidimap.h"
#include "devices/morpheus/LbMorpheusPresetPages.h"
#include "devices/morpheus/LbMorpheusValueMaps.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace {

std::string NameOf(const LbIntToStringMapI& map, int32 id)
{
    const char* name = nullptr;
    return map.NameForId(id, &name) == B_OK ? std::string(name) : std::string("<none>");
}

int32 IdOf(const LbIntToStringMapI& map, const char* name)
{
    int32 id = -999;
    return map.IdForName(name, &id) == B_OK ? id : -999;
}

void AppendWord(Bytes* out, int32 value)
{
    int32 v = value < 0 ? value + 16384 : value;
    out->push_back(uint8(v & 0x7F));
    out->push_back(uint8(v >> 7));
}

void AppendText(Bytes* out, const char* text, size_t size)
{
    for (size_t i = 0; i < size; i++) out->push_back(i < strlen(text) ? uint8(text[i]) : uint8(' '));
}

TEST(MorpheusValueMaps, FixedMapsAnswerTheirOwnIdsOnly)
{
    LbBendRangeMap bend;
    EXPECT_EQ(NameOf(bend, 13), "Global");
    EXPECT_EQ(NameOf(bend, 1), "+/- 1");
    EXPECT_EQ(NameOf(bend, 14), "<none>");
    EXPECT_EQ(IdOf(bend, "+/- 12"), 12);
    EXPECT_EQ(IdOf(bend, "+/- 1 "), -999);

    LbMixBusMap mixBus;
    EXPECT_EQ(NameOf(mixBus, -1), "Preset");
    EXPECT_EQ(IdOf(mixBus, "FX B"), 3);
    LbProgramMap programs;
    EXPECT_EQ(NameOf(programs, -1), "Off");
    EXPECT_EQ(NameOf(programs, 3), "4");
    MmmPanMap pan;
    EXPECT_EQ(NameOf(pan, -8), "Preset");
    EXPECT_EQ(NameOf(pan, -7), "<none>");   // the control then shows the number
    MmmBToAMap bToA;
    EXPECT_EQ(NameOf(bToA, 101), "A Only");
    LbMmmBankMap mmmBanks;
    EXPECT_EQ(NameOf(mmmBanks, 4), "Hyperpreset - Card");
    LbMhpBankMap mhpBanks;
    EXPECT_EQ(IdOf(mhpBanks, "Preset - Card"), 2);
    EXPECT_EQ(NameOf(mhpBanks, 3), "<none>");

    LbFgShapeMap shapes;
    EXPECT_EQ(NameOf(shapes, 19), "Slow Ramp2");
    EXPECT_EQ(NameOf(shapes, 36), "Chaos 03");
    EXPECT_EQ(NameOf(shapes, 62), "Random Z");
    EXPECT_EQ(NameOf(shapes, 63), "<none>");
    EXPECT_EQ(shapes.CountEntries(), 63);
    LbFgConditionMap conditions;
    EXPECT_EQ(NameOf(conditions, 15), "KeyEnd");
    LbRealtimeSourcesMap sources;
    EXPECT_EQ(NameOf(sources, 12), "Free-run Function Generator");

    // The index of a fixed map is its id.
    const char* name = nullptr;
    int32 index = -1;
    EXPECT_EQ(shapes.NameForIndex(8, &name), B_OK);
    EXPECT_STREQ(name, "Circle 1.4");
    EXPECT_EQ(mixBus.IndexForName("Main", &index), B_OK);
    EXPECT_EQ(index, 0);
}

TEST(MorpheusValueMaps, DestinationsOfRealtimeCordsLeaveOutWhatTheyCannotReach)
{
    LbNoteOnDestinationsMap noteOn;
    LbRealtimeDestinationsMap realtime;
    EXPECT_EQ(NameOf(noteOn, 26), "Start Primary");
    EXPECT_EQ(NameOf(realtime, 26), "<none>");
    EXPECT_EQ(NameOf(noteOn, 50), "Frequency Tracking Secondary");
    EXPECT_EQ(NameOf(noteOn, 51), "<none>");
    for (int32 id : {25, 27, 31, 32, 33, 37, 38, 39, 45, 46, 47, 48, 49, 50, 51})
        EXPECT_EQ(NameOf(realtime, id), "<none>") << id;
    for (int32 id : {0, 24, 28, 30, 34, 36, 40, 44}) EXPECT_EQ(NameOf(realtime, id), NameOf(noteOn, id)) << id;
    EXPECT_EQ(IdOf(realtime, "Tone"), -999);
    EXPECT_EQ(IdOf(noteOn, "Tone"), 31);
}

TEST(MorpheusValueMaps, KeyNamesRunFromCMinus2ToG8)
{
    LbKeyMap keys;
    EXPECT_EQ(NameOf(keys, 0), "C-2");
    EXPECT_EQ(NameOf(keys, 60), "C3");
    EXPECT_EQ(NameOf(keys, 68), "G#3");
    EXPECT_EQ(NameOf(keys, 127), "G8");
    EXPECT_EQ(NameOf(keys, 128), "<none>");
    EXPECT_EQ(NameOf(keys, -1), "<none>");
    for (int32 k = 0; k < 128; k++) EXPECT_EQ(IdOf(keys, NameOf(keys, k).c_str()), k);

    IProgramMap programs;
    EXPECT_EQ(NameOf(programs, 42), "42");
    EXPECT_EQ(IdOf(programs, "42"), -999);
}

TEST(MorpheusRomMaps, InstrumentListNamesEntriesFromOne)
{
    Bytes list = {0x18, 0x0C, 0x00, 0x0F};
    AppendWord(&list, 2);
    AppendWord(&list, 1793);
    AppendText(&list, "Acoustic Piano", 11);   // the field holds 11 characters
    list.push_back(0);
    AppendWord(&list, 1794);
    AppendText(&list, "Bass", 11);
    list.push_back(0);
    LbInstrumentMap map;
    ASSERT_EQ(map.SetTo(list.data(), uint32(list.size())), B_OK);
    ASSERT_EQ(map.CountEntries(), 3);
    const char* name = nullptr;
    EXPECT_EQ(map.NameForIndex(0, &name), B_OK);
    EXPECT_STREQ(name, "0 None");
    EXPECT_EQ(NameOf(map, LbInstrumentMap::kNoneId), "0 None");
    EXPECT_EQ(NameOf(map, 1793), "1 Acoustic Pi");
    EXPECT_EQ(NameOf(map, 1794), "2 Bass       ");
    EXPECT_EQ(IdOf(map, "2 Bass       "), 1794);
    int32 id = 0, index = 0;
    EXPECT_EQ(map.IdForIndex(2, &id), B_OK);
    EXPECT_EQ(id, 1794);
    EXPECT_EQ(map.IndexForId(1793, &index), B_OK);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(map.IdForIndex(3, &id), B_ERROR);
    EXPECT_TRUE(map.Message().Matches(list.data(), uint32(list.size())));

    // A list that ends inside an entry keeps the whole entries before it; one whose count
    // cannot be read stays empty.
    LbInstrumentMap cut;
    cut.SetTo(list.data(), uint32(list.size()) - 2);
    EXPECT_EQ(cut.CountEntries(), 2);
    LbInstrumentMap noCount;
    noCount.SetTo(list.data(), 5);
    EXPECT_EQ(noCount.CountEntries(), 0);
}

TEST(MorpheusRomMaps, FilterListNamesEntriesFromZeroAndKeepsItsSize)
{
    Bytes list = {0x18, 0x0C, 0x00, 0x57};
    AppendWord(&list, 3);   // count 3, two entries present
    AppendWord(&list, 0);
    AppendText(&list, "Lowpass", 11);
    AppendWord(&list, -5);
    list.push_back(0);
    AppendWord(&list, 17);
    AppendText(&list, "Hipass", 11);
    AppendWord(&list, 9);
    list.push_back(0);
    LbFilterMap map;
    ASSERT_EQ(map.SetTo(list.data(), uint32(list.size())), B_OK);
    EXPECT_EQ(map.Size(), 3);
    EXPECT_EQ(NameOf(map, 0), "0 Lowpass    ");
    EXPECT_EQ(NameOf(map, 17), "1 Hipass     ");
    EXPECT_EQ(map.EntryAt(0)->value, -5);
    EXPECT_EQ(map.EntryAt(1)->value, 9);
    EXPECT_EQ(map.EntryAt(2)->id, -1);
    const char* name = nullptr;
    EXPECT_EQ(map.NameForIndex(2, &name), B_ERROR);   // never read
    EXPECT_EQ(IdOf(map, "1 Hipass     "), 17);
    EXPECT_EQ(map.HighestId(), 17);
}

// An effect: id, 12-byte name, parameters of (11-byte name, low, high, limit).
struct EffectSpec {
    int32 id;
    const char* name;
    std::vector<std::tuple<const char*, int32, int32, int32>> params;
};

void AppendEffect(Bytes* out, const EffectSpec& effect)
{
    AppendWord(out, effect.id);
    AppendText(out, effect.name, 12);
    AppendWord(out, int32(effect.params.size()));
    for (auto& [name, low, high, limit] : effect.params) {
        AppendText(out, name, 11);
        AppendWord(out, low);
        AppendWord(out, high);
        AppendWord(out, limit);
    }
}

Bytes EffectMessage(const std::vector<EffectSpec>& a, const std::vector<EffectSpec>& b)
{
    Bytes message = {0x18, 0x0C, 0x00, 0x55};
    AppendWord(&message, int32(a.size()));
    for (const EffectSpec& e : a) AppendEffect(&message, e);
    AppendWord(&message, int32(b.size()));
    for (const EffectSpec& e : b) AppendEffect(&message, e);
    return message;
}

TEST(MorpheusRomMaps, EffectListsParseBackToBack)
{
    Bytes message = EffectMessage({{0, "Room", {{"Decay", 0, 99, 99}}},
                                   {1, "Echo", {{"Feedback   ", 129, 127, 127}, {"Time", 0, 200, 200}}}},
                                  {{128, "Chorus", {}}, {129, "Flanger", {{"Rate", 1, 50, 50}}}});
    LbEffectMap map;
    ASSERT_EQ(map.SetTo(message.data(), uint32(message.size())), B_OK);
    ASSERT_EQ(map.ListA().NumberOfEffects(), 2);
    ASSERT_EQ(map.ListB().NumberOfEffects(), 2);
    const LbEffect* echo = nullptr;
    ASSERT_EQ(map.ListA().EffectForId(1, &echo), B_OK);
    ASSERT_EQ(echo->NumberOfParams(), 2);
    EXPECT_EQ(echo->ParamAt(0)->low, -127);   // reported unsigned by the instrument
    EXPECT_EQ(echo->ParamAt(1)->high, 200);
    EXPECT_EQ(NameOf(map.ListB(), 129), "Flanger     ");
    EXPECT_EQ(IdOf(map.ListB(), "Chorus      "), 128);
    EXPECT_TRUE(map.Message().Matches(message.data(), uint32(message.size())));
}

TEST(MorpheusRomMaps, EffectMessageEndingInsideListAKeepsWhatWasRead)
{
    Bytes full = EffectMessage({{0, "Room", {{"Decay", 0, 99, 99}}}, {1, "Echo", {{"Time", 0, 200, 200}}}},
                               {{128, "Chorus", {}}});
    // Ends inside the second effect of list A.
    uint32 cut = 4 + 2 + (16 + 17) + 10;
    LbEffectMap map;
    map.SetTo(full.data(), cut);
    EXPECT_EQ(map.ListA().NumberOfEffects(), 1);
    EXPECT_EQ(map.ListB().NumberOfEffects(), 0);
    EXPECT_EQ(map.Message().Length(), 0u);   // nothing to save

    // Only list B failing keeps the bytes.
    LbEffectMap partB;
    partB.SetTo(full.data(), uint32(full.size()) - 3);
    EXPECT_EQ(partB.ListA().NumberOfEffects(), 2);
    EXPECT_EQ(partB.ListB().NumberOfEffects(), 0);
    EXPECT_EQ(partB.Message().Length(), full.size() - 3);

    // A count that cannot be read: no effects at all.
    LbEffectMap none;
    none.SetTo(full.data(), 5);
    EXPECT_EQ(none.ListA().NumberOfEffects(), 0);
}

TEST(MorpheusRomMaps, RealInstrumentListBuilds243Names)
{
    std::string path = MorpheusFixture("instrument-list.syx");
    if (path.empty()) GTEST_SKIP() << "fixture folder morpheus/ is absent";
    Bytes message = Unframe(ReadFile(path));
    ASSERT_EQ(message.size(), 3394u);
    LbEmuMorpheus::DeleteMaps();
    ASSERT_EQ(LbEmuMorpheus::InstrumentMapSystemExclusive(message.data(), uint32(message.size())), B_OK);
    std::shared_ptr<const LbInstrumentMap> map = LbEmuMorpheus::InstrumentMap();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->CountEntries(), 243);
    EXPECT_EQ(NameOf(*map, 1792), "0 None");
    EXPECT_EQ(NameOf(*map, 1793), "1 DanceDrums1");
    const char* last = nullptr;
    ASSERT_EQ(map->NameForIndex(242, &last), B_OK);
    EXPECT_EQ(std::string(last).rfind("242 ", 0), 0u);
    EXPECT_EQ(map->HighestId(), 2034);
    EXPECT_EQ(LbEmuMorpheus::FilterMapSystemExclusive(message.data(), uint32(message.size())), B_ERROR);
    LbEmuMorpheus::DeleteMaps();
}

// A list message of one instrument (id 1793) named `name`.
Bytes OneInstrumentList(const char* name)
{
    Bytes list = {0x18, 0x0C, 0x00, 0x0F};
    AppendWord(&list, 1);
    AppendWord(&list, 1793);
    AppendText(&list, name, 11);
    list.push_back(0);
    return list;
}

TEST(MorpheusRomMaps, NamesAndListsHandedOutOutliveTheMapsReplacement)
{
    LbEmuMorpheus::DeleteMaps();
    Bytes first = OneInstrumentList("Piano"), second = OneInstrumentList("Organ");
    Bytes effects = EffectMessage({{0, "Room", {{"Decay", 0, 99, 99}}}}, {{128, "Chorus", {}}});
    ASSERT_EQ(LbEmuMorpheus::InstrumentMapSystemExclusive(first.data(), uint32(first.size())), B_OK);
    ASSERT_EQ(LbEmuMorpheus::EffectMapSystemExclusive(effects.data(), uint32(effects.size())), B_OK);

    // A window's instrument menu and the midimap's effect processors, made now.
    LbMorpheusInstrumentCollectionParam layer("Layer 1", 0, LbEmuMorpheus::InstrumentMap().get());
    auto* instrument = dynamic_cast<LbIntParam*>(layer.ParamAt(0));
    ASSERT_NE(instrument, nullptr);
    LbIntToStringMapI* names = instrument->NewValueMap();
    ASSERT_NE(names, nullptr);
    const char* shown = nullptr;
    ASSERT_EQ(names->NameForId(1793, &shown), B_OK);
    EXPECT_STREQ(shown, "1 Piano      ");
    LbEmuMorpheusMidimap midimap("Midimap - RAM", nullptr, 0, 15);
    auto* fxPage = dynamic_cast<LbCollectionParam*>(midimap.ParamAt(midimap.CountParams() - 1));
    ASSERT_NE(fxPage, nullptr);
    auto* fxB = dynamic_cast<LbMmmFxParam*>(fxPage->ParamAt(2));
    ASSERT_NE(fxB, nullptr);

    // A second Morpheus fetches its own lists, then the device goes and the maps with it.
    ASSERT_EQ(LbEmuMorpheus::InstrumentMapSystemExclusive(second.data(), uint32(second.size())), B_OK);
    ASSERT_EQ(LbEmuMorpheus::EffectMapSystemExclusive(effects.data(), uint32(effects.size())), B_OK);
    LbEmuMorpheus::DeleteMaps();

    // What was handed out is still there, as it was.
    EXPECT_STREQ(shown, "1 Piano      ");
    EXPECT_EQ(NameOf(*names, 1793), "1 Piano      ");
    names->Release();
    ASSERT_EQ(fxB->Effects()->NumberOfEffects(), 1);
    EXPECT_STREQ(fxB->Effects()->EffectAt(0)->Name(), "Chorus      ");
    // Asked now, the parameter has no names to give.
    EXPECT_EQ(instrument->NewValueMap(), nullptr);

    // Replaced again: a new menu shows the new names.
    ASSERT_EQ(LbEmuMorpheus::InstrumentMapSystemExclusive(second.data(), uint32(second.size())), B_OK);
    names = instrument->NewValueMap();
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(NameOf(*names, 1793), "1 Organ      ");
    names->Release();
    LbEmuMorpheus::DeleteMaps();
}

TEST(MorpheusRomMaps, NamesReadWhileTheMidiInputReplacesTheMap)
{
    LbEmuMorpheus::DeleteMaps();
    Bytes first = OneInstrumentList("Piano"), second = OneInstrumentList("Organ");
    ASSERT_EQ(LbEmuMorpheus::InstrumentMapSystemExclusive(first.data(), uint32(first.size())), B_OK);
    LbMorpheusInstrumentCollectionParam layer("Layer 1", 0, LbEmuMorpheus::InstrumentMap().get());
    auto* instrument = dynamic_cast<LbIntParam*>(layer.ParamAt(0));
    ASSERT_NE(instrument, nullptr);

    std::atomic<bool> stop{false};
    std::thread midiInput([&] {
        for (int i = 0; !stop; i++) {
            const Bytes& list = i % 3 == 0 ? first : second;
            if (i % 5 == 4)
                LbEmuMorpheus::DeleteMaps();
            else
                LbEmuMorpheus::InstrumentMapSystemExclusive(list.data(), uint32(list.size()));
        }
    });
    int read = 0, wrong = 0;
    // At least 20000 tries, and on until some names were read: on a busy machine the input
    // thread may sit between deleting the maps and filling them again for a while.
    for (int i = 0; i < 20000 || (read < 100 && i < 50000000); i++) {
        LbIntToStringMapI* names = instrument->NewValueMap();
        if (names == nullptr) continue;
        const char* name = nullptr;
        if (names->NameForId(1793, &name) == B_OK) {
            std::string copy(name);   // read while the map may be replaced
            wrong += copy != "1 Piano      " && copy != "1 Organ      ";
            read++;
        }
        names->Release();
    }
    stop = true;
    midiInput.join();
    EXPECT_GT(read, 0);
    EXPECT_EQ(wrong, 0);
    LbEmuMorpheus::DeleteMaps();
}

} // namespace
