#pragma once
// Conversions between interleaved raw audio of the four sample formats a node accepts and
// the non-interleaved float blocks a plug-in processes.
//
// Into float: 8-bit unsigned (s − 128) / 127, 16-bit s / 32767, 32-bit s × 2⁻³¹, float as
// it is. Out of float (truncating): 128 + v × 127, v × 32767, v × 2³¹; values beyond ±1
// (and values that are not a number, as 0) are clamped to the integer range, never wrapped.
// Float output is not clamped. Big-endian data are byte-swapped on the way.
//
// Real time: no allocation, no lock; safe on the audio thread.

#include <cstddef>

#include "kernel/SupportDefs.h"

// The raw-audio sample format codes.
enum VSTSampleFormat : uint32 {
	kSampleUChar = 0x11,
	kSampleShort = 0x2,
	kSampleInt = 0x4,
	kSampleFloat = 0x24,
};

// Bytes of one sample; 0 for a format that is not converted.
size_t SampleSize(uint32 format);

// `frames` interleaved frames of `channels` samples into blocks[0 … channels − 1].
// B_BAD_VALUE (nothing written) for a format that is not converted.
status_t ConvertToFloat(uint32 format, bool bigEndian, const void* data, int32 channels,
	int32 frames, float* const* blocks);
// blocks[0 … channels − 1] into `frames` interleaved frames of `channels` samples.
status_t ConvertFromFloat(uint32 format, bool bigEndian, const float* const* blocks,
	int32 channels, int32 frames, void* data);
