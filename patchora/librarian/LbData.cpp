#include "librarian/LbData.h"

#include "app/LbXmlStreamI.h"

#include <cassert>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr uint8 kInvalid = 0xFF;

struct HexTable {
    uint8 value[256];
    constexpr HexTable() : value() {
        for (int i = 0; i < 256; i++) value[i] = kInvalid;
        for (int i = 0; i < 10; i++) value['0' + i] = uint8(i);
        for (int i = 0; i < 6; i++) {
            value['A' + i] = uint8(10 + i);
            value['a' + i] = uint8(10 + i);
        }
    }
};
constexpr HexTable kHex;

// An invalid digit counts as 0; `bad` remembers that one came.
uint8 Digit(char c, bool& bad)
{
    uint8 v = kHex.value[uint8(c)];
    if (v != kInvalid) return v;
    bad = true;
    return 0;
}

} // namespace

void LbHexEncode(const uint8* bytes, uint32 length, char* out)
{
    for (uint32 i = 0; i < length; i++) {
        out[2 * i] = kHexDigits[bytes[i] >> 4];
        out[2 * i + 1] = kHexDigits[bytes[i] & 0x0F];
    }
}

LbData::LbData(uint8 byte)
{
    SetTo(byte);
}

LbData::LbData(const uint8* bytes, uint32 length)
{
    SetTo(bytes, length);
}

LbData::LbData(const uint8* a, uint32 aLength, const uint8* b, uint32 bLength)
{
    if (SetTo(a, aLength) == B_OK) Append(b, bLength);
}

LbData::LbData(const LbData& other)
{
    SetTo(other.mBits, other.mLength);
}

LbData::LbData(LbData&& other) noexcept : mBits(other.mBits), mLength(other.mLength)
{
    other.mBits = nullptr;
    other.mLength = 0;
}

LbData& LbData::operator=(const LbData& other)
{
    if (this != &other) SetTo(other.mBits, other.mLength);
    return *this;
}

LbData& LbData::operator=(LbData&& other) noexcept
{
    if (this != &other) {
        Free();
        mBits = other.mBits;
        mLength = other.mLength;
        other.mBits = nullptr;
        other.mLength = 0;
    }
    return *this;
}

LbData::~LbData()
{
    Free();
}

void LbData::Free()
{
    free(mBits);
    mBits = nullptr;
    mLength = 0;
}

LbData LbData::operator+(const LbData& other) const
{
    return LbData(mBits, mLength, other.mBits, other.mLength);
}

status_t LbData::SetTo(const uint8* bytes, uint32 length)
{
    if (bytes == mBits && length == mLength) return B_OK;
    Free();
    if (bytes == nullptr || length == 0) return B_OK;
    mBits = static_cast<uint8*>(malloc(length));
    if (mBits == nullptr) return B_NO_MEMORY;
    memcpy(mBits, bytes, length);
    mLength = length;
    return B_OK;
}

status_t LbData::SetTo(uint8 byte)
{
    return SetTo(&byte, 1);
}

status_t LbData::Append(const uint8* bytes, uint32 length)
{
    if (bytes == nullptr || length == 0) return B_OK;
    if (length > UINT32_MAX - mLength) return B_NO_MEMORY;
    uint8* grown = static_cast<uint8*>(realloc(mBits, size_t(mLength) + length));
    if (grown == nullptr) return B_NO_MEMORY;
    // `bytes` may point into our own old buffer; realloc moved it with the rest.
    const uint8* source = bytes;
    if (bytes >= mBits && bytes < mBits + mLength) source = grown + (bytes - mBits);
    memmove(grown + mLength, source, length);
    mBits = grown;
    mLength += length;
    return B_OK;
}

ssize_t LbData::WriteTo(LbXmlStreamI* stream, const char* tag) const
{
    assert(stream != nullptr && "stream != 0");
    char* text = nullptr;
    if (mLength > 0) {
        text = static_cast<char*>(malloc(size_t(mLength) * 2));
        if (text == nullptr) return B_NO_MEMORY;
        LbHexEncode(mBits, mLength, text);
    }
    ssize_t total = stream->WriteStartTag(tag, nullptr, nullptr);
    if (total > 0) {
        if (mLength > 0) {
            ssize_t written = stream->Write(text, size_t(mLength) * 2);
            total = written < 0 ? written : total + written;
        }
        if (total > 0) {
            ssize_t written = stream->WriteEndTag(tag);
            total = written < 1 ? written : total + written;
        }
    }
    free(text);
    return total;
}

status_t LbData::ReadFrom(LbXmlStreamI* stream, const char* tag)
{
    assert(stream != nullptr && "stream != 0");
    Free();
    char* text = stream->ReadStrToTag(tag);
    if (text == nullptr) return B_BAD_DATA;   // the stream has said why
    status_t status = FromString(text);
    size_t length = strlen(text);
    size_t digits = strspn(text, "0123456789ABCDEFabcdef");
    free(text);
    if (status == B_OK && (digits != length || length % 2 != 0)) {
        stream->ReportProblem(tag, digits != length ? "holds characters that are no hex digits (read as 0)"
                                                    : "holds an odd number of hex digits (the last completed with 0)");
        status = B_BAD_DATA;
    }
    return status;
}

bool LbData::Matches(const LbDataI* other) const
{
    assert(other != nullptr && "data != 0");
    return Matches(other->Bits(), other->Length());
}

bool LbData::Matches(const uint8* bytes, uint32 length) const
{
    if (length != mLength) return false;
    return length == 0 || memcmp(bytes, mBits, length) == 0;
}

char* LbData::AsString() const
{
    if (mLength == 0) return nullptr;
    char* text = static_cast<char*>(malloc(size_t(mLength) * 2 + 1));
    if (text == nullptr) return nullptr;
    LbHexEncode(mBits, mLength, text);
    text[size_t(mLength) * 2] = 0;
    return text;
}

status_t LbData::FromString(const char* text)
{
    Free();
    if (text == nullptr) return B_OK;
    size_t length = strlen(text);
    size_t count = (length + 1) / 2;
    if (count == 0) return B_OK;
    if (count > UINT32_MAX) return B_NO_MEMORY;
    mBits = static_cast<uint8*>(malloc(length / 2 + 2));
    if (mBits == nullptr) return B_NO_MEMORY;
    bool bad = false;
    for (size_t i = 0; i < count; i++) {
        uint8 high = Digit(text[2 * i], bad);
        // An odd text ends in its terminating NUL, which reads as an invalid digit: 0.
        uint8 low = Digit(text[2 * i + 1], bad);
        mBits[i] = uint8(high * 16 + low);
    }
    mLength = uint32(count);
    return B_OK;
}
