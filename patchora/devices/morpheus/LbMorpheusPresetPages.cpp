#include "devices/morpheus/LbMorpheusPresetPages.h"

#include "devices/morpheus/LbEmuMorpheusBank.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbFilterMap.h"
#include "devices/morpheus/LbInstrumentMap.h"
#include "devices/morpheus/LbMorpheusFgGroup.h"
#include "devices/morpheus/LbMorpheusLayout.h"
#include "devices/morpheus/LbMorpheusValueMaps.h"
#include "devices/morpheus/LbMorpheusWordCodec.h"
#include "devices/morpheus/LbMpLoopCodec.h"

#include <new>

namespace {

const LbMorpheusWordSpec kCommon[] = {
    {"Low key", 31, 0, 127, 8204, LbNewValueMap<LbKeyMap>},    {"High key", 33, 0, 127, 8205, LbNewValueMap<LbKeyMap>}, {"Key center", 39, 0, 127, 8208, LbNewValueMap<LbKeyMap>},
    {"Tuning", 41, 0, 5, 8209, LbNewValueMap<LbTuningMap>},       {"Bend range", 35, 0, 13, 8206, LbNewValueMap<LbBendRangeMap>},    {"Vel. curve", 37, 0, 5, 8207, LbNewValueMap<LbVelCurveMap>},
    {"Mix bus", 43, 0, 3, 8210, LbNewValueMap<LbMixBusMap>},      {"Port mode", 45, 0, 5, 8211, LbNewValueMap<LbPortModeMap>},      {"Ctrl A", 183, -128, 127, 8280},
    {"Ctrl B", 185, -128, 127, 8281}, {"Ctrl C", 187, -128, 127, 8282},   {"Ctrl D", 189, -128, 127, 8283},
    {"Pressure", 191, -128, 127, 8284},
};

const LbMorpheusWordSpec kCrossfade[] = {
    {"Mode", 47, 0, 2, 8212, LbNewValueMap<LbXfadeModeMap>},       {"Dir", 49, 0, 1, 8213, LbNewValueMap<LbXfadeDirMap>},        {"Bal", 51, 0, 127, 8214},
    {"Amount", 53, 0, 255, 8215},   {"Switch", 55, 0, 127, 8216},
};

const LbMorpheusWordSpec kNoteOnCord[] = {
    {"Source", 57, 0, 8, 8217, LbNewValueMap<LbNoteOnSourcesMap>}, {"Destination", 59, 0, 50, 8218, LbNewValueMap<LbNoteOnDestinationsMap>}, {"Amount", 61, -128, 127, 8219}};
const LbMorpheusWordSpec kRealtimeCord[] = {
    {"Source", 117, 0, 12, 8247, LbNewValueMap<LbRealtimeSourcesMap>}, {"Destination", 119, 0, 50, 8248, LbNewValueMap<LbRealtimeDestinationsMap>}, {"Amount", 121, -128, 127, 8249}};

const LbMorpheusWordSpec kLfo[] = {
    {"Shape", 193, 0, 4, 8285, LbNewValueMap<LbLfoShapeMap>}, {"Rate", 195, 0, 127, 8286},       {"Delay", 197, 0, 127, 8287},
    {"Var.", 199, 0, 127, 8288}, {"Amount", 201, -128, 127, 8289},
};

const LbMorpheusWordSpec kAuxEnvelope[] = {
    {"Amount", 421, -128, 127, 8399}, {"Delay", 409, 0, 127, 8393}, {"Attack", 411, 0, 99, 8394},
    {"Hold", 413, 0, 99, 8395},       {"Decay", 415, 0, 99, 8396},  {"Sustain", 417, 0, 99, 8397},
    {"Relse", 419, 0, 99, 8398},
};

const LbMorpheusWordSpec kFgAmount[] = {{"Amount", 213, -128, 127, 8295}};
constexpr int32 kFgLevelIndex = 215;
constexpr int32 kFgLevelNumber = 8296;

// Instrument group: the instrument word itself is made apart (its range comes from the map).
constexpr int32 kInstrumentIndex = 423;
constexpr int32 kInstrumentNumber = 8400;
const LbMorpheusWordSpec kInstrumentRest[] = {
    {"Reverse", 475, 0, 1, 8426},   {"Delay", 463, 0, 127, 8420},  {"Start", 461, 0, 127, 8419},
    {"Mode", 465, 0, 2, 8421, LbNewValueMap<LbSoloModeMap>},      {"Priority", 467, 0, 4, 8422, LbNewValueMap<LbSoloPriorityMap>}, {"Loop enable", 451, 0, 1, 8414},
};

struct LoopSpec {
    const char* name;
    int32 index;
    int32 thousandsNumber;
    int32 unitsNumber;
};
const LoopSpec kLoops[] = {{"Start", 453, 8415, 8416}, {"Size", 457, 8417, 8418}};

const LbMorpheusWordSpec kPitch[] = {
    {"Low key", 425, 0, 127, 8401, LbNewValueMap<LbKeyMap>}, {"High key", 427, 0, 127, 8402, LbNewValueMap<LbKeyMap>}, {"Coarse", 433, -36, 36, 8405},
    {"Fine", 437, -64, 64, 8407},   {"Xpose", 435, -36, 36, 8406},   {"Rate", 469, 0, 127, 8423},
    {"Shape", 471, 0, 8, 8424, LbNewValueMap<LbPortShapeMap>},     {"Double", 473, 0, 15, 8425},    {"Nontranspose", 477, 0, 1, 8427},
};

constexpr int32 kFilterTypeIndex = 479;
constexpr int32 kFilterTypeNumber = 8428;
const LbMorpheusWordSpec kFilterRest[] = {
    {"Reverse", 481, 0, 1, 8429}, {"Level", 483, 0, 255, 8430}, {"Morph", 485, 0, 255, 8431},
    {"Freq", 487, 0, 255, 8432},  {"Trans2", 489, 0, 255, 8433},
};

const LbMorpheusWordSpec kDca[] = {
    {"Enable", 439, 0, 1, 8408}, {"Vol", 429, 0, 127, 8403},    {"Attack", 441, 0, 99, 8409},
    {"Hold", 443, 0, 99, 8410},  {"Decay", 445, 0, 99, 8411},   {"Sustain", 447, 0, 99, 8412},
    {"Relse", 449, 0, 99, 8413},
};

constexpr int32 kPanIndex = 431;
constexpr int32 kPanNumber = 8404;

LbIntParam* NewLoopParam(const LoopSpec& spec, int32 offset)
{
    LbMpLoopCodec* codec = new (std::nothrow) LbMpLoopCodec;
    if (codec == nullptr) return nullptr;
    uint32 first = uint32(spec.index + offset);
    LbIntParam* param = new (std::nothrow)
        LbIntParam(spec.name, codec, spec.index, first, first + 3, -LB_LOOP_POINT_LIMIT, LB_LOOP_POINT_LIMIT);
    if (param == nullptr) {
        delete codec;
        return nullptr;
    }
    param->SetRealtime(new (std::nothrow)
                           LbMpLoopRealtime(spec.thousandsNumber + offset / 2, spec.unitsNumber + offset / 2));
    return param;
}

} // namespace

LbMpHeaderPage::LbMpHeaderPage() : LbCollectionParam("Header")
{
    AddParam(LbEmuMorpheusBank::NewNameParam());
}

LbMpCommonParam::LbMpCommonParam() : LbCollectionParam("Common")
{
    LbAddWordParams(this, kCommon, 0);
}

LbMpCommonPage::LbMpCommonPage() : LbCollectionParam("Common")
{
    AddParam(new (std::nothrow) LbMpCommonParam);
}

LbMorpheusInstrumentCollectionParam::LbMorpheusInstrumentCollectionParam(const char* name, int32 offset,
                                                                         const LbInstrumentMap* instruments)
    : LbCollectionParam(name)
{
    // The word holds an instrument id (the "0 None" entry is 1792); unused layers of real
    // presets also hold 0.
    if (instruments != nullptr) {
        LbIntParam* instrument = LbEmuMorpheusBank::NewInt("Instrument", kInstrumentIndex, 0, instruments->HighestId(),
                                                           kInstrumentNumber, offset);
        if (instrument)
            instrument->SetValueMapSource(LbEmuMorpheus::NewInstrumentValueMap);
        AddParam(instrument);
    }
    LbAddWordParams(this, kInstrumentRest, offset);
    for (const LoopSpec& loop : kLoops) AddParam(NewLoopParam(loop, offset));
}

LbMorpheusPitchCollectionParam::LbMorpheusPitchCollectionParam(int32 offset) : LbCollectionParam("Pitch")
{
    LbAddWordParams(this, kPitch, offset);
}

LbMorpheusFilterCollectionParam::LbMorpheusFilterCollectionParam(int32 offset, const LbFilterMap* filters)
    : LbCollectionParam("Filter")
{
    if (filters != nullptr) {
        // The word holds a filter id; ids need not be dense.
        int32 highest = filters->HighestId() > filters->Size() ? filters->HighestId() : filters->Size();
        LbIntParam* type = LbEmuMorpheusBank::NewInt("Type", kFilterTypeIndex, 0, highest, kFilterTypeNumber, offset);
        if (type)
            type->SetValueMapSource(LbEmuMorpheus::NewFilterValueMap);
        AddParam(type);
    }
    LbAddWordParams(this, kFilterRest, offset);
}

LbMorpheusDcaCollectionParam::LbMorpheusDcaCollectionParam(int32 offset) : LbCollectionParam("DCA")
{
    LbAddWordParams(this, kDca, offset);
}

LbMorpheusPanParam::LbMorpheusPanParam(int32 offset)
    : LbIntParam("Pan", new (std::nothrow) LbMorpheusWordCodec(-7, 7), kPanIndex, uint32(kPanIndex + offset),
                 uint32(kPanIndex + offset + 1), -7, 7)
{
    LbEmuMorpheusBank::AddRealtime(this, kPanNumber + offset / 2);
}

LbMorpheusXfadeCollectionParam::LbMorpheusXfadeCollectionParam() : LbCollectionParam("Crossfade")
{
    LbAddWordParams(this, kCrossfade, 0);
}

LbMorpheusLayerPage::LbMorpheusLayerPage(const LbInstrumentMap* instruments, const LbFilterMap* filters)
    : LbCollectionParam("Layers")
{
    for (int32 offset : {0, LB_SECONDARY_LAYER_OFFSET}) {
        const char* name = offset == 0 ? "Primary Instrument" : "Secondary Instrument";
        AddParam(new (std::nothrow) LbMorpheusInstrumentCollectionParam(name, offset, instruments));
        AddParam(new (std::nothrow) LbMorpheusPitchCollectionParam(offset));
        AddParam(new (std::nothrow) LbMorpheusFilterCollectionParam(offset, filters));
        AddParam(new (std::nothrow) LbMorpheusDcaCollectionParam(offset));
        AddParam(new (std::nothrow) LbMorpheusPanParam(offset));
    }
    AddParam(new (std::nothrow) LbMorpheusXfadeCollectionParam);
}

LbMorpheusLfoParam::LbMorpheusLfoParam(const char* name, int32 offset) : LbCollectionParam(name)
{
    LbAddWordParams(this, kLfo, offset);
}

LbMorpheusAuxEnvParam::LbMorpheusAuxEnvParam() : LbCollectionParam("Auxiliary Envelope")
{
    LbAddWordParams(this, kAuxEnvelope, 0);
}

LbMorpheusFgParam::LbMorpheusFgParam(const char* name, int32 offset) : LbCollectionParam(name)
{
    LbAddWordParams(this, kFgAmount, offset);
    LbAddFgSegments(this, kFgLevelIndex, kFgLevelNumber, offset);
}

LbMorpheusModulationPage::LbMorpheusModulationPage() : LbCollectionParam("Modulation")
{
    AddParam(new (std::nothrow) LbMorpheusLfoParam("LFO 1", 0));
    AddParam(new (std::nothrow) LbMorpheusLfoParam("LFO 2", LB_LFO2_OFFSET));
    AddParam(new (std::nothrow) LbMorpheusAuxEnvParam);
    AddParam(new (std::nothrow) LbMorpheusFgParam("Function Generator 1", 0));
    AddParam(new (std::nothrow) LbMorpheusFgParam("Function Generator 2", LB_FG2_OFFSET));
}

LbMorpheusPatchcordParam::LbMorpheusPatchcordParam(const char* name, const LbMorpheusWordSpec* cord,
                                                   int32 count)
    : LbCollectionParam(name)
{
    for (int32 c = 0; c < LB_PATCHCORDS; c++) LbAddWordParams(this, cord, count, LB_PATCHCORD_SIZE * c);
}

LbMorpheusNoPatchcordParam::LbMorpheusNoPatchcordParam()
    : LbMorpheusPatchcordParam("Note-On", kNoteOnCord, 3)
{
}

LbIntToStringMapI* LbMorpheusNoPatchcordParam::NewSourcesMap() const
{
    return new (std::nothrow) LbNoteOnSourcesMap;
}

LbIntToStringMapI* LbMorpheusNoPatchcordParam::NewDestinationsMap() const
{
    return new (std::nothrow) LbNoteOnDestinationsMap;
}

LbMorpheusRtPatchcordParam::LbMorpheusRtPatchcordParam()
    : LbMorpheusPatchcordParam("Real-Time", kRealtimeCord, 3)
{
}

LbIntToStringMapI* LbMorpheusRtPatchcordParam::NewSourcesMap() const
{
    return new (std::nothrow) LbRealtimeSourcesMap;
}

LbIntToStringMapI* LbMorpheusRtPatchcordParam::NewDestinationsMap() const
{
    return new (std::nothrow) LbRealtimeDestinationsMap;
}

LbMorpheusPatchcordPage::LbMorpheusPatchcordPage() : LbCollectionParam("Patchcords")
{
    AddParam(new (std::nothrow) LbMorpheusNoPatchcordParam);
    AddParam(new (std::nothrow) LbMorpheusRtPatchcordParam);
}
