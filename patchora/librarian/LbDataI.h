#pragma once
// One block of MIDI System Exclusive bytes, exactly as sent to or received from a device.
#include "kernel/SupportDefs.h"

class LbXmlStreamI;

class LbDataI {
public:
    virtual ~LbDataI() = default;
    virtual const uint8* Bits() const = 0;                      // null when empty
    virtual uint8* Bits() = 0;                                  // for codecs writing in place
    virtual uint32 Length() const = 0;
    virtual status_t SetTo(const uint8* bytes, uint32 length) = 0;  // a copy
    virtual status_t Append(const uint8* bytes, uint32 length) = 0;
    // Writes the block as element `tag` holding upper-case hex digits.
    virtual ssize_t WriteTo(LbXmlStreamI* stream, const char* tag) const = 0;
    // Reads the text up to the end tag of `tag` and decodes it as hex.
    virtual status_t ReadFrom(LbXmlStreamI* stream, const char* tag) = 0;
    virtual bool Matches(const LbDataI* other) const = 0;
    virtual bool Matches(const uint8* bytes, uint32 length) const = 0;
    // Newly allocated (malloc) upper-case hex text, or null for an empty block.
    virtual char* AsString() const = 0;
    virtual status_t FromString(const char* text) = 0;
};
