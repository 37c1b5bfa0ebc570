#pragma once
// A librarian window over a real studio: an E-mu Morpheus on the simulator in this
// process, settings in a scratch home, alerts recorded and answered as the test says.
#include "interface/tests/GuiTest.h"

#include "app/Message.h"
#include "app/Messenger.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbEmuMorpheusAddon.h"
#include "app/window/LbDesktopAlerts.h"
#include "interface/Alert.h"
#include "librarian/LbLibrarian.h"
#include "librarian/LbStatus.h"
#include "librarian/window/LbDeviceManageWindow.h"
#include "librarian/window/LbDmwHostI.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiStudio.h"
#include "testing/ScratchDir.h"

#include "MorpheusSimulator.h"
#include "SimulatorEndpoints.h"

#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QListWidget>

// The program around the windows, as the application gives it.
class TestHost : public LbDmwHostI, public LbGlobalsI {
public:
    LbMidiStudio* Studio() override { return studio; }
    LbDeviceAddons* Addons() override { return addons; }
    void ShowStudioWindow() override { studioShown++; }

    status_t EditWindow(LbDeviceI*, LbBankI*, BWindow**) override { return -1; }
    status_t NewEditWindow(LbDeviceI*, LbBankI*, BWindow**) override { return -1; }
    status_t NewManageWindow(LbDeviceI* device, BWindow**) override
    {
        newWindows.push_back(device);
        return B_OK;
    }
    status_t NewManageWindow(LbDeviceSnapshotI*, BWindow**) override { return -1; }
    int32 CountSignificantWindows() override
    {
        int32 count = 0;
        for (int32 i = 0; be_app && i < be_app->CountWindows(); i++) {
            BMessage ask(LB_MSG_SIGNIFICANT);
            be_app->WindowAt(i)->MessageReceived(&ask);
            bool significant = false;
            if (ask.FindBool("significant", &significant) == B_OK && significant) count++;
        }
        return count;
    }
    bool IsQuitting() const override { return quitting; }

    LbMidiStudio* studio = nullptr;
    LbDeviceAddons* addons = nullptr;
    bool quitting = false;
    int studioShown = 0;
    std::vector<LbDeviceI*> newWindows;
};

class LibrarianWindowTest : public GuiTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.Valid());
        scratch.UseAsHome();
        setenv("SUITE_MIDI_API", "none", 1);
        LbInstallFileTypes();
        GuiTest::SetUp();
        LbInstallDesktopAlerts();  // the model's alerts too, as in the program
        SetAlertPresenter(RecordAlerts(&alerts, &answers));
        addons = std::make_unique<LbDeviceAddons>();
        addons->AddAddon(new LbEmuMorpheusAddon);
        studio = std::make_unique<LbMidiStudio>(addons.get());
        studio->SetCacheVariant("simulator");
        host.studio = studio.get();
        host.addons = addons.get();
        LbSetDmwHost(&host);
        LbSetProgramServices(&host, nullptr, nullptr);
    }
    void TearDown() override
    {
        for (LbDeviceManageWindow* window : windows) {
            if (!IsOpen(window)) continue;
            window->Lock();
            window->Quit();
        }
        RunPendingEvents();
        LbSetDmwHost(nullptr);
        LbSetProgramServices(nullptr, nullptr, nullptr);
        studio.reset();
        simulator.reset();
        addons.reset();
        LbEmuMorpheus::DeleteMaps();
        SetAlertPresenter({});
        LbSetAlertSink({});
        GuiTest::TearDown();
    }

    // A Morpheus in the studio, on the simulator in this process.
    LbDeviceI* AddMorpheus(int16 id = 0)
    {
        if (!simulator) {
            auto sim = std::make_shared<morpheus_sim::MorpheusSimulator>(uint8_t(id));
            simulator = std::make_unique<morpheus_sim::SimulatorEndpoints>(sim);
        }
        LbDeviceI* device = addons->AddonAt(0)->NewDevice();
        device->SetDeviceId(id);
        studio->AddDevice(device, morpheus_sim::SimulatorEndpoints::kDefaultName,
                          morpheus_sim::SimulatorEndpoints::kDefaultName);
        return device;
    }
    LbDeviceManageWindow* NewWindow()
    {
        auto* window = new LbDeviceManageWindow(BRect(120, 80, 440, 340));
        window->Show();
        windows.push_back(window);
        messengers[window] = BMessenger(nullptr, window);
        return window;
    }
    // A window showing a new snapshot of the device, as the application makes it.
    LbDeviceManageWindow* ManageWindow(LbDeviceI* device);
    // Asks a messenger made while the window was there (the window may be gone).
    bool IsOpen(LbDeviceManageWindow* window) { return messengers[window].IsValid(); }
    // Posts and lets the window handle it.
    void Post(LbDeviceManageWindow* window, uint32 code)
    {
        window->PostMessage(code);
        RunPendingEvents();
    }
    bool WaitIdle(LbDeviceManageWindow* window, double seconds = 120)
    {
        return RunEventsUntil([&] { return !IsOpen(window) || !window->IsRunning(); }, seconds);
    }
    template <class T> T* Child(LbDeviceManageWindow* window, const char* name)
    {
        return window->Widget()->findChild<T*>(name);
    }
    std::string Text(LbDeviceManageWindow* window, const char* label);

    ScratchDir scratch {"librarian-window"};
    TestHost host;
    std::unique_ptr<LbDeviceAddons> addons;
    std::unique_ptr<morpheus_sim::SimulatorEndpoints> simulator;
    std::unique_ptr<LbMidiStudio> studio;
    std::vector<LbDeviceManageWindow*> windows;
    std::map<LbDeviceManageWindow*, BMessenger> messengers;
    std::vector<AlertRequest> alerts;
    std::deque<int32> answers;
};
