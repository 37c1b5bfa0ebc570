#include "media/BufferConsumer.h"

#include "kernel/OS.h"
#include "media/Buffer.h"
#include "media/NodeCall.h"
#include "media/TimeSource.h"

BBufferConsumer::BBufferConsumer(media_type consumerType)
	: BMediaNode("consumer"), fConsumerType(consumerType)
{
	AddNodeKind(B_BUFFER_CONSUMER);
}

void BBufferConsumer::DisposeInputCookie(int32) {}

void BBufferConsumer::ProducerDataStatus(const media_destination&, int32, bigtime_t) {}

status_t BBufferConsumer::GetLatencyFor(const media_destination&, bigtime_t* outLatency,
	media_node_id* outTimeSource)
{
	if (outLatency != nullptr)
		*outLatency = 0;
	if (outTimeSource != nullptr)
		*outTimeSource = TimeSource()->ID();
	return B_OK;
}

status_t BBufferConsumer::FormatChanged(const media_source&, const media_destination&, int32,
	const media_format&)
{
	return B_MEDIA_BAD_FORMAT;
}

status_t BBufferConsumer::SeekTagRequested(const media_destination&, bigtime_t, uint32, void*,
	bigtime_t*, uint32*)
{
	return B_ERROR;
}

status_t BBufferConsumer::HandleMessage(int32 code, const void* data, size_t size)
{
	MarkServiceThread();
	switch (code) {
		case kMediaBufferMessage: {
			BBuffer* buffer;
			if (!read_payload(data, size, &buffer))
				return B_BAD_VALUE;
			BufferReceived(buffer);
			return B_OK;
		}
		case kMediaDataStatusMessage: {
			DataStatusMessage message;
			if (!read_payload(data, size, &message))
				return B_BAD_VALUE;
			ProducerDataStatus(message.destination, message.status, message.when);
			return B_OK;
		}
		default:
			return B_ERROR;
	}
}

status_t BBufferConsumer::SendLatencyChange(const media_source& source,
	const media_destination& destination, bigtime_t latency, uint32 flags)
{
	LatencyChangedMessage message{source, destination, latency, flags};
	return write_port_etc(source.port, kMediaLatencyChangedMessage, &message, sizeof(message),
		B_RELATIVE_TIMEOUT, 0);
}

status_t BBufferConsumer::NotifyLateProducer(const media_source& whatSource, bigtime_t howLate,
	bigtime_t performanceTime)
{
	LateNoticeMessage message{whatSource, howLate, performanceTime};
	return write_port_etc(whatSource.port, kMediaLateNoticeMessage, &message, sizeof(message),
		B_RELATIVE_TIMEOUT, 0);
}
