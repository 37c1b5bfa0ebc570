#include "params/LbStringCodec.h"

#include <cstdlib>
#include <cstring>

status_t LbStringCodec::ReadSysEx(const uint8*, uint32, uint32, uint32, int8, char**) const
{
    return B_ERROR;
}

status_t LbStringCodec::WriteSysEx(uint8*, uint32, uint32, uint32, int8, const char*) const
{
    return B_ERROR;
}

status_t LbRunStringCodec::ReadSysEx(const uint8* bits, uint32 length, uint32 first, uint32 last, int8 step,
                                     char** text) const
{
    if (step < 1 || text == nullptr || last < first) return B_ERROR;
    char* out = static_cast<char*>(malloc(size_t(last - first) + 4));
    if (out == nullptr) return B_NO_MEMORY;
    size_t count = 0;
    for (uint64 i = first; i <= last && i < length && bits != nullptr; i += uint64(step))
        out[count++] = char(bits[i]);
    out[count] = 0;
    *text = out;
    return B_OK;
}

status_t LbRunStringCodec::WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32 last, int8 step,
                                      const char* text) const
{
    if (step < 1 || text == nullptr || bits == nullptr) return B_ERROR;
    size_t textLength = strlen(text);
    size_t i = 0;
    for (uint64 at = first; at <= last && at < length; at += uint64(step), i++) {
        if (i < textLength)
            bits[at] = uint8(text[i]);
        else if (mFillBlanks)
            bits[at] = uint8(mFill);
        else
            break;
    }
    return B_OK;
}
