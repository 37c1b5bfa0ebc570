#pragma once
// OrbStrTok: splits a string at delimiter bytes. Runs of delimiters are not collapsed
// ("a,,b" gives "a", "", "b"); the delimiter that ended the last token stays readable.
#include "support/OrbString.h"

class OrbStrTok {
public:
    OrbStrTok(const OrbString& source, const OrbString& delimiters);
    explicit OrbStrTok(const OrbString& source);

    // The next token up to a byte of delimiters; null at the end.
    const OrbString& Next(const OrbString& delimiters);
    // The same with the delimiters given at construction.
    const OrbString& Next();
    // The next single byte as a string; null at the end.
    const OrbString& NextChar();

    const OrbString& Token() const { return fToken; }
    // The byte that ended the last token: empty when the text ran out, null at the end.
    const OrbString& Delimiter() const { return fDelimiter; }
    bool AtEnd() const { return fCursor == nullptr; }

private:
    // A copy, so the text outlives a source that changes or goes away (copies are cheap).
    OrbString fSource;
    const char* fCursor;
    const char* fEnd;
    OrbString fDelimiters;
    OrbString fDelimiter;
    OrbString fToken;
};
