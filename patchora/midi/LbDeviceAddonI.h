#pragma once
#include "kernel/SupportDefs.h"

class LbDataI;
class LbDeviceI;

// One instrument model: its names, SysEx ids, device-id range, and how to make a device.
class LbDeviceAddonI {
public:
    virtual ~LbDeviceAddonI() = default;
    virtual int32 Version() const = 0;
    virtual const char* ManufacturerName() const = 0;
    virtual const char* ModelName() const = 0;
    virtual const char* Name() = 0;
    virtual const LbDataI* ManufacturerId() const = 0;
    virtual const LbDataI* ModelId() const = 0;
    virtual status_t GetDeviceIdRange(int16* low, int16* high) const = 0;
    virtual LbDeviceI* NewDevice() = 0;
};
