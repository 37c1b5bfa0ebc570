#pragma once
// AudioDevice: one stream of a sound system, capture or playback, in interleaved float
// frames, for the default audio input and output nodes. Two kinds: a JACK client's ports
// on the process's JACK service (JackDevice.h), and RtAudio's devices (ALSA, PulseAudio).
//
// The device calls its hook on its own audio thread for every block: a capture hook gets
// the frames captured and the system time of the block's start; a playback hook fills
// the frames to play. Hooks must not allocate, lock or do I/O.
//
// Lifetime: Start() and Stop() any number of times; destruction stops the stream first.
// Errors: open functions return null with the reason in *error; Lost() turns true when
// the sound system went away under a running stream (a server that quit, a device
// unplugged).
// Threads: Start, Stop and the accessors from ordinary threads.
#include "kernel/SupportDefs.h"

#include <atomic>
#include <memory>
#include <string>

class AudioDevice {
public:
	typedef void (*CaptureHook)(void* cookie, const float* frames, size_t count,
		bigtime_t when);
	typedef void (*PlaybackHook)(void* cookie, float* frames, size_t count);

	virtual ~AudioDevice() = default;

	double FrameRate() const { return fRate; }
	uint32 Channels() const { return fChannels; }
	// The most frames one hook call carries.
	size_t MaxBlockFrames() const { return fMaxBlock; }
	// What the user would call it ("JACK", "ALSA: HDA Intel").
	const std::string& Description() const { return fDescription; }
	virtual bool Lost() const { return fLost.load(); }

	virtual status_t Start() = 0;
	virtual void Stop() = 0;

protected:
	double fRate = 0;
	uint32 fChannels = 0;
	size_t fMaxBlock = 8192;
	std::string fDescription;
	std::atomic<bool> fLost{false};
};

// The first RtAudio device (ALSA, PulseAudio; JACK is the JACK device's) with inputs
// (capture) or outputs, with up to `channels` channels at its preferred rate.
std::unique_ptr<AudioDevice> open_rtaudio_capture(uint32 channels, AudioDevice::CaptureHook hook,
	void* cookie, std::string* error);
std::unique_ptr<AudioDevice> open_rtaudio_playback(uint32 channels,
	AudioDevice::PlaybackHook hook, void* cookie, std::string* error);
