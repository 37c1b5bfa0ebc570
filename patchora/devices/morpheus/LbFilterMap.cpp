#include "devices/morpheus/LbFilterMap.h"

#include "params/LbIntCodecs.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr uint32 kFirstEntry = 6;
constexpr uint32 kEntrySize = 16;
constexpr uint32 kEntryBytesRead = 15;
constexpr uint32 kNameOffset = 2;
constexpr uint32 kNameLength = 11;
constexpr uint32 kValueOffset = 13;
} // namespace

status_t LbFilterMap::SetTo(const uint8* data, uint32 length)
{
    mEntries.clear();
    if (mMessage.SetTo(data, length) != B_OK) return B_ERROR;
    Lb14BitIntCodec2 word;
    int32 count;
    if (word.ReadSysEx(data, length, 4, 5, &count) != B_OK || count <= 0) return B_OK;
    mEntries.resize(size_t(count));
    for (uint32 i = 0, at = kFirstEntry; i < uint32(count) && uint64(at) + kEntryBytesRead <= length;
         i++, at += kEntrySize) {
        int32 id;
        if (word.ReadSysEx(data, length, at, at + 1, &id) != B_OK) break;
        LbFilterEntry& entry = mEntries[i];
        entry.id = id;
        const char* raw = reinterpret_cast<const char*>(data + at + kNameOffset);
        char number[16];
        snprintf(number, sizeof number, "%lu ", (unsigned long)i);
        entry.name.assign(number).append(raw, strnlen(raw, kNameLength));
        entry.named = true;
        int32 value;
        if (word.ReadSysEx(data, length, at + kValueOffset, at + kValueOffset + 1, &value) == B_OK)
            entry.value = value;
    }
    return B_OK;
}

const LbFilterEntry* LbFilterMap::EntryAt(int32 index) const
{
    if (index < 0 || index >= Size()) return nullptr;
    return &mEntries[size_t(index)];
}

int32 LbFilterMap::HighestId() const
{
    int32 highest = 0;
    for (const LbFilterEntry& entry : mEntries) highest = entry.id > highest ? entry.id : highest;
    return highest;
}

status_t LbFilterMap::IdForIndex(int32 index, int32* id) const
{
    const LbFilterEntry* entry = EntryAt(index);
    if (id == nullptr || entry == nullptr || !entry->named) return B_ERROR;
    *id = entry->id;
    return B_OK;
}

status_t LbFilterMap::IndexForId(int32 id, int32* index) const
{
    if (index == nullptr) return B_ERROR;
    for (size_t i = 0; i < mEntries.size(); i++) {
        if (mEntries[i].named && mEntries[i].id == id) {
            *index = int32(i);
            return B_OK;
        }
    }
    return B_ERROR;
}

status_t LbFilterMap::IdForName(const char* name, int32* id) const
{
    if (name == nullptr || id == nullptr) return B_ERROR;
    for (const LbFilterEntry& entry : mEntries) {
        if (entry.named && entry.name == name) {
            *id = entry.id;
            return B_OK;
        }
    }
    return B_ERROR;
}

status_t LbFilterMap::NameForId(int32 id, const char** name) const
{
    int32 index;
    if (IndexForId(id, &index) != B_OK) return B_ERROR;
    return NameForIndex(index, name);
}

status_t LbFilterMap::NameForIndex(int32 index, const char** name) const
{
    const LbFilterEntry* entry = EntryAt(index);
    if (name == nullptr || entry == nullptr || !entry->named) return B_ERROR;
    *name = entry->name.c_str();
    return B_OK;
}
