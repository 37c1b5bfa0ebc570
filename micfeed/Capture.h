#pragma once
// The sample work of the capture and reading paths: interleaved 16-bit stereo frames,
// changed in place. Nothing here allocates, waits or does I/O except FeedFifo's
// "fifo full" line.

#include "FiFo.h"
#include "kernel/SupportDefs.h"

namespace micfeed {

constexpr int32 kChannels = 2;
constexpr int32 kFrameBytes = kChannels * int32(sizeof(int16));
// The capture hook writes into the FIFO in pieces of at most this many bytes.
constexpr int32 kCaptureChunkBytes = 512;

// Subtracts each channel's integer mean over the frames (truncated toward zero) from
// that channel's samples. Results beyond the 16-bit range are clamped.
void RemoveDcOffset(int16* frames, size_t frameCount);

// s × multiplier / 10, truncated toward zero, clamped to -32768 … 32767.
void Amplify(int16* samples, size_t sampleCount, int32 multiplier);

// What the capture hook does with one buffer of `size` bytes: ignores it without a whole
// frame, removes the DC offset of its whole frames in place, and writes them to the FIFO
// in pieces of kCaptureChunkBytes. A piece that does not fit is dropped with "fifo full"
// on standard output: this never waits. Returns the pieces dropped.
int32 FeedFifo(FiFo<char>& fifo, void* data, size_t size);

}  // namespace micfeed
