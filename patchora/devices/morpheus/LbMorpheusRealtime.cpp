#include "devices/morpheus/LbMorpheusRealtime.h"

#include "devices/morpheus/LbMorpheusProtocol.h"
#include "librarian/LbData.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiServiceI.h"
#include "params/LbIntCodecs.h"

status_t LbMorpheusRealtime::Send(LbDeviceI* device, const LbIntCodecI* codec, const LbDataI*, uint32,
                                  int32 value)
{
    return SendValue(device, codec, mParamNumber, value);
}

status_t LbMorpheusRealtime::SendValue(LbDeviceI* device, const LbIntCodecI* codec, int32 paramNumber,
                                       int32 value) const
{
    if (device == nullptr || codec == nullptr) return B_ERROR;
    LbMidiServiceI* service = device->MidiService();
    if (service == nullptr || !LbMorpheusValidDeviceId(device->DeviceId())) return B_ERROR;
    // Built afresh for every send, so that two threads editing at once never share a buffer.
    uint8 bytes[kLength] = {0xF0, LB_EMU_MANUFACTURER_ID, LB_MORPHEUS_MODEL_ID, 0, LB_MORPHEUS_PARAM_EDIT,
                            0, 0, 0, 0, 0xF7};
    bytes[3] = uint8(device->DeviceId());
    // Parameter numbers run to 16383 (presets from 8192), past what a signed word codec takes.
    if (!LbMorpheusEncodeNumber(paramNumber, bytes + kParamIndex)) return B_ERROR;
    if (codec->WriteSysEx(bytes, kLength, kValueIndex, kValueIndex + 1, value) != B_OK) return B_ERROR;
    LbData message(bytes, kLength);
    return service->SendSystemExclusive(&message, false, nullptr);
}
