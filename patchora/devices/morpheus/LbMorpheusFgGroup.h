#pragma once
// The eight segments of a function generator, six parameters each (level, time, shape,
// condition, condition value, destination segment), segment s at offset 12 s.
#include "kernel/SupportDefs.h"

class LbCollectionParam;

constexpr int32 LB_FG_SEGMENTS = 8;
constexpr int32 LB_FG_SEGMENT_SIZE = 12;

// `levelIndex` and `levelNumber` are the first segment's level word and its parameter
// number; `offset` is the generator's own offset within the dump.
void LbAddFgSegments(LbCollectionParam* group, int32 levelIndex, int32 levelNumber, int32 offset);
