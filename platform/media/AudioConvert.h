#pragma once
// Conversions between float samples (-1..1) and the raw-audio sample formats, for the
// platform's nodes. Out-of-range values clamp, not-a-number becomes 0. Nothing allocates;
// safe on audio threads.
#include "media/MediaDefs.h"

// Writes `count` samples from float into `out` in the given sample format (native byte
// order). B_AUDIO_DOUBLE and unknown formats write nothing and return false.
bool convert_from_float(const float* in, void* out, size_t count, uint32 format);
// Reads `count` samples of the given format (native byte order) as float.
bool convert_to_float(const void* in, float* out, size_t count, uint32 format);
// Swaps the bytes of `count` samples in place (for the other byte order).
void swap_sample_bytes(void* data, size_t count, uint32 format);
