// AudioDevice over the process's JACK service: one port per channel on the shared client.
#include "media/DeviceNodes.h"

#if SUITE_HAVE_JACK_SERVICE
#include "jack/JackService.h"
#include "media/TimeSource.h"

#include <cstdio>
#include <vector>

namespace {

class JackDevice : public AudioDevice {
public:
	JackDevice(bool input, AudioDevice::CaptureHook capture, AudioDevice::PlaybackHook play,
		void* cookie)
		: fInput(input), fCapture(capture), fPlay(play), fCookie(cookie)
	{
	}

	~JackDevice() override
	{
		if (fJack == nullptr)
			return;
		Stop();
		fJack->RemoveProcessHook(&Silence, this);
		for (jack_port_t* port : fPorts)
			fJack->UnregisterPort(port);
		fJack->Release();
	}

	bool Open(const char* prefix, uint32 channels, bool autoConnect, std::string* error)
	{
		// Nodes on JACK's thread ask the media clock the time: it is made here, never
		// first there (it allocates and follows the service).
		media_time_source();
		status_t status;
		fJack = JackService::Acquire("media", &status, error);
		if (fJack == nullptr)
			return false;
		fRate = fJack->SampleRate();
		fChannels = channels;
		fMaxBlock = std::max<uint32>(fJack->BufferSize(), 1);
		fDescription = std::string("JACK (") + fJack->ClientName() + ")";
		try {
			fScratch.assign(size_t(fMaxBlock) * channels, 0.0f);
		} catch (const std::bad_alloc&) {
			*error = "Out of memory";
			return false;
		}
		for (uint32 c = 0; c < channels; c++) {
			char name[64];
			std::snprintf(name, sizeof(name), "%s_%u", prefix, unsigned(c + 1));
			jack_port_t* port = fJack->RegisterPort(name, JackPortType::Audio,
				fInput ? JackPortDirection::Input : JackPortDirection::Output, &status);
			if (port == nullptr) {
				*error = std::string("Cannot make the JACK port ") + name + ": "
					+ strerror_status(status);
				return false;
			}
			fPorts.push_back(port);
		}
		if (!fInput)
			fJack->AddProcessHook(&Silence, this);
		if (autoConnect) {
			// Physical capture ports send (output ports); playback ports receive.
			std::vector<std::string> system = fJack->FindPorts(JackPortType::Audio,
				fInput ? JackPortDirection::Output : JackPortDirection::Input);
			for (size_t c = 0; c < fPorts.size() && c < system.size(); c++) {
				if (system[c].rfind("system:", 0) != 0)
					continue;
				std::string mine = JackService::PortName(fPorts[c]);
				if (fInput)
					fJack->Connect(system[c], mine);
				else
					fJack->Connect(mine, system[c]);
			}
		}
		return true;
	}

	const std::vector<jack_port_t*>& Ports() const { return fPorts; }

	// A playback port keeps what was last written into it: while stopped, a second hook
	// writes silence. Each switch adds the new hook before it removes the old one (the
	// hook added last runs last), so no period goes by without either.
	status_t Start() override
	{
		if (fRunning)
			return B_OK;
		status_t status = fJack->AddProcessHook(&Process, this);
		fRunning = status == B_OK;
		if (fRunning && !fInput)
			fJack->RemoveProcessHook(&Silence, this);
		return status;
	}

	void Stop() override
	{
		if (!fRunning)
			return;
		if (!fInput)
			fJack->AddProcessHook(&Silence, this);
		fJack->RemoveProcessHook(&Process, this);
		fRunning = false;
	}

	bool Lost() const override { return fJack == nullptr || !fJack->IsRunning(); }

private:
	static void Silence(uint32 frames, void* cookie)
	{
		auto* self = static_cast<JackDevice*>(cookie);
		for (jack_port_t* port : self->fPorts)
			std::fill_n(JackService::AudioBuffer(port, frames), frames, 0.0f);
	}

	static void Process(uint32 frames, void* cookie)
	{
		auto* self = static_cast<JackDevice*>(cookie);
		uint32 channels = self->fChannels;
		bigtime_t when = self->fJack->CurrentPeriod().startTime;
		for (uint32 done = 0; done < frames;) {
			uint32 n = std::min<uint32>(frames - done, uint32(self->fMaxBlock));
			float* scratch = self->fScratch.data();
			if (self->fInput) {
				for (uint32 c = 0; c < channels; c++) {
					const float* in = JackService::AudioBuffer(self->fPorts[c], frames) + done;
					for (uint32 i = 0; i < n; i++)
						scratch[i * channels + c] = in[i];
				}
				self->fCapture(self->fCookie, scratch, n, when);
			} else {
				self->fPlay(self->fCookie, scratch, n);
				for (uint32 c = 0; c < channels; c++) {
					float* out = JackService::AudioBuffer(self->fPorts[c], frames) + done;
					for (uint32 i = 0; i < n; i++)
						out[i] = scratch[i * channels + c];
				}
			}
			done += n;
		}
	}

	bool fInput;
	AudioDevice::CaptureHook fCapture;
	AudioDevice::PlaybackHook fPlay;
	void* fCookie;
	JackService* fJack = nullptr;
	std::vector<jack_port_t*> fPorts;
	std::vector<float> fScratch;
	bool fRunning = false;
};

}  // namespace

std::unique_ptr<AudioDevice> open_jack_capture(const char* prefix, uint32 channels,
	bool autoConnect, AudioDevice::CaptureHook hook, void* cookie, std::string* error)
{
	auto device = std::make_unique<JackDevice>(true, hook, nullptr, cookie);
	if (!device->Open(prefix, channels, autoConnect, error))
		return nullptr;
	return device;
}

std::unique_ptr<AudioDevice> open_jack_playback(const char* prefix, uint32 channels,
	bool autoConnect, AudioDevice::PlaybackHook hook, void* cookie, std::string* error)
{
	auto device = std::make_unique<JackDevice>(false, nullptr, hook, cookie);
	if (!device->Open(prefix, channels, autoConnect, error))
		return nullptr;
	return device;
}

#else  // a build without the JACK service

std::unique_ptr<AudioDevice> open_jack_capture(const char*, uint32, bool,
	AudioDevice::CaptureHook, void*, std::string* error)
{
	*error = "this build has no JACK service";
	return nullptr;
}

std::unique_ptr<AudioDevice> open_jack_playback(const char*, uint32, bool,
	AudioDevice::PlaybackHook, void*, std::string* error)
{
	*error = "this build has no JACK service";
	return nullptr;
}

#endif
