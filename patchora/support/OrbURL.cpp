#include "support/OrbURL.h"

#include <cstring>

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

status_t Unescape(const char* text, size_t length, OrbString* out)
{
    status_t status = B_OK;
    OrbString result("", 0);
    size_t i = 0;
    while (i < length) {
        const void* percent = memchr(text + i, '%', length - i);
        size_t plainEnd = percent != nullptr ? static_cast<size_t>(static_cast<const char*>(percent) - text)
                                             : length;
        result.Append(text + i, static_cast<int32_t>(plainEnd - i));
        if (percent == nullptr)
            break;
        i = plainEnd + 1;
        int high = i < length ? HexValue(text[i]) : -1;
        int low = i + 1 < length ? HexValue(text[i + 1]) : -1;
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
            if (status == B_OK)
                status = B_BAD_VALUE;
            continue;  // the '%' is dropped, what follows is read as text
        }
        result += static_cast<char>(high * 16 + low);
        i += 2;
    }
    *out = result;
    return status;
}

// Index of the first byte of set at or after from, or length.
size_t FindFirstOf(const char* text, size_t from, size_t length, const char* set)
{
    while (from < length && strchr(set, text[from]) == nullptr)
        from++;
    return from;
}

}  // namespace

status_t OrbUnescapeURL(const char* text, OrbString* out)
{
    if (out == nullptr)
        return B_BAD_VALUE;
    if (text == nullptr) {
        *out = OrbString();
        return B_OK;
    }
    return Unescape(text, strlen(text), out);
}

status_t OrbParseURL(const char* url, OrbString* scheme, OrbString* host, OrbString* path,
                     OrbVectorI<OrbString>* arguments, OrbString* fragment)
{
    OrbString ignored;
    OrbString* outputs[] = {scheme, host, path, fragment};
    for (OrbString* output : outputs) {
        if (output != nullptr)
            *output = OrbString();
    }
    if (arguments != nullptr)
        arguments->resize(0);
    if (url == nullptr)
        return B_BAD_VALUE;

    status_t status = B_OK;
    auto keep = [&status](status_t result) {
        if (status == B_OK)
            status = result;
    };
    size_t length = strlen(url);
    size_t at = 0;

    // A scheme: the text before a ':' that comes before any '/', '?' or '#'.
    size_t colon = FindFirstOf(url, 0, length, ":/?#");
    if (colon < length && url[colon] == ':') {
        keep(Unescape(url, colon, scheme != nullptr ? scheme : &ignored));
        at = colon + 1;
    }
    if (length - at >= 2 && url[at] == '/' && url[at + 1] == '/') {
        size_t end = FindFirstOf(url, at + 2, length, "/?#");
        if (host != nullptr)
            host->Set(url + at + 2, static_cast<int32_t>(end - at - 2));
        at = end;
    }
    size_t pathEnd = FindFirstOf(url, at, length, "?#");
    if (pathEnd > at)
        keep(Unescape(url + at, pathEnd - at, path != nullptr ? path : &ignored));
    at = pathEnd;
    while (at < length && url[at] == '?') {
        size_t end = FindFirstOf(url, at + 1, length, "?#");
        if (arguments != nullptr)
            arguments->push_back(OrbString(url + at + 1, static_cast<int32_t>(end - at - 1)));
        at = end;
    }
    if (at < length && url[at] == '#')
        keep(Unescape(url + at + 1, length - at - 1, fragment != nullptr ? fragment : &ignored));
    return status;
}
