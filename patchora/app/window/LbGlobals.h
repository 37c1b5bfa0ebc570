#pragma once
// LbGlobals: the application's window registry (see LbGlobalsI.h): librarian windows on
// devices and snapshots, one editor window per device model and bank, and the count of
// windows that keep the program running.
//
// Lifetime: owned by LbApplication. Deleting it closes the editor windows still open.
// Threads: GUI thread only.
#include "app/Messenger.h"
#include "app/window/LbGlobalsI.h"
#include "kernel/Geometry.h"

#include <memory>
#include <vector>

class LbDeviceAddonI;

// Where a new librarian window opens.
constexpr BRect kLbManageFrame(120, 80, 440, 340);

// One editor window per device model and bank.
struct LbEditWindowEntry {
    LbDeviceAddonI* addon; // not owned
    LbBankI* bank; // not owned
    BMessenger window;
};

class LbGlobals : public LbGlobalsI {
public:
    LbGlobals();
    ~LbGlobals() override;
    LbGlobals(const LbGlobals&) = delete;
    LbGlobals& operator=(const LbGlobals&) = delete;

    status_t EditWindow(LbDeviceI* device, LbBankI* bank, BWindow** window) override;
    status_t NewEditWindow(LbDeviceI* device, LbBankI* bank, BWindow** window) override;
    status_t NewManageWindow(LbDeviceI* device, BWindow** window) override;
    status_t NewManageWindow(LbDeviceSnapshotI* snapshot, BWindow** window) override;
    int32 CountSignificantWindows() override;
    bool IsQuitting() const override { return mQuitting; }
    void SetQuitting(bool quitting) { mQuitting = quitting; }

    int32 CountEditEntries() const { return int32(mEntries.size()); }

private:
    std::vector<std::unique_ptr<LbEditWindowEntry>> mEntries;
    bool mQuitting = false;
};

// The window a messenger targets while it is open, else null.
BWindow* LbWindowOf(const BMessenger& messenger);

// Hands the message to the window by calling its handler directly, with the window
// locked, as the application does with 'aWrS', 'aRdS' and 'asgn'.
void LbHandToWindow(BWindow* window, BMessage* message);
