#pragma once
// BBufferProducer: a node with outputs that sends buffers to consumers.
//
// Connection (driven by the roster, see MediaRoster.h Connect): FormatProposal narrows or
// refuses a format for an output; PrepareToConnect reserves the output for a destination
// and fixes the format (no wildcard left); Connect confirms (error B_OK) or cancels (any
// other error) the reservation; Disconnect ends a connection. GetNextOutput lists the
// outputs.
//
// Buffers: the producer requests a buffer from its BBufferGroup, fills it, sets the
// header (type, size_used, start_time) and calls SendBuffer. From then on the consumer
// owns it; when SendBuffer fails the buffer is still the producer's to Recycle().
//
// Threads: hooks run on the node's service thread (MediaNode.h). SendBuffer and
// SendDataStatus may be called from any thread (a device's audio thread included); they
// neither allocate nor wait. FindLatencyFor asks the consumer's thread and waits for it.
// Errors: B_MEDIA_BAD_SOURCE for an output the node does not have,
// B_MEDIA_ALREADY_CONNECTED for one in use, B_MEDIA_BAD_FORMAT for a format it cannot make.
#include "media/MediaNode.h"

class BBuffer;
class BBufferGroup;

class BBufferProducer : public virtual BMediaNode {
public:
	media_type ProducerType() const { return fProducerType; }

	// The format the producer would like for `type` (wildcards where it does not care).
	virtual status_t FormatSuggestionRequested(media_type type, int32 quality,
		media_format* format);
	virtual status_t FormatProposal(const media_source& output, media_format* format) = 0;
	virtual status_t FormatChangeRequested(const media_source& source,
		const media_destination& destination, media_format* ioFormat, int32* reserved);
	// The output numbered by *cookie (start with 0); advance *cookie. B_BAD_INDEX at the end.
	virtual status_t GetNextOutput(int32* cookie, media_output* outOutput) = 0;
	virtual status_t DisposeOutputCookie(int32 cookie);
	// Use `group` for this output's buffers (taking ownership); null: make your own.
	virtual status_t SetBufferGroup(const media_source& forSource, BBufferGroup* group);
	virtual status_t PrepareToConnect(const media_source& what, const media_destination& where,
		media_format* format, media_source* outSource, char* outName) = 0;
	virtual void Connect(status_t error, const media_source& source,
		const media_destination& destination, const media_format& format, char* ioName) = 0;
	virtual void Disconnect(const media_source& what, const media_destination& where) = 0;
	virtual void LateNoticeReceived(const media_source& what, bigtime_t howMuch,
		bigtime_t performanceTime);
	virtual void EnableOutput(const media_source& what, bool enabled, int32* reserved);
	virtual void LatencyChanged(const media_source& source, const media_destination& destination,
		bigtime_t newLatency, uint32 flags);
	// Time from the start of producing a buffer to its arrival downstream; default 0.
	virtual status_t GetLatency(bigtime_t* outLatency);

	// Dispatches latency and late notices; see BMediaNode::HandleMessage.
	status_t HandleMessage(int32 code, const void* data, size_t size) override;

	// Hands buffer to the consumer of destination. B_MEDIA_BAD_DESTINATION when it is
	// gone, B_WOULD_BLOCK when its queue is full.
	status_t SendBuffer(BBuffer* buffer, const media_source& source,
		const media_destination& destination);
	status_t SendBuffer(BBuffer* buffer, const media_destination& destination);
	status_t SendDataStatus(int32 status, const media_destination& destination,
		bigtime_t atTime);
	// The consumer's latency for destination (and its time source).
	status_t FindLatencyFor(const media_destination& destination, bigtime_t* outLatency,
		media_node_id* outTimeSource);

protected:
	explicit BBufferProducer(media_type producerType);

private:
	media_type fProducerType;
};
