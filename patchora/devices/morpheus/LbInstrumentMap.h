#pragma once
// The instrument names of a Morpheus, built from its instrument list message (command 0x0F):
// a 14-bit count at 4-5, then entries of 14 bytes from index 6 (id word, 11 name bytes,
// one unused byte). The map keeps the message so that it can be saved and rebuilt.
#include "librarian/LbData.h"
#include "params/LbIntToStringMapI.h"

#include <string>
#include <vector>

struct LbInstrumentEntry {
    int32 id;
    std::string name;
};

class LbInstrumentMap : public LbIntToStringMapI {
public:
    // The id of the entry every list starts with, "0 None".
    static constexpr int32 kNoneId = 1792;

    LbInstrumentMap() = default;
    // Parses as far as whole entries go; a message whose count cannot be read leaves the
    // map empty. Fails (-1) only when the message cannot be kept.
    status_t SetTo(const uint8* data, uint32 length);

    // Owned by the device model, shared by every view: giving it up does not destroy it.
    void Release() override {}
    // Menu positions are entries; the ids are the instruments' own.
    status_t IdForIndex(int32 index, int32* id) const override;
    status_t IndexForId(int32 id, int32* index) const override;
    status_t IdForName(const char* name, int32* id) const override;
    status_t NameForId(int32 id, const char** name) const override;
    status_t NameForIndex(int32 index, const char** name) const override;

    int32 CountEntries() const { return int32(mEntries.size()); }
    int32 HighestId() const;
    const LbData& Message() const { return mMessage; }

    ~LbInstrumentMap() override = default;

private:
    LbData mMessage;
    std::vector<LbInstrumentEntry> mEntries;
};
