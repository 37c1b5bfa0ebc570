#pragma once
// The device models the program knows, in the order they were added; owns them.
#include "kernel/SupportDefs.h"

#include <vector>

class LbDataI;
class LbDeviceAddonI;

class LbDeviceAddons {
public:
    LbDeviceAddons() = default;
    ~LbDeviceAddons();
    LbDeviceAddons(const LbDeviceAddons&) = delete;
    LbDeviceAddons& operator=(const LbDeviceAddons&) = delete;

    bool AddAddon(LbDeviceAddonI* addon);
    int32 CountAddons() const { return int32(mAddons.size()); }
    LbDeviceAddonI* AddonAt(int32 index) const;
    // The first add-on whose names equal both texts exactly; null for a null text.
    LbDeviceAddonI* AddonAt(const char* manufacturerName, const char* modelName) const;
    // The first add-on whose SysEx ids match both blocks byte for byte; null for a null block.
    LbDeviceAddonI* AddonAt(const LbDataI* manufacturerId, const LbDataI* modelId) const;

private:
    std::vector<LbDeviceAddonI*> mAddons;
};
