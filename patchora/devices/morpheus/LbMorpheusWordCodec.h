#pragma once
// The codec of a Morpheus parameter word: a signed 14-bit word that refuses to write a
// value outside the parameter's range, so that no edit leaves a value in a dump (or sends
// one to the instrument) that the instrument does not define. Reading is not limited.
#include "params/LbIntCodecs.h"

class LbMorpheusWordCodec : public Lb14BitIntCodec2 {
public:
    LbMorpheusWordCodec(int32 min, int32 max) : mMin(min), mMax(max) {}
    status_t WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32 last, int32 value) const override;

private:
    int32 mMin;
    int32 mMax;
};
