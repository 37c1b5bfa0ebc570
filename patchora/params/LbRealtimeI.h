#pragma once
#include "kernel/SupportDefs.h"

class LbDataI;
class LbDeviceI;
class LbIntCodecI;

// Sends one parameter's new value to the instrument at once (a real-time edit).
class LbRealtimeI {
public:
    virtual ~LbRealtimeI() = default;
    virtual status_t Send(LbDeviceI* device, const LbIntCodecI* codec, const LbDataI* data, uint32 which,
                          int32 value) = 0;
};
