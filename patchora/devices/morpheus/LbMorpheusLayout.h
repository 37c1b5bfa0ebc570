#pragma once
// Parameter layout tables: one row per 14-bit word parameter of a group, as the device
// model's pages list them. `index` is the base byte index (the parameter's id) and `number`
// the base real-time parameter number; a group adds its offset to the index and half of
// it to the number.
#include "kernel/SupportDefs.h"

class LbCollectionParam;

struct LbMorpheusWordSpec {
    const char* name;
    int32 index;
    int32 min;
    int32 max;
    int32 number;
};

// Adds one NewInt parameter per row to `group`, at `offset`.
void LbAddWordParams(LbCollectionParam* group, const LbMorpheusWordSpec* rows, int32 count, int32 offset);

template <int32 N>
inline void LbAddWordParams(LbCollectionParam* group, const LbMorpheusWordSpec (&rows)[N], int32 offset)
{
    LbAddWordParams(group, rows, N, offset);
}
