#include "devices/morpheus/LbMorpheusLayout.h"

#include "devices/morpheus/LbEmuMorpheusBank.h"
#include "params/LbParam.h"

void LbAddWordParams(LbCollectionParam* group, const LbMorpheusWordSpec* rows, int32 count, int32 offset)
{
    for (int32 i = 0; i < count; i++) {
        const LbMorpheusWordSpec& row = rows[i];
        LbIntParam* param = LbEmuMorpheusBank::NewInt(row.name, row.index, row.min, row.max, row.number, offset);
        if (param && row.valueMap) param->SetValueMapSource(row.valueMap);
        group->AddParam(param);
    }
}
