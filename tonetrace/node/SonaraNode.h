// SonaraNode: the pitch-tracking media node. It consumes one raw-audio stream, tracks the
// pitch and level of a single voice and plays the result as MIDI on the General MIDI
// synthesizer, on a system MIDI port when the preferences ask for one ("MidiPort" 1,
// "MidiPortName"), and into the owner's MIDI store while it records (SonaraCore.h).
//
// Roles: a buffer consumer of raw audio with one input, and a controllable whose
// parameters are driven by id (SonaraCore.h lists them); its parameter web is empty.
// Samples: the left channel is analysed; 16-bit native samples are analysed as they come,
// other sample formats and byte orders are converted to 16 bits first; the analysis runs
// at the connection's frame rate.
//
// Events: buffers are analysed when they arrive, on the node's event-loop thread
// (priority 120); parameter changes wait for their performance time; start sets the
// analysis clock and the store's base time to the system time; stop sends all notes off
// (this channel's) and drops queued buffers.
//
// Errors: a foreign destination or an occupied input give B_MEDIA_BAD_DESTINATION;
// formats that are not raw audio B_MEDIA_BAD_FORMAT.
//
// Lifetime: a media node (MediaNode.h): Release() it, never delete. The owner (may be
// null) outlives the node; the add-on (may be null) made it.
// Threads: hooks on the node's thread; AllNotesOff and SetMidiStoreBaseTime from the
// owner's thread too. Nothing on the buffer path allocates.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/BufferConsumer.h"
#include "media/Controllable.h"
#include "media/MediaEventLooper.h"
#include "node/SonaraCore.h"

class BMidiPort;
class SonaraOwnerI;
class SonaraSynth;

class SonaraNode : public BBufferConsumer, public BControllable, public BMediaEventLooper {
 public:
  // portName: a system MIDI port to send to when "MidiPort" is 1 ("" for the preference
  // "MidiPortName"); channel 1..16.
  SonaraNode(SonaraOwnerI* window, BMediaAddOn* addOn, const char* portName, int8 channel);

  // The owner's direct calls.
  void AllNotesOff(bool justChannel);
  void SetMidiStoreBaseTime(double milliseconds);
  // Why the synthesizer or the MIDI port do not play, "" when they do (or are not wanted).
  std::string OutputProblems() const;
  bool HasSynth() const;
  bool HasPort() const;

  // BMediaNode
  BMediaAddOn* AddOn(int32* internalId) const override;
  status_t HandleMessage(int32 code, const void* data, size_t size) override;

  // BBufferConsumer
  status_t AcceptFormat(const media_destination& destination, media_format* format) override;
  status_t GetNextInput(int32* cookie, media_input* outInput) override;
  void DisposeInputCookie(int32 cookie) override;
  void BufferReceived(BBuffer* buffer) override;
  void ProducerDataStatus(const media_destination& forWhom, int32 status,
                          bigtime_t atPerformanceTime) override;
  status_t GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
                         media_node_id* outTimeSource) override;
  status_t Connected(const media_source& producer, const media_destination& where,
                     const media_format& withFormat, media_input* outInput) override;
  void Disconnected(const media_source& producer, const media_destination& where) override;
  status_t FormatChanged(const media_source& producer, const media_destination& consumer,
                         int32 changeTag, const media_format& format) override;
  status_t SeekTagRequested(const media_destination& destination, bigtime_t targetTime,
                            uint32 flags, void* outSeekTag, bigtime_t* outTaggedTime,
                            uint32* outFlags) override;

  // BControllable
  status_t GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
                             size_t* ioSize) override;
  void SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size) override;

  // The format the node asks for: raw audio, 1 channel, 1024-byte buffers, else anything.
  static media_format PreferredFormat();

  static constexpr int32 kPriority = 120;
  static constexpr bigtime_t kEventLatency = 1000;

 protected:
  ~SonaraNode() override;
  void NodeRegistered() override;
  void HandleEvent(const media_timed_event* event, bigtime_t lateness,
                   bool realTimeEvent) override;

 private:
  void Analyse(BBuffer* buffer);

  SonaraOwnerI* mOwner;
  BMediaAddOn* mAddOn;
  std::unique_ptr<SonaraSynth> mSynth;
  std::unique_ptr<BMidiPort> mPort;
  std::string mPortProblem;
  std::unique_ptr<SonaraCore> mCore;
  media_input mInput;
  bool mConnected = false;
  std::vector<int16_t> mSamples;  // converted samples, sized at connection
  std::vector<float> mFloats;     // the same as float on the way, sized at connection
  std::vector<uint8_t> mSwapped;  // byte-swapped data, sized at connection
};
