#include "support/OrbPStrings.h"

#include <cstring>

char* p2istr(char* s)
{
    if (s == nullptr)
        return nullptr;
    size_t length = static_cast<unsigned char>(s[0]);
    std::memmove(s, s + 1, length);
    s[length] = '\0';
    return s;
}

char* i2pstr(char* s)
{
    if (s == nullptr)
        return nullptr;
    size_t length = strnlen(s, 255);
    std::memmove(s + 1, s, length);
    s[0] = static_cast<char>(length);
    return s;
}

char* p2istrncpy(char* dst, const char* src, size_t n)
{
    if (dst == nullptr || src == nullptr || n == 0)
        return dst;
    size_t length = static_cast<unsigned char>(src[0]);
    if (length > n - 1)
        length = n - 1;
    std::memmove(dst, src + 1, length);
    dst[length] = '\0';
    return dst;
}

char* i2pstrncpy(char* dst, const char* src, size_t n)
{
    if (dst == nullptr || src == nullptr || n == 0)
        return dst;
    size_t limit = n - 1 < 255 ? n - 1 : 255;
    size_t length = strnlen(src, limit);
    std::memmove(dst + 1, src, length);
    dst[0] = static_cast<char>(length);
    return dst;
}
