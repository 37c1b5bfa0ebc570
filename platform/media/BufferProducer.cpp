#include "media/BufferProducer.h"

#include "kernel/OS.h"
#include "media/Buffer.h"
#include "media/BufferConsumer.h"
#include "media/MediaRoster.h"
#include "media/NodeCall.h"
#include "media/TimeSource.h"

BBufferProducer::BBufferProducer(media_type producerType)
	: BMediaNode("producer"), fProducerType(producerType)
{
	AddNodeKind(B_BUFFER_PRODUCER);
}

status_t BBufferProducer::FormatSuggestionRequested(media_type, int32, media_format*)
{
	return B_MEDIA_BAD_FORMAT;
}

status_t BBufferProducer::FormatChangeRequested(const media_source&, const media_destination&,
	media_format*, int32*)
{
	return B_MEDIA_BAD_FORMAT;
}

status_t BBufferProducer::DisposeOutputCookie(int32)
{
	return B_OK;
}

status_t BBufferProducer::SetBufferGroup(const media_source&, BBufferGroup*)
{
	return B_ERROR;
}

void BBufferProducer::LateNoticeReceived(const media_source&, bigtime_t, bigtime_t) {}

void BBufferProducer::EnableOutput(const media_source&, bool, int32*) {}

void BBufferProducer::LatencyChanged(const media_source&, const media_destination&, bigtime_t,
	uint32)
{
}

status_t BBufferProducer::GetLatency(bigtime_t* outLatency)
{
	if (outLatency == nullptr)
		return B_BAD_VALUE;
	*outLatency = 0;
	return B_OK;
}

status_t BBufferProducer::HandleMessage(int32 code, const void* data, size_t size)
{
	MarkServiceThread();
	switch (code) {
		case kMediaLatencyChangedMessage: {
			LatencyChangedMessage message;
			if (!read_payload(data, size, &message))
				return B_BAD_VALUE;
			LatencyChanged(message.source, message.destination, message.latency,
				message.flags);
			return B_OK;
		}
		case kMediaLateNoticeMessage: {
			LateNoticeMessage message;
			if (!read_payload(data, size, &message))
				return B_BAD_VALUE;
			LateNoticeReceived(message.source, message.howLate, message.when);
			return B_OK;
		}
		default:
			return B_ERROR;
	}
}

status_t BBufferProducer::SendBuffer(BBuffer* buffer, const media_source&,
	const media_destination& destination)
{
	return SendBuffer(buffer, destination);
}

status_t BBufferProducer::SendBuffer(BBuffer* buffer, const media_destination& destination)
{
	if (buffer == nullptr)
		return B_BAD_VALUE;
	if (destination.port < 0)
		return B_MEDIA_BAD_DESTINATION;
	media_header* header = buffer->Header();
	header->destination = destination.id;
	header->time_source = TimeSource()->ID();
	status_t status = write_port_etc(destination.port, kMediaBufferMessage, &buffer,
		sizeof(buffer), B_RELATIVE_TIMEOUT, 0);
	return status == B_BAD_PORT_ID ? B_MEDIA_BAD_DESTINATION : status;
}

status_t BBufferProducer::SendDataStatus(int32 status, const media_destination& destination,
	bigtime_t atTime)
{
	DataStatusMessage message{destination, status, atTime};
	status_t result = write_port_etc(destination.port, kMediaDataStatusMessage, &message,
		sizeof(message), B_RELATIVE_TIMEOUT, 0);
	return result == B_BAD_PORT_ID ? B_MEDIA_BAD_DESTINATION : result;
}

status_t BBufferProducer::FindLatencyFor(const media_destination& destination,
	bigtime_t* outLatency, media_node_id* outTimeSource)
{
	if (outLatency == nullptr)
		return B_BAD_VALUE;
	BMediaNode* node = BMediaRoster::Roster()->AcquireNodeForPort(destination.port);
	auto* consumer = dynamic_cast<BBufferConsumer*>(node);
	if (consumer == nullptr) {
		if (node != nullptr)
			node->Release();
		return B_MEDIA_BAD_DESTINATION;
	}
	media_node_id timeSource = -1;
	status_t status = call_node_sync(consumer, [&](BMediaNode*) {
		return consumer->GetLatencyFor(destination, outLatency, &timeSource);
	});
	if (outTimeSource != nullptr)
		*outTimeSource = timeSource;
	consumer->Release();
	return status;
}
