#include "params/LbIntCodecs.h"

#include <new>

namespace {

bool Inside(const uint8* bits, uint32 length, uint32 index)
{
    return bits != nullptr && index < length;
}

} // namespace

status_t Lb7BitIntCodec::ReadSysEx(const uint8* bits, uint32 length, uint32 first, uint32, int32* value) const
{
    if (!Inside(bits, length, first) || value == nullptr) return B_ERROR;
    *value = bits[first];
    return B_OK;
}

status_t Lb7BitIntCodec::WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32, int32 value) const
{
    if (!Inside(bits, length, first) || value < 0 || value > 255) return B_ERROR;
    bits[first] = uint8(value);
    return B_OK;
}

status_t Lb7BitIntCodec2::ReadSysEx(const uint8* bits, uint32 length, uint32 first, uint32, int32* value) const
{
    if (!Inside(bits, length, first) || value == nullptr) return B_ERROR;
    int32 b = bits[first];
    *value = b <= 127 ? b : b - 256;
    return B_OK;
}

status_t Lb7BitIntCodec2::WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32, int32 value) const
{
    if (!Inside(bits, length, first) || value < -128 || value > 127) return B_ERROR;
    bits[first] = uint8(value < 0 ? value + 256 : value);
    return B_OK;
}

status_t Lb14BitIntCodec2::ReadSysEx(const uint8* bits, uint32 length, uint32 first, uint32 last, int32* value) const
{
    if (!Inside(bits, length, first) || !Inside(bits, length, last) || value == nullptr) return B_ERROR;
    int32 v = int32(bits[last]) * 128 + bits[first];
    *value = v > 8191 ? v - 16384 : v;
    return B_OK;
}

status_t Lb14BitIntCodec2::WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32, int32 value) const
{
    if (first == UINT32_MAX || !Inside(bits, length, first) || !Inside(bits, length, first + 1)) return B_ERROR;
    if (value < -8192 || value > 8191) return B_ERROR;
    int32 v = value < 0 ? value + 16384 : value;
    bits[first] = uint8(v & 0x7F);
    bits[first + 1] = uint8(v >> 7);
    return B_OK;
}

status_t LbCodecFactory::NewIntCodec(uint32 flags, uint32 bits, LbIntCodecI** codec)
{
    if (codec == nullptr) return B_BAD_VALUE;
    *codec = nullptr;
    bool isSigned = (flags & LB_CODEC_SIGNED) != 0;
    if (isSigned && bits == 7)
        *codec = new (std::nothrow) Lb7BitIntCodec2;
    else if (isSigned && bits == 14)
        *codec = new (std::nothrow) Lb14BitIntCodec2;
    else if (!isSigned && bits == 7)
        *codec = new (std::nothrow) Lb7BitIntCodec;
    else
        return B_ERROR;
    return *codec ? B_OK : B_NO_MEMORY;
}
