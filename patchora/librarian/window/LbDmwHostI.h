#pragma once
// What a librarian window asks of the program around it besides the window registry
// (Globals(), app/window/LbGlobalsI.h): the studio, the device models and the studio
// window. The application installs one at start; tests install their own over a real
// studio.
//
// Threads: called on the GUI thread only. Lifetime: the installed host outlives every
// librarian window (the caller keeps it; LbSetDmwHost does not take ownership).
#include "kernel/SupportDefs.h"

class LbDeviceAddons;
class LbMidiStudio;

class LbDmwHostI {
public:
    virtual ~LbDmwHostI() = default;
    virtual LbMidiStudio* Studio() = 0;
    virtual LbDeviceAddons* Addons() = 0;
    // Shows the studio window, or activates it when it is open.
    virtual void ShowStudioWindow() = 0;
};

void LbSetDmwHost(LbDmwHostI* host);
// The installed host, or null.
LbDmwHostI* LbDmwHost();
