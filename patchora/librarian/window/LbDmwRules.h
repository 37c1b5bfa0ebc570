#pragma once
// The librarian window's texts and decisions, apart from its widgets: list labels and
// counts, the names of "Send"/"Receive" for a selection, the title, which menu items are
// enabled, and what closing the window does. The window (LbDeviceManageWindow) asks
// these; tests reach them directly.
#include "kernel/SupportDefs.h"

#include <string>

// "12 items", "1 item", "3 selections", "1 selection".
std::string LbDmwCountText(long count, bool selection);
// "5 Init Preset", or "5 <empty>" for a patch without a name.
std::string LbDmwPatchLabel(int32 number, const char* name);
// What "Send %s"/"Receive %s" act on: "3 Patches", "1 Patch" with patches selected, else
// "Bank <name>" for the selected bank (bankName null: none), else "0 Patches".
std::string LbDmwSelectionName(long selectedPatches, const char* bankName);
// "Manage <manufacturer> <model> - <file's leaf name or untitled>"; a missing name is
// "<error>".
std::string LbDmwTitle(const char* manufacturer, const char* model, const std::string& filePath);
// The leaf name of a path, or "untitled" for none.
std::string LbDmwLeafName(const std::string& filePath);
// Save changes to "<leaf name>"?
std::string LbDmwCloseQuestion(const std::string& filePath);

// Which menu items can be used now.
struct LbDmwEnabling {
    bool open = false, saveAs = false, quit = false; // no worker runs
    bool copy = false, paste = false; // and a device snapshot is shown
    bool midi = false; // the four "MIDI" items: also an instrument to talk to
    bool newWindow = false; // "New": the studio holds a device
    bool patch = false; // "Patch": no editor yet
    bool playback = false; // "Open Playback Controls": not yet
    bool studio = true; // "Open Studio"
};
// `online`: the snapshot's device is an instrument of the studio (not an offline one).
LbDmwEnabling LbDmwMenuEnabling(bool running, bool hasSnapshot, bool online, int32 studioDevices);

// What a close request comes to, before any question.
enum class LbDmwCloseStep {
    kRefuse, // a worker runs
    kQuitApplication, // the last librarian window: the application quits (and asks again)
    kAsk, // unsaved changes: ask "Save changes to ...?"
    kClose,
};
// `quitting`: the application is quitting already (through this window or otherwise);
// `significant`: the librarian windows open, this one included.
LbDmwCloseStep LbDmwCloseDecision(bool running, bool quitting, int32 significant, bool modified);

// The answers to the close question, in the order of its buttons.
enum LbDmwCloseAnswer : int32 { LB_DMW_YES = 0, LB_DMW_NO = 1, LB_DMW_CANCEL = 2 };
