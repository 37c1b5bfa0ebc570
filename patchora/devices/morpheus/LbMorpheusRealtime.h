#pragma once
// The real-time sender of a Morpheus parameter: one parameter value edit
// F0 18 0C dd 03 pl ph vl vh F7 per change, sent without waiting for a reply.
#include "params/LbRealtimeI.h"

class LbMorpheusRealtime : public LbRealtimeI {
public:
    explicit LbMorpheusRealtime(int32 paramNumber) : mParamNumber(paramNumber) {}

    // Sends `value` as the parameter's new value, encoded with `codec` (the parameter's
    // own). -1 without a device, codec or MIDI service, for a device id outside 0..15, or
    // when the codec cannot encode the number or the value.
    status_t Send(LbDeviceI* device, const LbIntCodecI* codec, const LbDataI* data, uint32 which,
                  int32 value) override;

    int32 ParamNumber() const { return mParamNumber; }

    static constexpr uint32 kLength = 10;
    static constexpr uint32 kParamIndex = 5;   // and 6
    static constexpr uint32 kValueIndex = 7;   // and 8

protected:
    // Steps shared by every Morpheus sender: fill in the device id, the number and the value
    // words and hand the message to the device's MIDI service.
    status_t SendValue(LbDeviceI* device, const LbIntCodecI* codec, int32 paramNumber, int32 value) const;

private:
    int32 mParamNumber;
};
