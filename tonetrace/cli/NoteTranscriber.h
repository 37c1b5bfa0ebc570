// Runs the analysis engine over a mono 16-bit stream, 16 samples per decision, and collects
// the notes it decides, with the bend and expression changes the node would send.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/PitchTracker.h"
#include "presets/InstrumentPresets.h"

struct TimedValue {
  double time;  // seconds from the start of the stream
  int value;
};

struct TranscribedNote {
  int note;       // MIDI note number
  double onset;   // seconds
  double offset;  // seconds
  int velocity;
  std::vector<TimedValue> bends;        // 0..16383, 8192 centre
  std::vector<TimedValue> expressions;  // controller 11, 0..127
};

class NoteTranscriber {
 public:
  static constexpr int kChunkSamples = 16;
  // The node only sends changes larger than these.
  static constexpr int kExpressionStep = 4;
  static constexpr int kBendStep = 64;

  NoteTranscriber() = default;
  ~NoteTranscriber();
  NoteTranscriber(const NoteTranscriber&) = delete;
  NoteTranscriber& operator=(const NoteTranscriber&) = delete;

  // Builds the engine with the preset's settings at this sample rate. Returns false (with
  // no engine) when memory runs out or the engine refuses the rate.
  bool Start(const PresetFields& preset, double sampleRate);
  // Analyses the samples (any count; whole chunks of 16 are decided as they fill).
  void Feed(const int16_t* samples, int64_t count);
  // Analyses the last, shorter chunk and ends a note still sounding at the end of the stream.
  void Finish();

  const std::vector<TranscribedNote>& Notes() const { return mNotes; }
  int64_t Decisions() const { return mDecisions; }

 private:
  void Decide(const int16_t* chunk, int32_t count);

  PitchTracker* mEngine = nullptr;
  double mSampleRate = 44100;
  MidiDecision mDecision;
  int mLastExpression = 127;
  int mLastBend = 0;
  int16_t mPending[kChunkSamples] = {};
  int32_t mPendingCount = 0;
  int64_t mSamplesDone = 0;
  int64_t mDecisions = 0;
  bool mNoteOpen = false;
  std::vector<TranscribedNote> mNotes;
};
