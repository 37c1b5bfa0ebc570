#pragma once
#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceI.h"

#include <atomic>

// The model-independent part of a device: owns its banks and its MIDI service.
class LbDevice : public LbDeviceI {
public:
    LbDevice() = default;
    ~LbDevice() override;
    LbDevice(const LbDevice&) = delete;
    LbDevice& operator=(const LbDevice&) = delete;

    std::vector<LbBankI*>& Banks() override { return mBanks; }
    int16 DeviceId() const override { return mDeviceId; }
    void SetDeviceId(int16 id) override { mDeviceId = id; }
    // Null until a service is set: parameters and banks ask before they send.
    LbMidiServiceI* MidiService() const override { return mMidiService; }
    // Destroys the service held before and takes ownership of the new one.
    void SetMidiService(LbMidiServiceI* service) override;
    bool NeedsUninitialize() const override { return false; }
    status_t NewManageWindow(QWidget** window) override;

    virtual void DeleteBanks();

private:
    std::vector<LbBankI*> mBanks;
    LbMidiServiceI* mMidiService = nullptr;
    int16 mDeviceId = 0;
};

// The model-independent part of a device add-on: its name, "<maker> <model>".
class LbDeviceAddon : public LbDeviceAddonI {
public:
    LbDeviceAddon() = default;
    ~LbDeviceAddon() override;
    LbDeviceAddon(const LbDeviceAddon&) = delete;
    LbDeviceAddon& operator=(const LbDeviceAddon&) = delete;

    const char* Name() override;

private:
    // Made on first use; several threads may ask at once (windows opening documents).
    std::atomic<char*> mName {nullptr};
};
