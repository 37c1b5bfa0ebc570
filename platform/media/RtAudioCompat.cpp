#include "media/RtAudioCompat.h"

#include <algorithm>
#include <exception>

// RtAudio 6's header defines RTAUDIO_VERSION_MAJOR; 5's has only the RTAUDIO_VERSION
// string. The build passes pkg-config's major version too, in case a header has neither.
// Picking the wrong side fails to compile (RtAudioError and DeviceInfo::probed are 5's
// alone, getDeviceIds() and getErrorText() 6's), it never builds wrong code.
#if defined(RTAUDIO_VERSION_MAJOR)
#define SUITE_RTAUDIO_6 (RTAUDIO_VERSION_MAJOR >= 6)
#elif defined(SUITE_RTAUDIO_PKG_MAJOR)
#define SUITE_RTAUDIO_6 (SUITE_RTAUDIO_PKG_MAJOR >= 6)
#else
#define SUITE_RTAUDIO_6 0
#endif

namespace rtaudio_compat {

namespace {

#if SUITE_RTAUDIO_6
// Errors while the stream runs are reported here instead of on the audio thread.
void QuietErrors(RtAudioErrorType, const std::string&) {}
#else
void QuietErrors(RtAudioError::Type, const std::string&) {}
#endif

}  // namespace

std::vector<RtAudio::Api> PreferredApis()
{
	std::vector<RtAudio::Api> compiled;
	RtAudio::getCompiledApi(compiled);
	std::vector<RtAudio::Api> order;
	for (RtAudio::Api api : {RtAudio::UNIX_JACK, RtAudio::LINUX_ALSA, RtAudio::LINUX_PULSE}) {
		if (std::find(compiled.begin(), compiled.end(), api) != compiled.end())
			order.push_back(api);
	}
	return order;
}

RtAudio* Make(RtAudio::Api api, std::string* error)
{
	try {
#if SUITE_RTAUDIO_6
		auto* audio = new RtAudio(api, &QuietErrors);
#else
		auto* audio = new RtAudio(api);
#endif
		audio->showWarnings(false);
		return audio;
	} catch (const std::exception& e) {
		if (error != nullptr)
			*error = e.what();
		return nullptr;
	}
}

std::vector<unsigned int> Devices(RtAudio& audio)
{
	try {
#if SUITE_RTAUDIO_6
		return audio.getDeviceIds();
#else
		std::vector<unsigned int> ids;
		unsigned int count = audio.getDeviceCount();
		for (unsigned int i = 0; i < count; i++)
			ids.push_back(i);
		return ids;
#endif
	} catch (const std::exception&) {
		return {};
	}
}

bool Info(RtAudio& audio, unsigned int device, RtAudio::DeviceInfo* info)
{
	try {
		*info = audio.getDeviceInfo(device);
#if SUITE_RTAUDIO_6
		return info->ID == device;
#else
		return info->probed;
#endif
	} catch (const std::exception&) {
		return false;
	}
}

unsigned int DefaultInput(RtAudio& audio)
{
	try {
		return audio.getDefaultInputDevice();
	} catch (const std::exception&) {
		return 0;
	}
}

unsigned int DefaultOutput(RtAudio& audio)
{
	try {
		return audio.getDefaultOutputDevice();
	} catch (const std::exception&) {
		return 0;
	}
}

bool FindDevice(RtAudio& audio, bool input, unsigned int* device)
{
	std::vector<unsigned int> ids = Devices(audio);
	auto channels = [&](unsigned int id) {
		RtAudio::DeviceInfo info;
		if (!Info(audio, id, &info))
			return 0u;
		return input ? info.inputChannels : info.outputChannels;
	};
	unsigned int preferred = input ? DefaultInput(audio) : DefaultOutput(audio);
	if (std::find(ids.begin(), ids.end(), preferred) != ids.end() && channels(preferred) > 0) {
		*device = preferred;
		return true;
	}
	for (unsigned int id : ids) {
		if (channels(id) > 0) {
			*device = id;
			return true;
		}
	}
	return false;
}

std::string Open(RtAudio& audio, RtAudio::StreamParameters* output,
	RtAudio::StreamParameters* input, RtAudioFormat format, unsigned int rate,
	unsigned int* bufferFrames, RtAudioCallback callback, void* user, const char* name)
{
	RtAudio::StreamOptions options;
	options.streamName = name != nullptr ? name : "media";
	try {
#if SUITE_RTAUDIO_6
		RtAudioErrorType error = audio.openStream(output, input, format, rate, bufferFrames,
			callback, user, &options);
		if (error != RTAUDIO_NO_ERROR)
			return audio.getErrorText();
#else
		audio.openStream(output, input, format, rate, bufferFrames, callback, user, &options,
			&QuietErrors);
#endif
	} catch (const std::exception& e) {
		return e.what();
	}
	return "";
}

std::string Start(RtAudio& audio)
{
	try {
		if (audio.isStreamRunning())
			return "";
#if SUITE_RTAUDIO_6
		if (audio.startStream() != RTAUDIO_NO_ERROR)
			return audio.getErrorText();
#else
		audio.startStream();
#endif
	} catch (const std::exception& e) {
		return e.what();
	}
	return "";
}

void Stop(RtAudio& audio)
{
	try {
		if (audio.isStreamRunning())
			audio.stopStream();
	} catch (const std::exception&) {
	}
}

void Close(RtAudio& audio)
{
	try {
		if (audio.isStreamOpen())
			audio.closeStream();
	} catch (const std::exception&) {
	}
}

bool IsRunning(RtAudio& audio)
{
	try {
		return audio.isStreamRunning();
	} catch (const std::exception&) {
		return false;
	}
}

long Latency(RtAudio& audio)
{
	try {
		return audio.getStreamLatency();
	} catch (const std::exception&) {
		return 0;
	}
}

const char* DisplayName(RtAudio::Api api)
{
	switch (api) {
		case RtAudio::UNIX_JACK: return "JACK";
		case RtAudio::LINUX_ALSA: return "ALSA";
		case RtAudio::LINUX_PULSE: return "PulseAudio";
		case RtAudio::LINUX_OSS: return "OSS";
		default: return "audio";
	}
}

}  // namespace rtaudio_compat
