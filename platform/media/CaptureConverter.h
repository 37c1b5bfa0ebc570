#pragma once
// CaptureConverter: turns what an audio device captures (interleaved float frames at the
// device's rate and channel count) into frames at the rate and channel count a consumer
// accepts: channels are mixed down to mono (their mean), cut or repeated, and the rate is
// converted with libsamplerate. The default audio input uses it between the device and
// its output.
//
// Lifetime: Prepare() makes every buffer and the converter; Convert() then allocates
// nothing and is safe on a device's audio thread.
// Errors: Prepare gives B_BAD_VALUE for rates or channel counts out of range,
// B_NO_MEMORY, or B_ERROR with ErrorText() from libsamplerate.
// Threads: one thread at a time.
#include "kernel/SupportDefs.h"

#include <string>
#include <vector>

struct SRC_STATE_tag;

class CaptureConverter {
public:
	enum Quality { kBest = 0, kMedium = 1, kFastest = 2, kLinear = 4 };

	CaptureConverter() = default;
	~CaptureConverter();
	CaptureConverter(const CaptureConverter&) = delete;
	CaptureConverter& operator=(const CaptureConverter&) = delete;

	// maxInputFrames: the most frames one Convert call passes in.
	status_t Prepare(double inputRate, uint32 inputChannels, double outputRate,
		uint32 outputChannels, size_t maxInputFrames, Quality quality = kFastest);
	// Converts `frames` input frames; returns the output frames written to *output (valid
	// until the next call): about frames × outputRate / inputRate.
	size_t Convert(const float* input, size_t frames, const float** output);
	// Forgets the converter's history (after a pause).
	void Reset();

	bool ConvertsRate() const { return fState != nullptr; }
	double Ratio() const { return fRatio; }
	const std::string& ErrorText() const { return fError; }

private:
	SRC_STATE_tag* fState = nullptr;
	double fRatio = 1.0;
	uint32 fInputChannels = 0;
	uint32 fOutputChannels = 0;
	size_t fMaxInput = 0;
	std::vector<float> fMapped;     // input frames in the output's channels
	std::vector<float> fConverted;  // output frames
	std::string fError;
};
