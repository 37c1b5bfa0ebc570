#pragma once
// LbAddDeviceWindow: "Add Device", where the user makes a new instrument of the studio
// from a device model, the two MIDI ports it is on and its device id.
//
// Controls and their messages (tests and other windows drive it with the same):
//   "Devices"        list of the device models      'iAoS' (int32 "index": select it)
//   "Midi port in:"  the MIDI producers' names      'iMiI' (int32 "index": mark it)
//   "Midi port out:" the MIDI consumers' names      'iMoI' (int32 "index")
//   "Device ID:"     the model's device ids         'iDiI' (int32 "index")
//   "Add"                                           'iAdd'
// A port field without ports shows "<no ports>"; "Device ID:" shows "<no device ID>" and
// is disabled until a model with a range of ids is selected. "Add" is enabled only when
// a model, both ports and an id are chosen; it posts 'nwdv' to the application (see
// app/window/LbGlobalsI.h) and closes the window.
//
// Lifetime: made by the studio window, which keeps a messenger to it; quits like any
// window. The add-on registry must outlive it.
// Threads: GUI thread.
#include "interface/Window.h"

#include <string>
#include <vector>

class LbDeviceAddonI;
class LbDeviceAddons;
class QComboBox;
class QListWidget;
class QPushButton;

enum : uint32 {
    LB_MSG_ADDON_SELECTED = 'iAoS',
    LB_MSG_PORT_IN_CHOSEN = 'iMiI',
    LB_MSG_PORT_OUT_CHOSEN = 'iMoI',
    LB_MSG_DEVICE_ID_CHOSEN = 'iDiI',
    LB_MSG_ADD_DEVICE = 'iAdd',
};

inline constexpr const char* kLbNoPorts = "<no ports>";
inline constexpr const char* kLbNoDeviceId = "<no device ID>";

class LbAddDeviceWindow : public BWindow {
public:
    LbAddDeviceWindow(BRect frame, LbDeviceAddons* addons);

    void MessageReceived(BMessage* message) override;

    // What is chosen now: null / empty / -1 when nothing is.
    LbDeviceAddonI* SelectedAddon() const;
    std::string PortIn() const;
    std::string PortOut() const;
    int32 DeviceId() const;
    bool CanAdd() const;

    QListWidget* AddonList() const { return mAddonList; }
    QComboBox* PortInField() const { return mPortIn; }
    QComboBox* PortOutField() const { return mPortOut; }
    QComboBox* DeviceIdField() const { return mDeviceId; }
    QPushButton* AddButton() const { return mAdd; }

private:
    void FillPorts();
    void FillDeviceIds();
    void UpdateAddButton();
    void Mark(QComboBox* field, BMessage* message);
    void Add();

    LbDeviceAddons* mAddons;
    std::vector<LbDeviceAddonI*> mListed; // the add-ons of the list, in its order
    QListWidget* mAddonList;
    QComboBox* mPortIn;
    QComboBox* mPortOut;
    QComboBox* mDeviceId;
    QPushButton* mAdd;
};
