#pragma once
// The pages and groups of a Morpheus preset's parameter tree. Each builds its parameters
// from the layout tables at construction; the views of the pages come with the editors.
#include "params/LbIntToStringMapI.h"
#include "params/LbParam.h"

class LbFilterMap;
class LbInstrumentMap;
struct LbMorpheusWordSpec;

// Offsets of the repeated groups within a preset dump.
constexpr int32 LB_SECONDARY_LAYER_OFFSET = 70;
constexpr int32 LB_LFO2_OFFSET = 10;
constexpr int32 LB_FG2_OFFSET = 98;
constexpr int32 LB_PATCHCORDS = 10;
constexpr int32 LB_PATCHCORD_SIZE = 6;

class LbMpHeaderPage : public LbCollectionParam {
public:
    LbMpHeaderPage();
};

class LbMpCommonParam : public LbCollectionParam {
public:
    LbMpCommonParam();
};

class LbMpCommonPage : public LbCollectionParam {
public:
    LbMpCommonPage();
};

// Instrument, reverse, delay, start, solo mode and priority, loop enable, loop start and size.
// Without an instrument map the instrument parameter is left out.
class LbMorpheusInstrumentCollectionParam : public LbCollectionParam {
public:
    LbMorpheusInstrumentCollectionParam(const char* name, int32 offset, const LbInstrumentMap* instruments);
};

class LbMorpheusPitchCollectionParam : public LbCollectionParam {
public:
    explicit LbMorpheusPitchCollectionParam(int32 offset);
};

// Without a filter map the filter type is left out.
class LbMorpheusFilterCollectionParam : public LbCollectionParam {
public:
    LbMorpheusFilterCollectionParam(int32 offset, const LbFilterMap* filters);
};

class LbMorpheusDcaCollectionParam : public LbCollectionParam {
public:
    explicit LbMorpheusDcaCollectionParam(int32 offset);
};

class LbMorpheusPanParam : public LbIntParam {
public:
    explicit LbMorpheusPanParam(int32 offset);
};

class LbMorpheusXfadeCollectionParam : public LbCollectionParam {
public:
    LbMorpheusXfadeCollectionParam();
};

class LbMorpheusLayerPage : public LbCollectionParam {
public:
    LbMorpheusLayerPage(const LbInstrumentMap* instruments, const LbFilterMap* filters);
};

class LbMorpheusLfoParam : public LbCollectionParam {
public:
    LbMorpheusLfoParam(const char* name, int32 offset);
};

class LbMorpheusAuxEnvParam : public LbCollectionParam {
public:
    LbMorpheusAuxEnvParam();
};

// "Amount", then eight segments.
class LbMorpheusFgParam : public LbCollectionParam {
public:
    LbMorpheusFgParam(const char* name, int32 offset);
};

class LbMorpheusModulationPage : public LbCollectionParam {
public:
    LbMorpheusModulationPage();
};

// Ten cords of source, destination and amount, cord c at offset 6c.
class LbMorpheusPatchcordParam : public LbCollectionParam {
public:
    // The maps the views show sources and destinations with; released by the caller.
    virtual LbIntToStringMapI* NewSourcesMap() const = 0;
    virtual LbIntToStringMapI* NewDestinationsMap() const = 0;

protected:
    LbMorpheusPatchcordParam(const char* name, const LbMorpheusWordSpec* cord, int32 count);
};

class LbMorpheusNoPatchcordParam : public LbMorpheusPatchcordParam {
public:
    LbMorpheusNoPatchcordParam();
    LbIntToStringMapI* NewSourcesMap() const override;
    LbIntToStringMapI* NewDestinationsMap() const override;
};

class LbMorpheusRtPatchcordParam : public LbMorpheusPatchcordParam {
public:
    LbMorpheusRtPatchcordParam();
    LbIntToStringMapI* NewSourcesMap() const override;
    LbIntToStringMapI* NewDestinationsMap() const override;
};

class LbMorpheusPatchcordPage : public LbCollectionParam {
public:
    LbMorpheusPatchcordPage();
};
