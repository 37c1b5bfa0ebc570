#include "media/PassThroughNode.h"

#include "media/Buffer.h"
#include "media/ParameterWeb.h"
#include "media/TimeSource.h"

#include <cstdio>
#include <cstring>

PassThroughNode::PassThroughNode(BMediaAddOn* addOn, int32 flavorId)
	: BMediaNode("Pass-through"), BBufferConsumer(B_MEDIA_RAW_AUDIO),
	  BBufferProducer(B_MEDIA_RAW_AUDIO), fAddOn(addOn), fFlavorId(flavorId)
{
}

PassThroughNode::~PassThroughNode()
{
	Quit();
}

media_format PassThroughNode::Wanted()
{
	media_format format = media_format::RawAudioFormat();
	format.u.raw_audio.format = media_raw_audio_format::B_AUDIO_FLOAT;
	format.u.raw_audio.byte_order = B_MEDIA_HOST_ENDIAN;
	return format;
}

BMediaAddOn* PassThroughNode::AddOn(int32* internalId) const
{
	if (internalId != nullptr)
		*internalId = fFlavorId;
	return fAddOn;
}

void PassThroughNode::NodeRegistered()
{
	fInput.node = fOutput.node = Node();
	fInput.destination = media_destination(ControlPort(), 0);
	fOutput.source = media_source(ControlPort(), 0);
	fInput.format = fOutput.format = Wanted();
	std::snprintf(fInput.name, sizeof(fInput.name), "%.50s input", Name());
	std::snprintf(fOutput.name, sizeof(fOutput.name), "%.50s output", Name());
	auto* web = new BParameterWeb;
	web->MakeGroup(Name())->MakeContinuousParameter(kGainParameter, B_MEDIA_RAW_AUDIO, "Gain",
		B_GAIN, "", 0.0f, 4.0f, 0.01f);
	SetParameterWeb(web);
	SetPriority(suggest_thread_priority(B_LIVE_AUDIO_MANIPULATION, 100, 1000, 1000));
	Run();
}

status_t PassThroughNode::HandleMessage(int32 code, const void* data, size_t size)
{
	if (BBufferConsumer::HandleMessage(code, data, size) == B_OK
		|| BBufferProducer::HandleMessage(code, data, size) == B_OK
		|| BControllable::HandleMessage(code, data, size) == B_OK)
		return B_OK;
	return BMediaNode::HandleMessage(code, data, size);
}

status_t PassThroughNode::AcceptFormat(const media_destination& where, media_format* format)
{
	if (!(where == fInput.destination))
		return B_MEDIA_BAD_DESTINATION;
	media_format wanted = fOutput.destination == media_destination::null ? Wanted()
																		  : fOutput.format;
	if (!format_is_compatible(*format, wanted))
		return B_MEDIA_BAD_FORMAT;
	specialize_format(format, wanted);
	return B_OK;
}

status_t PassThroughNode::GetNextInput(int32* cookie, media_input* out)
{
	if (*cookie != 0)
		return B_BAD_INDEX;
	*out = fInput;
	++*cookie;
	return B_OK;
}

status_t PassThroughNode::Connected(const media_source& from, const media_destination& where,
	const media_format& format, media_input* out)
{
	if (!(where == fInput.destination) || !(fInput.source == media_source::null))
		return B_MEDIA_BAD_DESTINATION;
	fInput.source = from;
	fInput.format = format;
	*out = fInput;
	return B_OK;
}

void PassThroughNode::Disconnected(const media_source& from, const media_destination& where)
{
	if (!(where == fInput.destination) || !(from == fInput.source))
		return;
	fInput.source = media_source::null;
	fInput.format = Wanted();
}

void PassThroughNode::BufferReceived(BBuffer* buffer)
{
	if (RunState() != B_STARTED || fOutput.destination == media_destination::null
		|| buffer->Header()->type != B_MEDIA_RAW_AUDIO) {
		buffer->Recycle();
		return;
	}
	float gain = fGain.load();
	if (gain != 1.0f) {
		auto* samples = static_cast<float*>(buffer->Data());
		size_t count = buffer->SizeUsed() / sizeof(float);
		for (size_t i = 0; i < count; i++)
			samples[i] *= gain;
	}
	if (SendBuffer(buffer, fOutput.source, fOutput.destination) != B_OK)
		buffer->Recycle();
}

status_t PassThroughNode::FormatProposal(const media_source& output, media_format* format)
{
	if (!(output == fOutput.source))
		return B_MEDIA_BAD_SOURCE;
	media_format mine = fInput.source == media_source::null ? Wanted() : fInput.format;
	if (!format_is_compatible(*format, mine))
		return B_MEDIA_BAD_FORMAT;
	specialize_format(format, mine);
	return B_OK;
}

status_t PassThroughNode::GetNextOutput(int32* cookie, media_output* out)
{
	if (*cookie != 0)
		return B_BAD_INDEX;
	*out = fOutput;
	++*cookie;
	return B_OK;
}

status_t PassThroughNode::PrepareToConnect(const media_source& what,
	const media_destination& where, media_format* format, media_source* outSource,
	char* outName)
{
	if (!(what == fOutput.source))
		return B_MEDIA_BAD_SOURCE;
	if (!(fOutput.destination == media_destination::null))
		return B_MEDIA_ALREADY_CONNECTED;
	status_t status = FormatProposal(what, format);
	if (status != B_OK)
		return status;
	*outSource = fOutput.source;
	std::snprintf(outName, B_MEDIA_NAME_LENGTH, "%s", fOutput.name);
	return B_OK;
}

void PassThroughNode::Connect(status_t error, const media_source& source,
	const media_destination& destination, const media_format& format, char* ioName)
{
	if (error != B_OK || !(source == fOutput.source))
		return;
	fOutput.destination = destination;
	fOutput.format = format;
	if (ioName != nullptr)
		std::snprintf(ioName, B_MEDIA_NAME_LENGTH, "%s", fOutput.name);
}

void PassThroughNode::Disconnect(const media_source& what, const media_destination& where)
{
	if (!(what == fOutput.source) || !(where == fOutput.destination))
		return;
	fOutput.destination = media_destination::null;
	fOutput.format = Wanted();
}

status_t PassThroughNode::GetParameterValue(int32 id, bigtime_t* when, void* value,
	size_t* size)
{
	if (id != kGainParameter)
		return B_BAD_INDEX;
	if (value == nullptr || size == nullptr || *size < sizeof(float))
		return B_NO_MEMORY;
	float gain = fGain.load();
	std::memcpy(value, &gain, sizeof(gain));
	*size = sizeof(gain);
	if (when != nullptr)
		*when = fLastChange;
	return B_OK;
}

void PassThroughNode::SetParameterValue(int32 id, bigtime_t, const void* value, size_t size)
{
	float gain;
	if (id != kGainParameter || value == nullptr || size < sizeof(gain))
		return;
	std::memcpy(&gain, value, sizeof(gain));
	if (!(gain >= 0.0f && gain <= 4.0f) || gain == fGain.load())
		return;
	fGain.store(gain);
	fLastChange = TimeSource()->Now();
	BroadcastNewParameterValue(fLastChange, id, &gain, sizeof(gain));
}

void PassThroughNode::HandleEvent(const media_timed_event*, bigtime_t, bool) {}
