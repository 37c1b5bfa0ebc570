#pragma once
// LbGlobalsI: the program's registry of windows, which the application owns (LbGlobals).
// Windows ask it for librarian and editor windows and for the number of windows that
// keep the program running.
//
// The program-wide accessors Globals(), Prefs() and ImageManager() return the services of
// the one running LbApplication. They return null while no LbApplication runs (a test
// that makes a librarian window on its own, the command line): callers check.
//
// Messages every window of the program may get from the application, by a direct call
// of its MessageReceived on the GUI thread (not through its queue):
//   'aWrS' LB_MSG_WRITE_STATE  "LbXmlStreamI" (pointer): write the window's "Window"
//          element (see LbWindowState.h), unless the window is closing;
//   'aRdS' LB_MSG_READ_STATE   "LbXmlStreamI", "tag" = "Window", "type": read the window's
//          elements up to "/Window";
//   'asgn' LB_MSG_SIGNIFICANT  a window that keeps the program running (a librarian
//          window) adds the bool "significant" = true.
//
// Lifetime: windows made here are the platform's (they end with Quit). Out parameters
// receive a borrowed pointer, valid until that window quits.
// Threads: GUI thread only.
#include "kernel/SupportDefs.h"

class BWindow;
class LbBankI;
class LbDeviceI;
class LbDeviceSnapshotI;
class LbImageManager;
class LbPreferencesI;

constexpr uint32 LB_MSG_WRITE_STATE = 'aWrS';
constexpr uint32 LB_MSG_READ_STATE = 'aRdS';
constexpr uint32 LB_MSG_SIGNIFICANT = 'asgn';
// To the application: "LbDeviceI" (pointer, ownership passes to the studio), "midi_in"
// (the producer's name: where the instrument's replies come from), "midi_out" (the
// consumer's name: where the program sends).
constexpr uint32 LB_MSG_NEW_DEVICE = 'nwdv';
// To a librarian window: "LbDeviceSnapshotI" (pointer; the window takes ownership).
constexpr uint32 LB_MSG_POPULATE = 'aPop';

// The "type" of the window-state elements.
inline constexpr const char* kLbManageWindowType = "LbDeviceManageWindow";
inline constexpr const char* kLbStudioWindowType = "LbStudioWindow";

class LbGlobalsI {
public:
    virtual ~LbGlobalsI() = default;

    // The editor window for this device model and bank, made on first use; -1 without
    // an add-on; LB_UNSUPPORTED while the program has no editor for the bank.
    virtual status_t EditWindow(LbDeviceI* device, LbBankI* bank, BWindow** window) = 0;
    // No behaviour of its own (LB_UNSUPPORTED).
    virtual status_t NewEditWindow(LbDeviceI* device, LbBankI* bank, BWindow** window) = 0;
    // A new librarian window on a new snapshot of the device's banks.
    virtual status_t NewManageWindow(LbDeviceI* device, BWindow** window) = 0;
    // A new librarian window showing the snapshot (taking ownership); -1 for a snapshot
    // without a device (the snapshot is deleted).
    virtual status_t NewManageWindow(LbDeviceSnapshotI* snapshot, BWindow** window) = 0;
    // Hands every window 'asgn' and counts the "significant" answers.
    virtual int32 CountSignificantWindows() = 0;
    // True while the application shuts down.
    virtual bool IsQuitting() const = 0;
};

LbGlobalsI* Globals();
LbPreferencesI* Prefs();
LbImageManager* ImageManager();

// Set by the application as it starts, cleared (all null) as it goes.
void LbSetProgramServices(LbGlobalsI* globals, LbPreferencesI* prefs, LbImageManager* images);
