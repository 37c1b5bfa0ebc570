#pragma once
// Conversions between length-prefixed strings (a length byte, then up to 255 bytes) and
// zero-terminated ones. The in-place forms return their argument; null gives null.
#include <cstddef>

// Length-prefixed to zero-terminated, in place (the buffer holds length + 1 bytes).
char* p2istr(char* s);
// Zero-terminated to length-prefixed, in place; at most 255 characters are kept.
char* i2pstr(char* s);
// Copies at most n - 1 characters of the length-prefixed src into dst and terminates it
// (nothing is written when n is 0).
char* p2istrncpy(char* dst, const char* src, size_t n);
// Writes a length-prefixed copy of at most n - 1 (and at most 255) characters of the
// zero-terminated src into dst (nothing is written when n is 0).
char* i2pstrncpy(char* dst, const char* src, size_t n);
