// A decoder plug-in for the host's tests: "tone:FREQ[:SECONDS]" is a stereo sine of FREQ Hz
// at 44 100 Hz, amplitude 1000 × amplification / 10 (the host's setting), endless without
// SECONDS. Any other location is refused.
#include "TunedeckPlugin.h"
#include "app/Message.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

struct Tone {
	double frequency = 440;
	int64_t frames = TUNEDECK_ENDLESS;
	int64_t position = 0;
	double amplitude = 1000;
};

int32_t Open(void* data, const char*, const char*, uint32_t, BMessage* config)
{
	int32 amplification = 0;
	if (config != nullptr && config->FindInt32("amplification", &amplification) == B_OK)
		static_cast<Tone*>(data)->amplitude = 100.0 * amplification;
	return 0;
}

int32_t Info(void* data, file_info* info)
{
	const Tone* tone = static_cast<Tone*>(data);
	memset(info, 0, sizeof(*info));
	strcpy(info->name, "test tone");
	strcpy(info->typedesc, "sine");
	strcpy(info->mimetype, "audio/x-raw");
	info->samplerate = 44100;
	info->bitrate = 44100 * 32;
	info->channels = 2;
	info->granularity = 1000;
	info->frames = int32_t(tone->frames);
	info->samplesize = 2;
	info->byteorder = info->sampletype = info->interleaved = 1;
	info->framesize = 4;
	return 0;
}

int32_t Read(void* data, char* buffer, uint32_t frames)
{
	Tone* tone = static_cast<Tone*>(data);
	if (tone->frames != TUNEDECK_ENDLESS)
		frames = uint32_t(std::min<int64_t>(frames, tone->frames - tone->position));
	int16_t* out = reinterpret_cast<int16_t*>(buffer);
	for (uint32_t i = 0; i < frames; i++, tone->position++) {
		double phase = 2 * M_PI * tone->frequency * double(tone->position) / 44100.0;
		out[2 * i] = int16_t(std::lround(tone->amplitude * std::sin(phase)));
		out[2 * i + 1] = int16_t(-out[2 * i]);
	}
	return int32_t(frames);
}

decoder_ops sOps = {TUNEDECK_OPERATIONS_MAGIC, TUNEDECK_RECORD_VERSION, Open, nullptr, Info,
	Read, {}};

decoder_ops* GetPlugin(void** data, const char* url, const char*, uint32_t, plugin_info*)
{
	if (strncmp(url, "tone:", 5) != 0)
		return nullptr;
	Tone* tone = new (std::nothrow) Tone;
	char* end = nullptr;
	tone->frequency = strtod(url + 5, &end);
	if (end != nullptr && *end == ':')
		tone->frames = int64_t(strtod(end + 1, nullptr) * 44100);
	*data = tone;
	return &sOps;
}

void DestroyPlugin(void*, void* data)
{
	delete static_cast<Tone*>(data);
}

[[maybe_unused]] decoder_plugin sPlugin = {TUNEDECK_DESCRIPTOR_MAGIC, TUNEDECK_RECORD_VERSION, "test-tone", 1, 0,
	"Test Tone", "A sine for the tests", nullptr, nullptr, GetPlugin, DestroyPlugin};

#ifdef TONE_BAD_MAGIC
decoder_plugin sOther = {0x6f6c6421, 2, "old", 1, 0, "Old", "", nullptr, nullptr, nullptr,
	nullptr};
[[maybe_unused]] decoder_plugin* sPlugs[] = {&sOther, nullptr};
#else
[[maybe_unused]] decoder_plugin* sPlugs[] = {&sPlugin, nullptr};
#endif
supported_type sTypes[] = {{"audio/x-test-tone", "test tone", "tone", "tone", nullptr}, {}};

}  // namespace

#ifndef TONE_NO_LIST
extern "C" __attribute__((visibility("default"))) decoder_plugin** get_plugin_list(void)
{
	return sPlugs;
}
#endif

extern "C" __attribute__((visibility("default"))) supported_type* get_supported_types(void)
{
	return sTypes;
}
