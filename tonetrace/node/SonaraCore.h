// SonaraCore: the logic of the pitch-tracking node without the media graph around it:
// its parameters by id, the presets, the analysis of raw audio buffers and the MIDI it
// sends to the synthesizer, a system MIDI port and the owner's store.
//
// Parameters (4-byte floats unless marked; `Apply` ignores a value shorter than 4 bytes,
// or 2 for the int32 ones, and one equal to the stored value):
//   21 start distance, 23 hold distance, 25 start level dB, 27 hold level dB,
//   29 bend range (also sends the bend range controllers on channel 1),
//   31 transpose (all notes off on the node's channel first, then expression 127),
//   33 idle span, 35 sounding span, 37 period penalty, 39 band factor, 41 continuity,
//   43 velocity top dB, 45 preset (int32; ChangePreset), 47 lowest note and 49 highest
//   note (floats kept as whole notes), 300 General MIDI program (int32; channel 1).
// A refused engine setting still keeps and broadcasts the new value.
//
// MIDI: notes, bends and expression go to the node's channel, program changes and the
// bend range to channel 1; each goes to the synthesizer, then the port, then (notes,
// bends, expression) the owner's store while it records, at the analysis clock less the
// store's base time. Transposed notes outside 0..127 are not sent.
//
// Samples: 16-bit signed, mono or interleaved stereo (the left channel is analysed), at
// the rate given to SetSampleRate (44 100 until then); 16 samples per decision.
//
// Threads: one thread at a time (the node's event-loop thread); AllNotesOff may also come
// from the owner's thread (the synthesizer and the port serialise their own calls).
// Nothing allocates in AnalyseBuffer.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/PitchTracker.h"
#include "presets/InstrumentPresets.h"

class BMidi;
class SonaraOwnerI;

class SonaraCore {
 public:
  enum ParameterId : int32_t {
    kStartDistance = 21,
    kHoldDistance = 23,
    kStartLevel = 25,
    kHoldLevel = 27,
    kBendRange = 29,
    kTranspose = 31,
    kIdleSpan = 33,
    kSoundingSpan = 35,
    kLagPenalty = 37,
    kBandFactor = 39,
    kContinuity = 41,
    kVelocityTop = 43,
    kPreset = 45,
    kLowestNote = 47,
    kHighestNote = 49,
    kProgram = 300,
  };
  static constexpr int kParameterCount = 16;
  static constexpr int kPresetBroadcastCount = 13;
  static constexpr int32_t kChunkBytes = 32;
  static constexpr int32_t kScopeBytes = 256;
  static constexpr int kExpressionStep = 4;
  static constexpr int kBendStep = 64;
  // The parameters a preset change broadcasts, in this order.
  static constexpr std::array<int32_t, kPresetBroadcastCount> kPresetBroadcast = {
      kPreset, kBendRange, kLowestNote, kHighestNote, kStartLevel, kHoldLevel,
      kStartDistance, kHoldDistance, kIdleSpan, kSoundingSpan, kLagPenalty, kContinuity,
      kVelocityTop};

  // channel 1..16 (others become 1). Applies preset 1 (to the outputs given).
  explicit SonaraCore(int8_t channel, BMidi* synth = nullptr, BMidi* port = nullptr);
  ~SonaraCore();
  SonaraCore(const SonaraCore&) = delete;
  SonaraCore& operator=(const SonaraCore&) = delete;

  // Borrowed; may be null.
  void SetSynth(BMidi* synth) { mSynth = synth; }
  void SetPort(BMidi* port) { mPort = port; }
  void SetOwner(SonaraOwnerI* owner) { mOwner = owner; }

  // Applies a value at performance time `now`. Returns how many ids to broadcast (written
  // into `broadcast`): 0 when the value was ignored or unchanged, 13 for a preset.
  int Apply(int32_t id, const void* value, size_t size, int64_t now,
            std::array<int32_t, kPresetBroadcastCount>& broadcast);
  // The stored value (at most `*size` bytes of its 4; *size becomes what was written) and
  // the time of its last change. B_NO_MEMORY for a buffer shorter than 2 bytes, -1 for
  // an id that is not a parameter.
  int32_t Get(int32_t id, int64_t* lastChange, void* value, size_t* size) const;
  bool IsParameter(int32_t id) const { return Slot(id) >= 0; }

  // Sets a preset's fields (1..20; another number keeps the current ones), rebuilds the
  // engine (ending a note it was sounding), sends expression 127, shows the note range
  // and sends the bend range.
  void ChangePreset(int32_t number);

  // The rate of the samples to come (rebuilds the engine when it changes; not in real time).
  void SetSampleRate(double rate);
  double SampleRate() const { return mRate; }
  // The analysis clock and the store's base time (milliseconds of the system clock).
  void StartClock(double milliseconds);
  // Any thread (the owner sets it when recording starts).
  void SetStoreBaseTime(double milliseconds) { mStoreBase.store(milliseconds); }
  double AnalysisClock() const { return mClock; }

  // Analyses one raw audio buffer of `size` bytes (stereo: the left samples are moved to
  // the front in place) and sends what the engine decides.
  void AnalyseBuffer(void* data, size_t size, int32_t channels);
  // Sends what one decision asks for: expression when it moved by more than 4, bend by
  // more than 64, then the note off and the note on (transposed), all at `time`.
  void SendDecision(const MidiDecision& decision, uint32_t time);
  // Decisions made since construction.
  int64_t Decisions() const { return mDecisions; }
  // The first 128 samples of the last buffer.
  const int16_t* Scope() const { return mScope; }

  // The MIDI operations (time: milliseconds of the system clock).
  void NoteOff(uint8_t channel, int note, int velocity, uint32_t time);
  void NoteOn(uint8_t channel, int note, int velocity, uint32_t time);
  void Expression(uint8_t channel, int value, uint32_t time);
  void Bend(uint8_t channel, int value, uint32_t time);
  void ProgramChange(uint8_t channel, int program, uint32_t time);
  void AllNotesOff(bool justChannel);
  void SendBendRange(uint8_t channel, int semitones, uint32_t time);

  bool HasEngine() const { return mEngine != nullptr; }
  int8_t Channel() const { return mChannel; }
  const MidiDecision& Decision() const { return mDecision; }
  float Transpose() const { return mValues[static_cast<size_t>(Slot(kTranspose))].f; }
  PresetFields Fields() const;

 private:
  union Value {
    float f;
    int32_t i;
  };
  static int Slot(int32_t id);
  static bool IsInt(int32_t id) { return id == kPreset || id == kProgram; }
  void Store(int32_t id, float value, int64_t now);
  float FloatValue(int32_t id) const;
  void RunEffect(int32_t id, int64_t now);
  // A new engine with the current fields; a note still sounding is ended first.
  void Rebuild();
  uint32_t Now() const;

  PitchTracker* mEngine = nullptr;
  MidiDecision mDecision;
  int8_t mChannel;
  int16_t mVelocityMode = 2;
  double mRate = kAnalysisRate;
  double mClock = 0;      // milliseconds
  std::atomic<double> mStoreBase{0};  // milliseconds
  int mLastExpression = 0;
  int mLastBend = 0;
  int64_t mDecisions = 0;
  Value mValues[kParameterCount] = {};
  int64_t mChanged[kParameterCount] = {};
  int16_t mScope[kScopeBytes / 2] = {};
  BMidi* mSynth = nullptr;
  BMidi* mPort = nullptr;
  SonaraOwnerI* mOwner = nullptr;
};
