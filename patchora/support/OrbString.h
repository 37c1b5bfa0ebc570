#pragma once
// OrbString: a small string with cheap copies. It either borrows text owned by someone
// else (never freed, never written) or owns a shared, reference-counted buffer; every
// change goes through copy-on-write, so shared and borrowed texts are never altered.
// The text is always followed by a 0 byte; lengths are limited to 2^31 - 1 bytes. When
// an allocation fails the string is left as it was.
#include <cstddef>
#include <cstdint>

class OrbString {
public:
    OrbString() = default;
    // length -1: up to the 0 byte. copy = false borrows the text.
    OrbString(const char* text, int32_t length = -1, bool copy = true);
    OrbString(char c);
    OrbString(const OrbString& other);
    OrbString(OrbString&& other) noexcept;
    // The decimal text of n (the radix has no effect).
    OrbString(int32_t n, int32_t radix);
    // The text of printf "%f".
    explicit OrbString(float f);
    ~OrbString();

    OrbString& operator=(const OrbString& other);
    OrbString& operator=(OrbString&& other) noexcept;
    OrbString& operator=(int32_t n);
    OrbString& operator=(const char* text);
    OrbString& Set(const char* text, int32_t length = -1);
    OrbString& ReadFrom(const char* text, int32_t length, bool copy);

    const char* String() const { return fText; }
    operator const char*() const { return fText; }
    // The byte at i, or a static 0 outside 0 ... Length() - 1.
    const char& operator[](int32_t i) const;
    int32_t Length() const { return static_cast<int32_t>(fLengthWord & kLengthMask); }
    bool IsNull() const { return fText == nullptr; }
    bool IsEmpty() const { return fText == nullptr || Length() == 0; }
    bool IsShared() const { return (fLengthWord & kOwnedBit) != 0; }

    OrbString& SetLength(int32_t length);
    // A writable buffer of size - 1 bytes (the current length when size <= 0), or null.
    char* LockBuffer(int32_t size);
    // Sets the length to length, or (length < 0) to the text up to its first 0.
    OrbString& UnlockBuffer(int32_t length = -1);
    int32_t OffsetOf(char c) const;
    int32_t ROffsetOf(char c) const;

    OrbString& operator+=(const OrbString& other);
    OrbString& operator+=(const char* text);
    OrbString& operator+=(char c);
    OrbString& operator+=(int32_t n);
    OrbString operator+(const OrbString& other) const;
    OrbString operator+(const char* text) const;
    OrbString operator+(char c) const;
    OrbString operator+(int32_t n) const;
    OrbString& Append(const char* text, int32_t length = -1);
    // These change nothing.
    OrbString& Insert(const OrbString& string, int32_t position);
    OrbString& Replace(const OrbString& string, int32_t position, int32_t length);

    // Leading white space is skipped; valid when at least one digit was read, the number
    // fits, and the conversion ended at the end of the text or at white space.
    int32_t AsInt(int32_t base = 10, bool* valid = nullptr) const;
    // As AsInt; decimals counts the characters between the first '.' and the number's end.
    double AsDouble(bool* valid = nullptr, int32_t* decimals = nullptr) const;
    // A printable name of a byte ("LF", "[]", "DEL", ...), borrowed.
    static OrbString CharToString(unsigned char c);
    // The names of all bytes joined by single blanks.
    OrbString AsSequence() const;

    // -1, 0 or 1. A null string is less than any other; two nulls are equal.
    int32_t Compare(const OrbString& other) const;
    int32_t Compare(const char* other) const;
    int32_t ICompare(const OrbString& other) const;
    int32_t ICompare(const char* other) const;
    // Natural order: numbers inside the text compare by value (item9 < item10).
    int32_t NumCompare(const OrbString& other) const;
    int32_t INumCompare(const OrbString& other) const;

    bool operator==(const OrbString& other) const { return Compare(other) == 0; }
    bool operator!=(const OrbString& other) const { return Compare(other) != 0; }
    bool operator<(const OrbString& other) const { return Compare(other) < 0; }

private:
    static constexpr uint32_t kOwnedBit = 0x80000000u;
    static constexpr uint32_t kLengthMask = 0x7fffffffu;

    struct Buffer;
    Buffer* OwnedBuffer() const;
    void Release();
    // The one place that allocates; false (string unchanged) when it cannot.
    bool ResizeString(int32_t length);
    OrbString& AppendBytes(const char* text, size_t length);

    const char* fText = nullptr;
    uint32_t fLengthWord = 0;
};

// Comparisons for C strings; identical pointers are equal, a null pointer is less.
int memcasecmp(const void* a, const void* b, size_t n);
int strnumcmp(const char* a, const char* b);
int strcasenumcmp(const char* a, const char* b);
int memnumcmp(const void* a, const void* b, size_t n);
int memcasenumcmp(const void* a, const void* b, size_t n);
