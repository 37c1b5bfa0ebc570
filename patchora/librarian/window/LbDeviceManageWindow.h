#pragma once
// LbDeviceManageWindow: the librarian window. It shows one device snapshot: the device's
// banks in one list and the selected bank's patches in another, with counts under each,
// and a message area with a progress bar along the bottom. From its menus the user
// receives patches from the instrument and sends them back, copies and pastes them
// through the clipboard (as a patch-library document, MIME type
// "text/x-vnd.ORB.PatchesLib"), opens and saves patch-library documents and imports raw
// SysEx (.syx) files.
//
// Messages: every menu item posts its code (below) to the window, and MessageReceived
// does the work, so that tests and other windows drive it with the same messages:
//   'aPop' "LbDeviceSnapshotI" (pointer, ownership passes to the window): show it;
//   B_REFS_RECEIVED "refs": open the files, the last first (also what a drop does);
//   B_SAVE_REQUESTED "directory", "name": save there;
//   'aWrS' / 'aRdS' "LbXmlStreamI": write / read the window's "Window" element of the
//     state document; handed directly to MessageReceived by the application;
//   'asgn': adds the bool "significant" = true to the message (handed directly);
//   'dPtA' "LbBankSnapshotI", "LbPatchI": a patch arrived (posted by the bank snapshots);
//   'aDiR' "LbDeviceI": a device left the studio; the window closes if it was its own
//     (asking first about unsaved changes);
//   'dInA' "LbDeviceI": the studio got a device (the window listens to the studio).
// The studio and the device models come from the host the application installs
// (LbDmwHostI.h); the window registry from Globals(). Without them the window still shows
// and saves what it is given.
// A patch library whose instrument the studio lacks opens on an offline device of that
// model, owned by the window: it shows and saves, but sends and receives nothing (the
// message area says why) until such an instrument is added to the studio.
//
// Threads: the window lives on the GUI thread. Receiving, sending and opening run on one
// worker at a time ("ORB™ Request", "ORB™ Send", "ORB™ Open"), which reports through the
// window's status sink (LbStatusWormholeI, callable from any thread: it posts to the
// window) and never touches the shown snapshot's lists from its own thread except through
// the bank snapshots' own operations. Patches arrive on the MIDI input thread, which
// posts 'dPtA' to the window.
//
// Errors: a save that fails shows an alert and keeps the window, its changes unsaved; a
// damaged document shows what could be read and an alert, and keeps no file path.
//
// Lifetime: made by the application (frame given) and ended like any window (Quit). It
// owns its device snapshot; a snapshot it replaces is kept until the window goes, since a
// 'dPtA' on its way may still name it. Closing is refused while a worker runs; closing
// the last librarian window quits the application; unsaved changes are asked about.
#include "app/window/LbGlobalsI.h"
#include "librarian/LbStatusWormholeI.h"
#include "support/window/OrbWindow.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class BFilePanel;
class LbBankSnapshotI;
class LbDeviceI;
class LbDeviceSnapshotI;
class LbLibrarian;
class LbMidiStudio;
class LbPatchI;
class LbXmlStreamI;
class QAction;
class LbMessageArea;
class QGridLayout;
class QLabel;
class QListWidget;
class QMenu;

// Menu items.
constexpr uint32 LB_DMW_NEW = 'iNwD'; // "LbDeviceI"
constexpr uint32 LB_DMW_OPEN = 'iSOP';
constexpr uint32 LB_DMW_SAVE_AS = 'iSSP';
constexpr uint32 LB_DMW_QUIT = 'iQut';
constexpr uint32 LB_DMW_COPY = 'iCpy';
constexpr uint32 LB_DMW_PASTE = 'iPst';
constexpr uint32 LB_DMW_EDIT_PATCH = 'iVaS';
constexpr uint32 LB_DMW_SEND_ALL = 'iSnA';
constexpr uint32 LB_DMW_SEND_SELECTED = 'iSnS';
constexpr uint32 LB_DMW_RECEIVE_ALL = 'iRcA';
constexpr uint32 LB_DMW_RECEIVE_SELECTED = 'iRcS';
constexpr uint32 LB_DMW_PLAYBACK = 'iOse';
constexpr uint32 LB_DMW_STUDIO = 'iOst';
// The bank list's selection changed.
constexpr uint32 LB_DMW_BANK_SELECTED = 'iTyS';
// Forwarded to the application's about request.
constexpr uint32 LB_MSG_ABOUT = 'aAEx';

class LbDeviceManageWindow : public OrbLookPolicyWindow, public LbStatusWormholeI {
public:
    explicit LbDeviceManageWindow(BRect frame);
    ~LbDeviceManageWindow() override;

    void MessageReceived(BMessage* message) override;
    bool QuitRequested() override;

    // The status sink, from any thread.
    void BeginStatus(const char* text) override;
    void EndStatus(const char* text) override;
    void BeginProgress(float maximum) override;
    float ProgressMax() override;
    void MoveProgressBy(float step) override;
    void MoveProgressTo(float value) override;
    void EndProgress() override;

    // What the window shows (GUI thread).
    LbDeviceSnapshotI* DeviceSnapshot() const;
    // The document last opened or saved; empty for an untitled window.
    const std::string& FilePath() const;
    bool IsRunning() const { return mRunning; }
    // Whether the snapshot's device is an offline one (no instrument of its model in the
    // studio).
    bool IsOffline() const { return mOfflineDevice != nullptr; }
    bool HasUnsavedChanges() const;
    BFilePanel* OpenPanel() const { return mOpenPanel.get(); }
    BFilePanel* SavePanel() const { return mSavePanel.get(); }
    // The message area's text, and where the last progress stood when it ended (to see
    // that a long operation went all the way).
    std::string MessageText() const;
    // The last status text that was not empty (a quick operation's may never be shown).
    std::string LastStatusText() const;
    float LastProgressEnd(float* maximum) const;

private:
    struct Status;

    void BuildWidgets();
    void BuildMenus();
    QAction* AddItem(QMenu* menu, const char* label, uint32 code, char key);
    void SetDeviceSnapshot(LbDeviceSnapshotI* snapshot, bool offline);
    void Listen(bool listen);
    void FillBanks();
    // Shares the width between the lists as they need it, and makes a new window wide
    // enough for both (never narrower).
    void FitLists();
    void FillPatches();
    LbBankSnapshotI* SelectedBank() const;
    std::vector<LbPatchI*> SelectedPatches() const;
    void UpdateCounts();
    void UpdateMenus();
    void UpdateTitle();
    void PatchArrived(BMessage* message);
    void HoldListPaints();
    void ApplyStatus();

    void StartPatchThread(int32 type, bool all);
    void StartOpen(const BMessage* message);
    void OpenedDocument(BMessage* message);
    void ImportBytes(BMessage* message);
    void WorkEnded();
    void Copy();
    void Paste();
    void SaveRequested(BMessage* message);
    bool Save(const std::string& path);
    void ShowSavePanel();
    void NewWindow(BMessage* message);
    void DeviceRemoved(BMessage* message);
    // Asks "Save changes to ...?"; true when the window may close now.
    bool AskToSave();
    // Closes the window of a device gone from the studio (asking about changes).
    void CloseWithoutDevice();
    void DeviceAdded(BMessage* message);
    void WriteState(LbXmlStreamI* stream);
    void ReadState(LbXmlStreamI* stream);
    void SayWhyOffline();

    // Snapshots replaced while the window was open; a message may still name them.
    std::vector<std::unique_ptr<LbDeviceSnapshotI>> mRetired;
    // The patches of each bank of the snapshot shown, in number order, as the window
    // knows them: from the snapshot when shown, then from 'dPtA' (GUI thread only).
    std::map<LbBankSnapshotI*, std::vector<LbPatchI*>> mShownPatches;
    // Offline devices of models the studio lacks, and the one shown (null when online).
    std::unique_ptr<LbMidiStudio> mOffline;
    LbDeviceI* mOfflineDevice = nullptr;
    // Unsaved changes the banks no longer mark (a failed save cleared them, or they came
    // with patches moved from an offline device).
    bool mUnsavedBesides = false;
    bool mRunning = false;
    bool mQuitAfterSave = false;
    bool mQuittingApplication = false;
    bool mQuitWhenIdle = false;
    // Problems of the document last opened, told once its worker has ended.
    std::vector<std::string> mOpenProblems;
    std::unique_ptr<BMessage> mOpenLater;   // refs of files dropped while a worker ran
    std::unique_ptr<BFilePanel> mOpenPanel;
    std::unique_ptr<BFilePanel> mSavePanel;

    // Widgets, owned by the window's widget.
    QListWidget* mBankList = nullptr;
    QListWidget* mPatchList = nullptr;
    QGridLayout* mListsLayout = nullptr;
    // What the lists need to show whole names (0: not known yet).
    int mBankWidth = 0;
    int mPatchWidth = 0;
    // The frame came from the window state: the window keeps it.
    bool mFrameRestored = false;
    QLabel* mBankCount = nullptr;
    QLabel* mPatchCount = nullptr;
    LbMessageArea* mMessageArea = nullptr;
    QMenu* mNewMenu = nullptr;
    std::map<uint32, QAction*> mItems;

    // What the workers report, shared with them.
    std::unique_ptr<Status> mStatus;
    // Last member: destroyed first, so that its worker has ended before the rest goes.
    std::unique_ptr<LbLibrarian> mLibrarian;
};
