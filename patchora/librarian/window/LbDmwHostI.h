#pragma once
// What a librarian window asks of the program around it: the studio and the device
// models, how many librarian windows are open, whether the program is quitting, the
// studio window and new librarian windows. The application installs one at start; tests
// install their own over a real studio.
//
// Threads: called on the GUI thread only. Lifetime: the installed host outlives every
// librarian window (the caller keeps it; LbSetDmwHost does not take ownership).
#include "kernel/SupportDefs.h"

class LbDeviceAddons;
class LbDeviceI;
class LbMidiStudio;

class LbDmwHostI {
public:
    virtual ~LbDmwHostI() = default;
    virtual LbMidiStudio* Studio() = 0;
    virtual LbDeviceAddons* Addons() = 0;
    // The open windows that count for quitting (each librarian window counts once).
    virtual int32 CountSignificantWindows() = 0;
    // True while the application shuts down.
    virtual bool IsQuitting() = 0;
    virtual void ShowStudioWindow() = 0;
    // Opens a new librarian window on a new snapshot of the device.
    virtual status_t NewManageWindow(LbDeviceI* device) = 0;
};

void LbSetDmwHost(LbDmwHostI* host);
// The installed host, or null.
LbDmwHostI* LbDmwHost();
