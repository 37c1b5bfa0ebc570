#include "devices/morpheus/LbEffectMap.h"

#include "params/LbIntCodecs.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint32 kListAStart = 4;
constexpr uint32 kEffectNameLength = 12;
constexpr uint32 kParamNameLength = 11;
constexpr uint32 kParamSize = 17;

bool ReadWord(const uint8* data, uint32 length, uint32 at, int32* value)
{
    if (uint64(at) + 2 > length) return false;
    Lb14BitIntCodec2 word;
    return word.ReadSysEx(data, length, at, at + 1, value) == B_OK;
}

bool ReadName(const uint8* data, uint32 length, uint32 at, uint32 size, std::string* name)
{
    if (uint64(at) + size > length) return false;
    const char* raw = reinterpret_cast<const char*>(data + at);
    name->assign(raw, strnlen(raw, size));
    return true;
}

} // namespace

const LbEffectParam* LbEffect::ParamAt(int32 index) const
{
    if (index < 0 || index >= NumberOfParams()) return nullptr;
    return &mParams[size_t(index)];
}

bool LbEffectList::ParseEffect(const uint8* data, uint32 length, uint32* at, LbEffect* effect)
{
    uint32 q = *at;
    int32 count;
    if (!ReadWord(data, length, q, &effect->mId)) return false;
    if (!ReadName(data, length, q + 2, kEffectNameLength, &effect->mName)) return false;
    if (!ReadWord(data, length, q + 14, &count) || count < 0) return false;
    // A count larger than the message can hold fails at the first missing parameter.
    uint32 r = q + 16;
    for (int32 i = 0; i < count; i++, r += kParamSize) {
        LbEffectParam param;
        if (!ReadName(data, length, r, kParamNameLength, &param.name)) return false;
        if (!ReadWord(data, length, r + 11, &param.low) || !ReadWord(data, length, r + 13, &param.high)
            || !ReadWord(data, length, r + 15, &param.limit))
            return false;
        // The instrument reports this one low value unsigned.
        if (param.name == "Feedback   " && param.low == 129) param.low = -127;
        effect->mParams.push_back(std::move(param));
    }
    *at = r;
    return true;
}

bool LbEffectList::Parse(const uint8* data, uint32 length, uint32 at, uint32* end)
{
    mEffects.clear();
    int32 count;
    if (!ReadWord(data, length, at, &count) || count < 0) return false;
    uint32 q = at + 2;
    for (int32 i = 0; i < count; i++) {
        LbEffect effect;
        if (!ParseEffect(data, length, &q, &effect)) return false;
        mEffects.push_back(std::move(effect));
    }
    if (end) *end = q;
    return true;
}

const LbEffect* LbEffectList::EffectAt(int32 index) const
{
    if (index < 0 || index >= NumberOfEffects()) return nullptr;
    return &mEffects[size_t(index)];
}

status_t LbEffectList::EffectForId(int32 id, const LbEffect** effect) const
{
    if (effect == nullptr) return B_ERROR;
    for (const LbEffect& e : mEffects) {
        if (e.Id() == id) {
            *effect = &e;
            return B_OK;
        }
    }
    return B_ERROR;
}

status_t LbEffectList::IdForName(const char* name, int32* id) const
{
    if (name == nullptr || id == nullptr) return B_ERROR;
    for (const LbEffect& e : mEffects) {
        if (strcmp(e.Name(), name) == 0) {
            *id = e.Id();
            return B_OK;
        }
    }
    return B_ERROR;
}

status_t LbEffectList::NameForId(int32 id, const char** name) const
{
    const LbEffect* effect;
    if (name == nullptr || EffectForId(id, &effect) != B_OK) return B_ERROR;
    *name = effect->Name();
    return B_OK;
}

status_t LbEffectList::NameForIndex(int32 index, const char** name) const
{
    const LbEffect* effect = EffectAt(index);
    if (name == nullptr || effect == nullptr) return B_ERROR;
    *name = effect->Name();
    return B_OK;
}

void LbEffectList::PrintToStream() const
{
    for (const LbEffect& e : mEffects) {
        printf("Effect %s id: %ld\n", e.Name(), long(e.Id()));
        for (const LbEffectParam& p : e.mParams)
            printf("\tParam %s -- %ld %ld %ld\n", p.name.c_str(), long(p.low), long(p.high), long(p.limit));
    }
}

status_t LbEffectMap::SetTo(const uint8* data, uint32 length)
{
    mMessage.SetTo(nullptr, 0);
    mListB.MakeEmpty();
    uint32 listBStart = 0;
    if (data == nullptr || !mListA.Parse(data, length, kListAStart, &listBStart)) return B_OK;
    mListB.Parse(data, length, listBStart, nullptr);
    return mMessage.SetTo(data, length);
}

void LbEffectMap::PrintToStream() const
{
    mListA.PrintToStream();
    mListB.PrintToStream();
}
