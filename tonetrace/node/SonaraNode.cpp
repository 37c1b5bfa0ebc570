#include "node/SonaraNode.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "media/AudioConvert.h"
#include "media/Buffer.h"
#include "media/ParameterWeb.h"
#include "media/TimeSource.h"
#include "midi/MidiPort.h"
#include "node/SonaraOwnerI.h"
#include "node/SonaraSynth.h"
#include "node/TonetracePreferences.h"

namespace {

// Room for a connection's buffers when its format leaves the size open.
constexpr size_t kLargestBuffer = 65536;

int16_t ToSample(float v) {
  const float scaled = std::isnan(v) ? 0.0f : v * 32768.0f;
  return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

SonaraNode::SonaraNode(SonaraOwnerI* window, BMediaAddOn* addOn, const char* portName,
                       int8 channel)
    : BMediaNode("TonetraceNode"),
      BBufferConsumer(B_MEDIA_RAW_AUDIO),
      BControllable(),
      BMediaEventLooper(),
      mOwner(window),
      mAddOn(addOn) {
  SetEventLatency(kEventLatency);
  std::string problem;
  const SonaraPreferences preferences =
      window != nullptr ? window->Preferences() : ReadTonetracePreferences(&problem);
  mSynth = std::make_unique<SonaraSynth>(preferences, window, true);
  if (preferences.midiPort == 1) {
    const std::string name =
        portName != nullptr && *portName != '\0' ? portName : preferences.midiPortName;
    auto port = std::make_unique<BMidiPort>();
    if (name.empty())
      mPortProblem = "no MIDI port named (the preference \"MidiPortName\" is empty)";
    else if (port->Open(name.c_str()) != B_OK)
      mPortProblem = port->LastError();
    else
      mPort = std::move(port);
  }
  // The first preset reaches the synthesizer and the port, not yet the window.
  mCore = std::make_unique<SonaraCore>(channel, mSynth->Midi(), mPort.get());
  mCore->SetOwner(window);
  mInput.format = PreferredFormat();
}

SonaraNode::~SonaraNode() {
  Quit();
  if (mOwner != nullptr) mOwner->SetScopeBuffer(nullptr);
  SetParameterWeb(nullptr);
}

media_format SonaraNode::PreferredFormat() {
  media_format format = media_format::RawAudioFormat();
  format.u.raw_audio.channel_count = 1;
  format.u.raw_audio.buffer_size = 1024;
  return format;
}

void SonaraNode::AllNotesOff(bool justChannel) { mCore->AllNotesOff(justChannel); }

void SonaraNode::SetMidiStoreBaseTime(double milliseconds) {
  mCore->SetStoreBaseTime(milliseconds);
}

std::string SonaraNode::OutputProblems() const {
  std::string problems = mSynth->Problem();
  if (!mPortProblem.empty()) problems += (problems.empty() ? "" : "; ") + mPortProblem;
  return problems;
}

bool SonaraNode::HasSynth() const { return mSynth->Midi() != nullptr; }
bool SonaraNode::HasPort() const { return mPort != nullptr; }

BMediaAddOn* SonaraNode::AddOn(int32* internalId) const {
  if (internalId != nullptr) *internalId = 0;
  return mAddOn;
}

void SonaraNode::NodeRegistered() {
  mInput.node = Node();
  mInput.source = media_source::null;
  mInput.destination = media_destination(ControlPort(), 0);
  mInput.format = PreferredFormat();
  std::strncpy(mInput.name, "Tonetrace", sizeof mInput.name - 1);
  SetParameterWeb(new BParameterWeb);
  SetPriority(kPriority);
  Run();
}

status_t SonaraNode::HandleMessage(int32 code, const void* data, size_t size) {
  if (BBufferConsumer::HandleMessage(code, data, size) == B_OK ||
      BControllable::HandleMessage(code, data, size) == B_OK)
    return B_OK;
  return BMediaNode::HandleMessage(code, data, size);
}

status_t SonaraNode::AcceptFormat(const media_destination& destination, media_format* format) {
  if (!(destination == mInput.destination)) return B_MEDIA_BAD_DESTINATION;
  if (format == nullptr) return B_BAD_VALUE;
  if (format->type == B_MEDIA_UNKNOWN_TYPE) *format = media_format::RawAudioFormat();
  if (format->type != B_MEDIA_RAW_AUDIO) return B_MEDIA_BAD_FORMAT;
  // Anything raw; where it is open, the samples the analysis takes as they are.
  media_raw_audio_format& raw = format->u.raw_audio;
  if (raw.format == 0) raw.format = media_raw_audio_format::B_AUDIO_SHORT;
  if (raw.byte_order == 0) raw.byte_order = B_MEDIA_HOST_ENDIAN;
  return B_OK;
}

status_t SonaraNode::GetNextInput(int32* cookie, media_input* outInput) {
  if (cookie == nullptr || outInput == nullptr) return B_BAD_VALUE;
  if (*cookie != 0) return B_BAD_INDEX;
  *outInput = mInput;
  ++*cookie;
  return B_OK;
}

void SonaraNode::DisposeInputCookie(int32) {}

status_t SonaraNode::Connected(const media_source& producer, const media_destination& where,
                               const media_format& withFormat, media_input* outInput) {
  if (!(where == mInput.destination) || mConnected) return B_MEDIA_BAD_DESTINATION;
  const media_raw_audio_format& raw = withFormat.u.raw_audio;
  const size_t sampleSize = media_sample_size(raw.format);
  if (withFormat.type != B_MEDIA_RAW_AUDIO || sampleSize == 0 || raw.channel_count == 0)
    return B_MEDIA_BAD_FORMAT;
  const size_t bytes = raw.buffer_size > 0 ? raw.buffer_size : kLargestBuffer;
  try {
    mFloats.assign(bytes / sampleSize, 0.0f);
    mSamples.assign(bytes / sampleSize, 0);
    const bool swapped = raw.byte_order != 0 && raw.byte_order != B_MEDIA_HOST_ENDIAN;
    mSwapped.assign(swapped ? bytes : 0, 0);
  } catch (const std::bad_alloc&) {
    return B_NO_MEMORY;
  }
  SetEventLatency(kEventLatency);
  mInput.source = producer;
  mInput.format = withFormat;
  mConnected = true;
  const double rate = raw.frame_rate > 0 ? raw.frame_rate : kAnalysisRate;
  mCore->SetSampleRate(rate);
  SetBufferDuration(static_cast<bigtime_t>(
      static_cast<double>(bytes / (sampleSize * raw.channel_count)) * 1e6 / rate));
  if (mOwner != nullptr) mOwner->SetScopeBuffer(mCore->Scope());
  if (outInput != nullptr) *outInput = mInput;
  return B_OK;
}

void SonaraNode::Disconnected(const media_source& producer, const media_destination& where) {
  if (!(where == mInput.destination) || !(producer == mInput.source)) return;
  if (mOwner != nullptr) mOwner->SetScopeBuffer(nullptr);
  mConnected = false;
  mInput.source = media_source::null;
  mInput.format = PreferredFormat();
}

void SonaraNode::BufferReceived(BBuffer* buffer) {
  if (buffer == nullptr) return;
  const media_header* header = buffer->Header();
  if (header->type == B_MEDIA_RAW_AUDIO) {
    Analyse(buffer);
    buffer->Recycle();
  } else if (header->type == B_MEDIA_PARAMETERS) {
    ApplyParameterData(buffer->Data(),
                       std::min<size_t>(header->size_used, buffer->SizeAvailable()));
    buffer->Recycle();
  } else {
    media_timed_event event(header->start_time, B_HANDLE_BUFFER, buffer, B_RECYCLE_BUFFER);
    if (EventQueue()->AddEvent(event) != B_OK) buffer->Recycle();
  }
}

void SonaraNode::Analyse(BBuffer* buffer) {
  const media_header* header = buffer->Header();
  if (!mConnected || header->destination != mInput.destination.id) return;
  const media_raw_audio_format& raw = mInput.format.u.raw_audio;
  const size_t sampleSize = media_sample_size(raw.format);
  const size_t channels = raw.channel_count;
  const size_t used = std::min<size_t>(header->size_used, buffer->SizeAvailable());
  const bool native = mSwapped.empty();
  if (raw.format == media_raw_audio_format::B_AUDIO_SHORT && native && channels <= 2) {
    mCore->AnalyseBuffer(buffer->Data(), used - used % (2 * channels),
                         static_cast<int32_t>(channels));
    return;
  }
  size_t samples = std::min(used / sampleSize, mFloats.size());
  samples -= samples % channels;
  const void* data = buffer->Data();
  if (!native) {
    std::memcpy(mSwapped.data(), data, samples * sampleSize);
    swap_sample_bytes(mSwapped.data(), samples, raw.format);
    data = mSwapped.data();
  }
  if (!convert_to_float(data, mFloats.data(), samples, raw.format)) return;
  const size_t frames = samples / channels;
  for (size_t i = 0; i < frames; ++i) mSamples[i] = ToSample(mFloats[i * channels]);
  mCore->AnalyseBuffer(mSamples.data(), frames * 2, 1);
}

void SonaraNode::ProducerDataStatus(const media_destination& forWhom, int32 status,
                                    bigtime_t atPerformanceTime) {
  if (!(forWhom == mInput.destination)) return;
  media_timed_event event(atPerformanceTime, B_DATA_STATUS);
  event.data = status;
  EventQueue()->AddEvent(event);
}

status_t SonaraNode::GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
                                   media_node_id* outTimeSource) {
  if (!(forWhom == mInput.destination)) return B_MEDIA_BAD_DESTINATION;
  if (outLatency != nullptr) *outLatency = EventLatency();
  if (outTimeSource != nullptr) *outTimeSource = TimeSource()->ID();
  return B_OK;
}

status_t SonaraNode::FormatChanged(const media_source&, const media_destination&, int32,
                                   const media_format&) {
  return B_OK;
}

status_t SonaraNode::SeekTagRequested(const media_destination&, bigtime_t, uint32, void*,
                                      bigtime_t*, uint32*) {
  return B_OK;
}

status_t SonaraNode::GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
                                       size_t* ioSize) {
  int64_t changed = 0;
  const int32_t result = mCore->Get(id, &changed, value, ioSize);
  if (result != 0) return result;
  if (lastChange != nullptr) *lastChange = changed;
  return B_OK;
}

void SonaraNode::SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size) {
  if (value == nullptr) return;
  media_timed_event event(when, B_PARAMETER);
  event.data = id;
  event.bigdata = static_cast<int64>(std::min(size, sizeof event.user_defined));
  std::memcpy(event.user_defined, value, static_cast<size_t>(event.bigdata));
  EventQueue()->AddEvent(event);
}

void SonaraNode::HandleEvent(const media_timed_event* event, bigtime_t, bool) {
  switch (event->type) {
    case B_START:
      mCore->StartClock(static_cast<double>(system_time()) / 1000.0);
      if (mOwner != nullptr) mOwner->Started();
      break;
    case B_STOP:
      mCore->AllNotesOff(true);
      EventQueue()->FlushEvents(0, BTimedEventQueue::B_ALWAYS, true, B_HANDLE_BUFFER);
      break;
    case B_PARAMETER: {
      std::array<int32_t, SonaraCore::kPresetBroadcastCount> ids{};
      const bigtime_t now = TimeSource()->Now();
      const int count = mCore->Apply(event->data, event->user_defined,
                                     static_cast<size_t>(event->bigdata), now, ids);
      for (int i = 0; i < count; ++i) {
        uint8_t value[4];
        size_t size = sizeof value;
        if (mCore->Get(ids[static_cast<size_t>(i)], nullptr, value, &size) == 0)
          BroadcastNewParameterValue(now, ids[static_cast<size_t>(i)], value, size);
      }
      break;
    }
    case B_DATA_STATUS:
      if (event->data == B_DATA_NOT_AVAILABLE && mOwner != nullptr) mOwner->StreamEnded();
      break;
    case B_HANDLE_BUFFER:  // a buffer of another type: kept until now, never analysed
      static_cast<BBuffer*>(event->pointer)->Recycle();
      break;
    default:
      break;
  }
}
