#include "devices/morpheus/LbEmuMorpheusPreset.h"

#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbMorpheusPresetPages.h"
#include "devices/morpheus/LbMorpheusProtocol.h"
#include "librarian/LbDataI.h"

#include <cstring>
#include <new>

namespace {

bool NameIs(const char* name, const char* expected)
{
    return name != nullptr && strcmp(name, expected) == 0;
}

constexpr const char* kRam = "Preset - RAM";
constexpr const char* kRom = "Preset - ROM";
constexpr const char* kCard = "Preset - Card";

} // namespace

LbEmuMorpheusPreset::LbEmuMorpheusPreset(const char* name, LbDeviceI* device, int32 minimum, int32 maximum)
    : LbEmuMorpheusBank(name, device, minimum, maximum)
{
    AddParam(new (std::nothrow) LbMpHeaderPage);
    AddParam(new (std::nothrow) LbMpCommonPage);
    AddParam(new (std::nothrow) LbMorpheusLayerPage(LbEmuMorpheus::InstrumentMap().get(), LbEmuMorpheus::FilterMap().get()));
    AddParam(new (std::nothrow) LbMorpheusModulationPage);
    AddParam(new (std::nothrow) LbMorpheusPatchcordPage);
}

bool LbEmuMorpheusPreset::IsCompatible(const LbBankI* other) const
{
    if (LbBank::IsCompatible(other)) return true;
    const char* name = other->Name();
    return NameIs(name, kRam) || NameIs(name, kRom) || NameIs(name, kCard);
}

bool LbEmuMorpheusPreset::IsReadOnly() const
{
    return NameIs(Name(), kRom);
}

int32 LbEmuMorpheusPreset::BankByte() const
{
    if (NameIs(Name(), kRom)) return 1;
    if (NameIs(Name(), kCard)) return 2;
    return 0;
}

status_t LbEmuMorpheusPreset::WriteNumber(LbDataI* data, int32 number) const
{
    if (data == nullptr || data->Bits() == nullptr || data->Length() <= LB_MORPHEUS_BANK_INDEX || number < 0
        || number > 127)
        return B_ERROR;
    data->Bits()[LB_MORPHEUS_NUMBER_INDEX] = uint8(number);
    data->Bits()[LB_MORPHEUS_BANK_INDEX] = uint8(BankByte());
    return B_OK;
}

uint8 LbEmuMorpheusPreset::RequestCommand() const
{
    return LB_MORPHEUS_PRESET_REQUEST;
}

uint8 LbEmuMorpheusPreset::DataCommand() const
{
    return LB_MORPHEUS_PRESET_DATA;
}

int32 LbEmuMorpheusPreset::RequestNumber(int32 number) const
{
    return number + 128 * BankByte();
}

int32 LbEmuMorpheusPreset::ActiveBankValue() const
{
    if (NameIs(Name(), kRam)) return 0;
    if (NameIs(Name(), kRom)) return 1;
    if (NameIs(Name(), kCard)) return 3;
    return -1;
}
