#include "support/OrbString.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

struct OrbString::Buffer {
    int32_t capacity;
    std::atomic<int32_t> references;
    char* Text() { return reinterpret_cast<char*>(this + 1); }
    static Buffer* Of(const char* text)
    {
        return reinterpret_cast<Buffer*>(const_cast<char*>(text)) - 1;
    }
};

namespace {

const char kStaticZero = '\0';

size_t BoundedLength(const char* text, int32_t length)
{
    if (text == nullptr)
        return 0;
    if (length >= 0)
        return static_cast<size_t>(length);
    return strnlen(text, 0x7fffffff);
}

int Sign(int value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

}  // namespace

// Construction and assignment

OrbString::OrbString(const char* text, int32_t length, bool copy)
{
    if (copy)
        Set(text, length);
    else
        ReadFrom(text, length, false);
}

OrbString::OrbString(char c)
{
    AppendBytes(&c, 1);
}

OrbString::OrbString(const OrbString& other)
{
    *this = other;
}

OrbString::OrbString(OrbString&& other) noexcept
    : fText(other.fText), fLengthWord(other.fLengthWord)
{
    other.fText = nullptr;
    other.fLengthWord = 0;
}

OrbString::OrbString(int32_t n, int32_t)
{
    *this = n;
}

OrbString::OrbString(float f)
{
    char text[64];
    int length = snprintf(text, sizeof text, "%f", static_cast<double>(f));
    if (length >= static_cast<int>(sizeof text)) {
        // Very large numbers: print into a buffer of the size asked for.
        if (char* buffer = LockBuffer(length + 1)) {
            snprintf(buffer, static_cast<size_t>(length) + 1, "%f", static_cast<double>(f));
            UnlockBuffer(length);
        }
        return;
    }
    Set(text, length);
}

OrbString::~OrbString()
{
    Release();
}

OrbString::Buffer* OrbString::OwnedBuffer() const
{
    return IsShared() && fText != nullptr ? Buffer::Of(fText) : nullptr;
}

void OrbString::Release()
{
    if (Buffer* buffer = OwnedBuffer()) {
        if (buffer->references.fetch_sub(1, std::memory_order_acq_rel) == 1)
            free(buffer);
    }
    fText = nullptr;
    fLengthWord = 0;
}

OrbString& OrbString::operator=(const OrbString& other)
{
    if (this == &other)
        return *this;
    if (Buffer* buffer = other.OwnedBuffer()) {
        buffer->references.fetch_add(1, std::memory_order_relaxed);
        Release();
        fText = other.fText;
        fLengthWord = other.fLengthWord;
        return *this;
    }
    if (other.IsNull()) {
        Release();
        return *this;
    }
    return Set(other.fText, other.Length());
}

OrbString& OrbString::operator=(OrbString&& other) noexcept
{
    if (this != &other) {
        Release();
        fText = other.fText;
        fLengthWord = other.fLengthWord;
        other.fText = nullptr;
        other.fLengthWord = 0;
    }
    return *this;
}

OrbString& OrbString::operator=(int32_t n)
{
    char text[16];
    int length = snprintf(text, sizeof text, "%d", static_cast<int>(n));
    return Set(text, length);
}

OrbString& OrbString::operator=(const char* text)
{
    return Set(text, -1);
}

OrbString& OrbString::Set(const char* text, int32_t length)
{
    if (text == nullptr) {
        Release();
        return *this;
    }
    size_t bytes = BoundedLength(text, length);
    if (bytes > kLengthMask)
        return *this;
    // Copy first: text may lie inside this string's own buffer.
    OrbString copy;
    if (!copy.ResizeString(static_cast<int32_t>(bytes)))
        return *this;
    memcpy(const_cast<char*>(copy.fText), text, bytes);
    return *this = static_cast<OrbString&&>(copy);
}

OrbString& OrbString::ReadFrom(const char* text, int32_t length, bool copy)
{
    if (copy && text != nullptr)
        return Set(text, length);
    Release();
    if (text != nullptr) {
        size_t bytes = BoundedLength(text, length);
        if (bytes > kLengthMask)
            return *this;
        fText = text;
        fLengthWord = static_cast<uint32_t>(bytes);
    }
    return *this;
}

// Access

const char& OrbString::operator[](int32_t i) const
{
    if (fText == nullptr || i < 0 || i >= Length())
        return kStaticZero;
    return fText[i];
}

bool OrbString::ResizeString(int32_t length)
{
    if (length < 0)
        return false;
    Buffer* owned = OwnedBuffer();
    if (owned != nullptr && owned->references.load(std::memory_order_acquire) == 1
        && owned->capacity >= length) {
        int32_t old = Length();
        if (length > old)  // bytes past the old end read as 0, as in a new buffer
            memset(owned->Text() + old, 0, static_cast<size_t>(length - old));
        owned->Text()[length] = '\0';
        fLengthWord = kOwnedBit | static_cast<uint32_t>(length);
        return true;
    }
    int64_t capacity = length;
    if (owned != nullptr)
        capacity += length > 4 ? length : 4;  // geometric growth for appends
    if (capacity > kLengthMask)
        capacity = kLengthMask;
    auto* buffer = static_cast<Buffer*>(malloc(sizeof(Buffer) + static_cast<size_t>(capacity) + 1));
    if (buffer == nullptr)
        return false;
    new (buffer) Buffer;
    buffer->capacity = static_cast<int32_t>(capacity);
    buffer->references.store(1, std::memory_order_relaxed);
    int32_t keep = Length() < length ? Length() : length;
    if (fText != nullptr && keep > 0)
        memcpy(buffer->Text(), fText, static_cast<size_t>(keep));
    memset(buffer->Text() + keep, 0, static_cast<size_t>(length - keep) + 1);
    Release();
    fText = buffer->Text();
    fLengthWord = kOwnedBit | static_cast<uint32_t>(length);
    return true;
}

OrbString& OrbString::SetLength(int32_t length)
{
    if (length >= 0)
        ResizeString(length);
    return *this;
}

char* OrbString::LockBuffer(int32_t size)
{
    int32_t length = size > 0 ? size - 1 : Length();
    if (!ResizeString(length))
        return nullptr;
    return const_cast<char*>(fText);
}

OrbString& OrbString::UnlockBuffer(int32_t length)
{
    if (!IsShared())
        return *this;  // LockBuffer was not called (or failed)
    Buffer* buffer = OwnedBuffer();
    int32_t old = Length();
    if (length < 0)
        length = static_cast<int32_t>(strnlen(fText, static_cast<size_t>(old)));
    if (length > buffer->capacity)
        length = buffer->capacity;
    buffer->Text()[length] = '\0';
    fLengthWord = kOwnedBit | static_cast<uint32_t>(length);
    return *this;
}

int32_t OrbString::OffsetOf(char c) const
{
    if (fText == nullptr)
        return -1;
    const void* found = memchr(fText, c, static_cast<size_t>(Length()));
    return found == nullptr ? -1 : static_cast<int32_t>(static_cast<const char*>(found) - fText);
}

int32_t OrbString::ROffsetOf(char c) const
{
    if (fText == nullptr)
        return -1;
    const void* found = memrchr(fText, c, static_cast<size_t>(Length()));
    return found == nullptr ? -1 : static_cast<int32_t>(static_cast<const char*>(found) - fText);
}

// Appending

OrbString& OrbString::AppendBytes(const char* text, size_t length)
{
    size_t old = static_cast<size_t>(Length());
    if (length > kLengthMask - old)
        return *this;
    if (text == nullptr)
        return *this;
    // text may point into this string's own buffer, which resizing may free.
    OrbString keepAlive;
    if (IsShared() && text >= fText && text <= fText + old)
        keepAlive = *this;
    if (!ResizeString(static_cast<int32_t>(old + length)))
        return *this;
    memmove(const_cast<char*>(fText) + old, text, length);
    return *this;
}

OrbString& OrbString::Append(const char* text, int32_t length)
{
    if (text == nullptr)
        return *this;
    return AppendBytes(text, BoundedLength(text, length));
}

OrbString& OrbString::operator+=(const OrbString& other)
{
    if (other.IsNull())
        return *this;
    return AppendBytes(other.fText, static_cast<size_t>(other.Length()));
}

OrbString& OrbString::operator+=(const char* text)
{
    if (text == nullptr || text[0] == '\0')
        return *this;
    return Append(text, -1);
}

OrbString& OrbString::operator+=(char c)
{
    return AppendBytes(&c, 1);
}

OrbString& OrbString::operator+=(int32_t n)
{
    char text[16];
    int length = snprintf(text, sizeof text, "%d", static_cast<int>(n));
    return AppendBytes(text, static_cast<size_t>(length));
}

OrbString OrbString::operator+(const OrbString& other) const
{
    OrbString result(*this);
    result += other;
    return result;
}

OrbString OrbString::operator+(const char* text) const
{
    OrbString result(*this);
    result += text;
    return result;
}

OrbString OrbString::operator+(char c) const
{
    OrbString result(*this);
    result += c;
    return result;
}

OrbString OrbString::operator+(int32_t n) const
{
    OrbString result(*this);
    result += n;
    return result;
}

OrbString& OrbString::Insert(const OrbString&, int32_t)
{
    return *this;
}

OrbString& OrbString::Replace(const OrbString&, int32_t, int32_t)
{
    return *this;
}

// Conversions

int32_t OrbString::AsInt(int32_t base, bool* valid) const
{
    if (valid != nullptr)
        *valid = false;
    if (fText == nullptr)
        return 0;
    const char* start = fText;
    while (isspace(static_cast<unsigned char>(*start)))
        start++;
    char* end = nullptr;
    errno = 0;
    long value = strtol(start, &end, base);
    bool ok = errno == 0 && end != start && value >= INT32_MIN && value <= INT32_MAX
        && (*end == '\0' || isspace(static_cast<unsigned char>(*end)));
    if (value > INT32_MAX)
        value = INT32_MAX;
    if (value < INT32_MIN)
        value = INT32_MIN;
    if (valid != nullptr)
        *valid = ok;
    return static_cast<int32_t>(value);
}

double OrbString::AsDouble(bool* valid, int32_t* decimals) const
{
    if (valid != nullptr)
        *valid = false;
    if (fText == nullptr)
        return 0;
    const char* start = fText;
    while (isspace(static_cast<unsigned char>(*start)))
        start++;
    char* end = nullptr;
    errno = 0;
    double value = strtod(start, &end);
    bool ok = errno != ERANGE && end != start
        && (*end == '\0' || isspace(static_cast<unsigned char>(*end)));
    if (valid != nullptr)
        *valid = ok;
    if (ok && decimals != nullptr) {
        const void* dot = memchr(start, '.', static_cast<size_t>(end - start));
        *decimals = dot == nullptr ? 0 : static_cast<int32_t>(end - static_cast<const char*>(dot) - 1);
    }
    return value;
}

OrbString OrbString::CharToString(unsigned char c)
{
    static const char* const kControl[32] = {
        "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
        "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
        "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    static const char* const kHigh[33] = {
        "DEL", "$80", "$81", "$82", "$83", "IND", "NEL", "SSA", "ESA", "HTS", "HTJ",
        "VTS", "PLD", "PLU", "RI",  "SS2", "SS3", "DCS", "PU1", "PU2", "STS", "CCH",
        "MW",  "SPA", "EPA", "$98", "$99", "$9a", "CSI", "ST",  "OSC", "PM",  "APC"};
    // Every other byte names itself: one 2-byte text per byte value.
    static const struct Singles {
        char text[256][2];
        Singles()
        {
            for (int i = 0; i < 256; i++) {
                text[i][0] = static_cast<char>(i);
                text[i][1] = '\0';
            }
        }
    } kSingles;
    if (c < 32)
        return OrbString(kControl[c], -1, false);
    if (c == 32)
        return OrbString("[]", -1, false);
    if (c >= 127 && c <= 159)
        return OrbString(kHigh[c - 127], -1, false);
    if (c == 255)
        return OrbString("$ff", -1, false);
    return OrbString(kSingles.text[c], 1, false);
}

OrbString OrbString::AsSequence() const
{
    OrbString result;
    for (int32_t i = 0; i < Length(); i++) {
        if (i > 0)
            result += ' ';
        result += CharToString(static_cast<unsigned char>(fText[i]));
    }
    return result;
}

// Comparison

namespace {

int CompareBytes(const char* a, int32_t aLength, const char* b, int32_t bLength, bool ignoreCase)
{
    if (a == b && aLength == bLength)
        return 0;
    if (a == nullptr)
        return b == nullptr ? 0 : -1;
    if (b == nullptr)
        return 1;
    // min + 1 bytes: the terminating 0 decides between a prefix and a longer text.
    size_t n = static_cast<size_t>(aLength < bLength ? aLength : bLength) + 1;
    return Sign(ignoreCase ? memcasecmp(a, b, n) : memcmp(a, b, n));
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int NaturalCompare(const char* a, size_t aLength, const char* b, size_t bLength, bool ignoreCase)
{
    size_t i = 0, j = 0;
    bool digits = aLength > 0 && bLength > 0 && IsDigit(a[0]) && IsDigit(b[0]);
    while (i < aLength && j < bLength) {
        if (!digits) {
            while (i < aLength && j < bLength) {
                if (IsDigit(a[i]) && IsDigit(b[j]))
                    break;
                signed char ca = static_cast<signed char>(a[i]);
                signed char cb = static_cast<signed char>(b[j]);
                if (ignoreCase) {
                    ca = static_cast<signed char>(tolower(static_cast<unsigned char>(ca)));
                    cb = static_cast<signed char>(tolower(static_cast<unsigned char>(cb)));
                }
                if (ca != cb)
                    return ca < cb ? -1 : 1;
                i++;
                j++;
            }
        } else {
            int difference = 0;
            while (i < aLength && j < bLength && IsDigit(a[i]) && IsDigit(b[j])) {
                if (difference == 0 && a[i] != b[j])
                    difference = a[i] < b[j] ? -1 : 1;
                i++;
                j++;
            }
            bool aMore = i < aLength && IsDigit(a[i]);
            bool bMore = j < bLength && IsDigit(b[j]);
            if (aMore != bMore)
                return aMore ? 1 : -1;
            if (difference != 0)
                return difference;
        }
        digits = !digits;
    }
    // The one with text left over is greater.
    if (i < aLength)
        return 1;
    if (j < bLength)
        return -1;
    return 0;
}

int NaturalCompareC(const char* a, const char* b, bool ignoreCase)
{
    if (a == b)
        return 0;
    if (a == nullptr)
        return -1;
    if (b == nullptr)
        return 1;
    return NaturalCompare(a, strlen(a), b, strlen(b), ignoreCase);
}

int NaturalCompareMem(const void* a, const void* b, size_t n, bool ignoreCase)
{
    if (a == b)
        return 0;
    if (a == nullptr)
        return -1;
    if (b == nullptr)
        return 1;
    return NaturalCompare(static_cast<const char*>(a), n, static_cast<const char*>(b), n,
                          ignoreCase);
}

}  // namespace

int32_t OrbString::Compare(const OrbString& other) const
{
    return CompareBytes(fText, Length(), other.fText, other.Length(), false);
}

int32_t OrbString::Compare(const char* other) const
{
    return Compare(OrbString(other, -1, false));
}

int32_t OrbString::ICompare(const OrbString& other) const
{
    return CompareBytes(fText, Length(), other.fText, other.Length(), true);
}

int32_t OrbString::ICompare(const char* other) const
{
    return ICompare(OrbString(other, -1, false));
}

int32_t OrbString::NumCompare(const OrbString& other) const
{
    if (fText == nullptr || other.fText == nullptr)
        return fText == other.fText ? 0 : (fText == nullptr ? -1 : 1);
    return NaturalCompare(fText, static_cast<size_t>(Length()), other.fText,
                          static_cast<size_t>(other.Length()), false);
}

int32_t OrbString::INumCompare(const OrbString& other) const
{
    if (fText == nullptr || other.fText == nullptr)
        return fText == other.fText ? 0 : (fText == nullptr ? -1 : 1);
    return NaturalCompare(fText, static_cast<size_t>(Length()), other.fText,
                          static_cast<size_t>(other.Length()), true);
}

int memcasecmp(const void* a, const void* b, size_t n)
{
    if (a == b)
        return 0;
    if (a == nullptr)
        return -1;
    if (b == nullptr)
        return 1;
    const auto* x = static_cast<const unsigned char*>(a);
    const auto* y = static_cast<const unsigned char*>(b);
    for (size_t i = 0; i < n; i++) {
        int cx = tolower(x[i]);
        int cy = tolower(y[i]);
        if (cx != cy)
            return cx < cy ? -1 : 1;
    }
    return 0;
}

int strnumcmp(const char* a, const char* b)
{
    return NaturalCompareC(a, b, false);
}

int strcasenumcmp(const char* a, const char* b)
{
    return NaturalCompareC(a, b, true);
}

int memnumcmp(const void* a, const void* b, size_t n)
{
    return NaturalCompareMem(a, b, n, false);
}

int memcasenumcmp(const void* a, const void* b, size_t n)
{
    return NaturalCompareMem(a, b, n, true);
}
