#include "devices/morpheus/LbEmuMorpheusBank.h"

#include "devices/morpheus/LbMorpheusProtocol.h"
#include "devices/morpheus/LbMorpheusRealtime.h"
#include "devices/morpheus/LbMorpheusWordCodec.h"
#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbData.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiServiceI.h"
#include "midi/MidiProducer.h"
#include "params/LbIntCodecs.h"
#include "params/LbParam.h"
#include "params/LbStringCodec.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
constexpr uint32 kNameLast = 29;
constexpr uint32 kNameCharacters = 12;
} // namespace

LbEmuMorpheusBank::LbEmuMorpheusBank(const char* name, LbDeviceI* device, int32 minimum, int32 maximum)
    : LbBank(name, device, minimum, maximum)
{
}

status_t LbEmuMorpheusBank::RequestData(int32 number, LbDataReceiverI* receiver) const
{
    LbDeviceI* device = Device();
    LbMidiServiceI* service = device ? device->MidiService() : nullptr;
    if (service == nullptr || number < Minimum() || number > Maximum()) return B_ERROR;
    LbData request;
    if (LbMorpheusPatchRequest(device->DeviceId(), RequestCommand(), RequestNumber(number), &request) != B_OK)
        return B_ERROR;
    return service->SendSystemExclusive(&request, true, receiver);
}

bool LbEmuMorpheusBank::IsOwnDump(const uint8* data, uint32 length) const
{
    // Byte 5 (the number) must be there whatever the type's length rule says.
    if (data == nullptr || length <= LB_MORPHEUS_NUMBER_INDEX || !AcceptsLength(length)) return false;
    return data[0] == LB_EMU_MANUFACTURER_ID && data[1] == LB_MORPHEUS_MODEL_ID
        && data[LB_MORPHEUS_COMMAND_INDEX] == DataCommand();
}

bool LbEmuMorpheusBank::ReceiveData(const uint8* data, uint32 length, LbBankSnapshotI* snapshot) const
{
    if (!IsOwnDump(data, length)) return false;
    char* name = ExtractName(data, length);
    LbData block(data, length);
    if (snapshot != nullptr) snapshot->InstallPatch(data[LB_MORPHEUS_NUMBER_INDEX], name, &block);
    free(name);
    return true;
}

bool LbEmuMorpheusBank::HoldsNumberOf(const uint8* data, uint32 length) const
{
    if (!IsOwnDump(data, length)) return false;
    int32 number = data[LB_MORPHEUS_NUMBER_INDEX];
    if (number < Minimum() || number > Maximum()) return false;
    // The bank holds the dump when giving it its own number changes none of its bytes.
    LbData head(data, std::min(length, LB_MORPHEUS_FIRST_WORD));
    if (WriteNumber(&head, number) != B_OK) return false;
    return memcmp(head.Bits(), data, head.Length()) == 0;
}

void LbEmuMorpheusBank::MakeActive(const LbPatchI*) const
{
    int32 value = ActiveBankValue();
    LbDeviceI* device = Device();
    LbMidiServiceI* service = device ? device->MidiService() : nullptr;
    if (value < 0 || service == nullptr || service->MidiOutput() == nullptr) return;
    service->MidiOutput()->SprayControlChange(uchar(service->MidiChannel() & 0x0F), 32, uchar(value));
}

status_t LbEmuMorpheusBank::PrepareOutgoing(LbDataI* dump) const
{
    if (dump == nullptr || !IsOwnDump(dump->Bits(), dump->Length())) return B_ERROR;
    return LbMorpheusUpdateChecksum(dump->Bits(), dump->Length());
}

char* LbEmuMorpheusBank::ExtractName(const uint8* data, uint32 length)
{
    char* name = static_cast<char*>(malloc(kNameCharacters + 2));
    if (name == nullptr) return nullptr;
    uint32 count = 0;
    for (uint32 i = LB_MORPHEUS_FIRST_WORD; i <= kNameLast && i < length && data != nullptr; i += 2)
        name[count++] = char(data[i]);
    name[count] = 0;
    return name;
}

static LbIntParam* NewCodecInt(uint32 bits, const char* name, int32 base, int32 min, int32 max, int32 number,
                               int32 offset)
{
    LbIntCodecI* codec = nullptr;
    if (bits == 14)
        codec = new (std::nothrow) LbMorpheusWordCodec(min, max);
    else if (LbCodecFactory::NewIntCodec(LB_CODEC_SIGNED, bits, &codec) != B_OK)
        return nullptr;
    if (codec == nullptr) return nullptr;
    uint32 first = uint32(base + offset);
    uint32 last = bits == 14 ? first + 1 : first;
    LbIntParam* param = new (std::nothrow) LbIntParam(name, codec, base, first, last, min, max);
    if (param == nullptr) {
        delete codec;
        return nullptr;
    }
    return LbEmuMorpheusBank::AddRealtime(param, number + offset / 2);
}

LbIntParam* LbEmuMorpheusBank::NewInt(const char* name, int32 base, int32 min, int32 max, int32 number,
                                      int32 offset)
{
    return NewCodecInt(14, name, base, min, max, number, offset);
}

LbIntParam* LbEmuMorpheusBank::NewInt7(const char* name, int32 base, int32 min, int32 max, int32 number,
                                       int32 offset)
{
    return NewCodecInt(7, name, base, min, max, number, offset);
}

LbIntParam* LbEmuMorpheusBank::AddRealtime(LbIntParam* param, int32 number)
{
    if (param == nullptr) return nullptr;
    LbMorpheusRealtime* realtime = new (std::nothrow) LbMorpheusRealtime(number);
    if (realtime != nullptr) param->SetRealtime(realtime);
    return param;
}

LbStringParam* LbEmuMorpheusBank::NewNameParam()
{
    LbRunStringCodec* codec = new (std::nothrow) LbRunStringCodec;
    if (codec == nullptr) return nullptr;
    codec->SetFillBlanks(' ');
    LbStringParam* param = new (std::nothrow)
        LbStringParam("Name", codec, int32(kNameCharacters), 32, 127, LB_MORPHEUS_FIRST_WORD, kNameLast, 2);
    if (param == nullptr) delete codec;
    return param;
}
