// Fuzz target for everything the Morpheus model reads from outside: list messages, dumps,
// and the parameters over a block of any length (libFuzzer; scripts/fuzz builds and runs it).
#include "devices/morpheus/LbEffectMap.h"
#include "devices/morpheus/LbEmuMorpheusHyperpreset.h"
#include "devices/morpheus/LbEmuMorpheusMidimap.h"
#include "devices/morpheus/LbEmuMorpheusPreset.h"
#include "devices/morpheus/LbFilterMap.h"
#include "devices/morpheus/LbInstrumentMap.h"
#include "librarian/LbData.h"
#include "params/LbParam.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Exercise(LbParam* param, LbData* block)
{
    if (param->Type() == LB_COLLECTION_PARAM) {
        auto* collection = static_cast<LbCollectionParam*>(param);
        for (int32 i = 0; i < collection->CountParams(); i++) Exercise(collection->ParamAt(i), block);
        return;
    }
    if (param->Type() != LB_INT_PARAM) return;
    auto* value = static_cast<LbIntParam*>(param);
    for (uint32 which = 0; which < 3; which++) {
        int32 read = 0;
        if (value->ReadSysEx(block, which, &read) == B_OK) value->WriteSysEx(block, which, read);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint32 length = uint32(size);
    LbInstrumentMap instruments;
    instruments.SetTo(data, length);
    LbFilterMap filters;
    filters.SetTo(data, length);
    LbEffectMap effects;
    effects.SetTo(data, length);
    if (effects.Message().Length() != 0 && effects.Message().Length() != length) abort();

    static LbEmuMorpheusPreset presets("Preset - RAM", nullptr, 0, 127);
    static LbEmuMorpheusHyperpreset hyperpresets("Hyperpreset - RAM", nullptr, 0, 127);
    static LbEmuMorpheusMidimap midimaps("Midimap - RAM", nullptr, 0, 15);
    for (LbEmuMorpheusBank* bank : {static_cast<LbEmuMorpheusBank*>(&presets),
                                    static_cast<LbEmuMorpheusBank*>(&hyperpresets),
                                    static_cast<LbEmuMorpheusBank*>(&midimaps)}) {
        bank->ReceiveData(data, length, nullptr);
        LbData block(data, length);
        for (int32 i = 0; bank->ParamAt(i) != nullptr; i++) Exercise(bank->ParamAt(i), &block);
        bank->PrepareOutgoing(&block);
        bank->WriteNumber(&block, 5);
    }
    return 0;
}
