#include "devices/morpheus/LbEmuMorpheusMidimap.h"

#include "devices/morpheus/LbEffectMap.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbMorpheusLayout.h"
#include "devices/morpheus/LbMorpheusValueMaps.h"
#include "devices/morpheus/LbMorpheusProgramParam.h"
#include "devices/morpheus/LbMorpheusProtocol.h"
#include "librarian/LbDataI.h"
#include "devices/morpheus/LbMorpheusWordCodec.h"

#include <new>

namespace {

const LbMorpheusWordSpec kHeader[] = {{"Program map", 671, -1, 3, 2380}};

constexpr int32 kProgramIndex = 31;
constexpr int32 kBankIndex = 32;
constexpr int32 kProgramNumber = 2060;
const LbMorpheusWordSpec kChannel[] = {
    {"Volume", 35, 0, 127, 2062},       {"Pan", 37, -8, 7, 2063},         {"Mix bus", 39, -1, 3, 2064, LbNewValueMap<LbMixBusMap>},
    {"Enable", 41, 0, 1, 2065},         {"Prog change", 43, 0, 1, 2066},  {"Bank change", 45, 0, 1, 2067},
    {"Volume", 47, 0, 1, 2068},         {"Pan", 49, 0, 1, 2069},          {"Pitch", 51, 0, 1, 2070},
    {"Mono pressure", 53, 0, 1, 2071},  {"Key pressure", 55, 0, 1, 2072}, {"Ctrl A", 57, 0, 1, 2073},
    {"Ctrl B", 59, 0, 1, 2074},         {"Ctrl C", 61, 0, 1, 2075},       {"Ctrl D", 63, 0, 1, 2076},
    {"Foot 1", 65, 0, 1, 2077},         {"Foot 2", 67, 0, 1, 2078},       {"Foot 3", 69, 0, 1, 2079},
};

constexpr int32 kEffectIndex = 673;
constexpr int32 kEffectNumber = 2381;
constexpr int32 kFirstValueIndex = 675;
constexpr int32 kFirstValueNumber = 2382;
const LbMorpheusWordSpec kFxAmountBus[] = {{"Amount", 717, 0, 100, 2403}, {"Bus", 723, 0, 2, 2406}};
constexpr int32 kFxBWordOffset = 22;
constexpr int32 kFxBAmountOffset = 2;

constexpr int32 kBToAIndex = 721;
constexpr int32 kBToANumber = 2405;

const char* const kChannelNames[LB_CHANNELS] = {"1", "2",  "3",  "4",  "5",  "6",  "7",  "8",
                                                "9", "10", "11", "12", "13", "14", "15", "16"};

} // namespace

LbMmmHeaderPage::LbMmmHeaderPage() : LbCollectionParam("Header")
{
    AddParam(LbEmuMorpheusBank::NewNameParam());
    LbAddWordParams(this, kHeader, 0);
}

LbMmmChannelParam::LbMmmChannelParam(const char* name, int32 offset) : LbCollectionParam(name)
{
    // Banks 0-4 as LbMmmBankMap names them.
    AddParam(new (std::nothrow) LbMorpheusProgramParam("Bank/Program", kProgramIndex, uint32(kBankIndex + offset),
                                                       uint32(kProgramIndex + offset), 0, 4,
                                                       kProgramNumber + offset / 2));
    LbAddWordParams(this, kChannel, offset);
}

LbMmmChannelPage::LbMmmChannelPage() : LbCollectionParam("Channels")
{
    for (int32 c = 0; c < LB_CHANNELS; c++)
        AddParam(new (std::nothrow) LbMmmChannelParam(kChannelNames[c], LB_CHANNEL_SIZE * c));
}

LbMmmFxParam::LbMmmFxParam(const char* name, std::shared_ptr<const LbEffectList> list, int32 wordOffset,
                           int32 amountOffset)
    : LbCollectionParam(name), mEffects(std::move(list))
{
    const LbEffectList* effects = mEffects.get();
    // The word holds an effect id; list B's ids do not start at 0.
    int32 highestId = 0, lowValue = 0, highValue = 0;
    for (int32 i = 0; effects != nullptr && i < effects->NumberOfEffects(); i++) {
        const LbEffect* effect = effects->EffectAt(i);
        highestId = effect->Id() > highestId ? effect->Id() : highestId;
        for (int32 p = 0; p < effect->NumberOfParams(); p++) {
            const LbEffectParam* param = effect->ParamAt(p);
            lowValue = param->low < lowValue ? param->low : lowValue;
            highValue = param->high > highValue ? param->high : highValue;
        }
    }
    int32 effectCount = effects ? effects->NumberOfEffects() : 0;
    AddParam(LbEmuMorpheusBank::NewInt("Effect", kEffectIndex, 0, highestId > effectCount ? highestId : effectCount,
                                       kEffectNumber, wordOffset));
    for (int32 v = 0; v < LB_FX_VALUES; v++)
        AddParam(LbEmuMorpheusBank::NewInt("Value", kFirstValueIndex + 2 * v, lowValue, highValue,
                                           kFirstValueNumber + v, wordOffset));
    LbAddWordParams(this, kFxAmountBus, amountOffset);
}

LbMmmBToAParam::LbMmmBToAParam()
    : LbIntParam("B->A", new (std::nothrow) LbMorpheusWordCodec(0, 101), kBToAIndex, kBToAIndex, kBToAIndex + 1,
                 0, 101)
{
    LbEmuMorpheusBank::AddRealtime(this, kBToANumber);
}

LbMmmFxPage::LbMmmFxPage(const std::shared_ptr<const LbEffectMap>& effects) : LbCollectionParam("FX")
{
    // Each list shares the ownership of the map it is part of.
    std::shared_ptr<const LbEffectList> listA(effects, &effects->ListA());
    std::shared_ptr<const LbEffectList> listB(effects, &effects->ListB());
    AddParam(new (std::nothrow) LbMmmFxParam("FX A", std::move(listA), 0, 0));
    AddParam(new (std::nothrow) LbMmmBToAParam);
    AddParam(new (std::nothrow) LbMmmFxParam("FX B", std::move(listB), kFxBWordOffset, kFxBAmountOffset));
}

LbEmuMorpheusMidimap::LbEmuMorpheusMidimap(const char* name, LbDeviceI* device, int32 minimum, int32 maximum)
    : LbEmuMorpheusBank(name, device, minimum, maximum)
{
    AddParam(new (std::nothrow) LbMmmHeaderPage);
    AddParam(new (std::nothrow) LbMmmChannelPage);
    if (std::shared_ptr<const LbEffectMap> effects = LbEmuMorpheus::EffectMap())
        AddParam(new (std::nothrow) LbMmmFxPage(effects));
}

status_t LbEmuMorpheusMidimap::WriteNumber(LbDataI* data, int32 number) const
{
    if (data == nullptr || data->Bits() == nullptr || data->Length() <= LB_MORPHEUS_NUMBER_INDEX || number < 0
        || number > 127)
        return B_ERROR;
    data->Bits()[LB_MORPHEUS_NUMBER_INDEX] = uint8(number);
    return B_OK;
}

uint8 LbEmuMorpheusMidimap::RequestCommand() const
{
    return LB_MORPHEUS_MIDIMAP_REQUEST;
}

uint8 LbEmuMorpheusMidimap::DataCommand() const
{
    return LB_MORPHEUS_MIDIMAP_DATA;
}
