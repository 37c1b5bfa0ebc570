#pragma once
// VSTEffectNode: a media node that runs one VST plug-in instance on raw audio. It takes
// buffers on its input (stereo, plus a mono alternate when the plug-in can do mono; mono
// for a one-channel plug-in), converts them to the plug-in's float blocks, runs the
// plug-in and sends the result on its output, converted to the format the consumer took.
// Its parameter web holds the plug-in's parameters, then Bypass and Mute.
//
// Format: the first connection, on either side, fixes the node's frame rate and block
// size; later connections must agree. The last disconnection frees it again.
// Latency: measured (one timed process call plus the conversions) whenever the format is
// set while the node is stopped; the event latency keeps a 10 % margin over it.
// Control port: besides the media layer's messages, the plug-in's notifications from the
// host callback (VSTMessages.h) arrive there.
//
// Lifetime: a node (never `delete`: Release it); it owns its plug-in instance.
// Threads: everything that touches the plug-in runs on the node's event-looper thread.
// Real time: the buffer path allocates nothing and holds no lock.

#include <atomic>
#include <memory>
#include <vector>

#include "media/BufferConsumer.h"
#include "media/BufferProducer.h"
#include "media/Controllable.h"
#include "media/MediaEventLooper.h"

class BBufferGroup;
class BParameterGroup;
class VSTPlugIn;

// One input of the node and its conversion blocks.
struct VSTInput {
	media_input input;
	uint32 channels = 0;
	VSTInput* alternate = nullptr;  // the other input of a stereo/mono pair
	bigtime_t conversionLatency = 0;
	uint32 blockFrames = 0;
	std::vector<std::vector<float>> blocks;  // one per channel
	bool hasData = false;   // a buffer arrived since the last release
	bool converted = false; // it was converted into the blocks
	BBuffer* buffer = nullptr;  // held while its data are used in place
};

// One output of the node, its conversion blocks and its buffers.
struct VSTOutput {
	media_output output;
	uint32 channels = 0;
	media_destination pending = media_destination::null;
	bool enabled = true;
	bigtime_t downstreamLatency = 0;
	bigtime_t conversionLatency = 0;
	uint32 blockFrames = 0;
	std::vector<std::vector<float>> blocks;
	std::unique_ptr<BBufferGroup> group;
	BBuffer* buffer = nullptr;  // being filled

	VSTOutput();
	~VSTOutput();
	bool IsConnected() const { return !(output.destination == media_destination::null); }
};

class VSTEffectNode : public BBufferConsumer,
					  public BBufferProducer,
					  public BControllable,
					  public BMediaEventLooper {
public:
	// Frames per block when nothing fixes them.
	static constexpr uint32 VST_PREFERRED_BUFFER_SIZE = 512;
	static constexpr int32 VST_IDLE_EVENT = BTimedEventQueue::B_USER_EVENT;
	static constexpr bigtime_t kIdleInterval = 100000;

	// Takes ownership of the plug-in instance (not yet opened). addOn may be null.
	VSTEffectNode(BMediaAddOn* addOn, const char* name, std::unique_ptr<VSTPlugIn> plugIn);

	BMediaAddOn* AddOn(int32* internalId) const override;
	VSTPlugIn* PlugIn() const { return fPlugIn.get(); }
	float FrameRate() const { return fFrameRate; }
	uint32 BlockFrames() const { return fBlockFrames; }
	bigtime_t ProcessingLatency() const { return fProcessingLatency; }
	// Frames the plug-in has processed since the node was made (any thread).
	int64 FramesProcessed() const { return fFramesProcessed.load(); }
	// Buffers sent downstream since the node was made (any thread).
	int64 BuffersSent() const { return fBuffersSent.load(); }

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
	status_t FormatChanged(const media_source& producer, const media_destination& consumer,
		int32 changeTag, const media_format& format) override;

	// BBufferProducer
	status_t FormatSuggestionRequested(media_type type, int32 quality,
		media_format* format) override;
	status_t FormatProposal(const media_source& output, media_format* format) override;
	status_t FormatChangeRequested(const media_source& source,
		const media_destination& destination, media_format* ioFormat,
		int32* reserved) override;
	status_t GetNextOutput(int32* cookie, media_output* outOutput) override;
	status_t SetBufferGroup(const media_source& forSource, BBufferGroup* group) override;
	status_t PrepareToConnect(const media_source& what, const media_destination& where,
		media_format* format, media_source* outSource, char* outName) override;
	void Connect(status_t error, const media_source& source,
		const media_destination& destination, const media_format& format,
		char* ioName) override;
	void Disconnect(const media_source& what, const media_destination& where) override;
	void LateNoticeReceived(const media_source& what, bigtime_t howMuch,
		bigtime_t performanceTime) override;
	void EnableOutput(const media_source& what, bool enabled, int32* reserved) override;
	void LatencyChanged(const media_source& source, const media_destination& destination,
		bigtime_t newLatency, uint32 flags) override;
	status_t GetLatency(bigtime_t* outLatency) override;

	// BControllable
	status_t GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
		size_t* ioSize) override;
	void SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size) override;
	status_t StartControlPanel(BMessenger* outMessenger) override;

	status_t HandleMessage(int32 code, const void* data, size_t size) override;

protected:
	~VSTEffectNode() override;

	void NodeRegistered() override;
	void HandleEvent(const media_timed_event* event, bigtime_t lateness,
		bool realTimeEvent) override;

private:
	VSTInput* FindInput(const media_destination& destination);
	VSTOutput* FindOutput(const media_source& source);
	bool AnyConnection() const;
	// Whether a format of a point fits the node (and fills its wildcards).
	status_t Negotiate(uint32 channels, media_format* format);
	void SetFormat(const media_raw_audio_format& format);
	void ResetFormat();
	void UpdateLatency(bool processing, bool downstream);
	status_t MakeBufferGroup(VSTOutput* output);
	void QueueIdle();
	void ProcessBuffer(BBuffer* buffer);
	void ReleaseInput(VSTInput* input);

	BMediaAddOn* fAddOn;
	int32 fInternalId = 0;
	std::unique_ptr<VSTPlugIn> fPlugIn;
	std::vector<std::unique_ptr<VSTInput>> fInputs;
	std::vector<std::unique_ptr<VSTOutput>> fOutputs;
	VSTInput* fProcessedInput = nullptr;
	float fFrameRate = 0;       // 0: not fixed
	uint32 fBlockFrames = 0;    // 0: not fixed
	bigtime_t fProcessingLatency = 0;
	bigtime_t fDownstreamLatency = 0;
	// Blocks for plug-in channels no connection point carries (silence in, scratch out).
	std::vector<float> fSilence;
	std::vector<float> fScratch;
	bool fIdleQueued = false;
	bigtime_t fOfflineIdleFrames = 0;
	std::atomic<int64> fFramesProcessed{0};
	std::atomic<int64> fBuffersSent{0};
};
