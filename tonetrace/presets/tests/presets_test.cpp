#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "engine/PitchTracker.h"
#include "presets/InstrumentPresets.h"

namespace {

double NoteHz(int note) { return 440 * std::pow(2.0, (note - 69) / 12.0); }

TEST(InstrumentPresets, TableHoldsTheTwentyPresets) {
  const auto presets = InstrumentPresets();
  std::set<std::string> names;
  for (int i = 0; i < kPresetCount; ++i) {
    EXPECT_EQ(presets[static_cast<size_t>(i)].number, i + 1);
    names.insert(presets[static_cast<size_t>(i)].menuName);
  }
  EXPECT_EQ(names.size(), 20u);
  EXPECT_EQ(FindPreset(0), nullptr);
  EXPECT_EQ(FindPreset(21), nullptr);

  const PresetFields& def = FindPreset(1)->fields;
  EXPECT_STREQ(FindPreset(1)->menuName, "Default");
  EXPECT_EQ(def.velocityMode, 2);
  EXPECT_EQ(def.bendRange, 6);
  EXPECT_EQ(def.levelOnDb, -30);
  EXPECT_EQ(def.levelHoldDb, -40);
  EXPECT_EQ(def.distOn, 0.4);
  EXPECT_EQ(def.minNote, 48);
  EXPECT_EQ(def.maxNote, 72);

  const PresetFields& female = FindPreset(3)->fields;
  EXPECT_STREQ(FindPreset(3)->menuName, "Female voice");
  EXPECT_EQ(female.bendRange, 4);
  EXPECT_EQ(female.levelHoldDb, -36);
  EXPECT_EQ(female.distOn, 0.15);
  EXPECT_EQ(female.continuity, 0.1);
  EXPECT_EQ(female.maxNote, 78);

  const PresetFields& bass = FindPreset(5)->fields;  // base 1
  EXPECT_STREQ(FindPreset(5)->menuName, "Bass");
  EXPECT_EQ(bass.velocityMode, 1);
  EXPECT_EQ(bass.distOn, 0.3);
  EXPECT_EQ(bass.spanIdle, 1);
  EXPECT_EQ(bass.spanSounding, 1);
  EXPECT_EQ(bass.bandFactor, 2);
  EXPECT_EQ(bass.minNote, 27);
  EXPECT_EQ(bass.maxNote, 56);

  const PresetFields& guitars = FindPreset(4)->fields;  // base 2
  EXPECT_EQ(guitars.bendRange, 6);
  EXPECT_EQ(guitars.minNote, 39);

  EXPECT_STREQ(FindPreset(17)->menuName, "Piccolo");
  EXPECT_EQ(FindPreset(17)->fields.minNote, 74);
  EXPECT_EQ(FindPreset(17)->fields.maxNote, 102);
  EXPECT_STREQ(FindPreset(20)->menuName, "Flute alto");
  EXPECT_EQ(FindPreset(20)->fields.distHold, 0.6);
  EXPECT_EQ(FindPreset(14)->fields.bendRange, 2);
  EXPECT_STREQ(FindPreset(14)->menuName, "Cor Anglais");
}

// Every preset, written out from the preset table: the menu name, the fields a preset
// sets and its note range.
TEST(InstrumentPresets, EveryPresetHoldsItsOwnValuesAndNoteRange) {
  struct Expected {
    const char* name;
    PresetFields fields;
  };
  // velocityMode, bendRange, levelOnDb, levelHoldDb, distOn, distHold, lagPenalty,
  // spanIdle, spanSounding, bandFactor, continuity, minNote, maxNote
  const PresetFields voice = {2, 4, -30, -36, 0.15, 0.6, 0.1, 2, 2, 1, 0.1, 48, 72};
  // The three bases of the instrument presets: bendRange, distOn, span, bandFactor.
  struct Base {
    int16_t bendRange;
    double distOn;
    int16_t span;
    double bandFactor;
  };
  auto based = [](Base b, int16_t low, int16_t high) {
    return PresetFields{1, b.bendRange, -30, -40, b.distOn, 0.6, 0.1, b.span, b.span,
                        b.bandFactor, 0.5, low, high};
  };
  const Base b0{2, 0.4, 2, 1}, b1{2, 0.3, 1, 2}, b2{6, 0.4, 2, 1};
  auto base0 = [&](int16_t low, int16_t high) { return based(b0, low, high); };
  auto base1 = [&](int16_t low, int16_t high) { return based(b1, low, high); };
  auto base2 = [&](int16_t low, int16_t high) { return based(b2, low, high); };
  PresetFields female = voice;
  female.maxNote = 78;
  const Expected expected[kPresetCount] = {
      {"Default", {2, 6, -30, -40, 0.4, 0.6, 0.1, 2, 2, 1, 0.5, 48, 72}},
      {"Male voice", voice},
      {"Female voice", female},
      {"Guitars", base2(39, 76)},
      {"Bass", base1(27, 56)},
      {"Violon", base0(55, 103)},
      {"Alto", base0(48, 91)},
      {"Violoncelle", base0(36, 76)},
      {"Contrebasse", base1(28, 67)},
      {"Trompette", base0(55, 82)},
      {"Trombone", base0(40, 72)},
      {"Cor", base0(34, 77)},
      {"Tuba", base0(28, 58)},
      {"Cor Anglais", base0(52, 81)},
      {"Clarinette", base0(50, 94)},
      {"Basson", base0(34, 75)},
      {"Piccolo", base0(74, 102)},
      {"Flute", base0(60, 96)},
      {"Hautbois", base0(58, 91)},
      {"Flute alto", base0(55, 91)},
  };
  for (int n = 1; n <= kPresetCount; ++n) {
    const InstrumentPreset* preset = FindPreset(n);
    ASSERT_NE(preset, nullptr) << n;
    const Expected& want = expected[n - 1];
    const PresetFields& got = preset->fields;
    SCOPED_TRACE(std::string("preset ") + std::to_string(n) + " " + want.name);
    EXPECT_STREQ(preset->menuName, want.name);
    EXPECT_EQ(got.velocityMode, want.fields.velocityMode);
    EXPECT_EQ(got.bendRange, want.fields.bendRange);
    EXPECT_EQ(got.levelOnDb, want.fields.levelOnDb);
    EXPECT_EQ(got.levelHoldDb, want.fields.levelHoldDb);
    EXPECT_EQ(got.distOn, want.fields.distOn);
    EXPECT_EQ(got.distHold, want.fields.distHold);
    EXPECT_EQ(got.lagPenalty, want.fields.lagPenalty);
    EXPECT_EQ(got.spanIdle, want.fields.spanIdle);
    EXPECT_EQ(got.spanSounding, want.fields.spanSounding);
    EXPECT_EQ(got.bandFactor, want.fields.bandFactor);
    EXPECT_EQ(got.continuity, want.fields.continuity);
    EXPECT_EQ(got.minNote, want.fields.minNote);
    EXPECT_EQ(got.maxNote, want.fields.maxNote);
  }
}

TEST(InstrumentPresets, SettingsReachTheEngineInOrderAndAreAllAccepted) {
  const auto settings = PresetEngineSettings(FindPreset(1)->fields, 48000, -6);
  const int16_t order[] = {0, 39, 4, 3, 6, 32, 33, 34, 35, 38, 36, 37, 40, 41, 42, 9, 7};
  ASSERT_EQ(settings.size(), std::size(order));
  for (size_t i = 0; i < settings.size(); ++i) EXPECT_EQ(settings[i].id, order[i]) << i;
  EXPECT_EQ(settings[0].value, 48000);
  EXPECT_EQ(settings[15].value, -6);

  for (const InstrumentPreset& p : InstrumentPresets()) {
    PitchTracker* t = WFETBegProcess();
    for (const EngineSetting& s : PresetEngineSettings(p.fields))
      EXPECT_EQ(WFETSet(t, s.id, s.value), 1) << p.menuName << " setting " << s.id;
    WFETEndProcess(t);
  }
}

TEST(InstrumentPresets, RebuildGivesTheEngineThePresetsValues) {
  PitchTracker* t = RebuildEngine(nullptr, FindPreset(1)->fields);
  ASSERT_NE(t, nullptr);
  t->currentNote = 50;  // state of the old engine must not survive
  t = RebuildEngine(t, FindPreset(5)->fields);  // "Bass", base 1
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->currentNote, 0);
  EXPECT_EQ(t->sampleRate, 44100);
  EXPECT_EQ(t->bandFactor, 2);
  // The band factor is set before the note range, so both filters follow it.
  EXPECT_NEAR(t->highPass.frequency, 2 * NoteHz(27), 1e-9);
  EXPECT_NEAR(t->lowPass.frequency, 2 * NoteHz(56), 1e-9);
  EXPECT_EQ(t->maxLag[0], static_cast<int32_t>(44100 / NoteHz(27)));
  EXPECT_EQ(t->minLag[0], static_cast<int32_t>(44100 / NoteHz(56)));
  EXPECT_EQ(t->bendRange, 2);
  EXPECT_NEAR(t->levelLimit[0], 32768 * std::pow(10.0, -30.0 / 20), 1e-9);
  EXPECT_NEAR(t->levelLimit[1], 32768 * std::pow(10.0, -40.0 / 20), 1e-9);
  EXPECT_EQ(t->velocityFloorDb, -40);
  EXPECT_EQ(t->velocityTopDb, -6);
  EXPECT_DOUBLE_EQ(t->distanceLimit[0], 0.1);
  EXPECT_DOUBLE_EQ(t->distanceLimit[1], 0.3);
  EXPECT_DOUBLE_EQ(t->lagWeight[0], 0.001);
  EXPECT_EQ(t->spanPeriods[0], 1);
  EXPECT_EQ(t->spanPeriods[1], 1);
  EXPECT_EQ(t->continuityWeight, 10000);
  EXPECT_EQ(t->velocityMode, 1);
  EXPECT_EQ(t->useMedian, 0);

  // At another sample rate the lag limits scale with it.
  t = RebuildEngine(t, FindPreset(5)->fields, 22050);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->highPass.sampleRate, 22050);
  EXPECT_EQ(t->maxLag[0], static_cast<int32_t>(22050 / NoteHz(27)));
  WFETEndProcess(t);
}

}  // namespace
