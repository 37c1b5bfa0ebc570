#include "media/AudioConvert.h"

#include <cmath>
#include <cstring>

namespace {

inline float Clean(float x)
{
	if (!(x == x))
		return 0.0f;
	return x < -1.0f ? -1.0f : x > 1.0f ? 1.0f : x;
}

template <class T>
void FromFloat(const float* in, T* out, size_t count, double scale, double offset, double low,
	double high)
{
	for (size_t i = 0; i < count; i++) {
		double v = std::nearbyint(double(Clean(in[i])) * scale) + offset;
		out[i] = T(v < low ? low : v > high ? high : v);
	}
}

template <class T>
void ToFloat(const T* in, float* out, size_t count, double scale, double offset)
{
	for (size_t i = 0; i < count; i++)
		out[i] = float((double(in[i]) - offset) / scale);
}

}  // namespace

bool convert_from_float(const float* in, void* out, size_t count, uint32 format)
{
	switch (format) {
		case media_raw_audio_format::B_AUDIO_FLOAT:
			for (size_t i = 0; i < count; i++)
				static_cast<float*>(out)[i] = Clean(in[i]);
			return true;
		case media_raw_audio_format::B_AUDIO_INT:
			FromFloat(in, static_cast<int32*>(out), count, 2147483648.0, 0, -2147483648.0,
				2147483647.0);
			return true;
		case media_raw_audio_format::B_AUDIO_SHORT:
			FromFloat(in, static_cast<int16*>(out), count, 32768.0, 0, -32768.0, 32767.0);
			return true;
		case media_raw_audio_format::B_AUDIO_UCHAR:
			FromFloat(in, static_cast<uint8*>(out), count, 128.0, 128.0, 0.0, 255.0);
			return true;
		case media_raw_audio_format::B_AUDIO_CHAR:
			FromFloat(in, static_cast<int8*>(out), count, 128.0, 0, -128.0, 127.0);
			return true;
		default:
			return false;
	}
}

bool convert_to_float(const void* in, float* out, size_t count, uint32 format)
{
	switch (format) {
		case media_raw_audio_format::B_AUDIO_FLOAT:
			std::memcpy(out, in, count * sizeof(float));
			return true;
		case media_raw_audio_format::B_AUDIO_DOUBLE:
			ToFloat(static_cast<const double*>(in), out, count, 1.0, 0);
			return true;
		case media_raw_audio_format::B_AUDIO_INT:
			ToFloat(static_cast<const int32*>(in), out, count, 2147483648.0, 0);
			return true;
		case media_raw_audio_format::B_AUDIO_SHORT:
			ToFloat(static_cast<const int16*>(in), out, count, 32768.0, 0);
			return true;
		case media_raw_audio_format::B_AUDIO_UCHAR:
			ToFloat(static_cast<const uint8*>(in), out, count, 128.0, 128.0);
			return true;
		case media_raw_audio_format::B_AUDIO_CHAR:
			ToFloat(static_cast<const int8*>(in), out, count, 128.0, 0);
			return true;
		default:
			return false;
	}
}

void swap_sample_bytes(void* data, size_t count, uint32 format)
{
	size_t size = media_sample_size(format);
	if (size < 2)
		return;
	auto* bytes = static_cast<uint8*>(data);
	for (size_t i = 0; i < count; i++, bytes += size) {
		for (size_t a = 0, b = size - 1; a < b; a++, b--) {
			uint8 t = bytes[a];
			bytes[a] = bytes[b];
			bytes[b] = t;
		}
	}
}
