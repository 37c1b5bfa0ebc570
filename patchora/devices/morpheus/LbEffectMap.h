#pragma once
// The effects of a Morpheus, built from its effect list message (command 0x55): list A
// from index 4, list B where list A ends. Each list is a 14-bit count and that many
// effects; each effect an id word, a 12-byte name, a parameter count word and its
// parameters (11-byte name, low, high and limit words).
#include "librarian/LbData.h"
#include "params/LbIntToStringMapI.h"

#include <string>
#include <vector>

struct LbEffectParam {
    std::string name;
    int32 low = 0;
    int32 high = 0;
    int32 limit = 0;
};

class LbEffect {
public:
    const char* Name() const { return mName.c_str(); }
    int32 Id() const { return mId; }
    int32 NumberOfParams() const { return int32(mParams.size()); }
    const LbEffectParam* ParamAt(int32 index) const;

private:
    friend class LbEffectList;
    std::string mName;
    int32 mId = 0;
    std::vector<LbEffectParam> mParams;
};

class LbEffectList : public LbIntToStringMapI {
public:
    LbEffectList() = default;
    ~LbEffectList() override = default;

    // Parses the list at `at`; `end` receives the index just past it. False when the list
    // failed: the effects read before the failing one stay.
    bool Parse(const uint8* data, uint32 length, uint32 at, uint32* end);
    void MakeEmpty() { mEffects.clear(); }

    void Release() override {}   // part of its effect map
    status_t IdForName(const char* name, int32* id) const override;
    status_t NameForId(int32 id, const char** name) const override;
    status_t NameForIndex(int32 index, const char** name) const override;

    int32 NumberOfEffects() const { return int32(mEffects.size()); }
    const LbEffect* EffectAt(int32 index) const;
    status_t EffectForId(int32 id, const LbEffect** effect) const;
    void PrintToStream() const;

private:
    static bool ParseEffect(const uint8* data, uint32 length, uint32* at, LbEffect* effect);

    std::vector<LbEffect> mEffects;
};

class LbEffectMap {
public:
    // Accepts any message; a list A that fails leaves the map without message bytes (so
    // nothing is saved for it) and list B empty.
    status_t SetTo(const uint8* data, uint32 length);

    const LbEffectList& ListA() const { return mListA; }
    const LbEffectList& ListB() const { return mListB; }
    LbEffectList* MutableListA() { return &mListA; }
    LbEffectList* MutableListB() { return &mListB; }
    // Empty when list A could not be parsed.
    const LbData& Message() const { return mMessage; }
    void PrintToStream() const;

private:
    LbData mMessage;
    LbEffectList mListA;
    LbEffectList mListB;
};
