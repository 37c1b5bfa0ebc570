#include "devices/morpheus/LbMorpheusProtocol.h"

#include "librarian/LbData.h"
#include "params/LbIntCodecs.h"

namespace {

constexpr uint8 kSysExStart = 0xF0;
constexpr uint8 kSysExEnd = 0xF7;

bool FitsWord(int32 value)
{
    return value >= -8192 && value <= 8191;
}

} // namespace

bool LbMorpheusEncodeNumber(int32 number, uint8* out)
{
    if (out == nullptr || number < 0 || number > 16383) return false;
    out[0] = uint8(number & 0x7F);
    out[1] = uint8(number >> 7);
    return true;
}

status_t LbMorpheusPatchRequest(int32 deviceId, uint8 command, int32 number, LbData* out)
{
    if (out == nullptr || !LbMorpheusValidDeviceId(deviceId) || command > 0x7F || number < 0 || number > 16383)
        return B_ERROR;
    uint8 bytes[8] = {kSysExStart, LB_EMU_MANUFACTURER_ID, LB_MORPHEUS_MODEL_ID, uint8(deviceId), command,
                      uint8(number & 0x7F), uint8(number >> 7), kSysExEnd};
    return out->SetTo(bytes, sizeof bytes);
}

status_t LbMorpheusListRequest(int32 deviceId, uint8 command, LbData* out)
{
    if (out == nullptr || !LbMorpheusValidDeviceId(deviceId) || command > 0x7F) return B_ERROR;
    uint8 bytes[6] = {kSysExStart, LB_EMU_MANUFACTURER_ID, LB_MORPHEUS_MODEL_ID, uint8(deviceId), command,
                      kSysExEnd};
    return out->SetTo(bytes, sizeof bytes);
}

status_t LbMorpheusParamEdit(int32 deviceId, int32 paramNumber, int32 value, LbData* out)
{
    if (out == nullptr || !LbMorpheusValidDeviceId(deviceId) || !FitsWord(value)) return B_ERROR;
    uint8 bytes[10] = {kSysExStart, LB_EMU_MANUFACTURER_ID, LB_MORPHEUS_MODEL_ID, uint8(deviceId),
                       LB_MORPHEUS_PARAM_EDIT, 0, 0, 0, 0, kSysExEnd};
    Lb14BitIntCodec2 codec;
    if (!LbMorpheusEncodeNumber(paramNumber, bytes + 5)) return B_ERROR;
    if (codec.WriteSysEx(bytes, sizeof bytes, 7, 8, value) != B_OK) return B_ERROR;
    return out->SetTo(bytes, sizeof bytes);
}

bool LbMorpheusDumpChecksum(const uint8* bits, uint32 length, uint8* checksum)
{
    if (bits == nullptr || checksum == nullptr || length < LB_MORPHEUS_FIRST_WORD + 2) return false;
    uint32 sum = 0;
    for (uint32 i = LB_MORPHEUS_FIRST_WORD; i + 1 < length; i++) sum += bits[i];
    *checksum = uint8(sum & 0x7F);
    return true;
}

bool LbMorpheusChecksumMatches(const uint8* bits, uint32 length)
{
    uint8 checksum;
    return LbMorpheusDumpChecksum(bits, length, &checksum) && bits[length - 1] == checksum;
}

status_t LbMorpheusUpdateChecksum(uint8* bits, uint32 length)
{
    uint8 checksum;
    if (!LbMorpheusDumpChecksum(bits, length, &checksum)) return B_ERROR;
    bits[length - 1] = checksum;
    return B_OK;
}
