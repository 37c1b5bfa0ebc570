#include "Recorder.h"

#include "Amplification.h"
#include "Capture.h"
#include "SoundConsumer.h"
#include "kernel/OS.h"
#include "media/MediaRoster.h"
#include "media/TimeSource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

using namespace micfeed;

namespace {

// Frames of a mono buffer made stereo at a time.
constexpr int32 kStereoFrames = 1024;

}  // namespace

Recorder::Recorder() = default;

Recorder::~Recorder()
{
	StopCapture();
}

status_t Recorder::Init()
{
	fFifo = std::make_unique<FiFo<char>>(kFifoBytes);
	fStereo.reset(new (std::nothrow) int16[kStereoFrames * kChannels]);
	status_t status = fFifo->InitCheck();
	if (status == B_OK && fStereo == nullptr)
		status = B_NO_MEMORY;
	if (status != B_OK)
		return Failed("no memory for the capture", status);
	status = StartCapture();
	if (status != B_OK)
		StopCapture();
	return status;
}

status_t Recorder::Failed(const char* step, status_t status)
{
	fFailedStep = step;
	return status;
}

// Each step runs only when the one before succeeded; the first failure is the answer.
status_t Recorder::StartCapture()
{
	status_t status = B_OK;
	fRoster = BMediaRoster::Roster(&status);
	if (fRoster == nullptr)
		return Failed("no media roster", status != B_OK ? status : B_MEDIA_SYSTEM_FAILURE);
	fConsumer = new (std::nothrow) SoundConsumer("Tunedeck audio input", &reader, nullptr,
		this);
	if (fConsumer == nullptr)
		return Failed("no memory for the capture node", B_NO_MEMORY);
	if ((status = fRoster->RegisterNode(fConsumer)) != B_OK)
		return Failed("cannot register the capture node", status);
	if ((status = fRoster->GetAudioInput(&fInputNode)) != B_OK) {
		fInputNode = media_node::null;
		return Failed("no default audio input", status);
	}
	if ((status = MakeRecordConnection(fInputNode)) != B_OK)
		return Failed("cannot connect to the default audio input", status);
	fConnected = true;

	BTimeSource* timeSource = fRoster->MakeTimeSourceFor(fConsumer->Node());
	if (timeSource == nullptr)
		return Failed("the capture node has no clock", B_MEDIA_BAD_NODE);
	const bigtime_t start = timeSource->Now() + kStartDelay;
	const bigtime_t inputStart = (fInputNode.kind & B_TIME_SOURCE) != 0
		? timeSource->RealTimeFor(start, 0) : start;
	timeSource->Release();
	if ((status = fRoster->StartNode(fConsumer->Node(), start)) != B_OK)
		return Failed("cannot start the capture node", status);
	if ((status = fRoster->StartNode(fInputNode, inputStart)) != B_OK)
		return Failed("cannot start the default audio input", status);
	return B_OK;
}

status_t Recorder::MakeRecordConnection(const media_node& input)
{
	int32 count = 0;
	status_t status = fRoster->GetFreeOutputsFor(input, &fOutput, 1, &count,
		B_MEDIA_RAW_AUDIO);
	if (status != B_OK)
		return status;
	if (count < 1)
		return B_BUSY;
	status = fRoster->GetFreeInputsFor(fConsumer->Node(), &fInput, 1, &count,
		B_MEDIA_RAW_AUDIO);
	if (status != B_OK)
		return status;
	if (count < 1)
		return B_BUSY;

	BTimeSource* timeSource = fRoster->MakeTimeSourceFor(input);
	if (timeSource == nullptr)
		return B_MEDIA_BAD_NODE;
	status = fRoster->SetTimeSourceFor(fConsumer->ID(), timeSource->ID());
	if (status != B_OK) {
		timeSource->Release();
		return status;
	}

	// The output's own format, fixed to what the stream is: 16-bit frames at 44 100 Hz in
	// this machine's byte order, stereo (mono when the input has one channel).
	media_format format = media_format::RawAudioFormat(fOutput.format.u.raw_audio);
	media_raw_audio_format& raw = format.u.raw_audio;
	raw.format = media_raw_audio_format::B_AUDIO_SHORT;
	raw.frame_rate = kFrameRate;
	raw.byte_order = B_MEDIA_HOST_ENDIAN;
	if (raw.channel_count != 1)
		raw.channel_count = kChannels;
	status = fRoster->Connect(fOutput.source, fInput.destination, &format, &fOutput, &fInput);
	if (status != B_OK) {
		timeSource->Release();
		fConsumer->SetHooks(nullptr, nullptr, nullptr);
		return status;
	}
	if (timeSource->ID() != input.node && !timeSource->IsRunning())
		fRoster->StartTimeSource(timeSource->Node(), BTimeSource::RealTime());
	timeSource->Release();
	return B_OK;
}

void Recorder::StopCapture()
{
	if (fConsumer != nullptr) {
		// From here on the hook is not called again, whatever the roster does next.
		fConsumer->SetHooks(nullptr, nullptr, nullptr);
		if (fConnected)
			fRoster->StopNode(fInputNode, 0, true);
		fConsumer->Release();
		fConsumer = nullptr;
	}
	if (fInputNode.node >= 0)
		fRoster->ReleaseNode(fInputNode);
	fInputNode = media_node::null;
	fConnected = false;
}

int32 Recorder::Read(char* buffer, uint32 frames)
{
	frames = std::min<uint32>(frames, INT32_MAX);
	if (fStartStatus == B_NO_INIT) {
		fStartStatus = Init();
		if (fStartStatus != B_OK) {
			char what[160];
			snprintf(what, sizeof(what), "cannot record from the default audio input%s%s",
				*fFailedStep != '\0' ? ": " : "", fFailedStep);
			Report(what, fStartStatus);
		}
	}
	if (fStartStatus != B_OK) {
		ReadSilence(buffer, frames);
		return int32(frames);
	}
	const int32 multiplier = Multiplier();
	int16 chunk[kReadChunkFrames * kChannels];
	for (uint32 done = 0; done < frames;) {
		const uint32 count = std::min<uint32>(kReadChunkFrames, frames - done);
		const int32 bytes = int32(count) * kFrameBytes;
		if (fFifo->read(reinterpret_cast<char*>(chunk), bytes, kStallTimeout) != bytes) {
			Report("the default audio input delivers nothing", B_TIMED_OUT);
			memset(buffer + size_t(done) * kFrameBytes, 0, size_t(frames - done) * kFrameBytes);
			break;
		}
		Amplify(chunk, size_t(count) * kChannels, multiplier);
		memcpy(buffer + size_t(done) * kFrameBytes, chunk, bytes);
		done += count;
	}
	return int32(frames);
}

void Recorder::reader(void* cookie, bigtime_t, void* data, size_t size,
	const media_raw_audio_format& format)
{
	if (format.format == media_raw_audio_format::B_AUDIO_SHORT)
		static_cast<Recorder*>(cookie)->Record(data, size, format.channel_count);
}

void Recorder::Record(void* data, size_t size, uint32 channels)
{
	if (fFifo == nullptr)
		return;
	int64 dropped = 0;
	if (channels == kChannels) {
		dropped = FeedFifo(*fFifo, data, size);
	} else if (channels == 1) {
		const int16* mono = static_cast<const int16*>(data);
		size_t frames = size / sizeof(int16);
		for (size_t done = 0; done < frames; done += kStereoFrames) {
			size_t count = std::min<size_t>(kStereoFrames, frames - done);
			for (size_t i = 0; i < count; i++)
				fStereo[2 * i] = fStereo[2 * i + 1] = mono[done + i];
			dropped += FeedFifo(*fFifo, fStereo.get(), count * kFrameBytes);
		}
	}
	fDropped.fetch_add(dropped, std::memory_order_relaxed);
}

void Recorder::ReadSilence(char* buffer, uint32 frames)
{
	memset(buffer, 0, size_t(frames) * kFrameBytes);
	// The time the frames would have taken to arrive, so that a player does not spin.
	const bigtime_t duration = bigtime_t(frames) * 1000000 / bigtime_t(kFrameRate);
	snooze(std::min<bigtime_t>(duration, 1000000));
}

void Recorder::Report(const char* what, status_t status)
{
	if (fReported)
		return;
	fReported = true;
	fprintf(stderr, "micfeed: %s (%s); playing silence\n", what, media_strerror(status));
}
