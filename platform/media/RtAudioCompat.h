#pragma once
// The RtAudio calls the media layer makes, for both RtAudio 5 (errors thrown as
// RtAudioError, devices numbered 0..count-1) and RtAudio 6 (errors returned, devices
// named by ids). Internal to the media layer. Every function catches what the library
// throws and returns an error text ("" for success).
#include <rtaudio/RtAudio.h>

#include <string>
#include <vector>

namespace rtaudio_compat {

// The APIs compiled into the library, in the order to try them: JACK, ALSA, PulseAudio.
std::vector<RtAudio::Api> PreferredApis();
// A quiet RtAudio object for api; null (with the reason) when the library refuses.
RtAudio* Make(RtAudio::Api api, std::string* error);
// Device ids of the API.
std::vector<unsigned int> Devices(RtAudio& audio);
bool Info(RtAudio& audio, unsigned int device, RtAudio::DeviceInfo* info);
unsigned int DefaultInput(RtAudio& audio);
unsigned int DefaultOutput(RtAudio& audio);
// An input device (the default when it has inputs, else the first that has), or false.
bool FindDevice(RtAudio& audio, bool input, unsigned int* device);
std::string Open(RtAudio& audio, RtAudio::StreamParameters* output,
	RtAudio::StreamParameters* input, RtAudioFormat format, unsigned int rate,
	unsigned int* bufferFrames, RtAudioCallback callback, void* user, const char* name);
std::string Start(RtAudio& audio);
void Stop(RtAudio& audio);
void Close(RtAudio& audio);
bool IsRunning(RtAudio& audio);
long Latency(RtAudio& audio);
const char* DisplayName(RtAudio::Api api);

}  // namespace rtaudio_compat
