#pragma once
// A bank/program word of hyperpreset zones and midimap channels: the program in the word's
// first byte, the bank in its second; the word -1 (7F 7F) means off. Sub-fields (which):
// 0 bank, 1 program, 2 enable (-1 off, 0 on).
#include "devices/morpheus/LbMorpheusRealtime.h"
#include "params/LbIntCodecs.h"
#include "params/LbParam.h"

#include <mutex>

enum : uint32 { LB_PROGRAM_BANK = 0, LB_PROGRAM_PROGRAM = 1, LB_PROGRAM_ENABLE = 2 };

class LbMorpheusProgramParam : public LbIntParam {
public:
    LbMorpheusProgramParam(const char* name, int32 id, uint32 bankIndex, uint32 programIndex, int32 lowestBank,
                           int32 highestBank, int32 paramNumber);

    int32 Min(uint32 which) const override;
    int32 Max(uint32 which) const override;
    int32 OnState() const override { return 0; }
    int32 OffState() const override { return -1; }
    // An off word reads -1 for every sub-field; a bank beyond the range is clamped into it.
    status_t ReadSysEx(const LbDataI* data, uint32 which, int32* value) const override;
    // Bank and program write their own byte (0..127, else -1 and nothing written); any
    // other which writes the value as the whole word, except that enabling (0) a word that
    // is already on keeps it.
    status_t WriteSysEx(LbDataI* data, uint32 which, int32 value) const override;
    void PrintBytes(const uint8* bits) const override;

    // The word a write of `value` into `which` would leave, as a signed 14-bit value.
    status_t EncodedWord(const LbDataI* data, uint32 which, int32 value, int32* word) const;

    uint32 BankIndex() const { return mBankIndex; }
    uint32 ProgramIndex() const { return mProgramIndex; }

private:
    mutable std::recursive_mutex mLock;
    uint32 mBankIndex;
    uint32 mProgramIndex;
    int32 mLowestBank;
    int32 mHighestBank;
    Lb7BitIntCodec mByte;
    Lb14BitIntCodec2 mWord;
};

// Sends the word a sub-field edit leaves: the new bank with the current program, the new
// program with the current bank, or the whole word.
class LbMorpheusProgramRealtime : public LbMorpheusRealtime {
public:
    LbMorpheusProgramRealtime(int32 paramNumber, const LbMorpheusProgramParam* param)
        : LbMorpheusRealtime(paramNumber), mParam(param) {}
    status_t Send(LbDeviceI* device, const LbIntCodecI* codec, const LbDataI* data, uint32 which,
                  int32 value) override;

private:
    const LbMorpheusProgramParam* mParam;
    Lb14BitIntCodec2 mWord;
};
