#pragma once
// Byte codecs: how an integer value lies in the bytes of a SysEx block. A codec fails
// with -1, touching nothing, when the bytes it would read or write lie outside the block
// or the value cannot be represented in its width. Codecs hold no state.
#include "kernel/SupportDefs.h"

class LbIntCodecI {
public:
    virtual ~LbIntCodecI() = default;
    virtual status_t ReadSysEx(const uint8* bits, uint32 length, uint32 first, uint32 last, int32* value) const = 0;
    virtual status_t WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32 last, int32 value) const = 0;
};

// Unsigned byte: 0..255.
class Lb7BitIntCodec : public LbIntCodecI {
public:
    status_t ReadSysEx(const uint8* bits, uint32 length, uint32 first, uint32 last, int32* value) const override;
    status_t WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32 last, int32 value) const override;
};

// Signed byte, two's complement: -128..127.
class Lb7BitIntCodec2 : public LbIntCodecI {
public:
    status_t ReadSysEx(const uint8* bits, uint32 length, uint32 first, uint32 last, int32* value) const override;
    status_t WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32 last, int32 value) const override;
};

// Signed 14-bit word in two 7-bit bytes, low first: -8192..8191. Reads the high byte at
// `last`, writes it at first + 1 (every 14-bit parameter has last == first + 1).
class Lb14BitIntCodec2 : public LbIntCodecI {
public:
    status_t ReadSysEx(const uint8* bits, uint32 length, uint32 first, uint32 last, int32* value) const override;
    status_t WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32 last, int32 value) const override;
};

constexpr uint32 LB_CODEC_SIGNED = 1;

class LbCodecFactory {
public:
    // flags bit 0: signed. Signed 7 and 14 bits and unsigned 7 bits exist; anything else
    // gives -1 and no codec. The caller owns the codec.
    static status_t NewIntCodec(uint32 flags, uint32 bits, LbIntCodecI** codec);
};
