#pragma once
// Recorder: one opened "input:" stream. The first Read() starts the capture chain; the
// capture side writes what arrives into a FIFO through Record(), and Read() takes it out
// in 256-frame pieces, amplified by the process-wide amplification.
//
// Stream format: interleaved 16-bit stereo frames at 44 100 Hz (4 bytes a frame).
// Errors: when the chain does not start, Read() reports why once on standard error and
//   from then on returns silence paced at about the stream's rate, so a player neither
//   hangs nor spins. A started chain that stops delivering gives silence after
//   kStallTimeout, reported once too.
// Threads: Read() on the player's reading thread (one at a time); Record() on the capture
//   thread. Lifetime: the destructor stops the capture before it frees the FIFO.

#include "FiFo.h"
#include "kernel/SupportDefs.h"

#include <atomic>
#include <memory>

class Recorder {
public:
	static constexpr int32 kFifoBytes = 2048;
	static constexpr int32 kReadChunkFrames = 256;
	static constexpr float kFrameRate = 44100.0f;
	static constexpr bigtime_t kStallTimeout = 2000000;

	Recorder();
	virtual ~Recorder();
	Recorder(const Recorder&) = delete;
	Recorder& operator=(const Recorder&) = delete;

	// Fills buffer with `frames` frames and returns frames (waiting for the capture).
	int32 Read(char* buffer, uint32 frames);

	// One capture buffer of `size` bytes, on the capture thread; changed in place.
	void Record(void* data, size_t size);

	// Capture pieces dropped because the FIFO was full.
	int64 DroppedChunks() const { return fDropped.load(std::memory_order_relaxed); }
	// B_OK until a start failed; B_NO_INIT before the first Read().
	status_t StartStatus() const { return fStartStatus; }

protected:
	// Creates the FIFO, then starts the capture chain (StartCapture).
	status_t Init();
	// Builds and starts the chain that calls Record(); B_OK or why it could not.
	virtual status_t StartCapture();
	// Stops what StartCapture() started; called by the destructor of every recorder
	// before the FIFO goes (subclasses call it from their own destructor).
	virtual void StopCapture();

	// Null before the first Read().
	FiFo<char>* Fifo() const { return fFifo.get(); }

private:
	void ReadSilence(char* buffer, uint32 frames);
	void Report(const char* what, status_t status);

	std::unique_ptr<FiFo<char>> fFifo;   // null until the first Read()
	status_t fStartStatus = B_NO_INIT;
	bool fReported = false;              // reader thread only
	std::atomic<int64> fDropped{0};
};
