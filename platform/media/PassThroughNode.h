#pragma once
// PassThroughNode: a consumer and producer of float audio that multiplies what it receives
// by its one parameter, "Gain" (id 1, 0..4, initially 1), and sends the same buffer on to
// its output at once. A node for tests, benchmarks and as the example of an effect: the
// media host runs it between two JACK programs.
//
// Formats: float, native byte order, any rate, channel count and buffer size; the input's
// format is the output's.
// Threads: a node (MediaNode.h); the gain may change from any thread.
#include "media/BufferConsumer.h"
#include "media/BufferProducer.h"
#include "media/Controllable.h"
#include "media/MediaEventLooper.h"

#include <atomic>

class PassThroughNode : public BBufferConsumer, public BBufferProducer, public BControllable,
						public BMediaEventLooper {
public:
	enum { kGainParameter = 1 };

	// addOn and flavorId: what AddOn() reports (may be null).
	explicit PassThroughNode(BMediaAddOn* addOn = nullptr, int32 flavorId = 0);
	~PassThroughNode() override;

	// The format it takes and makes: float, everything else open.
	static media_format Wanted();

	BMediaAddOn* AddOn(int32* internalId) const override;
	status_t HandleMessage(int32 code, const void* data, size_t size) override;

	// BBufferConsumer
	status_t AcceptFormat(const media_destination& where, media_format* format) override;
	status_t GetNextInput(int32* cookie, media_input* out) override;
	status_t Connected(const media_source& from, const media_destination& where,
		const media_format& format, media_input* out) override;
	void Disconnected(const media_source& from, const media_destination& where) override;
	void BufferReceived(BBuffer* buffer) override;

	// BBufferProducer
	status_t FormatProposal(const media_source& output, media_format* format) override;
	status_t GetNextOutput(int32* cookie, media_output* out) override;
	status_t PrepareToConnect(const media_source& what, const media_destination& where,
		media_format* format, media_source* outSource, char* outName) override;
	void Connect(status_t error, const media_source& source,
		const media_destination& destination, const media_format& format,
		char* ioName) override;
	void Disconnect(const media_source& what, const media_destination& where) override;

	// BControllable
	status_t GetParameterValue(int32 id, bigtime_t* when, void* value, size_t* size) override;
	void SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size) override;

protected:
	void NodeRegistered() override;
	void HandleEvent(const media_timed_event* event, bigtime_t lateness,
		bool realTimeEvent) override;

private:
	BMediaAddOn* fAddOn;
	int32 fFlavorId;
	media_input fInput;
	media_output fOutput;
	std::atomic<float> fGain{1.0f};
	bigtime_t fLastChange = 0;
};
