#pragma once
#include "librarian/LbDataI.h"

// A heap block of SysEx bytes. Copies are deep; `a + b` is the concatenation. Device
// models build requests by adding one-byte blocks: LbData(0xF0) + LbData(0x18) + ...
class LbData : public LbDataI {
public:
    LbData() = default;
    explicit LbData(uint8 byte);
    LbData(const uint8* bytes, uint32 length);
    LbData(const uint8* a, uint32 aLength, const uint8* b, uint32 bLength);
    LbData(const LbData& other);
    LbData(LbData&& other) noexcept;
    LbData& operator=(const LbData& other);
    LbData& operator=(LbData&& other) noexcept;
    ~LbData() override;

    LbData operator+(const LbData& other) const;

    const uint8* Bits() const override { return mBits; }
    uint8* Bits() override { return mBits; }
    uint32 Length() const override { return mLength; }
    status_t SetTo(const uint8* bytes, uint32 length) override;
    status_t SetTo(uint8 byte);
    status_t Append(const uint8* bytes, uint32 length) override;
    ssize_t WriteTo(LbXmlStreamI* stream, const char* tag) const override;
    status_t ReadFrom(LbXmlStreamI* stream, const char* tag) override;
    bool Matches(const LbDataI* other) const override;
    bool Matches(const uint8* bytes, uint32 length) const override;
    char* AsString() const override;
    status_t FromString(const char* text) override;

private:
    void Free();

    uint8* mBits = nullptr;
    uint32 mLength = 0;
};

// Hex text of bytes: two upper-case digits per byte into `out` (2 * length characters,
// no terminator). Shared by everything that writes blocks as text.
void LbHexEncode(const uint8* bytes, uint32 length, char* out);
