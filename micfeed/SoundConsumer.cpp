#include "SoundConsumer.h"

#include "kernel/OS.h"
#include "media/Buffer.h"
#include "media/NodeCall.h"
#include "media/TimeSource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Longest wait between two time-out notices: doubling stops here (about 18 hours).
constexpr bigtime_t kLongestTimeout = bigtime_t(1) << 36;
constexpr int32 kDestinationId = 1;

}  // namespace

SoundConsumer::SoundConsumer(const char* name, SoundRecordHook recordHook,
	SoundNotifyHook notifyHook, void* cookie)
	:
	BMediaNode(name != nullptr ? name : "SoundConsumer"),
	BBufferConsumer(B_MEDIA_RAW_AUDIO),
	fRecordHook(recordHook),
	fNotifyHook(notifyHook),
	fCookie(cookie),
	fMessage(new char[kMessageBufferSize])
{
	fInput.destination = media_destination(ControlPort(), kDestinationId);
	fInput.format = media_format::RawAudioFormat();
	snprintf(fInput.name, sizeof(fInput.name), "%.20s Input", Name());
}

SoundConsumer::~SoundConsumer()
{
	thread_id thread = fServiceThread.load();
	if (thread < 0)
		return;
	write_port(ControlPort(), kQuitMessage, nullptr, 0);
	status_t exitValue;
	while (wait_for_thread(thread, &exitValue) == B_INTERRUPTED) {
	}
}

void SoundConsumer::NodeRegistered()
{
	fInput.node = Node();
	char name[B_OS_NAME_LENGTH];
	snprintf(name, sizeof(name), "%.20s Service", Name());
	thread_id thread = spawn_thread(ServiceEntry, name, B_URGENT_PRIORITY, this);
	if (thread < 0) {
		fprintf(stderr, "SoundConsumer: cannot start \"%s\": %s\n", name,
			strerror_status(thread));
		return;
	}
	fServiceThread.store(thread);
	resume_thread(thread);
}

status_t SoundConsumer::ServiceEntry(void* data)
{
	static_cast<SoundConsumer*>(data)->ServiceLoop();
	return B_OK;
}

void SoundConsumer::ServiceLoop()
{
	MarkServiceThread();
	int32 errors = 0;
	fTimeout = kFirstTimeout;
	while (true) {
		int32 code = 0;
		ssize_t size = read_port_etc(ControlPort(), &code, fMessage.get(), kMessageBufferSize,
			B_RELATIVE_TIMEOUT, fTimeout);
		if (size == B_TIMED_OUT) {
			Notify(kTimedOut, fTimeout);
			fTimeout = fTimeout < kFirstTimeout ? kFirstTimeout
				: std::min(fTimeout * 2, kLongestTimeout);
			continue;
		}
		if (size < 0) {
			fprintf(stderr, "SoundConsumer: error %#010lx\n", (unsigned long)uint32(size));
			if (++errors > 3) {
				Notify(kNodeDies);
				return;
			}
			continue;
		}
		errors = 0;
		fTimeout = kFirstTimeout;
		switch (code) {
			case kQuitMessage:
				Notify(kNodeDies);
				return;
			case kSetHooksMessage: {
				HookChange change;
				if (read_payload(fMessage.get(), size_t(size), &change))
					ApplyHookChange(change);
				else
					HandleBadMessage(code, fMessage.get(), size_t(size));
				break;
			}
			case kMediaWakeUpMessage:
				break;
			default:
				if (HandleMessage(code, fMessage.get(), size_t(size)) != B_OK)
					HandleBadMessage(code, fMessage.get(), size_t(size));
				break;
		}
	}
}

status_t SoundConsumer::HandleMessage(int32 code, const void* data, size_t size)
{
	if (BBufferConsumer::HandleMessage(code, data, size) == B_OK)
		return B_OK;
	return BMediaNode::HandleMessage(code, data, size);
}

void SoundConsumer::ApplyHookChange(const HookChange& change)
{
	Notify(kHooksChanged);
	fRecordHook = change.recordHook;
	fNotifyHook = change.notifyHook;
	fCookie = change.cookie;
	if (change.replyPort >= 0)
		write_port_etc(change.replyPort, 0, nullptr, 0, B_RELATIVE_TIMEOUT, 0);
}

status_t SoundConsumer::SetHooks(SoundRecordHook recordHook, SoundNotifyHook notifyHook,
	void* cookie)
{
	HookChange change = {-1, cookie, recordHook, notifyHook};
	if (fServiceThread.load() < 0 || IsServiceThread()) {
		ApplyHookChange(change);
		return B_OK;
	}
	change.replyPort = create_port(1, "SetHooks reply");
	if (change.replyPort < 0)
		return change.replyPort;
	status_t status = write_port_etc(ControlPort(), kSetHooksMessage, &change, sizeof(change),
		B_RELATIVE_TIMEOUT, kSetHooksTimeout);
	if (status == B_OK) {
		int32 code;
		ssize_t read = read_port_etc(change.replyPort, &code, nullptr, 0, B_RELATIVE_TIMEOUT,
			kSetHooksTimeout);
		if (read < 0)
			status = status_t(read);
	}
	delete_port(change.replyPort);
	return status;
}

void SoundConsumer::Start(bigtime_t performanceTime)
{
	Notify(kWillStart, performanceTime);
	if (fSeekPending)
		fDelta = performanceTime - fSeekMediaTime;
}

void SoundConsumer::Stop(bigtime_t performanceTime, bool immediate)
{
	Notify(kWillStop, performanceTime, int(immediate));
}

void SoundConsumer::Seek(bigtime_t mediaTime, bigtime_t performanceTime)
{
	Notify(kWillSeek, mediaTime, performanceTime);
	fSeekMediaTime = mediaTime;
	fSeekPerformanceTime = performanceTime;
	fSeekPending = true;
}

void SoundConsumer::TimeWarp(bigtime_t atRealTime, bigtime_t toPerformanceTime)
{
	Notify(kWillTimeWarp, atRealTime, toPerformanceTime);
}

void SoundConsumer::SetRunMode(run_mode mode)
{
	BMediaNode::SetRunMode(mode);
	thread_id thread = fServiceThread.load();
	if (thread < 0)
		return;
	if (mode == B_OFFLINE) {
		set_thread_priority(thread, suggest_thread_priority(B_OFFLINE_PROCESSING));
		return;
	}
	const media_raw_audio_format& raw = fInput.format.u.raw_audio;
	bigtime_t period = 10000;
	size_t frameSize = media_frame_size(raw);
	if (raw.buffer_size > 0 && frameSize > 0 && raw.frame_rate > 0)
		period = std::max<bigtime_t>(1, bigtime_t(1e6 * double(raw.buffer_size / frameSize)
			/ raw.frame_rate));
	set_thread_priority(thread, suggest_thread_priority(B_AUDIO_RECORDING,
		int32(std::max<bigtime_t>(1, 1000000 / period)), period / 2, kProcessingLatency));
}

void SoundConsumer::BufferReceived(BBuffer* buffer)
{
	const media_header* header = buffer->Header();
	if (fSeekPending && header->start_time >= fSeekPerformanceTime) {
		fDelta = fSeekPerformanceTime - fSeekMediaTime;
		fSeekPending = false;
	}
	// A producer's word for the bytes used is checked against what the buffer holds.
	size_t size = std::min(buffer->SizeUsed(), buffer->SizeAvailable());
	if (fRecordHook != nullptr)
		fRecordHook(fCookie, header->start_time - fDelta, buffer->Data(), size,
			fInput.format.u.raw_audio);
	buffer->Recycle();
}

void SoundConsumer::ProducerDataStatus(const media_destination& forWhom, int32 status,
	bigtime_t atPerformanceTime)
{
	Notify(kProducerDataStatus, status, atPerformanceTime);
}

status_t SoundConsumer::AcceptFormat(const media_destination& destination, media_format* format)
{
	if (!(destination == fInput.destination))
		return B_MEDIA_BAD_DESTINATION;
	if (format->type == B_MEDIA_UNKNOWN_TYPE)
		*format = media_format::RawAudioFormat();
	if (format->type != B_MEDIA_RAW_AUDIO) {
		*format = media_format::RawAudioFormat();
		return B_MEDIA_BAD_FORMAT;
	}
	if (!format_is_compatible(*format, fInput.format)) {
		*format = fInput.format;
		return B_MEDIA_BAD_FORMAT;
	}
	return B_OK;
}

status_t SoundConsumer::GetNextInput(int32* cookie, media_input* outInput)
{
	if (cookie == nullptr || outInput == nullptr)
		return B_BAD_VALUE;
	if (*cookie != 0)
		return B_BAD_INDEX;
	if (fInput.source == media_source::null)
		fInput.format = media_format::RawAudioFormat();
	*outInput = fInput;
	(*cookie)++;
	return B_OK;
}

status_t SoundConsumer::GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
	media_node_id* outTimeSource)
{
	if (!(forWhom == fInput.destination))
		return B_MEDIA_BAD_DESTINATION;
	*outLatency = kProcessingLatency;
	*outTimeSource = TimeSource()->ID();
	return B_OK;
}

status_t SoundConsumer::Connected(const media_source& producer,
	const media_destination& where, const media_format& withFormat, media_input* outInput)
{
	if (!(where == fInput.destination) || !(fInput.source == media_source::null))
		return B_MEDIA_BAD_DESTINATION;
	fInput.source = producer;
	fInput.format = withFormat;
	*outInput = fInput;
	Notify(kConnectionMade, static_cast<const char*>(fInput.name));
	return B_OK;
}

void SoundConsumer::Disconnected(const media_source& producer, const media_destination& where)
{
	if (!(where == fInput.destination) || !(producer == fInput.source))
		return;
	fInput.source = media_source::null;
	fInput.format = media_format::RawAudioFormat();
	Notify(kConnectionBroken);
}

status_t SoundConsumer::FormatChanged(const media_source& producer,
	const media_destination& consumer, int32 changeTag, const media_format& format)
{
	if (!(consumer == fInput.destination) || !(producer == fInput.source))
		return B_MEDIA_BAD_DESTINATION;
	if (!format_is_compatible(format, fInput.format))
		return B_MEDIA_BAD_FORMAT;
	fInput.format = format;
	Notify(kFormatChanged, &fInput.format.u.raw_audio);
	return B_OK;
}
