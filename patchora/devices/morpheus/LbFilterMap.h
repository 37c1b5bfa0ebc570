#pragma once
// The filter types of a Morpheus, built from its filter list message (command 0x57): a
// 14-bit count at 4-5, then entries of 16 bytes from index 6 (id word, 11 name bytes, a
// third word, one unused byte). Entries the message does not hold keep id -1 and no name.
#include "librarian/LbData.h"
#include "params/LbIntToStringMapI.h"

#include <string>
#include <vector>

struct LbFilterEntry {
    int32 id = -1;
    bool named = false;
    std::string name;
    int32 value = 0;   // the entry's third word
};

class LbFilterMap : public LbIntToStringMapI {
public:
    LbFilterMap() = default;
    ~LbFilterMap() override = default;
    status_t SetTo(const uint8* data, uint32 length);

    void Release() override {}   // owned by the device model
    status_t IdForIndex(int32 index, int32* id) const override;
    status_t IndexForId(int32 id, int32* index) const override;
    status_t IdForName(const char* name, int32* id) const override;
    status_t NameForId(int32 id, const char** name) const override;
    status_t NameForIndex(int32 index, const char** name) const override;

    int32 Size() const { return int32(mEntries.size()); }
    const LbFilterEntry* EntryAt(int32 index) const;
    int32 HighestId() const;
    const LbData& Message() const { return mMessage; }

private:
    LbData mMessage;
    std::vector<LbFilterEntry> mEntries;
};
