#pragma once
#include "kernel/SupportDefs.h"

// How a text lies in a SysEx block: one character every `step` bytes from first to last.
class LbStringCodec {
public:
    virtual ~LbStringCodec() = default;
    // `text` receives a newly allocated (malloc) NUL-terminated copy.
    virtual status_t ReadSysEx(const uint8* bits, uint32 length, uint32 first, uint32 last, int8 step, char** text) const;
    virtual status_t WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32 last, int8 step, const char* text) const;
};

// Characters stored one per `step` bytes, no translation. Past the end of a written text
// the remaining places get the fill character when fill-blanks is set, else keep theirs.
class LbRunStringCodec : public LbStringCodec {
public:
    void SetFillBlanks(char fill) { mFillBlanks = true; mFill = fill; }
    status_t ReadSysEx(const uint8* bits, uint32 length, uint32 first, uint32 last, int8 step, char** text) const override;
    status_t WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32 last, int8 step, const char* text) const override;

private:
    bool mFillBlanks = false;
    char mFill = 0;
};
