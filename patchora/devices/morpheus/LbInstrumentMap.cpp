#include "devices/morpheus/LbInstrumentMap.h"

#include "params/LbIntCodecs.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr uint32 kFirstEntry = 6;
constexpr uint32 kEntrySize = 14;
constexpr uint32 kEntryBytesRead = 13;   // id word and 11 name bytes
constexpr uint32 kNameOffset = 2;
constexpr uint32 kNameLength = 11;
} // namespace

status_t LbInstrumentMap::SetTo(const uint8* data, uint32 length)
{
    mEntries.clear();
    if (mMessage.SetTo(data, length) != B_OK) return B_ERROR;
    Lb14BitIntCodec2 word;
    int32 count;
    if (word.ReadSysEx(data, length, 4, 5, &count) != B_OK) return B_OK;
    (void)count;   // entries are read as far as the message holds them
    mEntries.reserve(length > kFirstEntry ? (length - kFirstEntry) / kEntrySize + 1 : 1);
    mEntries.push_back({kNoneId, "0 None"});
    for (uint32 i = 0, at = kFirstEntry; uint64(at) + kEntryBytesRead <= length; i++, at += kEntrySize) {
        int32 id;
        if (word.ReadSysEx(data, length, at, at + 1, &id) != B_OK) break;
        // Names may stop early at a NUL byte, as a C string does.
        const char* raw = reinterpret_cast<const char*>(data + at + kNameOffset);
        size_t nameLength = strnlen(raw, kNameLength);
        char number[16];
        int numberLength = snprintf(number, sizeof number, "%lu ", (unsigned long)(i + 1));
        std::string name;
        name.reserve(size_t(numberLength) + nameLength);
        name.append(number, size_t(numberLength)).append(raw, nameLength);
        mEntries.push_back({id, std::move(name)});
    }
    return B_OK;
}

int32 LbInstrumentMap::HighestId() const
{
    int32 highest = 0;
    for (const LbInstrumentEntry& entry : mEntries) highest = entry.id > highest ? entry.id : highest;
    return highest;
}

status_t LbInstrumentMap::IdForIndex(int32 index, int32* id) const
{
    if (id == nullptr || index < 0 || index >= CountEntries()) return B_ERROR;
    *id = mEntries[size_t(index)].id;
    return B_OK;
}

status_t LbInstrumentMap::IndexForId(int32 id, int32* index) const
{
    if (index == nullptr) return B_ERROR;
    for (size_t i = 0; i < mEntries.size(); i++) {
        if (mEntries[i].id == id) {
            *index = int32(i);
            return B_OK;
        }
    }
    return B_ERROR;
}

status_t LbInstrumentMap::IdForName(const char* name, int32* id) const
{
    if (name == nullptr || id == nullptr) return B_ERROR;
    for (const LbInstrumentEntry& entry : mEntries) {
        if (entry.name == name) {
            *id = entry.id;
            return B_OK;
        }
    }
    return B_ERROR;
}

status_t LbInstrumentMap::NameForId(int32 id, const char** name) const
{
    int32 index;
    if (IndexForId(id, &index) != B_OK) return B_ERROR;
    return NameForIndex(index, name);
}

status_t LbInstrumentMap::NameForIndex(int32 index, const char** name) const
{
    if (name == nullptr || index < 0 || index >= CountEntries()) return B_ERROR;
    *name = mEntries[size_t(index)].name.c_str();
    return B_OK;
}
