#pragma once
// The level of one function-generator segment: one 14-bit word holding
// type * 256 + (level & 0xFF), the level a signed byte, the type 0 absolute, 1 delta,
// 2 random absolute, 3 random delta. Sub-fields (which): 1 the type, any other the level.
#include "devices/morpheus/LbMorpheusRealtime.h"
#include "params/LbParam.h"

#include <mutex>

enum : uint32 { LB_SEG_LEVEL = 0, LB_SEG_TYPE = 1 };

// Types fill the word's upper six bits.
constexpr int32 LB_SEG_MAX_TYPE = 63;

class LbEmuFgSegLevel : public LbIntParam {
public:
    // Takes ownership of the codec (a signed 14-bit codec); makes its own real-time sender.
    LbEmuFgSegLevel(const char* name, LbIntCodecI* codec, int32 id, uint32 firstByte, uint32 lastByte, int32 min,
                    int32 max, int32 paramNumber);

    status_t ReadSysEx(const LbDataI* data, uint32 which, int32* value) const override;
    // Changes one sub-field and keeps the other. -1, nothing written, for a level outside
    // min..max, a type outside 0..63 or a word that cannot be read.
    status_t WriteSysEx(LbDataI* data, uint32 which, int32 value) const override;

    // The word (as the codec stores it) that a new type or level leaves.
    status_t EncodedType(const LbDataI* data, int32 type, int32* word) const;
    status_t EncodedLevel(const LbDataI* data, int32 level, int32* word) const;

private:
    status_t ReadFields(const LbDataI* data, int32* type, int32* level) const;

    // Recursive: encoding reads the other sub-field under the same lock.
    mutable std::recursive_mutex mLock;
};

class LbEmuFgSegLevelRealtime : public LbMorpheusRealtime {
public:
    LbEmuFgSegLevelRealtime(int32 paramNumber, const LbEmuFgSegLevel* level)
        : LbMorpheusRealtime(paramNumber), mLevel(level) {}
    status_t Send(LbDeviceI* device, const LbIntCodecI* codec, const LbDataI* data, uint32 which,
                  int32 value) override;

private:
    const LbEmuFgSegLevel* mLevel;
};
