#pragma once
// Splitting URLs and undoing %-escapes.
#include "kernel/SupportDefs.h"
#include "support/OrbString.h"
#include "support/OrbVector.h"

// Decodes "%hh" escapes. An escape without two hexadecimal digits, or one that would give
// a 0 byte, is dropped (the '%' goes, the characters after it are kept as text) and the
// result is B_BAD_VALUE while decoding goes on. A null out gives B_BAD_VALUE; a null text
// gives a null out and B_OK.
status_t OrbUnescapeURL(const char* text, OrbString* out);

// scheme:[//host][path][?argument...][#fragment]. Every output (each may be null) starts
// null. The scheme, path and fragment are unescaped; host and arguments are kept as they
// stand. Returns the first unescaping error, else B_OK; B_BAD_VALUE for a null url.
status_t OrbParseURL(const char* url, OrbString* scheme, OrbString* host, OrbString* path,
                     OrbVectorI<OrbString>* arguments, OrbString* fragment);
