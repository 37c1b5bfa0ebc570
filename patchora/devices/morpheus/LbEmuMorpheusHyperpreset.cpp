#include "devices/morpheus/LbEmuMorpheusHyperpreset.h"

#include "devices/morpheus/LbMorpheusFgGroup.h"
#include "devices/morpheus/LbMorpheusLayout.h"
#include "devices/morpheus/LbMorpheusValueMaps.h"
#include "devices/morpheus/LbMorpheusProgramParam.h"
#include "devices/morpheus/LbMorpheusProtocol.h"
#include "librarian/LbDataI.h"

#include <cstring>
#include <new>

namespace {

const LbMorpheusWordSpec kHeader[] = {{"Port mode", 31, 0, 5, 8716}};

constexpr int32 kProgramIndex = 129;
constexpr int32 kBankIndex = 130;
constexpr int32 kProgramNumber = 8765;
const LbMorpheusWordSpec kZone[] = {
    {"Volume", 131, 0, 127, 8766},     {"Pan", 133, -14, 14, 8767},       {"Low key", 135, 0, 127, 8768, LbNewValueMap<LbKeyMap>},
    {"High key", 137, 0, 127, 8769, LbNewValueMap<LbKeyMap>},   {"Low vel", 139, 0, 127, 8770},    {"High vel", 141, 0, 127, 8771},
    {"Vel offset", 143, -126, 126, 8772}, {"Xpose", 145, -36, 36, 8773}, {"Coarse", 147, -36, 36, 8774},
    {"Fine", 149, -64, 64, 8775},
};

constexpr int32 kFgLevelIndex = 33;
constexpr int32 kFgLevelNumber = 8717;

const char* const kZoneNames[LB_ZONES] = {"1", "2",  "3",  "4",  "5",  "6",  "7",  "8",
                                          "9", "10", "11", "12", "13", "14", "15", "16"};

} // namespace

LbMhpHeaderPage::LbMhpHeaderPage() : LbCollectionParam("Header")
{
    AddParam(LbEmuMorpheusBank::NewNameParam());
    LbAddWordParams(this, kHeader, 0);
}

LbMhpZoneParam::LbMhpZoneParam(const char* name, int32 offset) : LbCollectionParam(name)
{
    // Banks 0 "Preset - RAM", 1 "Preset - ROM", 2 "Preset - Card".
    AddParam(new (std::nothrow) LbMorpheusProgramParam("Bank/Program", kProgramIndex, uint32(kBankIndex + offset),
                                                       uint32(kProgramIndex + offset), 0, 2,
                                                       kProgramNumber + offset / 2));
    LbAddWordParams(this, kZone, offset);
}

LbMhpZonePage::LbMhpZonePage() : LbCollectionParam("Zones")
{
    for (int32 z = 0; z < LB_ZONES; z++) AddParam(new (std::nothrow) LbMhpZoneParam(kZoneNames[z], LB_ZONE_SIZE * z));
}

LbMhpFgParam::LbMhpFgParam() : LbCollectionParam("Function Generator")
{
    LbAddFgSegments(this, kFgLevelIndex, kFgLevelNumber, 0);
}

LbMhpModulationPage::LbMhpModulationPage() : LbCollectionParam("Modulation")
{
    AddParam(new (std::nothrow) LbMhpFgParam);
}

LbEmuMorpheusHyperpreset::LbEmuMorpheusHyperpreset(const char* name, LbDeviceI* device, int32 minimum,
                                                   int32 maximum)
    : LbEmuMorpheusBank(name, device, minimum, maximum)
{
    AddParam(new (std::nothrow) LbMhpHeaderPage);
    AddParam(new (std::nothrow) LbMhpZonePage);
    AddParam(new (std::nothrow) LbMhpModulationPage);
}

status_t LbEmuMorpheusHyperpreset::WriteNumber(LbDataI* data, int32 number) const
{
    if (data == nullptr || data->Bits() == nullptr || data->Length() <= LB_MORPHEUS_BANK_INDEX || number < 0
        || number > 127)
        return B_ERROR;
    bool card = Name() != nullptr && strcmp(Name(), "Hyperpreset - Card") == 0;
    data->Bits()[LB_MORPHEUS_NUMBER_INDEX] = uint8(number);
    data->Bits()[LB_MORPHEUS_BANK_INDEX] = card ? 1 : 0;
    return B_OK;
}

uint8 LbEmuMorpheusHyperpreset::RequestCommand() const
{
    return LB_MORPHEUS_HYPERPRESET_REQUEST;
}

uint8 LbEmuMorpheusHyperpreset::DataCommand() const
{
    return LB_MORPHEUS_HYPERPRESET_DATA;
}
