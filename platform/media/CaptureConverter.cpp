#include "media/CaptureConverter.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <new>

CaptureConverter::~CaptureConverter()
{
	if (fState != nullptr)
		src_delete(fState);
}

status_t CaptureConverter::Prepare(double inputRate, uint32 inputChannels, double outputRate,
	uint32 outputChannels, size_t maxInputFrames, Quality quality)
{
	if (fState != nullptr)
		src_delete(fState);
	fState = nullptr;
	if (!(inputRate >= 1000 && inputRate <= 384000) || !(outputRate >= 1000 && outputRate <= 384000)
		|| inputChannels < 1 || inputChannels > 64 || outputChannels < 1 || outputChannels > 64
		|| maxInputFrames == 0 || maxInputFrames > (1 << 20))
		return B_BAD_VALUE;
	fRatio = outputRate / inputRate;
	if (src_is_valid_ratio(fRatio) == 0)
		return B_BAD_VALUE;
	fInputChannels = inputChannels;
	fOutputChannels = outputChannels;
	fMaxInput = maxInputFrames;
	try {
		fMapped.assign(maxInputFrames * outputChannels, 0.0f);
		size_t most = size_t(std::ceil(double(maxInputFrames) * fRatio)) + 16;
		fConverted.assign(most * outputChannels, 0.0f);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	if (inputRate != outputRate) {
		int error = 0;
		fState = src_new(int(quality), int(outputChannels), &error);
		if (fState == nullptr) {
			fError = src_strerror(error);
			return B_ERROR;
		}
	}
	return B_OK;
}

void CaptureConverter::Reset()
{
	if (fState != nullptr)
		src_reset(fState);
}

size_t CaptureConverter::Convert(const float* input, size_t frames, const float** output)
{
	frames = std::min(frames, fMaxInput);
	// Channels first, at the input rate.
	const float* mapped = input;
	if (fInputChannels != fOutputChannels) {
		float* out = fMapped.data();
		for (size_t f = 0; f < frames; f++) {
			const float* in = input + f * fInputChannels;
			if (fOutputChannels == 1) {
				float sum = 0;
				for (uint32 c = 0; c < fInputChannels; c++)
					sum += in[c];
				*out++ = sum / float(fInputChannels);
			} else {
				for (uint32 c = 0; c < fOutputChannels; c++)
					*out++ = in[c < fInputChannels ? c : fInputChannels - 1];
			}
		}
		mapped = fMapped.data();
	}
	if (fState == nullptr) {
		*output = mapped;
		return frames;
	}
	SRC_DATA data{};
	data.data_in = mapped;
	data.input_frames = long(frames);
	data.data_out = fConverted.data();
	data.output_frames = long(fConverted.size() / fOutputChannels);
	data.src_ratio = fRatio;
	data.end_of_input = 0;
	if (src_process(fState, &data) != 0) {
		*output = fConverted.data();
		return 0;
	}
	*output = fConverted.data();
	return size_t(data.output_frames_gen);
}
