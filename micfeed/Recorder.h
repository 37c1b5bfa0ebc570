#pragma once
// Recorder: one opened "input:" stream. The first Read() builds the capture chain (the
// default audio input connected to a SoundConsumer) and starts it; the consumer's service
// thread writes what arrives into a FIFO through the record hook, and Read() takes it out
// in 256-frame pieces, amplified by the process-wide amplification.
//
// Stream format: interleaved 16-bit stereo frames at 44 100 Hz (4 bytes a frame). A mono
// input is heard on both channels.
// Errors: when the chain does not start (no audio input, no free output, a refused
// connection), Read() reports why once on standard error and from then on returns
// silence paced at about the stream's rate, so a player neither hangs nor spins. A chain
// that stops delivering gives silence after kStallTimeout, reported once too.
// Threads: Read() on the player's reading thread (one at a time); Record() on the
//   consumer's service thread. Lifetime: the destructor stops the capture (the hook is
//   never called again) before it frees the FIFO.

#include "FiFo.h"
#include "kernel/SupportDefs.h"
#include "media/MediaDefs.h"

#include <atomic>
#include <memory>

class BMediaRoster;
class SoundConsumer;

class Recorder {
public:
	// 4096 frames (93 ms): room for several device periods while the player is late.
	static constexpr int32 kFifoBytes = 16384;
	static constexpr int32 kReadChunkFrames = 256;
	static constexpr float kFrameRate = 44100.0f;
	static constexpr bigtime_t kStallTimeout = 2000000;
	// From the consumer's clock's now to the start of capture.
	static constexpr bigtime_t kStartDelay = 50000;

	Recorder();
	virtual ~Recorder();
	Recorder(const Recorder&) = delete;
	Recorder& operator=(const Recorder&) = delete;

	// Fills buffer with `frames` frames and returns frames (waiting for the capture).
	int32 Read(char* buffer, uint32 frames);

	// The record hook: one capture buffer, on the consumer's service thread.
	static void reader(void* cookie, bigtime_t time, void* data, size_t size,
		const media_raw_audio_format& format);
	// What the hook does: 16-bit frames of `channels` channels (1 or 2; others are
	// ignored), changed in place.
	void Record(void* data, size_t size, uint32 channels = 2);

	// Capture pieces dropped because the FIFO was full.
	int64 DroppedChunks() const { return fDropped.load(std::memory_order_relaxed); }
	// B_OK once started, why it could not start, B_NO_INIT before the first Read().
	status_t StartStatus() const { return fStartStatus; }

protected:
	// Creates the FIFO, then starts the capture chain (StartCapture).
	status_t Init();
	// Builds and starts the chain that calls Record(); B_OK or why it could not, with the
	// step that failed in fFailedStep.
	virtual status_t StartCapture();
	// Stops and releases what StartCapture() made.
	void StopCapture();
	status_t MakeRecordConnection(const media_node& input);

	// Null before the first Read().
	FiFo<char>* Fifo() const { return fFifo.get(); }

private:
	void ReadSilence(char* buffer, uint32 frames);
	void Report(const char* what, status_t status);
	status_t Failed(const char* step, status_t status);

	BMediaRoster* fRoster = nullptr;
	SoundConsumer* fConsumer = nullptr;   // a reference of ours while not null
	media_node fInputNode;                // a reference of ours while its id is valid
	media_output fOutput;
	media_input fInput;
	bool fConnected = false;
	std::unique_ptr<FiFo<char>> fFifo;    // null until the first Read()
	std::unique_ptr<int16[]> fStereo;     // mono input made stereo, kStereoFrames frames
	status_t fStartStatus = B_NO_INIT;
	const char* fFailedStep = "";
	bool fReported = false;               // reader thread only
	std::atomic<int64> fDropped{0};
};
