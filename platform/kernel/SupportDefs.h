// Basic types of the platform layer: sized integers, status_t, bigtime_t, the ids of
// kernel objects, and the four-character type codes that tag message fields.
// Include this (or a header that includes it) instead of spelling out <cstdint> types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

#include "kernel/Errors.h"

typedef int8_t int8;
typedef uint8_t uint8;
typedef int16_t int16;
typedef uint16_t uint16;
typedef int32_t int32;
typedef uint32_t uint32;
typedef int64_t int64;
typedef uint64_t uint64;

typedef int32 status_t;
typedef int64 bigtime_t;   // microseconds
typedef uint32 type_code;
typedef int32 thread_id;
typedef int32 sem_id;
typedef int32 port_id;
typedef int32 image_id;

#define B_INFINITE_TIMEOUT ((bigtime_t)INT64_MAX)

// Four-character constant: FOUR_CC('L','O','N','G') == 'LONG'.
constexpr uint32 FOUR_CC(char a, char b, char c, char d)
{
	return (uint32(uint8(a)) << 24) | (uint32(uint8(b)) << 16) | (uint32(uint8(c)) << 8)
		| uint32(uint8(d));
}

// Type codes of message fields.
enum : type_code {
	B_ANY_TYPE = 'ANYT',
	B_BOOL_TYPE = 'BOOL',
	B_CHAR_TYPE = 'CHAR',
	B_DOUBLE_TYPE = 'DBLE',
	B_FLOAT_TYPE = 'FLOT',
	B_INT8_TYPE = 'BYTE',
	B_INT16_TYPE = 'SHRT',
	B_INT32_TYPE = 'LONG',
	B_INT64_TYPE = 'LLNG',
	B_UINT8_TYPE = 'UBYT',
	B_UINT16_TYPE = 'USHT',
	B_UINT32_TYPE = 'ULNG',
	B_UINT64_TYPE = 'ULLG',
	B_MESSAGE_TYPE = 'MSGG',
	B_MESSENGER_TYPE = 'MSNG',
	B_MIME_TYPE = 'MIME',
	B_POINTER_TYPE = 'PNTR',
	B_POINT_TYPE = 'BPNT',
	B_RAW_TYPE = 'RAWT',
	B_RECT_TYPE = 'RECT',
	B_REF_TYPE = 'RREF',
	B_RGB_COLOR_TYPE = 'RGBC',
	B_STRING_TYPE = 'CSTR',
};
