#include "Capture.h"

#include <algorithm>
#include <cstdio>

namespace micfeed {

namespace {

inline int16 Clamp16(int64 value)
{
	return int16(std::clamp<int64>(value, INT16_MIN, INT16_MAX));
}

}  // namespace

void RemoveDcOffset(int16* frames, size_t frameCount)
{
	if (frameCount == 0)
		return;
	// 64-bit sums: a long buffer of loud samples overflows 32 bits.
	int64 sum[kChannels] = {0, 0};
	for (size_t i = 0; i < frameCount; i++) {
		sum[0] += frames[2 * i];
		sum[1] += frames[2 * i + 1];
	}
	const int64 mean[kChannels] = {sum[0] / int64(frameCount), sum[1] / int64(frameCount)};
	for (size_t i = 0; i < frameCount; i++) {
		frames[2 * i] = Clamp16(frames[2 * i] - mean[0]);
		frames[2 * i + 1] = Clamp16(frames[2 * i + 1] - mean[1]);
	}
}

void Amplify(int16* samples, size_t sampleCount, int32 multiplier)
{
	for (size_t i = 0; i < sampleCount; i++)
		samples[i] = Clamp16(int64(samples[i]) * multiplier / 10);
}

int32 FeedFifo(FiFo<char>& fifo, void* data, size_t size)
{
	const size_t frames = size / kFrameBytes;
	if (frames == 0)
		return 0;
	RemoveDcOffset(static_cast<int16*>(data), frames);
	const char* bytes = static_cast<const char*>(data);
	const size_t total = frames * kFrameBytes;
	int32 dropped = 0;
	for (size_t done = 0; done < total; done += kCaptureChunkBytes) {
		int32 chunk = int32(std::min<size_t>(kCaptureChunkBytes, total - done));
		if (fifo.spaceleft() < chunk) {
			fputs("fifo full\n", stdout);
			dropped++;
			continue;
		}
		fifo.write(bytes + done, chunk);
	}
	return dropped;
}

}  // namespace micfeed
