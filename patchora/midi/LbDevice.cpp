#include "midi/LbDevice.h"

#include "librarian/LbBankI.h"
#include "librarian/LbStatus.h"
#include "midi/LbMidiServiceI.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

LbDevice::~LbDevice()
{
    DeleteBanks();
    delete mMidiService;
}

void LbDevice::SetMidiService(LbMidiServiceI* service)
{
    if (service == mMidiService) return;
    delete mMidiService;
    mMidiService = service;
}

status_t LbDevice::NewManageWindow(QWidget** window)
{
    if (window) *window = nullptr;
    return LB_UNSUPPORTED;
}

void LbDevice::DeleteBanks()
{
    for (LbBankI* bank : mBanks) delete bank;
    mBanks.clear();
}

LbDeviceAddon::~LbDeviceAddon()
{
    free(mName);
}

const char* LbDeviceAddon::Name()
{
    if (mName) return mName;
    const char* maker = ManufacturerName();
    const char* model = ModelName();
    if (maker == nullptr || model == nullptr) return "<No device name>";
    size_t size = strlen(maker) + strlen(model) + 2;
    mName = static_cast<char*>(malloc(size));
    if (mName == nullptr) return "<No device name>";
    snprintf(mName, size, "%s %s", maker, model);
    return mName;
}
