#pragma once
// The midimap bank type: dumps of command 0x47, a header, 16 channels and the two effect
// processors.
#include "devices/morpheus/LbEmuMorpheusBank.h"
#include "params/LbParam.h"

#include <memory>

class LbEffectList;
class LbEffectMap;

// Name and parameter words up to 726, then the checksum.
constexpr uint32 LB_MIDIMAP_DUMP_LENGTH = 728;
constexpr int32 LB_CHANNELS = 16;
constexpr int32 LB_CHANNEL_SIZE = 40;
constexpr int32 LB_FX_VALUES = 10;

class LbMmmHeaderPage : public LbCollectionParam {
public:
    LbMmmHeaderPage();
};

class LbMmmChannelParam : public LbCollectionParam {
public:
    LbMmmChannelParam(const char* name, int32 offset);
};

class LbMmmChannelPage : public LbCollectionParam {
public:
    LbMmmChannelPage();
};

// One effect processor: the effect, its ten values, its amount and bus. The values' working
// range comes from the selected effect; the parameters carry the widest range any effect
// of the list gives.
// Lifetime: the parameter keeps its effect list (and the effect map it belongs to) while it
// lives, however the process-wide map is replaced meanwhile.
class LbMmmFxParam : public LbCollectionParam {
public:
    LbMmmFxParam(const char* name, std::shared_ptr<const LbEffectList> effects, int32 wordOffset,
                 int32 amountOffset);
    const LbEffectList* Effects() const { return mEffects.get(); }

private:
    std::shared_ptr<const LbEffectList> mEffects;
};

class LbMmmBToAParam : public LbIntParam {
public:
    LbMmmBToAParam();
};

class LbMmmFxPage : public LbCollectionParam {
public:
    // The lists of `effects` (kept while the page lives).
    explicit LbMmmFxPage(const std::shared_ptr<const LbEffectMap>& effects);
};

class LbEmuMorpheusMidimap : public LbEmuMorpheusBank {
public:
    // The FX page is made only when the process-wide effect map exists.
    LbEmuMorpheusMidimap(const char* name, LbDeviceI* device, int32 minimum, int32 maximum);

    status_t WriteNumber(LbDataI* data, int32 number) const override;
    uint8 RequestCommand() const override;
    uint8 DataCommand() const override;
    bool AcceptsLength(uint32 length) const override { return length >= LB_MIDIMAP_DUMP_LENGTH; }
};
