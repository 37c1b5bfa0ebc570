#pragma once
// LbStudioWindow: "Patchora Studio", the instruments of the studio in a list, one line
// each ("E-mu Morpheus  in: PORT  out: PORT  ID: 0"), with the devices' status texts in
// the message area along the bottom. The menu "Devices" adds ("Add...", A), removes
// ("Remove", R) and manages ("Manage", O, also a double click) instruments; "Remove" and
// "Manage" need a selected instrument. "Manage" opens a librarian window for every
// selected instrument, stopping with an alert at one that did not start.
//
// Messages: the menu codes below; the studio's notifications 'dInA' (the list is rebuilt)
// and 'dBeS'/'dEnS' (status text); 'aWrS'/'aRdS' (window state, see
// app/window/LbGlobalsI.h).
//
// Lifetime: one per application (it keeps a messenger). Closing it closes the add-device
// window and, when no other window is left, quits the application.
// Threads: GUI thread; the studio's notifications from other threads arrive posted.
#include "app/Messenger.h"
#include "interface/Window.h"

#include <string>

class LbDeviceAddons;
class LbDeviceI;
class LbMessageArea;
class LbMidiStudio;
class QAction;
class QListWidget;

enum : uint32 {
    LB_MSG_SHOW_ADD_DEVICE = 'iAIn',
    LB_MSG_REMOVE_DEVICES = 'iRIn',
    LB_MSG_MANAGE_DEVICES = 'iOIn',
    LB_MSG_DEVICE_INVOKED = 'iInS',
    LB_MSG_DEVICE_SELECTION = 'iDSl',
};

class LbStudioWindow : public BWindow {
public:
    // The studio and the registry (not owned) outlive the window.
    LbStudioWindow(BRect frame, LbMidiStudio* studio, LbDeviceAddons* addons);
    ~LbStudioWindow() override;

    void MessageReceived(BMessage* message) override;
    bool QuitRequested() override;

    // "%s %s  in: %s  out: %s  ID: %d" for the device.
    static std::string DeviceLabel(LbDeviceI* device);

    QListWidget* DeviceList() const { return mList; }
    LbMessageArea* MessageArea() const { return mMessages; }
    BWindow* AddDeviceWindow() const;
    QAction* AddAction() const { return mAddAction; }
    QAction* RemoveAction() const { return mRemoveAction; }
    QAction* ManageAction() const { return mManageAction; }

private:
    void RebuildList();
    void ShowAddDevice();
    void RemoveSelected();
    void ManageSelected();
    void UpdateMenus();
    LbDeviceI* DeviceOfRow(int row) const;

    LbMidiStudio* mStudio;
    LbDeviceAddons* mAddons;
    BMessenger mAddDevice;
    bool mQuitting = false;
    QListWidget* mList;
    LbMessageArea* mMessages;
    QAction* mAddAction;
    QAction* mRemoveAction;
    QAction* mManageAction;
};
