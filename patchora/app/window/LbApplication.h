#pragma once
// LbApplication: patchora on the desktop. It owns the studio with its device models, the
// images, the look table and the window registry, and opens the windows:
//
// Start (the constructor): installs the file types; reads the studio document "studio"
// (every device starts, which may take a while: a splash window shows what they are
// doing); with the simulator asked for, publishes the built-in E-mu Morpheus simulator's
// ports and, when the studio has no device, adds a Morpheus on them for this run only;
// reads the window-state document "state", which reopens windows; and shows the studio
// window when no window opened. Files handed over (the command line, the desktop) open
// in librarian windows, from the last to the first.
//
// Quit (B_QUIT_REQUESTED): writes "state", then asks every window; a window that refuses
// keeps the program running. The destructor writes "studio" (only when it changed, and
// keeping a copy "studio.old" of a document it could not read whole), then lets the
// devices go, each writing what it learned into its cache file.
//
// Messages: 'nwdv' (a new device, see LbGlobalsI.h), B_REFS_RECEIVED, B_ABOUT_REQUESTED
// (the about window), 'iOst' and B_SILENT_RELAUNCH (the studio window); 'aCPr' (a look
// change) and 'aDiR' (a device left the studio) are passed on to every window.
//
// One copy runs per user and settings folder (LbRunDesktop): a later start hands its
// documents over (B_REFS_RECEIVED), or B_SILENT_RELAUNCH when it has none, and ends, so
// that two copies never both drive the instruments and write the settings documents.
//
// Threads: GUI thread. Other threads reach it by posting.
#include "app/Messenger.h"
#include "interface/Application.h"
#include "librarian/window/LbDmwHostI.h"

#include <memory>
#include <string>

class LbDeviceAddons;
class LbDeviceI;
class LbGlobals;
class LbImageManager;
class LbMidiStudio;
class LbPreferences;
class SingleLaunch;
namespace morpheus_sim {
class SimulatorEndpoints;
}

inline constexpr const char* kLbSignature = "application/x-vnd.ORB-Patchora";

enum : uint32 {
    LB_MSG_OPEN_STUDIO = 'iOst',
};

struct LbApplicationOptions {
    // Publish the built-in simulator's ports; add a Morpheus on them (not saved) when the
    // studio has no device.
    bool simulate = false;
};

class LbApplication : public BApplication, public LbDmwHostI {
public:
    LbApplication(int argc, char** argv, const LbApplicationOptions& options = {});
    ~LbApplication() override;

    void MessageReceived(BMessage* message) override;
    void RefsReceived(BMessage* message) override;
    void AboutRequested() override;
    bool QuitRequested() override;

    LbMidiStudio* Studio() override { return mStudio.get(); }
    LbDeviceAddons* Addons() override { return mAddons.get(); }
    LbGlobals* WindowRegistry() const { return mGlobals.get(); }

    // Activates the studio window, or makes it.
    void ShowStudioWindow() override;
    void ShowAboutWindow();
    // Opens the window of that name: "studio", "add-device" (from the studio window) or
    // "about".
    void OpenWindow(const std::string& name);
    BWindow* StudioWindow() const;
    BWindow* AboutWindow() const;
    // The device of the built-in simulator, or null.
    LbDeviceI* SimulatedDevice() const { return mSimulatedDevice; }

    // The window-state document, written from the open windows / read into new ones.
    // False when the settings file cannot be opened or written.
    bool WriteState();
    bool ReadState();
    // The studio document; see the header comment.
    bool WriteStudio();

private:
    void ReadStudio();
    void StartSimulator();
    void BroadcastToWindows(BMessage* message);
    void CloseAllWindows();

    // In the order of construction; destroyed as the destructor says.
    std::unique_ptr<LbMidiStudio> mStudio;
    BMessenger mAboutWindow;
    BMessenger mStudioWindow;
    std::unique_ptr<LbDeviceAddons> mAddons;
    std::unique_ptr<LbImageManager> mImages;
    std::unique_ptr<LbPreferences> mPrefs;
    std::unique_ptr<LbGlobals> mGlobals;

    // The studio document as read at start, written out again: the studio is saved only
    // when what it would write differs. Empty when there was none.
    std::string mStudioAsRead;
    // The document could not be read whole (unreadable, foreign, damaged): its bytes, kept
    // as "studio.old" before the first save replaces it.
    std::string mUnreadStudio;
    LbDeviceI* mSimulatedDevice = nullptr; // owned by the studio
    std::unique_ptr<morpheus_sim::SimulatorEndpoints> mSimulator;
};

// The running LbApplication, or null.
LbApplication* LbApp();

// patchora on the desktop: runs the application until it quits, or hands the documents
// to the copy already running; the exit status.
int LbRunDesktop(const char* program, const struct LbDesktopArgs& args);

// The name the running copy holds: the program's signature and its settings folder.
std::string LbSingleLaunchName();
// From a claim of LbSingleLaunchName(): later starts' messages reach the application.
status_t LbServeLaterStarts(SingleLaunch* launch);
