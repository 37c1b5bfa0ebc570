#pragma once
// Building blocks of the platform's audio nodes, also for programs that need a plain
// audio producer or consumer (a test source, a JACK bridge, a recorder).
//
// AudioProducerNode: one raw-audio output of a fixed frame rate and channel count in any
// sample format the consumer asks for (float, int32, int16, uint8, int8; native byte
// order; 512 frames a buffer unless the consumer fixes the size). Two ways to feed it:
//   pull: once started, the node's thread calls Produce() for each buffer when its
//         performance time (less the latency) comes, or back to back in B_OFFLINE mode;
//         Produce returning fewer frames than asked ends the stream (a data status
//         B_DATA_NOT_AVAILABLE follows the last buffer);
//   push: a device thread calls PushFrames() with the frames it captured; they fill
//         buffers that leave as they become full. PushFrames never waits or allocates;
//         when no buffer is free it drops frames and counts them (DroppedFrames()).
// AudioConsumerNode: one raw-audio input that takes the formats above, converts each
// buffer to float frames on arrival and hands them to Consume() on the node's thread.
//
// Lifetime: nodes (see MediaNode.h); subclasses made by an add-on report it in AddOn().
// Threads: hooks and Produce/Consume on the node's thread; PushFrames from one device
// thread at a time. Nothing on the buffer path allocates or waits for a lock held long:
// scratch space is made when a connection is made.
#include "media/BufferConsumer.h"
#include "media/BufferProducer.h"
#include "media/MediaEventLooper.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class BBufferGroup;

// Frames of a buffer when the consumer leaves the size open.
constexpr size_t kDefaultBufferFrames = 512;

class AudioProducerNode : public BBufferProducer, public BMediaEventLooper {
public:
	BMediaAddOn* AddOn(int32* internalId) const override;
	// The output's format while connected (the proposal otherwise).
	media_raw_audio_format OutputFormat() const;
	bool IsConnected() const;
	int64 DroppedFrames() const { return fDropped.load(); }

	// BBufferProducer
	status_t FormatSuggestionRequested(media_type type, int32 quality,
		media_format* format) override;
	status_t FormatProposal(const media_source& output, media_format* format) override;
	status_t GetNextOutput(int32* cookie, media_output* outOutput) override;
	status_t SetBufferGroup(const media_source& forSource, BBufferGroup* group) override;
	status_t PrepareToConnect(const media_source& what, const media_destination& where,
		media_format* format, media_source* outSource, char* outName) override;
	void Connect(status_t error, const media_source& source,
		const media_destination& destination, const media_format& format,
		char* ioName) override;
	void Disconnect(const media_source& what, const media_destination& where) override;
	void EnableOutput(const media_source& what, bool enabled, int32* reserved) override;
	void LatencyChanged(const media_source& source, const media_destination& destination,
		bigtime_t newLatency, uint32 flags) override;
	status_t GetLatency(bigtime_t* outLatency) override;
	status_t HandleMessage(int32 code, const void* data, size_t size) override;

protected:
	// addOn (may be null) and flavorId are what AddOn() reports.
	AudioProducerNode(const char* name, BMediaAddOn* addOn, int32 flavorId);
	~AudioProducerNode() override;

	// Rate and channels the node makes; set before the output connects. With anyRate
	// (anyChannels) the node makes whatever rate (channel count) the consumer asks for,
	// the native one when it leaves it open (a node that converts, like a device input).
	void SetNativeFormat(float frameRate, uint32 channelCount, bool anyRate = false,
		bool anyChannels = false);
	// The output was connected in format (on the node's thread, before any buffer).
	virtual void OutputConnected(const media_raw_audio_format& format) {}
	// Pull mode: fill `frames` interleaved float frames; fewer at the end of the data.
	virtual size_t Produce(float* out, size_t frames);
	// True for nodes fed by PushFrames (no Produce calls).
	virtual bool IsPushSource() const { return false; }
	// Push mode: frames captured at performanceTime (of the first frame).
	status_t PushFrames(const float* frames, size_t count, bigtime_t performanceTime);
	// Seek request: the next frame produced is the one at mediaTime.
	virtual void SeekToMedia(bigtime_t mediaTime);
	// Start and stop, on the node's thread, after the node's own bookkeeping.
	virtual void Started(bigtime_t performanceTime) {}
	virtual void Stopped() {}

	void NodeRegistered() override;
	void HandleEvent(const media_timed_event* event, bigtime_t lateness,
		bool realTimeEvent) override;

private:
	void ProduceBuffer(bigtime_t when);
	void SendFilled(BBuffer* buffer);
	size_t BufferFrames() const;

	BMediaAddOn* fAddOn;
	int32 fFlavorId;
	media_output fOutput;
	float fNativeRate = 44100.0f;
	uint32 fNativeChannels = 2;
	bool fAnyRate = false;
	bool fAnyChannels = false;
	bool fPending = false;            // PrepareToConnect done, Connect not yet
	std::atomic<bool> fConnected{false};
	std::atomic<bool> fEnabled{true};
	std::atomic<bool> fRunning{false};
	bool fEnded = false;
	std::unique_ptr<BBufferGroup> fGroup;
	std::vector<float> fScratch;      // one buffer of float frames
	bigtime_t fDownstreamLatency = 0;
	bigtime_t fStartTime = 0;
	int64 fFramesSent = 0;
	std::atomic<int64> fDropped{0};
	// Push mode: the buffer being filled. fPushLock: try-locked by the device thread,
	// held by connect and disconnect for a few instructions.
	std::mutex fPushLock;
	BBuffer* fFilling = nullptr;
	size_t fFilled = 0;
};

class AudioConsumerNode : public BBufferConsumer, public BMediaEventLooper {
public:
	BMediaAddOn* AddOn(int32* internalId) const override;
	bool IsConnected() const { return fConnected.load(); }
	// The input's format while connected.
	media_raw_audio_format InputFormat() const;

	// BBufferConsumer
	status_t AcceptFormat(const media_destination& destination, media_format* format) override;
	status_t GetNextInput(int32* cookie, media_input* outInput) override;
	void BufferReceived(BBuffer* buffer) override;
	void ProducerDataStatus(const media_destination& forWhom, int32 status,
		bigtime_t atPerformanceTime) override;
	status_t GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
		media_node_id* outTimeSource) override;
	status_t Connected(const media_source& producer, const media_destination& where,
		const media_format& withFormat, media_input* outInput) override;
	void Disconnected(const media_source& producer, const media_destination& where) override;
	status_t HandleMessage(int32 code, const void* data, size_t size) override;

protected:
	AudioConsumerNode(const char* name, BMediaAddOn* addOn, int32 flavorId);

	// What the node takes (wildcards: anything); the default takes every raw format.
	void SetAcceptedFormat(const media_raw_audio_format& format) { fAccepted = format; }
	// Each buffer's frames as float; startTime is the buffer's performance time.
	virtual void Consume(const float* frames, size_t count, bigtime_t startTime) = 0;
	// Connection and the end of the producer's data, on the node's thread.
	virtual void InputConnected(const media_raw_audio_format& format) {}
	virtual void InputDisconnected() {}
	virtual void StreamEnded() {}

	void NodeRegistered() override;
	void HandleEvent(const media_timed_event* event, bigtime_t lateness,
		bool realTimeEvent) override;

private:
	BMediaAddOn* fAddOn;
	int32 fFlavorId;
	media_input fInput;
	media_raw_audio_format fAccepted{};
	std::atomic<bool> fConnected{false};
	std::vector<float> fScratch;
	std::vector<char> fSwapped;   // for buffers in the other byte order
};
