#pragma once
// The default audio input and audio output nodes over an AudioDevice (a JACK client's
// ports when a JACK server answers, else RtAudio's ALSA or PulseAudio device).
//
// AudioInputNode: captures from the device and offers one output in whatever frame rate,
// channel count and sample format the consumer accepts (the device's own when it leaves
// them open): channels are mixed or repeated and the rate converted with libsamplerate
// (CaptureConverter.h). Buffers carry the performance time of their first frame.
// AudioOutputNode: one input at the device's rate and channel count (any sample format);
// what arrives is queued for the device, which plays silence while nothing is there.
//
// Errors: InitCheck() is B_MEDIA_SYSTEM_FAILURE when no device opened; ErrorText() says
// why. A device that vanishes while running ends the input's stream (a data status
// B_DATA_NOT_AVAILABLE to the consumer) and silences the output; nothing waits for it.
// Threads: nodes (MediaNode.h); the device's thread only converts and pushes (input) or
// reads the queue (output), allocating nothing.
#include "media/AudioDevice.h"
#include "media/AudioNodes.h"
#include "media/AudioRing.h"
#include "media/CaptureConverter.h"

#include <memory>
#include <string>

class AudioInputNode : public AudioProducerNode {
public:
	AudioInputNode(BMediaAddOn* addOn, int32 flavorId);
	~AudioInputNode() override;

	// Opens the system's capture device: JACK ports capture_1.. connected to the
	// system's capture ports when a JACK server answers, else RtAudio's default input.
	status_t OpenDevice(uint32 channels = 2);
	// Opens JACK ports <prefix>_1..<prefix>_<channels> only (for the media host).
	status_t OpenJack(const char* prefix, uint32 channels, bool autoConnect);
	// Takes a device opened elsewhere whose hook is CaptureHook with this node as cookie.
	status_t UseDevice(std::unique_ptr<AudioDevice> device);
	status_t InitCheck() const { return fStatus; }
	const std::string& ErrorText() const { return fError; }
	const AudioDevice* Device() const { return fDevice.get(); }

	static void CaptureHook(void* node, const float* frames, size_t count, bigtime_t when);

protected:
	bool IsPushSource() const override { return true; }
	void OutputConnected(const media_raw_audio_format& format) override;
	void Started(bigtime_t performanceTime) override;
	void Stopped() override;
	void HandleEvent(const media_timed_event* event, bigtime_t lateness,
		bool realTimeEvent) override;

private:
	void Capture(const float* frames, size_t count, bigtime_t when);
	status_t Opened(std::unique_ptr<AudioDevice> device, const std::string& error);

	std::unique_ptr<AudioDevice> fDevice;
	CaptureConverter fConverter;
	std::atomic<bool> fConverterReady{false};
	std::atomic<bool> fLostReported{false};
	status_t fStatus = B_NO_INIT;
	std::string fError;
};

class AudioOutputNode : public AudioConsumerNode {
public:
	AudioOutputNode(BMediaAddOn* addOn, int32 flavorId);
	~AudioOutputNode() override;

	// As AudioInputNode's, with playback_1.. and the system's playback ports.
	status_t OpenDevice(uint32 channels = 2);
	status_t OpenJack(const char* prefix, uint32 channels, bool autoConnect);
	status_t InitCheck() const { return fStatus; }
	const std::string& ErrorText() const { return fError; }
	const AudioDevice* Device() const { return fDevice.get(); }
	// Samples the device wanted and did not get (silence played instead).
	int64 Underruns() const { return fUnderruns.load(); }

	static void PlaybackHook(void* node, float* frames, size_t count);

protected:
	status_t Opened(std::unique_ptr<AudioDevice> device, const std::string& error);
	void Consume(const float* frames, size_t count, bigtime_t startTime) override;
	void InputConnected(const media_raw_audio_format& format) override;
	void HandleEvent(const media_timed_event* event, bigtime_t lateness,
		bool realTimeEvent) override;

private:
	std::unique_ptr<AudioDevice> fDevice;
	AudioRing fRing;
	std::atomic<int64> fUnderruns{0};
	status_t fStatus = B_NO_INIT;
	std::string fError;
};

// Opens a JACK device on the process's JACK service: ports "<prefix>_1".. of the given
// channel count, connected to the system's physical ports when autoConnect. Null (with
// *error) when no JACK server answers.
std::unique_ptr<AudioDevice> open_jack_capture(const char* prefix, uint32 channels,
	bool autoConnect, AudioDevice::CaptureHook hook, void* cookie, std::string* error);
std::unique_ptr<AudioDevice> open_jack_playback(const char* prefix, uint32 channels,
	bool autoConnect, AudioDevice::PlaybackHook hook, void* cookie, std::string* error);
