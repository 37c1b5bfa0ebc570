#include "media/AudioNodes.h"

#include "media/AudioConvert.h"
#include "media/Buffer.h"
#include "media/TimeSource.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int32 kProduceEvent = BTimedEventQueue::B_USER_EVENT + 1;
constexpr int32 kBuffersPerGroup = 4;

bool IsSupportedSampleFormat(uint32 format)
{
	switch (format) {
		case media_raw_audio_format::B_AUDIO_FLOAT:
		case media_raw_audio_format::B_AUDIO_INT:
		case media_raw_audio_format::B_AUDIO_SHORT:
		case media_raw_audio_format::B_AUDIO_UCHAR:
		case media_raw_audio_format::B_AUDIO_CHAR:
			return true;
		default:
			return false;
	}
}

bigtime_t FramesToTime(int64 frames, float rate)
{
	return rate > 0 ? bigtime_t(double(frames) * 1000000.0 / rate) : 0;
}

// What a free output lists: the node's rate and channels; sample format and buffer size
// are left to the connection.
media_format ListedFormat(const media_raw_audio_format& native)
{
	media_format format = media_format::RawAudioFormat(native);
	format.u.raw_audio.format = 0;
	format.u.raw_audio.buffer_size = 0;
	return format;
}

}  // namespace

// AudioProducerNode

AudioProducerNode::AudioProducerNode(const char* name, BMediaAddOn* addOn, int32 flavorId)
	: BMediaNode(name), BBufferProducer(B_MEDIA_RAW_AUDIO), BMediaEventLooper(),
	  fAddOn(addOn), fFlavorId(flavorId)
{
}

AudioProducerNode::~AudioProducerNode()
{
	Quit();
	std::lock_guard<std::mutex> guard(fPushLock);
	if (fFilling != nullptr)
		fFilling->Recycle();
	fFilling = nullptr;
}

BMediaAddOn* AudioProducerNode::AddOn(int32* internalId) const
{
	if (internalId != nullptr)
		*internalId = fFlavorId;
	return fAddOn;
}

void AudioProducerNode::SetNativeFormat(float frameRate, uint32 channelCount, bool anyRate,
	bool anyChannels)
{
	fNativeRate = frameRate;
	fNativeChannels = channelCount;
	fAnyRate = anyRate;
	fAnyChannels = anyChannels;
}

media_raw_audio_format AudioProducerNode::OutputFormat() const
{
	if (fConnected.load())
		return fOutput.format.u.raw_audio;
	media_raw_audio_format raw{};
	raw.frame_rate = fNativeRate;
	raw.channel_count = fNativeChannels;
	raw.format = media_raw_audio_format::B_AUDIO_FLOAT;
	raw.byte_order = B_MEDIA_HOST_ENDIAN;
	raw.buffer_size = kDefaultBufferFrames * sizeof(float) * fNativeChannels;
	return raw;
}

bool AudioProducerNode::IsConnected() const
{
	return fConnected.load();
}

void AudioProducerNode::NodeRegistered()
{
	fOutput.node = Node();
	fOutput.source = media_source(ControlPort(), 0);
	fOutput.destination = media_destination::null;
	fOutput.format = ListedFormat(OutputFormat());
	std::snprintf(fOutput.name, sizeof(fOutput.name), "%.50s output", Name());
	SetPriority(suggest_thread_priority(B_AUDIO_RECORDING, 100, 1000, 1000));
	Run();
}

status_t AudioProducerNode::FormatSuggestionRequested(media_type type, int32,
	media_format* format)
{
	if (format == nullptr)
		return B_BAD_VALUE;
	if (type != B_MEDIA_RAW_AUDIO && type != B_MEDIA_UNKNOWN_TYPE)
		return B_MEDIA_BAD_FORMAT;
	*format = media_format::RawAudioFormat(OutputFormat());
	return B_OK;
}

status_t AudioProducerNode::FormatProposal(const media_source& output, media_format* format)
{
	if (!(output == fOutput.source))
		return B_MEDIA_BAD_SOURCE;
	if (format->type == B_MEDIA_UNKNOWN_TYPE)
		*format = media_format::RawAudioFormat();
	if (format->type != B_MEDIA_RAW_AUDIO)
		return B_MEDIA_BAD_FORMAT;
	media_format mine = media_format::RawAudioFormat();
	mine.u.raw_audio.frame_rate = fNativeRate;
	mine.u.raw_audio.channel_count = fNativeChannels;
	mine.u.raw_audio.byte_order = B_MEDIA_HOST_ENDIAN;
	media_raw_audio_format& raw = format->u.raw_audio;
	if (fAnyRate && raw.frame_rate != 0) {
		if (!(raw.frame_rate >= 1000 && raw.frame_rate <= 384000))
			return B_MEDIA_BAD_FORMAT;
		mine.u.raw_audio.frame_rate = raw.frame_rate;
	}
	if (fAnyChannels && raw.channel_count != 0) {
		if (raw.channel_count > 64)
			return B_MEDIA_BAD_FORMAT;
		mine.u.raw_audio.channel_count = raw.channel_count;
	}
	if (!format_is_compatible(*format, mine)
		|| (raw.format != 0 && !IsSupportedSampleFormat(raw.format)))
		return B_MEDIA_BAD_FORMAT;
	// What the node can make in any way stays open for the consumer to choose.
	if (fAnyRate && raw.frame_rate == 0)
		mine.u.raw_audio.frame_rate = 0;
	if (fAnyChannels && raw.channel_count == 0)
		mine.u.raw_audio.channel_count = 0;
	specialize_format(format, mine);
	return B_OK;
}

status_t AudioProducerNode::GetNextOutput(int32* cookie, media_output* outOutput)
{
	if (cookie == nullptr || outOutput == nullptr)
		return B_BAD_VALUE;
	if (*cookie != 0)
		return B_BAD_INDEX;
	*outOutput = fOutput;
	// A free output lists the node's format of now: a file reader's is the file's, set
	// after the node was registered.
	if (!fConnected.load())
		outOutput->format = ListedFormat(OutputFormat());
	(*cookie)++;
	return B_OK;
}

status_t AudioProducerNode::SetBufferGroup(const media_source& forSource, BBufferGroup* group)
{
	if (!(forSource == fOutput.source))
		return B_MEDIA_BAD_SOURCE;
	std::lock_guard<std::mutex> guard(fPushLock);
	if (fFilling != nullptr) {
		fFilling->Recycle();
		fFilling = nullptr;
	}
	if (group != nullptr) {
		fGroup.reset(group);
	} else if (fConnected.load()) {
		fGroup = std::make_unique<BBufferGroup>(fOutput.format.u.raw_audio.buffer_size,
			kBuffersPerGroup);
	}
	return B_OK;
}

status_t AudioProducerNode::PrepareToConnect(const media_source& what,
	const media_destination& where, media_format* format, media_source* outSource,
	char* outName)
{
	if (!(what == fOutput.source))
		return B_MEDIA_BAD_SOURCE;
	if (fConnected.load() || fPending)
		return B_MEDIA_ALREADY_CONNECTED;
	status_t status = FormatProposal(what, format);
	if (status != B_OK)
		return status;
	media_raw_audio_format& raw = format->u.raw_audio;
	if (raw.frame_rate == 0)
		raw.frame_rate = fNativeRate;
	if (raw.channel_count == 0)
		raw.channel_count = fNativeChannels;
	if (raw.format == 0)
		raw.format = media_raw_audio_format::B_AUDIO_FLOAT;
	size_t frameSize = media_frame_size(raw);
	if (raw.buffer_size == 0)
		raw.buffer_size = kDefaultBufferFrames * frameSize;
	if (raw.buffer_size < frameSize || raw.buffer_size % frameSize != 0)
		return B_MEDIA_BAD_FORMAT;
	if (raw.channel_mask == 0)
		raw.channel_mask = raw.channel_count == 1 ? B_CHANNEL_CENTER
			: raw.channel_count == 2              ? (B_CHANNEL_LEFT | B_CHANNEL_RIGHT)
												  : 0;
	fPending = true;
	*outSource = fOutput.source;
	std::snprintf(outName, B_MEDIA_NAME_LENGTH, "%s", fOutput.name);
	return B_OK;
}

void AudioProducerNode::Connect(status_t error, const media_source& source,
	const media_destination& destination, const media_format& format, char* ioName)
{
	fPending = false;
	if (error != B_OK || !(source == fOutput.source))
		return;
	const media_raw_audio_format& raw = format.u.raw_audio;
	size_t frames = raw.buffer_size / media_frame_size(raw);
	try {
		fScratch.assign(frames * raw.channel_count, 0.0f);
	} catch (const std::bad_alloc&) {
		return;
	}
	auto group = std::make_unique<BBufferGroup>(raw.buffer_size, kBuffersPerGroup);
	if (group->InitCheck() != B_OK)
		return;
	FindLatencyFor(destination, &fDownstreamLatency, nullptr);
	{
		std::lock_guard<std::mutex> guard(fPushLock);
		fGroup = std::move(group);
		fOutput.destination = destination;
		fOutput.format = format;
		fFilled = 0;
	}
	SetBufferDuration(FramesToTime(int64(frames), raw.frame_rate));
	SetEventLatency(fDownstreamLatency + BufferDuration());
	OutputConnected(raw);
	fConnected.store(true);
	if (ioName != nullptr)
		std::snprintf(ioName, B_MEDIA_NAME_LENGTH, "%s", fOutput.name);
}

void AudioProducerNode::Disconnect(const media_source& what, const media_destination& where)
{
	if (!(what == fOutput.source) || !(where == fOutput.destination))
		return;
	fConnected.store(false);
	{
		std::lock_guard<std::mutex> guard(fPushLock);
		if (fFilling != nullptr)
			fFilling->Recycle();
		fFilling = nullptr;
		fOutput.destination = media_destination::null;
	}
	EventQueue()->FlushEvents(0, BTimedEventQueue::B_ALWAYS, true, kProduceEvent);
	fGroup.reset();
	fOutput.format = ListedFormat(OutputFormat());
}

void AudioProducerNode::EnableOutput(const media_source& what, bool enabled, int32*)
{
	if (what == fOutput.source)
		fEnabled.store(enabled);
}

void AudioProducerNode::LatencyChanged(const media_source& source, const media_destination&,
	bigtime_t newLatency, uint32)
{
	if (!(source == fOutput.source))
		return;
	fDownstreamLatency = newLatency;
	SetEventLatency(fDownstreamLatency + BufferDuration());
}

status_t AudioProducerNode::GetLatency(bigtime_t* outLatency)
{
	if (outLatency == nullptr)
		return B_BAD_VALUE;
	*outLatency = EventLatency() + SchedulingLatency();
	return B_OK;
}

status_t AudioProducerNode::HandleMessage(int32 code, const void* data, size_t size)
{
	if (BBufferProducer::HandleMessage(code, data, size) == B_OK)
		return B_OK;
	return BMediaNode::HandleMessage(code, data, size);
}

size_t AudioProducerNode::Produce(float*, size_t)
{
	return 0;
}

void AudioProducerNode::SeekToMedia(bigtime_t) {}

size_t AudioProducerNode::BufferFrames() const
{
	size_t frameSize = media_frame_size(fOutput.format.u.raw_audio);
	return frameSize == 0 ? 0 : fOutput.format.u.raw_audio.buffer_size / frameSize;
}

void AudioProducerNode::HandleEvent(const media_timed_event* event, bigtime_t, bool)
{
	switch (event->type) {
		case B_START:
			fStartTime = event->event_time;
			fFramesSent = 0;
			fEnded = false;
			fRunning.store(true);
			Started(event->event_time);
			if (!IsPushSource() && fConnected.load())
				EventQueue()->AddEvent(media_timed_event(fStartTime, kProduceEvent));
			break;
		case B_STOP:
			fRunning.store(false);
			EventQueue()->FlushEvents(0, BTimedEventQueue::B_ALWAYS, true, kProduceEvent);
			Stopped();
			break;
		case B_SEEK:
			SeekToMedia(event->bigdata);
			fEnded = false;
			break;
		case kProduceEvent:
			ProduceBuffer(event->event_time);
			break;
		default:
			break;
	}
}

void AudioProducerNode::ProduceBuffer(bigtime_t when)
{
	if (!fRunning.load() || !fConnected.load() || fEnded)
		return;
	const media_raw_audio_format& raw = fOutput.format.u.raw_audio;
	bool offline = RunMode() == B_OFFLINE;
	// Offline, wait for the consumer to give a buffer back; live, a late buffer is lost.
	BBuffer* buffer = fGroup->RequestBuffer(raw.buffer_size, offline ? 100000 : 0);
	size_t frames = BufferFrames();
	if (buffer == nullptr) {
		if (offline) {
			EventQueue()->AddEvent(media_timed_event(when, kProduceEvent));
			return;
		}
		fDropped.fetch_add(int64(frames));
	} else {
		size_t made = Produce(fScratch.data(), frames);
		made = std::min(made, frames);
		convert_from_float(fScratch.data(), buffer->Data(), made * raw.channel_count, raw.format);
		buffer->SetSizeUsed(made * media_frame_size(raw));
		buffer->Header()->type = B_MEDIA_RAW_AUDIO;
		buffer->Header()->start_time = fStartTime + FramesToTime(fFramesSent, raw.frame_rate);
		if (made > 0 && fEnabled.load())
			SendFilled(buffer);
		else
			buffer->Recycle();
		if (made < frames) {
			fEnded = true;
			SendDataStatus(B_DATA_NOT_AVAILABLE, fOutput.destination,
				fStartTime + FramesToTime(fFramesSent + int64(made), raw.frame_rate));
			return;
		}
	}
	fFramesSent += int64(frames);
	EventQueue()->AddEvent(media_timed_event(
		fStartTime + FramesToTime(fFramesSent, raw.frame_rate), kProduceEvent));
}

void AudioProducerNode::SendFilled(BBuffer* buffer)
{
	if (SendBuffer(buffer, fOutput.source, fOutput.destination) != B_OK)
		buffer->Recycle();
}

status_t AudioProducerNode::PushFrames(const float* frames, size_t count,
	bigtime_t performanceTime)
{
	std::unique_lock<std::mutex> guard(fPushLock, std::try_to_lock);
	if (!guard.owns_lock() || !fConnected.load() || !fRunning.load() || fGroup == nullptr) {
		fDropped.fetch_add(int64(count));
		return B_WOULD_BLOCK;
	}
	const media_raw_audio_format& raw = fOutput.format.u.raw_audio;
	size_t perBuffer = BufferFrames();
	size_t frameSize = media_frame_size(raw);
	size_t done = 0;
	while (done < count) {
		if (fFilling == nullptr) {
			fFilling = fGroup->RequestBuffer(raw.buffer_size, 0);
			if (fFilling == nullptr) {
				fDropped.fetch_add(int64(count - done));
				return B_WOULD_BLOCK;
			}
			fFilled = 0;
			fFilling->Header()->type = B_MEDIA_RAW_AUDIO;
			fFilling->Header()->start_time
				= performanceTime + FramesToTime(int64(done), raw.frame_rate);
		}
		size_t take = std::min(perBuffer - fFilled, count - done);
		convert_from_float(frames + done * raw.channel_count,
			static_cast<char*>(fFilling->Data()) + fFilled * frameSize, take * raw.channel_count,
			raw.format);
		fFilled += take;
		done += take;
		if (fFilled == perBuffer) {
			fFilling->SetSizeUsed(perBuffer * frameSize);
			if (fEnabled.load())
				SendFilled(fFilling);
			else
				fFilling->Recycle();
			fFilling = nullptr;
		}
	}
	return B_OK;
}

// AudioConsumerNode

AudioConsumerNode::AudioConsumerNode(const char* name, BMediaAddOn* addOn, int32 flavorId)
	: BMediaNode(name), BBufferConsumer(B_MEDIA_RAW_AUDIO), BMediaEventLooper(),
	  fAddOn(addOn), fFlavorId(flavorId)
{
}

BMediaAddOn* AudioConsumerNode::AddOn(int32* internalId) const
{
	if (internalId != nullptr)
		*internalId = fFlavorId;
	return fAddOn;
}

media_raw_audio_format AudioConsumerNode::InputFormat() const
{
	return fInput.format.u.raw_audio;
}

void AudioConsumerNode::NodeRegistered()
{
	fInput.node = Node();
	fInput.destination = media_destination(ControlPort(), 0);
	fInput.source = media_source::null;
	fInput.format = media_format::RawAudioFormat(fAccepted);
	std::snprintf(fInput.name, sizeof(fInput.name), "%.50s input", Name());
	SetPriority(suggest_thread_priority(B_AUDIO_PLAYBACK, 100, 1000, 1000));
	Run();
}

status_t AudioConsumerNode::AcceptFormat(const media_destination& destination,
	media_format* format)
{
	if (!(destination == fInput.destination))
		return B_MEDIA_BAD_DESTINATION;
	if (format->type == B_MEDIA_UNKNOWN_TYPE)
		*format = media_format::RawAudioFormat();
	media_format accepted = media_format::RawAudioFormat(fAccepted);
	if (format->type != B_MEDIA_RAW_AUDIO || !format_is_compatible(*format, accepted)) {
		*format = accepted;
		return B_MEDIA_BAD_FORMAT;
	}
	specialize_format(format, accepted);
	uint32 sample = format->u.raw_audio.format;
	if (sample != 0 && sample != media_raw_audio_format::B_AUDIO_DOUBLE
		&& !IsSupportedSampleFormat(sample))
		return B_MEDIA_BAD_FORMAT;
	return B_OK;
}

status_t AudioConsumerNode::GetNextInput(int32* cookie, media_input* outInput)
{
	if (cookie == nullptr || outInput == nullptr)
		return B_BAD_VALUE;
	if (*cookie != 0)
		return B_BAD_INDEX;
	*outInput = fInput;
	(*cookie)++;
	return B_OK;
}

status_t AudioConsumerNode::Connected(const media_source& producer,
	const media_destination& where, const media_format& withFormat, media_input* outInput)
{
	if (!(where == fInput.destination) || fConnected.load())
		return B_MEDIA_BAD_DESTINATION;
	const media_raw_audio_format& raw = withFormat.u.raw_audio;
	size_t frameSize = media_frame_size(raw);
	if (withFormat.type != B_MEDIA_RAW_AUDIO || frameSize == 0 || raw.buffer_size == 0)
		return B_MEDIA_BAD_FORMAT;
	try {
		size_t samples = raw.buffer_size / media_sample_size(raw.format);
		fScratch.assign(samples, 0.0f);
		fSwapped.assign(raw.byte_order != B_MEDIA_HOST_ENDIAN ? raw.buffer_size : 0, 0);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	fInput.source = producer;
	fInput.format = withFormat;
	SetBufferDuration(bigtime_t(double(raw.buffer_size / frameSize) * 1000000.0
		/ double(raw.frame_rate > 0 ? raw.frame_rate : 44100)));
	fConnected.store(true);
	InputConnected(raw);
	*outInput = fInput;
	return B_OK;
}

void AudioConsumerNode::Disconnected(const media_source& producer,
	const media_destination& where)
{
	if (!(where == fInput.destination) || !(producer == fInput.source))
		return;
	fConnected.store(false);
	fInput.source = media_source::null;
	fInput.format = media_format::RawAudioFormat(fAccepted);
	InputDisconnected();
}

void AudioConsumerNode::BufferReceived(BBuffer* buffer)
{
	const media_header* header = buffer->Header();
	if (!fConnected.load() || header->type != B_MEDIA_RAW_AUDIO
		|| header->destination != fInput.destination.id) {
		buffer->Recycle();
		return;
	}
	const media_raw_audio_format& raw = fInput.format.u.raw_audio;
	size_t sampleSize = media_sample_size(raw.format);
	size_t used = std::min<size_t>(header->size_used, buffer->SizeAvailable());
	size_t samples = std::min(used / sampleSize, fScratch.size());
	samples -= samples % raw.channel_count;
	const void* data = buffer->Data();
	if (!fSwapped.empty()) {
		std::memcpy(fSwapped.data(), data, samples * sampleSize);
		swap_sample_bytes(fSwapped.data(), samples, raw.format);
		data = fSwapped.data();
	}
	convert_to_float(data, fScratch.data(), samples, raw.format);
	bigtime_t start = header->start_time;
	buffer->Recycle();
	if (samples > 0)
		Consume(fScratch.data(), samples / raw.channel_count, start);
}

void AudioConsumerNode::ProducerDataStatus(const media_destination& forWhom, int32 status,
	bigtime_t)
{
	if (forWhom == fInput.destination && status == B_DATA_NOT_AVAILABLE)
		StreamEnded();
}

status_t AudioConsumerNode::GetLatencyFor(const media_destination& forWhom,
	bigtime_t* outLatency, media_node_id* outTimeSource)
{
	if (!(forWhom == fInput.destination))
		return B_MEDIA_BAD_DESTINATION;
	if (outLatency != nullptr)
		*outLatency = EventLatency() + SchedulingLatency();
	if (outTimeSource != nullptr)
		*outTimeSource = TimeSource()->ID();
	return B_OK;
}

status_t AudioConsumerNode::HandleMessage(int32 code, const void* data, size_t size)
{
	if (BBufferConsumer::HandleMessage(code, data, size) == B_OK)
		return B_OK;
	return BMediaNode::HandleMessage(code, data, size);
}

void AudioConsumerNode::HandleEvent(const media_timed_event*, bigtime_t, bool) {}
