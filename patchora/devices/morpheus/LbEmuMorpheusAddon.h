#pragma once
// The device type E-mu Morpheus, built into the program.
#include "librarian/LbData.h"
#include "midi/LbDevice.h"

class LbEmuMorpheusAddon : public LbDeviceAddon {
public:
    LbEmuMorpheusAddon();

    int32 Version() const override { return 19990728; }
    const char* ManufacturerName() const override { return "E-mu"; }
    const char* ModelName() const override { return "Morpheus"; }
    const LbDataI* ManufacturerId() const override { return &mManufacturerId; }
    const LbDataI* ModelId() const override { return &mModelId; }
    status_t GetDeviceIdRange(int16* low, int16* high) const override;
    LbDeviceI* NewDevice() override;

private:
    LbData mManufacturerId;
    LbData mModelId;
};
