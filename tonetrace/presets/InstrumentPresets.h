// The 20 instrument presets and the order in which a preset's fields reach the engine.
// Pure data and one rebuild function; no platform dependency.
#pragma once

#include <array>
#include <cstdint>
#include <span>

struct PitchTracker;

// The node parameters a preset sets (the rest of the node's parameters are its own).
struct PresetFields {
  int16_t velocityMode;
  int16_t bendRange;    // semitones
  double levelOnDb;     // dBFS to start a note
  double levelHoldDb;   // dBFS to hold a note
  double distOn;        // shape distance to start a note
  double distHold;      // shape distance to hold a note
  double lagPenalty;    // percent
  int16_t spanIdle;     // periods compared while idle
  int16_t spanSounding; // periods compared while a note sounds
  double bandFactor;
  double continuity;
  int16_t minNote;
  int16_t maxNote;
};

struct InstrumentPreset {
  int number;            // 1..20
  const char* menuName;  // as the menu shows it
  PresetFields fields;
};

constexpr int kPresetCount = 20;
constexpr double kAnalysisRate = 44100;
constexpr double kDefaultVelocityTopDb = -6;

std::span<const InstrumentPreset, kPresetCount> InstrumentPresets();
// The preset of that number, or null outside 1..20.
const InstrumentPreset* FindPreset(int number);

struct EngineSetting {
  int16_t id;
  double value;
};
constexpr int kPresetSettingCount = 17;

// The engine settings of a preset, in the order they are applied to a fresh engine.
std::array<EngineSetting, kPresetSettingCount> PresetEngineSettings(
    const PresetFields& fields, double sampleRate = kAnalysisRate,
    double velocityTopDb = kDefaultVelocityTopDb);

// Frees `old` (may be null), creates a new engine and applies the preset's settings in
// order. Returns the new engine, or null when memory runs out. Refused settings are
// left at the engine's own values, as the engine refuses them.
PitchTracker* RebuildEngine(PitchTracker* old, const PresetFields& fields,
                            double sampleRate = kAnalysisRate,
                            double velocityTopDb = kDefaultVelocityTopDb);
