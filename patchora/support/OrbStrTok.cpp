#include "support/OrbStrTok.h"

#include <bitset>

OrbStrTok::OrbStrTok(const OrbString& source, const OrbString& delimiters)
    : fSource(source), fDelimiters(delimiters)
{
    fCursor = fSource.String();
    fEnd = fCursor != nullptr ? fCursor + fSource.Length() : nullptr;
}

OrbStrTok::OrbStrTok(const OrbString& source) : OrbStrTok(source, OrbString())
{
}

const OrbString& OrbStrTok::Next()
{
    return Next(fDelimiters);
}

const OrbString& OrbStrTok::Next(const OrbString& delimiters)
{
    if (fCursor == nullptr || fCursor >= fEnd) {
        fCursor = nullptr;
        fToken = OrbString();
        fDelimiter = OrbString();
        return fToken;
    }
    std::bitset<256> isDelimiter;
    for (int32_t i = 0; i < delimiters.Length(); i++)
        isDelimiter.set(static_cast<unsigned char>(delimiters[i]));
    const char* at = fCursor;
    while (at < fEnd && !isDelimiter.test(static_cast<unsigned char>(*at)))
        at++;
    fToken.Set(fCursor, static_cast<int32_t>(at - fCursor));
    if (at == fEnd) {
        fDelimiter.Set("", 0);
        fCursor = nullptr;
    } else {
        fDelimiter.Set(at, 1);
        fCursor = at + 1;
    }
    return fToken;
}

const OrbString& OrbStrTok::NextChar()
{
    if (fCursor == nullptr || fCursor >= fEnd) {
        fCursor = nullptr;
        fToken = OrbString();
        fDelimiter = OrbString();
        return fToken;
    }
    fToken.Set(fCursor, 1);
    fDelimiter.Set("", 0);
    fCursor++;
    return fToken;
}
