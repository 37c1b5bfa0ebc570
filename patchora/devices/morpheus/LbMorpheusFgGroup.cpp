#include "devices/morpheus/LbMorpheusFgGroup.h"

#include "devices/morpheus/LbEmuFgSegLevel.h"
#include "devices/morpheus/LbMorpheusLayout.h"
#include "devices/morpheus/LbMorpheusValueMaps.h"
#include "params/LbIntCodecs.h"

#include <new>

void LbAddFgSegments(LbCollectionParam* group, int32 levelIndex, int32 levelNumber, int32 offset)
{
    // Rows after the level, relative to it.
    const LbMorpheusWordSpec rows[] = {
        {"SegTime", levelIndex + 2, 0, 4095, levelNumber + 1},
        {"SegShape", levelIndex + 4, 0, 62, levelNumber + 2, LbNewValueMap<LbFgShapeMap>},
        {"SegCondJump", levelIndex + 6, 0, 15, levelNumber + 3, LbNewValueMap<LbFgConditionMap>},
        {"SegCondVal", levelIndex + 8, -127, 127, levelNumber + 4},
        {"SegDestSeg", levelIndex + 10, 0, 7, levelNumber + 5, LbNewValueMap<Lb1To8Map>},
    };
    for (int32 s = 0; s < LB_FG_SEGMENTS; s++) {
        int32 o = offset + LB_FG_SEGMENT_SIZE * s;
        LbIntCodecI* codec = new (std::nothrow) Lb14BitIntCodec2;
        if (codec != nullptr) {
            LbIntParam* level = new (std::nothrow) LbEmuFgSegLevel(
                "SegLevel", codec, levelIndex, uint32(levelIndex + o), uint32(levelIndex + o + 1), -127, 127,
                levelNumber + o / 2);
            if (level == nullptr) delete codec;
            group->AddParam(level);
        }
        LbAddWordParams(group, rows, o);
    }
}
