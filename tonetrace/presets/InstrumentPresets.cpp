#include "presets/InstrumentPresets.h"

#include "engine/PitchTracker.h"

namespace {

// Shared by the instrument presets 4..20: velocity from the onset level, expression
// relative to it; -30/-40 dB; hold distance 0.6; period penalty 0.1; continuity 0.5.
constexpr PresetFields Base(int16_t bendRange, double distOn, int16_t span, double bandFactor,
                            int16_t minNote, int16_t maxNote) {
  return {1, bendRange, -30, -40, distOn, 0.6, 0.1, span, span, bandFactor, 0.5,
          minNote, maxNote};
}
constexpr PresetFields Base0(int16_t minNote, int16_t maxNote) {
  return Base(2, 0.4, 2, 1, minNote, maxNote);
}
constexpr PresetFields Base1(int16_t minNote, int16_t maxNote) {
  return Base(2, 0.3, 1, 2, minNote, maxNote);
}
constexpr PresetFields Base2(int16_t minNote, int16_t maxNote) {
  return Base(6, 0.4, 2, 1, minNote, maxNote);
}
constexpr PresetFields Voice(int16_t minNote, int16_t maxNote) {
  return {2, 4, -30, -36, 0.15, 0.6, 0.1, 2, 2, 1, 0.1, minNote, maxNote};
}

constexpr std::array<InstrumentPreset, kPresetCount> kPresets{{
    {1, "Default", {2, 6, -30, -40, 0.4, 0.6, 0.1, 2, 2, 1, 0.5, 48, 72}},
    {2, "Male voice", Voice(48, 72)},
    {3, "Female voice", Voice(48, 78)},
    {4, "Guitars", Base2(39, 76)},
    {5, "Bass", Base1(27, 56)},
    {6, "Violon", Base0(55, 103)},
    {7, "Alto", Base0(48, 91)},
    {8, "Violoncelle", Base0(36, 76)},
    {9, "Contrebasse", Base1(28, 67)},
    {10, "Trompette", Base0(55, 82)},
    {11, "Trombone", Base0(40, 72)},
    {12, "Cor", Base0(34, 77)},
    {13, "Tuba", Base0(28, 58)},
    {14, "Cor Anglais", Base0(52, 81)},
    {15, "Clarinette", Base0(50, 94)},
    {16, "Basson", Base0(34, 75)},
    {17, "Piccolo", Base0(74, 102)},
    {18, "Flute", Base0(60, 96)},
    {19, "Hautbois", Base0(58, 91)},
    {20, "Flute alto", Base0(55, 91)},
}};

}  // namespace

std::span<const InstrumentPreset, kPresetCount> InstrumentPresets() { return kPresets; }

const InstrumentPreset* FindPreset(int number) {
  if (number < 1 || number > kPresetCount) return nullptr;
  return &kPresets[static_cast<size_t>(number - 1)];
}

std::array<EngineSetting, kPresetSettingCount> PresetEngineSettings(const PresetFields& p,
                                                                    double sampleRate,
                                                                    double velocityTopDb) {
  return {{
      {kSetSampleRate, sampleRate},
      {kSetBandFactor, p.bandFactor},
      {kSetHighNote, static_cast<double>(p.maxNote)},
      {kSetLowNote, static_cast<double>(p.minNote)},
      {kSetBendRange, static_cast<double>(p.bendRange)},
      {kSetStartLevelDb, p.levelOnDb},
      {kSetHoldLevelDb, p.levelHoldDb},
      {kSetStartDistance, p.distOn},
      {kSetHoldDistance, p.distHold},
      {kSetLagPenalty, p.lagPenalty},
      {kSetIdleSpan, static_cast<double>(p.spanIdle)},
      {kSetSoundingSpan, static_cast<double>(p.spanSounding)},
      {kSetContinuity, p.continuity},
      {kSetUseMedian, 0},
      {kSetNeedTwoFrames, 0},
      {kSetVelocityTopDb, velocityTopDb},
      {kSetVelocityMode, static_cast<double>(p.velocityMode)},
  }};
}

PitchTracker* RebuildEngine(PitchTracker* old, const PresetFields& fields, double sampleRate,
                            double velocityTopDb) {
  WFETEndProcess(old);
  PitchTracker* engine = WFETBegProcess();
  if (engine == nullptr) return nullptr;
  for (const EngineSetting& s : PresetEngineSettings(fields, sampleRate, velocityTopDb))
    WFETSet(engine, s.id, s.value);
  return engine;
}
