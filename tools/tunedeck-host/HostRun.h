// What tunedeck-host does with an opened stream: read it in the plug-in's granularity and
// hand the frames to a sink, a WAV file or the default audio output.
//
// Errors: every failure is false with a sentence for the user in `error`.
// Threads: RunStream runs on the calling thread; `stop` may be set from any thread (a
// signal handler), and the run ends after the read in progress.
#pragma once

#include "DecoderLibrary.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace tunedeck {

class AudioSink {
public:
	virtual ~AudioSink() = default;
	// Interleaved 16-bit frames of the stream's channel count.
	virtual bool Write(const int16* frames, int32 count, std::string& error) = 0;
	// Everything written is kept (the file complete, the sound heard).
	virtual bool Finish(std::string& error) = 0;
};

// A 16-bit WAV file that replaces `path` only when finished.
std::unique_ptr<AudioSink> MakeWavSink(const std::string& path, int32 frameRate,
	int32 channels, std::string& error);
// The default audio output; null with a message when there is none.
std::unique_ptr<AudioSink> MakePlaybackSink(int32 frameRate, int32 channels,
	std::string& error);

struct RunSettings {
	double seconds = 0;                       // 0: until the stream ends or `stop`
	const std::atomic<bool>* stop = nullptr;
	bool progress = false;                    // seconds read, once a second, on stderr
	// After each read: the frames read and system_time() when the read returned.
	std::function<void(const int16* frames, int32 count, bigtime_t returned)> onRead;
};

// Frames read, or -1 with a message in error.
int64 RunStream(DecoderStream& stream, AudioSink& sink, const RunSettings& settings,
	std::string& error);

}  // namespace tunedeck
