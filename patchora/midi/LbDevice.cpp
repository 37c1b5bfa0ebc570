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
    free(mName.load());
}

const char* LbDeviceAddon::Name()
{
    if (char* name = mName.load(std::memory_order_acquire)) return name;
    const char* maker = ManufacturerName();
    const char* model = ModelName();
    if (maker == nullptr || model == nullptr) return "<No device name>";
    size_t size = strlen(maker) + strlen(model) + 2;
    char* made = static_cast<char*>(malloc(size));
    if (made == nullptr) return "<No device name>";
    snprintf(made, size, "%s %s", maker, model);
    // Published whole; a thread that made one at the same time keeps the first.
    char* first = nullptr;
    if (mName.compare_exchange_strong(first, made, std::memory_order_acq_rel)) return made;
    free(made);
    return first;
}
