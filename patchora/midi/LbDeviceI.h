#pragma once
#include "librarian/LbDataReceiverI.h"

#include <vector>

class BPositionIO;
class LbBankI;
class LbDeviceAddonI;
class LbMidiServiceI;
class LbStatusWormholeI;
class QWidget;

// One instrument of the user's studio: its banks, its MIDI service, its device id.
class LbDeviceI : public LbDataReceiverI {
public:
    // `cache` is the device model's cache file (a document), or null.
    virtual void Initialize(LbStatusWormholeI* wormhole, BPositionIO* cache, bool refresh) = 0;
    virtual void Uninitialize(BPositionIO* cache) = 0;
    virtual bool NeedsUninitialize() const = 0;
    virtual status_t InitCheck() const = 0;
    virtual LbDeviceAddonI* Addon() const = 0;
    virtual std::vector<LbBankI*>& Banks() = 0;
    virtual int16 DeviceId() const = 0;
    virtual void SetDeviceId(int16 id) = 0;
    virtual LbMidiServiceI* MidiService() const = 0;
    virtual void SetMidiService(LbMidiServiceI* service) = 0;
    virtual status_t NewManageWindow(QWidget** window) = 0;
};
