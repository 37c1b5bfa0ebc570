#pragma once
// Parameter layout tables: one row per 14-bit word parameter of a group, as the device
// model's pages list them. `index` is the base byte index (the parameter's id) and `number`
// the base real-time parameter number; a group adds its offset to the index and half of
// it to the number.
#include "params/LbParam.h"

#include <new>

class LbIntToStringMapI;

// A new fixed value map of type M, for a parameter's value names (released by its user).
template <class M>
LbIntToStringMapI* LbNewValueMap()
{
    return new (std::nothrow) M;
}

struct LbMorpheusWordSpec {
    const char* name;
    int32 index;
    int32 min;
    int32 max;
    int32 number;
    LbIntParam::ValueMapSource valueMap = nullptr;   // the names of the values, if any
};

// Adds one NewInt parameter per row to `group`, at `offset`.
void LbAddWordParams(LbCollectionParam* group, const LbMorpheusWordSpec* rows, int32 count, int32 offset);

template <int32 N>
inline void LbAddWordParams(LbCollectionParam* group, const LbMorpheusWordSpec (&rows)[N], int32 offset)
{
    LbAddWordParams(group, rows, N, offset);
}
