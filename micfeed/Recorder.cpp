#include "Recorder.h"

#include "Amplification.h"
#include "Capture.h"
#include "kernel/OS.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace micfeed;

Recorder::Recorder() = default;

Recorder::~Recorder()
{
	StopCapture();
}

status_t Recorder::Init()
{
	fFifo = std::make_unique<FiFo<char>>(kFifoBytes);
	status_t status = fFifo->InitCheck();
	if (status != B_OK)
		return status;
	return StartCapture();
}

status_t Recorder::StartCapture()
{
	return B_UNSUPPORTED;
}

void Recorder::StopCapture()
{
}

int32 Recorder::Read(char* buffer, uint32 frames)
{
	frames = std::min<uint32>(frames, INT32_MAX);
	if (fStartStatus == B_NO_INIT) {
		fStartStatus = Init();
		if (fStartStatus != B_OK)
			Report("cannot record from the default audio input", fStartStatus);
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

void Recorder::Record(void* data, size_t size)
{
	if (fFifo != nullptr)
		fDropped.fetch_add(FeedFifo(*fFifo, data, size), std::memory_order_relaxed);
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
	fprintf(stderr, "micfeed: %s (%s); playing silence\n", what, strerror_status(status));
}
