#pragma once
// Loop points of a preset layer: one value in two signed 14-bit words, thousands at
// first..first+1 and units at first+2..first+3, sent as two parameter edits.
#include "devices/morpheus/LbMorpheusRealtime.h"
#include "params/LbIntCodecs.h"

constexpr int32 LB_LOOP_POINT_LIMIT = 999999;

// The two words a loop value is stored as: within -999..999 all in the units, else
// thousands truncated toward zero and the rest in the units. False outside +/-999999.
bool LbSplitLoopValue(int32 value, int32* thousands, int32* units);

class LbMpLoopCodec : public LbIntCodecI {
public:
    // |thousands| * 1000 + |units|, negative when either word is.
    status_t ReadSysEx(const uint8* bits, uint32 length, uint32 first, uint32 last, int32* value) const override;
    // Fails, touching nothing, outside +/-999999 or when the four bytes are not in the block.
    status_t WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32 last, int32 value) const override;

private:
    Lb14BitIntCodec2 mWord;
};

class LbMpLoopRealtime : public LbMorpheusRealtime {
public:
    LbMpLoopRealtime(int32 thousandsNumber, int32 unitsNumber)
        : LbMorpheusRealtime(thousandsNumber), mUnitsNumber(unitsNumber) {}
    // Thousands to the first number, then units to the second; a failed first send stops.
    status_t Send(LbDeviceI* device, const LbIntCodecI* codec, const LbDataI* data, uint32 which,
                  int32 value) override;

private:
    int32 mUnitsNumber;
    Lb14BitIntCodec2 mWord;
};
