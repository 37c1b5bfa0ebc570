#include "cli/NoteTranscriber.h"

#include <cstdlib>

NoteTranscriber::~NoteTranscriber() { WFETEndProcess(mEngine); }

bool NoteTranscriber::Start(const PresetFields& preset, double sampleRate) {
  mEngine = RebuildEngine(mEngine, preset, sampleRate);
  if (mEngine == nullptr) return false;
  if (mEngine->sampleRate != sampleRate) {
    WFETEndProcess(mEngine);
    mEngine = nullptr;
    return false;
  }
  mSampleRate = sampleRate;
  mDecision = MidiDecision{};
  // As the node, whose preset change sends expression 127 (and no bend).
  mLastExpression = 127;
  mLastBend = 0;
  mPendingCount = 0;
  mSamplesDone = mDecisions = 0;
  mNoteOpen = false;
  mNotes.clear();
  return true;
}

void NoteTranscriber::Feed(const int16_t* samples, int64_t count) {
  if (mEngine == nullptr || samples == nullptr) return;
  int64_t i = 0;
  if (mPendingCount > 0) {
    while (i < count && mPendingCount < kChunkSamples) mPending[mPendingCount++] = samples[i++];
    if (mPendingCount < kChunkSamples) return;
    Decide(mPending, kChunkSamples);
    mPendingCount = 0;
  }
  for (; i + kChunkSamples <= count; i += kChunkSamples) Decide(samples + i, kChunkSamples);
  while (i < count) mPending[mPendingCount++] = samples[i++];
}

void NoteTranscriber::Finish() {
  if (mEngine == nullptr) return;
  if (mPendingCount > 0) Decide(mPending, mPendingCount);
  mPendingCount = 0;
  if (mNoteOpen) {
    mNotes.back().offset = static_cast<double>(mSamplesDone) / mSampleRate;
    mNoteOpen = false;
  }
}

void NoteTranscriber::Decide(const int16_t* chunk, int32_t count) {
  // Everything decided for a chunk is stamped with the chunk's start, as the node does.
  const double time = static_cast<double>(mSamplesDone) / mSampleRate;
  WFETProcess(mEngine, chunk, count * 2);
  WFETCalc(mEngine, &mDecision);
  mSamplesDone += count;
  ++mDecisions;

  if (mDecision.noteOff >= 0 && mNoteOpen) {
    mNotes.back().offset = time;
    mNoteOpen = false;
  }
  if (mDecision.noteOn >= 0) {
    mNotes.push_back({mDecision.noteOn, time, time, mDecision.velocity, {}, {}});
    mNoteOpen = true;
  }
  // Changes are attached to the note that sounds when they are sent.
  if (std::abs(mDecision.expression - mLastExpression) > kExpressionStep) {
    mLastExpression = mDecision.expression;
    if (mNoteOpen) mNotes.back().expressions.push_back({time, mLastExpression});
  }
  if (std::abs(mDecision.bend - mLastBend) > kBendStep) {
    mLastBend = mDecision.bend;
    if (mNoteOpen) mNotes.back().bends.push_back({time, mLastBend});
  }
}
