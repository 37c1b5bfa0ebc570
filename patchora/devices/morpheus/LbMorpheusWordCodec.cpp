#include "devices/morpheus/LbMorpheusWordCodec.h"

status_t LbMorpheusWordCodec::WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32 last, int32 value) const
{
    if (value < mMin || value > mMax) return B_ERROR;
    return Lb14BitIntCodec2::WriteSysEx(bits, length, first, last, value);
}
