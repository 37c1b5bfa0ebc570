#include "DecoderPlugin.h"

#include "Amplification.h"
#include "Recorder.h"

#include <strings.h>

#include <cstring>
#include <new>

namespace micfeed {

namespace {

int32_t InputOpen(void* data, const char*, const char*, uint32_t, BMessage* config)
{
	AdoptAmplification(config);
	return 0;
}

int32_t Info(void* data, file_info* info)
{
	if (info == nullptr)
		return B_BAD_VALUE;
	DescribeStream(info);
	return 0;
}

int32_t ReadData(void* data, char* buffer, uint32_t frames)
{
	if (data == nullptr || (buffer == nullptr && frames > 0))
		return -1;
	return static_cast<Recorder*>(data)->Read(buffer, frames);
}

decoder_ops sOperations = {
	TUNEDECK_OPERATIONS_MAGIC,
	TUNEDECK_RECORD_VERSION,
	InputOpen,
	nullptr,
	Info,
	ReadData,
	{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

bool TakesLocation(const char* url)
{
	return url != nullptr && strncasecmp(url, "input:", 6) == 0;
}

decoder_ops* GetPlugin(void** data, const char* url, const char*, uint32_t, plugin_info*)
{
	if (data == nullptr || !TakesLocation(url))
		return nullptr;
	Recorder* recorder = new (std::nothrow) Recorder;
	if (recorder == nullptr)
		return nullptr;
	*data = recorder;
	return &sOperations;
}

void DestroyPlugin(void*, void* data)
{
	delete static_cast<Recorder*>(data);
}

decoder_ops* Operations()
{
	return &sOperations;
}

void DescribeStream(file_info* info)
{
	memset(info, 0, sizeof(*info));
	strcpy(info->typedesc, "audio input");
	strcpy(info->mimetype, "audio/x-raw");
	info->samplerate = Recorder::kFrameRate;
	info->bitrate = Recorder::kFrameRate * 2 * 16;
	info->channels = 2;
	info->granularity = 1024;
	info->frames = TUNEDECK_ENDLESS;
	info->samplesize = 2;
	info->byteorder = 1;
	info->sampletype = 1;
	info->interleaved = 1;
	info->framesize = 4;
}

}  // namespace micfeed
