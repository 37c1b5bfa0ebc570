#pragma once
// BBufferConsumer: a node with inputs that receives buffers from producers.
//
// Connection (the roster drives it, see MediaRoster.h Connect): GetNextInput lists the
// inputs; AcceptFormat narrows a proposed format for one input (filling wildcards the
// input cares about) or refuses it; Connected binds an input to a producer's source and
// gives back the finished media_input; Disconnected unbinds it.
//
// Buffers: BufferReceived gets each buffer a producer sent to one of the inputs
// (Header()->destination names it). The consumer owns the buffer from then on and must
// Recycle() it when done, on this call or later; it must not allocate, do I/O or wait for
// long here. A B_MEDIA_PARAMETERS buffer carries parameter changes (ApplyParameterData in
// Controllable.h).
//
// Threads: every hook runs on the node's service thread (MediaNode.h). The helpers
// (SendLatencyChange, NotifyLateProducer) may be called from any thread and do not wait.
// Errors: B_MEDIA_BAD_DESTINATION for an input the node does not have or that is in use,
// B_MEDIA_BAD_FORMAT for a format it cannot take.
#include "media/MediaNode.h"

class BBuffer;

class BBufferConsumer : public virtual BMediaNode {
public:
	media_type ConsumerType() const { return fConsumerType; }

	virtual status_t AcceptFormat(const media_destination& destination, media_format* format) = 0;
	// The input numbered by *cookie (start with 0); advance *cookie. B_BAD_INDEX at the end.
	virtual status_t GetNextInput(int32* cookie, media_input* outInput) = 0;
	virtual void DisposeInputCookie(int32 cookie);
	virtual void BufferReceived(BBuffer* buffer) = 0;
	virtual void ProducerDataStatus(const media_destination& forWhom, int32 status,
		bigtime_t atPerformanceTime);
	// How long a buffer takes from arrival to being done; default 0 and the node's clock.
	virtual status_t GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
		media_node_id* outTimeSource);
	virtual status_t Connected(const media_source& producer, const media_destination& where,
		const media_format& withFormat, media_input* outInput) = 0;
	virtual void Disconnected(const media_source& producer, const media_destination& where) = 0;
	virtual status_t FormatChanged(const media_source& producer,
		const media_destination& consumer, int32 changeTag, const media_format& format);
	virtual status_t SeekTagRequested(const media_destination& destination,
		bigtime_t targetTime, uint32 flags, void* outSeekTag, bigtime_t* outTaggedTime,
		uint32* outFlags);

	// Dispatches buffers and data-status messages; see BMediaNode::HandleMessage.
	status_t HandleMessage(int32 code, const void* data, size_t size) override;

	// Tells the producer of `source` that this input's latency is now `latency` µs.
	status_t SendLatencyChange(const media_source& source, const media_destination& destination,
		bigtime_t latency, uint32 flags = 0);
	// Tells the producer its buffers arrive `howLate` µs late.
	status_t NotifyLateProducer(const media_source& whatSource, bigtime_t howLate,
		bigtime_t performanceTime);

protected:
	explicit BBufferConsumer(media_type consumerType);

private:
	media_type fConsumerType;
};
