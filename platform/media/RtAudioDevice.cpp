// AudioDevice over RtAudio's ALSA and PulseAudio devices.
#include "media/AudioDevice.h"

#include "kernel/OS.h"
#include "media/RtAudioCompat.h"

#include <algorithm>

namespace {

class RtAudioDevice : public AudioDevice {
public:
	RtAudioDevice(bool input, AudioDevice::CaptureHook capture, AudioDevice::PlaybackHook play,
		void* cookie)
		: fInput(input), fCapture(capture), fPlay(play), fCookie(cookie)
	{
	}
	~RtAudioDevice() override
	{
		if (fAudio) {
			rtaudio_compat::Stop(*fAudio);
			rtaudio_compat::Close(*fAudio);
		}
	}

	bool Open(uint32 channels, std::string* error)
	{
		std::string tried;
		for (RtAudio::Api api : rtaudio_compat::PreferredApis()) {
			// JACK goes through the process's JACK service, not a client of RtAudio's.
			if (api == RtAudio::UNIX_JACK)
				continue;
			std::string reason;
			std::unique_ptr<RtAudio> audio(rtaudio_compat::Make(api, &reason));
			unsigned int device = 0;
			RtAudio::DeviceInfo info;
			if (audio && (!rtaudio_compat::FindDevice(*audio, fInput, &device)
					|| !rtaudio_compat::Info(*audio, device, &info)))
				reason = fInput ? "no input device" : "no output device";
			if (audio && reason.empty()) {
				unsigned int has = fInput ? info.inputChannels : info.outputChannels;
				RtAudio::StreamParameters parameters;
				parameters.deviceId = device;
				parameters.nChannels = std::max(1u, std::min(has, channels));
				unsigned int rate = info.preferredSampleRate != 0 ? info.preferredSampleRate
																  : 48000;
				unsigned int frames = 512;
				reason = rtaudio_compat::Open(*audio, fInput ? nullptr : &parameters,
					fInput ? &parameters : nullptr, RTAUDIO_FLOAT32, rate, &frames, &Callback,
					this, "media");
				if (reason.empty()) {
					fAudio = std::move(audio);
					fRate = rate;
					fChannels = parameters.nChannels;
					fMaxBlock = std::max<size_t>(frames, 8192);
					fDescription = std::string(rtaudio_compat::DisplayName(api)) + ": " + info.name;
					return true;
				}
			}
			if (!tried.empty())
				tried += "; ";
			tried += std::string(rtaudio_compat::DisplayName(api)) + ": " + reason;
		}
		*error = std::string(fInput ? "No audio input device is available"
									: "No audio output device is available")
			+ (tried.empty() ? "" : " (" + tried + ")");
		return false;
	}

	status_t Start() override
	{
		return rtaudio_compat::Start(*fAudio).empty() ? B_OK : B_ERROR;
	}
	void Stop() override { rtaudio_compat::Stop(*fAudio); }

private:
	static int Callback(void* output, void* input, unsigned int frames, double,
		RtAudioStreamStatus, void* user)
	{
		auto* self = static_cast<RtAudioDevice*>(user);
		if (self->fInput)
			self->fCapture(self->fCookie, static_cast<const float*>(input), frames, system_time());
		else
			self->fPlay(self->fCookie, static_cast<float*>(output), frames);
		return 0;
	}

	bool fInput;
	AudioDevice::CaptureHook fCapture;
	AudioDevice::PlaybackHook fPlay;
	void* fCookie;
	std::unique_ptr<RtAudio> fAudio;
};

}  // namespace

std::unique_ptr<AudioDevice> open_rtaudio_capture(uint32 channels, AudioDevice::CaptureHook hook,
	void* cookie, std::string* error)
{
	auto device = std::make_unique<RtAudioDevice>(true, hook, nullptr, cookie);
	if (!device->Open(channels, error))
		return nullptr;
	return device;
}

std::unique_ptr<AudioDevice> open_rtaudio_playback(uint32 channels,
	AudioDevice::PlaybackHook hook, void* cookie, std::string* error)
{
	auto device = std::make_unique<RtAudioDevice>(false, nullptr, hook, cookie);
	if (!device->Open(channels, error))
		return nullptr;
	return device;
}
