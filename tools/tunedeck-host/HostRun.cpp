#include "HostRun.h"

#include "kernel/OS.h"
#include "media/MediaFileWriter.h"
#include "media/SoundPlayer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tunedeck {

namespace {

class WavSink : public AudioSink {
public:
	bool Create(const std::string& path, int32 frameRate, int32 channels, std::string& error)
	{
		if (fWriter.Create(path, frameRate, channels) != B_OK) {
			error = "cannot write '" + path + "': " + fWriter.ErrorText();
			return false;
		}
		fPath = path;
		return true;
	}

	bool Write(const int16* frames, int32 count, std::string& error) override
	{
		if (fWriter.WriteFrames(frames, count) == B_OK)
			return true;
		error = "cannot write '" + fPath + "': " + fWriter.ErrorText();
		return false;
	}

	bool Finish(std::string& error) override
	{
		if (fWriter.Commit() == B_OK)
			return true;
		error = "cannot write '" + fPath + "': " + fWriter.ErrorText();
		return false;
	}

private:
	MediaFileWriter fWriter;
	std::string fPath;
};

// The reading thread fills a ring that the output's callback empties; a semaphore counts
// the free frames, so the reader sleeps while the ring is full. An empty ring plays
// silence.
class PlaybackSink : public AudioSink {
public:
	PlaybackSink(int32 frameRate, int32 channels)
		:
		fChannels(channels),
		fCapacity(std::max<int32>(4096, frameRate / 4)),
		fRing(size_t(fCapacity) * channels),
		fFree(create_sem(fCapacity, "playback free frames"))
	{
		SoundPlayer::Format format{};
		format.frame_rate = float(frameRate);
		format.channel_count = uint32(channels);
		format.format = media_raw_audio_format::B_AUDIO_SHORT;
		format.byte_order = B_MEDIA_HOST_ENDIAN;
		fPlayer = std::make_unique<SoundPlayer>(format, "tunedeck-host", &Fill, this);
	}

	~PlaybackSink() override
	{
		fPlayer.reset();
		delete_sem(fFree);
	}

	bool Start(std::string& error)
	{
		if (fFree < 0 || fPlayer->InitCheck() != B_OK
			|| fPlayer->Start() != B_OK) {
			error = "no audio output to play to: " + fPlayer->ErrorText()
				+ " (write a file with -o instead)";
			return false;
		}
		fPlayer->SetHasData(true);
		return true;
	}

	bool Write(const int16* frames, int32 count, std::string& error) override
	{
		while (count > 0) {
			int32 piece = std::min(count, fCapacity / 4);
			// A second without room means the output stopped taking sound.
			if (acquire_sem_etc(fFree, piece, B_RELATIVE_TIMEOUT, 1000000) != B_OK) {
				error = "the audio output stopped playing";
				return false;
			}
			uint64 at = fWritten.load(std::memory_order_relaxed);
			for (int32 i = 0; i < piece; i++) {
				size_t slot = size_t((at + i) % uint64(fCapacity)) * fChannels;
				memcpy(&fRing[slot], frames + size_t(i) * fChannels, fChannels * sizeof(int16));
			}
			fWritten.store(at + piece, std::memory_order_release);
			frames += size_t(piece) * fChannels;
			count -= piece;
		}
		return true;
	}

	bool Finish(std::string& error) override
	{
		// Let the ring play out: every frame free again means every frame played.
		bigtime_t bound = bigtime_t(1e6 * fCapacity / fPlayer->OutputFormat().frame_rate)
			+ 1000000;
		if (acquire_sem_etc(fFree, fCapacity, B_RELATIVE_TIMEOUT, bound) == B_OK)
			release_sem_etc(fFree, fCapacity, 0);
		snooze(bigtime_t(fPlayer->Latency() * 1e6));
		fPlayer->Stop();
		return true;
	}

private:
	static void Fill(void* cookie, void* buffer, size_t size, const SoundPlayer::Format&)
	{
		static_cast<PlaybackSink*>(cookie)->Take(static_cast<int16*>(buffer),
			int32(size / (sizeof(int16) * static_cast<PlaybackSink*>(cookie)->fChannels)));
	}

	// On the output's thread: no allocation, no waiting.
	void Take(int16* out, int32 frames)
	{
		uint64 played = fPlayed.load(std::memory_order_relaxed);
		uint64 ready = fWritten.load(std::memory_order_acquire) - played;
		int32 count = int32(std::min<uint64>(ready, uint64(frames)));
		for (int32 i = 0; i < count; i++) {
			size_t slot = size_t((played + i) % uint64(fCapacity)) * fChannels;
			memcpy(out + size_t(i) * fChannels, &fRing[slot], fChannels * sizeof(int16));
		}
		memset(out + size_t(count) * fChannels, 0, size_t(frames - count) * fChannels
			* sizeof(int16));
		fPlayed.store(played + count, std::memory_order_release);
		if (count > 0)
			release_sem_etc(fFree, count, 0);
	}

	int32 fChannels;
	int32 fCapacity;                   // frames
	std::vector<int16> fRing;
	sem_id fFree;                      // count: free frames of the ring
	std::atomic<uint64> fWritten{0};   // frames written, by the reading thread
	std::atomic<uint64> fPlayed{0};    // frames played, by the output's thread
	std::unique_ptr<SoundPlayer> fPlayer;   // last: its thread stops first
};

}  // namespace

std::unique_ptr<AudioSink> MakeWavSink(const std::string& path, int32 frameRate,
	int32 channels, std::string& error)
{
	auto sink = std::make_unique<WavSink>();
	if (!sink->Create(path, frameRate, channels, error))
		return nullptr;
	return sink;
}

std::unique_ptr<AudioSink> MakePlaybackSink(int32 frameRate, int32 channels,
	std::string& error)
{
	auto sink = std::make_unique<PlaybackSink>(frameRate, channels);
	if (!sink->Start(error))
		return nullptr;
	return sink;
}

int64 RunStream(DecoderStream& stream, AudioSink& sink, const RunSettings& settings,
	std::string& error)
{
	const file_info& info = stream.Info();
	const int32 channels = info.channels;
	int64 limit = INT64_MAX;
	if (settings.seconds > 0)
		limit = int64(std::llround(settings.seconds * info.samplerate));
	if (!stream.Endless())
		limit = std::min<int64>(limit, info.frames);

	std::vector<int16> buffer(size_t(stream.Granularity()) * channels);
	int64 done = 0;
	int64 nextProgress = int64(info.samplerate);
	while (done < limit && !(settings.stop != nullptr && settings.stop->load())) {
		int32 want = int32(std::min<int64>(stream.Granularity(), limit - done));
		int32 got = stream.Read(reinterpret_cast<char*>(buffer.data()), want, error);
		if (got < 0)
			return -1;
		if (got == 0)
			break;
		if (settings.onRead)
			settings.onRead(buffer.data(), got, system_time());
		if (!sink.Write(buffer.data(), got, error))
			return -1;
		done += got;
		if (settings.progress && done >= nextProgress) {
			fprintf(stderr, "\r%.0f s", done / double(info.samplerate));
			nextProgress += int64(info.samplerate);
		}
	}
	if (settings.progress)
		fputs("\r", stderr);
	if (!sink.Finish(error))
		return -1;
	return done;
}

}  // namespace tunedeck
