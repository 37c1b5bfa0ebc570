#include "node/SonaraCore.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "kernel/Errors.h"
#include "kernel/OS.h"
#include "midi/Midi.h"
#include "midi/MidiStore.h"
#include "node/SonaraOwnerI.h"

namespace {

constexpr int32_t kIds[SonaraCore::kParameterCount] = {
    SonaraCore::kStartDistance, SonaraCore::kHoldDistance, SonaraCore::kStartLevel,
    SonaraCore::kHoldLevel,     SonaraCore::kBendRange,    SonaraCore::kTranspose,
    SonaraCore::kIdleSpan,      SonaraCore::kSoundingSpan, SonaraCore::kLagPenalty,
    SonaraCore::kBandFactor,    SonaraCore::kContinuity,   SonaraCore::kVelocityTop,
    SonaraCore::kPreset,        SonaraCore::kLowestNote,   SonaraCore::kHighestNote,
    SonaraCore::kProgram};

// The engine setting each float parameter drives (0: none).
int16_t DrivenSetting(int32_t id) {
  switch (id) {
    case SonaraCore::kStartDistance: return kSetStartDistance;
    case SonaraCore::kHoldDistance: return kSetHoldDistance;
    case SonaraCore::kStartLevel: return kSetStartLevelDb;
    case SonaraCore::kHoldLevel: return kSetHoldLevelDb;
    case SonaraCore::kBendRange: return kSetBendRange;
    case SonaraCore::kIdleSpan: return kSetIdleSpan;
    case SonaraCore::kSoundingSpan: return kSetSoundingSpan;
    case SonaraCore::kLagPenalty: return kSetLagPenalty;
    case SonaraCore::kBandFactor: return kSetBandFactor;
    case SonaraCore::kContinuity: return kSetContinuity;
    case SonaraCore::kVelocityTop: return kSetVelocityTopDb;
    case SonaraCore::kLowestNote: return kSetLowNote;
    case SonaraCore::kHighestNote: return kSetHighNote;
    default: return 0;
  }
}

}  // namespace

SonaraCore::SonaraCore(int8_t channel, BMidi* synth, BMidi* port)
    : mChannel(channel >= 1 && channel <= 16 ? channel : 1), mSynth(synth), mPort(port) {
  mValues[Slot(kVelocityTop)].f = static_cast<float>(kDefaultVelocityTopDb);
  ChangePreset(1);
}

SonaraCore::~SonaraCore() { WFETEndProcess(mEngine); }

int SonaraCore::Slot(int32_t id) {
  for (int i = 0; i < kParameterCount; ++i)
    if (kIds[i] == id) return i;
  return -1;
}

float SonaraCore::FloatValue(int32_t id) const {
  const Value& v = mValues[Slot(id)];
  return IsInt(id) ? static_cast<float>(v.i) : v.f;
}

void SonaraCore::Store(int32_t id, float value, int64_t now) {
  const int slot = Slot(id);
  if (id == kLowestNote || id == kHighestNote) value = std::trunc(value);
  mValues[slot].f = value;
  mChanged[slot] = now;
}

uint32_t SonaraCore::Now() const { return static_cast<uint32_t>(system_time() / 1000); }

PresetFields SonaraCore::Fields() const {
  auto i16 = [this](int32_t id) { return static_cast<int16_t>(FloatValue(id)); };
  return {mVelocityMode,       i16(kBendRange),         FloatValue(kStartLevel),
          FloatValue(kHoldLevel), FloatValue(kStartDistance), FloatValue(kHoldDistance),
          FloatValue(kLagPenalty), i16(kIdleSpan),      i16(kSoundingSpan),
          FloatValue(kBandFactor), FloatValue(kContinuity), i16(kLowestNote),
          i16(kHighestNote)};
}

int SonaraCore::Apply(int32_t id, const void* value, size_t size, int64_t now,
                      std::array<int32_t, kPresetBroadcastCount>& broadcast) {
  const int slot = Slot(id);
  if (slot < 0 || value == nullptr || size < (IsInt(id) ? 2u : 4u)) return 0;
  Value incoming{};
  if (IsInt(id)) {
    // Two or three bytes are the low bytes of the number.
    std::memcpy(&incoming.i, value, std::min<size_t>(size, 4));
    if (size < 4 && (static_cast<const uint8_t*>(value)[size - 1] & 0x80) != 0)
      incoming.i |= static_cast<int32_t>(~0u << (8 * size));  // keep the sign
  } else {
    std::memcpy(&incoming.f, value, 4);
    if (id == kLowestNote || id == kHighestNote) incoming.f = std::trunc(incoming.f);
  }
  Value& stored = mValues[slot];
  if (IsInt(id) ? stored.i == incoming.i : stored.f == incoming.f) return 0;
  stored = incoming;
  mChanged[slot] = now;
  RunEffect(id, now);
  if (id == kPreset) {
    broadcast = kPresetBroadcast;
    return kPresetBroadcastCount;
  }
  broadcast[0] = id;
  return 1;
}

void SonaraCore::RunEffect(int32_t id, int64_t now) {
  const uint32_t time = Now();
  switch (id) {
    case kPreset:
      ChangePreset(mValues[Slot(kPreset)].i);
      for (int32_t changed : kPresetBroadcast) mChanged[Slot(changed)] = now;
      return;
    case kProgram:
      ProgramChange(1, mValues[Slot(kProgram)].i, time);
      return;
    case kTranspose:
      AllNotesOff(true);
      Expression(static_cast<uint8_t>(mChannel), 127, time);
      if (mOwner != nullptr) mOwner->SetTranspose(Transpose());
      return;
    default:
      break;
  }
  if (mEngine != nullptr) WFETSet(mEngine, DrivenSetting(id), FloatValue(id));
  if (id == kBendRange) SendBendRange(1, static_cast<int>(FloatValue(kBendRange)), time);
  if (mOwner != nullptr && id == kLowestNote) mOwner->SetMidiMin(static_cast<int32_t>(FloatValue(id)));
  if (mOwner != nullptr && id == kHighestNote) mOwner->SetMidiMax(static_cast<int32_t>(FloatValue(id)));
}

int32_t SonaraCore::Get(int32_t id, int64_t* lastChange, void* value, size_t* size) const {
  const int slot = Slot(id);
  if (slot < 0) return -1;
  if (value == nullptr || size == nullptr || *size < 2) return B_NO_MEMORY;
  const Value shown = IsInt(id) ? mValues[slot] : Value{.f = FloatValue(id)};
  *size = std::min<size_t>(*size, 4);
  std::memcpy(value, &shown, *size);
  if (lastChange != nullptr) *lastChange = mChanged[slot];
  return 0;
}

void SonaraCore::ChangePreset(int32_t number) {
  if (const InstrumentPreset* preset = FindPreset(number)) {
    const PresetFields& p = preset->fields;
    mVelocityMode = p.velocityMode;
    const int64_t now = 0;  // times of the preset's fields are set by Apply
    auto keep = [&](int32_t id, double v) {
      const int slot = Slot(id);
      const int64_t changed = mChanged[slot];
      Store(id, static_cast<float>(v), now);
      mChanged[slot] = changed;
    };
    keep(kBendRange, p.bendRange);
    keep(kStartDistance, p.distOn);
    keep(kHoldDistance, p.distHold);
    keep(kStartLevel, p.levelOnDb);
    keep(kHoldLevel, p.levelHoldDb);
    keep(kIdleSpan, p.spanIdle);
    keep(kSoundingSpan, p.spanSounding);
    keep(kLagPenalty, p.lagPenalty);
    keep(kBandFactor, p.bandFactor);
    keep(kContinuity, p.continuity);
    keep(kLowestNote, p.minNote);
    keep(kHighestNote, p.maxNote);
  }
  Rebuild();
  const uint32_t time = Now();
  Expression(static_cast<uint8_t>(mChannel), 127, time);
  if (mOwner != nullptr) {
    mOwner->SetMidiMin(static_cast<int32_t>(FloatValue(kLowestNote)));
    mOwner->SetMidiMax(static_cast<int32_t>(FloatValue(kHighestNote)));
  }
  SendBendRange(1, static_cast<int>(FloatValue(kBendRange)), time);
}

void SonaraCore::SetSampleRate(double rate) {
  if (!(rate > 4000 && rate < 200000) || rate == mRate) return;
  mRate = rate;
  // The note range becomes periods at the new rate: the engine starts again.
  Rebuild();
}

void SonaraCore::Rebuild() {
  // A new engine knows nothing of the note the old one was sounding: end it here, or it
  // would hang on the synthesizer.
  if (mEngine != nullptr && mEngine->sounding != 0)
    NoteOff(static_cast<uint8_t>(mChannel),
            static_cast<int>(std::trunc(Transpose() + mEngine->currentNote)) & 0xFF, 0, Now());
  mEngine = RebuildEngine(mEngine, Fields(), mRate, FloatValue(kVelocityTop));
}

void SonaraCore::StartClock(double milliseconds) {
  mClock = milliseconds;
  mStoreBase.store(milliseconds);
}

void SonaraCore::AnalyseBuffer(void* data, size_t size, int32_t channels) {
  if (data == nullptr) return;
  auto* samples = static_cast<int16_t*>(data);
  if (channels == 2) {
    const size_t frames = size / 4;
    for (size_t i = 0; i < frames; ++i) samples[i] = samples[2 * i];
    size = frames * 2;
  }
  std::memcpy(mScope, samples, std::min<size_t>(size, kScopeBytes) & ~size_t{1});
  if (mEngine == nullptr) return;  // no engine, no analysis
  const double millisecondsPerSample = 1000.0 / mRate;
  for (size_t offset = 0; offset + 1 < size; offset += kChunkBytes) {
    const auto bytes = static_cast<int32_t>(std::min<size_t>(kChunkBytes, size - offset));
    WFETProcess(mEngine, samples + offset / 2, bytes);
    WFETCalc(mEngine, &mDecision);
    ++mDecisions;
    SendDecision(mDecision, static_cast<uint32_t>(mClock));
    mClock += (bytes / 2) * millisecondsPerSample;
  }
}

void SonaraCore::SendDecision(const MidiDecision& d, uint32_t time) {
  const auto channel = static_cast<uint8_t>(mChannel);
  const float transpose = Transpose();
  if (std::abs(d.expression - mLastExpression) > kExpressionStep)
    Expression(channel, d.expression, time);
  if (std::abs(d.bend - mLastBend) > kBendStep) Bend(channel, d.bend, time);
  if (d.noteOff >= 0)
    NoteOff(channel, static_cast<int>(std::trunc(transpose + d.noteOff)) & 0xFF, 0, time);
  if (d.noteOn >= 0)
    NoteOn(channel, static_cast<int>(std::trunc(transpose + d.noteOn)) & 0xFF, d.velocity, time);
}

namespace {

BMidiStore* Recording(SonaraOwnerI* owner) {
  return owner != nullptr ? owner->RecordingStore() : nullptr;
}

uint32_t Relative(uint32_t time, const std::atomic<double>& storeBase) {
  const double base = storeBase.load();
  const double t = time - base;
  return t > 0 ? static_cast<uint32_t>(t) : 0;
}

}  // namespace

void SonaraCore::NoteOff(uint8_t channel, int note, int velocity, uint32_t time) {
  if (note < 0 || note > 127) return;
  const auto n = static_cast<uchar>(note), v = static_cast<uchar>(velocity);
  if (mSynth != nullptr) mSynth->NoteOff(channel, n, v, time);
  if (mPort != nullptr) mPort->NoteOff(channel, n, v, time);
  if (BMidiStore* store = Recording(mOwner)) store->NoteOff(channel, n, v, Relative(time, mStoreBase));
  if (mOwner != nullptr) mOwner->ShowNote(0, static_cast<int16_t>(velocity));
}

void SonaraCore::NoteOn(uint8_t channel, int note, int velocity, uint32_t time) {
  if (note < 0 || note > 127) return;
  const auto n = static_cast<uchar>(note), v = static_cast<uchar>(std::clamp(velocity, 0, 127));
  if (mSynth != nullptr) mSynth->NoteOn(channel, n, v, time);
  if (mPort != nullptr) mPort->NoteOn(channel, n, v, time);
  if (BMidiStore* store = Recording(mOwner)) store->NoteOn(channel, n, v, Relative(time, mStoreBase));
  if (mOwner != nullptr) mOwner->ShowNote(static_cast<int16_t>(note), static_cast<int16_t>(v));
}

void SonaraCore::Expression(uint8_t channel, int value, uint32_t time) {
  const auto v = static_cast<uchar>(std::clamp(value, 0, 127));
  if (mSynth != nullptr) mSynth->ControlChange(channel, 11, v, time);
  if (mPort != nullptr) mPort->ControlChange(channel, 11, v, time);
  if (BMidiStore* store = Recording(mOwner)) store->ControlChange(channel, 11, v, Relative(time, mStoreBase));
  if (mOwner != nullptr) mOwner->ShowExpression(v);
  mLastExpression = v;
}

void SonaraCore::Bend(uint8_t channel, int value, uint32_t time) {
  const int v = std::clamp(value, 0, 16383);
  const auto lsb = static_cast<uchar>(v & 0x7F), msb = static_cast<uchar>((v >> 7) & 0x7F);
  if (mSynth != nullptr) mSynth->PitchBend(channel, lsb, msb, time);
  if (mPort != nullptr) mPort->PitchBend(channel, lsb, msb, time);
  if (BMidiStore* store = Recording(mOwner)) store->PitchBend(channel, lsb, msb, Relative(time, mStoreBase));
  if (mOwner != nullptr) mOwner->ShowBend(static_cast<int16_t>(v));
  mLastBend = v;
}

void SonaraCore::ProgramChange(uint8_t channel, int program, uint32_t time) {
  const auto p = static_cast<uchar>(program & 0x7F);
  for (BMidi* out : {mSynth, mPort}) {
    if (out == nullptr) continue;
    out->AllNotesOff(false, Now());
    out->ProgramChange(channel, p, time);
  }
}

void SonaraCore::AllNotesOff(bool justChannel) {
  for (BMidi* out : {mSynth, mPort})
    if (out != nullptr) out->AllNotesOff(justChannel, Now());
}

void SonaraCore::SendBendRange(uint8_t channel, int semitones, uint32_t time) {
  for (BMidi* out : {mSynth, mPort}) {
    if (out == nullptr) continue;
    out->ControlChange(channel, 101, 0, time);
    out->ControlChange(channel, 100, 0, time);
    out->ControlChange(channel, 6, static_cast<uchar>(semitones & 0x7F), time);
    out->ControlChange(channel, 38, 0, time);
  }
  if (mOwner != nullptr) mOwner->SetBendRange(static_cast<float>(semitones));
}
