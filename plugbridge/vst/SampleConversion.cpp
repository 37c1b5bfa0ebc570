#include "vst/SampleConversion.h"

#include <algorithm>
#include <cstring>

namespace {

// value with its bytes reversed (T of 1, 2 or 4 bytes).
template <class T>
T Swapped(T value)
{
	if constexpr (sizeof(T) == 2) {
		uint16 bits;
		memcpy(&bits, &value, 2);
		bits = __builtin_bswap16(bits);
		memcpy(&value, &bits, 2);
	} else if constexpr (sizeof(T) == 4) {
		uint32 bits;
		memcpy(&bits, &value, 4);
		bits = __builtin_bswap32(bits);
		memcpy(&value, &bits, 4);
	}
	return value;
}

// Reads one sample of type T at p, swapping bytes when asked.
template <class T>
T Load(const uint8* p, bool swap)
{
	T value;
	memcpy(&value, p, sizeof(T));
	return swap ? Swapped(value) : value;
}

template <class T>
void Store(uint8* p, T value, bool swap)
{
	if (swap)
		value = Swapped(value);
	memcpy(p, &value, sizeof(T));
}

// v limited to ±1; a value that is not a number becomes 0.
inline float Limited(float v)
{
	return std::clamp(v == v ? v : 0.0f, -1.0f, 1.0f);
}

template <class T, class ToFloat>
void Deinterleave(const void* data, bool swap, int32 channels, int32 frames,
	float* const* blocks, ToFloat toFloat)
{
	const uint8* p = static_cast<const uint8*>(data);
	for (int32 f = 0; f < frames; f++) {
		for (int32 c = 0; c < channels; c++, p += sizeof(T))
			blocks[c][f] = toFloat(Load<T>(p, swap));
	}
}

template <class T, class FromFloat>
void Interleave(const float* const* blocks, bool swap, int32 channels, int32 frames,
	void* data, FromFloat fromFloat)
{
	uint8* p = static_cast<uint8*>(data);
	for (int32 f = 0; f < frames; f++) {
		for (int32 c = 0; c < channels; c++, p += sizeof(T))
			Store<T>(p, fromFloat(blocks[c][f]), swap);
	}
}

}  // namespace

size_t SampleSize(uint32 format)
{
	switch (format) {
		case kSampleUChar:
			return 1;
		case kSampleShort:
			return 2;
		case kSampleInt:
		case kSampleFloat:
			return 4;
		default:
			return 0;
	}
}

status_t ConvertToFloat(uint32 format, bool bigEndian, const void* data, int32 channels,
	int32 frames, float* const* blocks)
{
	switch (format) {
		case kSampleUChar:
			Deinterleave<uint8>(data, false, channels, frames, blocks,
				[](uint8 s) { return (float(s) - 128.0f) / 127.0f; });
			return B_OK;
		case kSampleShort:
			Deinterleave<int16>(data, bigEndian, channels, frames, blocks,
				[](int16 s) { return float(s) / 32767.0f; });
			return B_OK;
		case kSampleInt:
			Deinterleave<int32>(data, bigEndian, channels, frames, blocks,
				[](int32 s) { return float(double(s) / 2147483648.0); });
			return B_OK;
		case kSampleFloat:
			Deinterleave<float>(data, bigEndian, channels, frames, blocks,
				[](float s) { return s; });
			return B_OK;
		default:
			return B_BAD_VALUE;
	}
}

status_t ConvertFromFloat(uint32 format, bool bigEndian, const float* const* blocks,
	int32 channels, int32 frames, void* data)
{
	switch (format) {
		case kSampleUChar:
			Interleave<uint8>(blocks, false, channels, frames, data,
				[](float v) { return uint8(int32(128.0f + Limited(v) * 127.0f)); });
			return B_OK;
		case kSampleShort:
			Interleave<int16>(blocks, bigEndian, channels, frames, data,
				[](float v) { return int16(Limited(v) * 32767.0f); });
			return B_OK;
		case kSampleInt:
			Interleave<int32>(blocks, bigEndian, channels, frames, data, [](float v) {
				return int32(std::min(double(Limited(v)) * 2147483648.0, 2147483647.0));
			});
			return B_OK;
		case kSampleFloat:
			Interleave<float>(blocks, bigEndian, channels, frames, data,
				[](float v) { return v; });
			return B_OK;
		default:
			return B_BAD_VALUE;
	}
}
