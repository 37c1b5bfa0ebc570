#include "midi/LbDeviceAddons.h"

#include "librarian/LbDataI.h"
#include "midi/LbDeviceAddonI.h"

#include <cstring>

LbDeviceAddons::~LbDeviceAddons()
{
    for (LbDeviceAddonI* addon : mAddons) delete addon;
}

bool LbDeviceAddons::AddAddon(LbDeviceAddonI* addon)
{
    if (addon == nullptr) return false;
    mAddons.push_back(addon);
    return true;
}

LbDeviceAddonI* LbDeviceAddons::AddonAt(int32 index) const
{
    if (index < 0 || index >= int32(mAddons.size())) return nullptr;
    return mAddons[size_t(index)];
}

LbDeviceAddonI* LbDeviceAddons::AddonAt(const char* manufacturerName, const char* modelName) const
{
    if (manufacturerName == nullptr || modelName == nullptr) return nullptr;
    for (LbDeviceAddonI* addon : mAddons) {
        const char* maker = addon->ManufacturerName();
        const char* model = addon->ModelName();
        if (maker && model && strcmp(maker, manufacturerName) == 0 && strcmp(model, modelName) == 0) return addon;
    }
    return nullptr;
}

LbDeviceAddonI* LbDeviceAddons::AddonAt(const LbDataI* manufacturerId, const LbDataI* modelId) const
{
    if (manufacturerId == nullptr || modelId == nullptr) return nullptr;
    for (LbDeviceAddonI* addon : mAddons) {
        const LbDataI* maker = addon->ManufacturerId();
        const LbDataI* model = addon->ModelId();
        if (maker && model && maker->Matches(manufacturerId) && model->Matches(modelId)) return addon;
    }
    return nullptr;
}
