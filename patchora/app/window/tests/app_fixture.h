#pragma once
// patchora's application in this process, as a user starts it: its own settings folder,
// no system MIDI (the simulator's ports are the only ones), alerts recorded and answered
// as the test says.
#include <gtest/gtest.h>

#include "app/Message.h"
#include "app/AppDefs.h"
#include "app/Messenger.h"
#include "app/window/LbApplication.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "interface/Alert.h"
#include "interface/Window.h"
#include "interface/tests/GuiTest.h"
#include "kernel/EntryRef.h"
#include "librarian/window/LbDeviceManageWindow.h"
#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiStudio.h"
#include "midi/window/LbAddDeviceWindow.h"
#include "midi/window/LbStudioWindow.h"
#include "testing/ScratchDir.h"

#include "MorpheusSimulator.h"
#include "SimulatorEndpoints.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

class AppTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.Valid());
        scratch.UseAsHome();
        setenv("SUITE_MIDI_API", "none", 1);
        LbEmuMorpheus::DeleteMaps();
    }
    void TearDown() override
    {
        Stop();
        simulator.reset();
    }

    // Starts the application as main does, up to its message loop.
    LbApplication* Start(bool simulate = false)
    {
        LbApplicationOptions options;
        options.simulate = simulate;
        app = std::make_unique<LbApplication>(0, nullptr, options);
        EXPECT_EQ(app->InitCheck(), B_OK);
        SetAlertPresenter(RecordAlerts(&alerts, &answers));
        RunPendingEvents();
        return app.get();
    }
    // Hands documents over as the desktop does.
    void OpenDocuments(const std::vector<std::string>& paths)
    {
        BMessage refs(B_REFS_RECEIVED);
        for (const std::string& path : paths) {
            entry_ref ref(path.c_str());
            refs.AddRef("refs", &ref);
        }
        app->PostMessage(&refs);
        RunPendingEvents();
    }
    // A Morpheus of that id on the simulator's ports, added as the add-device window adds
    // it (the application takes it on its next dispatch).
    LbDeviceI* PostNewDevice(int16 id)
    {
        BMessage add(LB_MSG_NEW_DEVICE);
        LbDeviceI* device = app->Addons()->AddonAt(0)->NewDevice();
        device->SetDeviceId(id);
        add.AddPointer("LbDeviceI", device);
        add.AddString("midi_in", kSimOut);
        add.AddString("midi_out", kSimIn);
        app->PostMessage(&add);
        return device;
    }
    // Ends it as main does after Run(): the studio document is written then.
    void Stop()
    {
        if (!app) return;
        app.reset();
        SetAlertPresenter({});
    }

    // The simulator, on ports of its own names, as a MIDI interface would show them:
    // "Sim:MIDI Out" is where its replies come from (a producer), "Sim:MIDI In" where it
    // listens (a consumer).
    void StartSimulator(uint8_t id)
    {
        auto sim = std::make_shared<morpheus_sim::MorpheusSimulator>(id);
        simulator = std::make_unique<morpheus_sim::SimulatorEndpoints>(
            sim, std::string(kSimIn), std::string(kSimOut), nullptr);
    }
    static constexpr const char* kSimIn = "Sim:MIDI In";
    static constexpr const char* kSimOut = "Sim:MIDI Out";

    std::string SettingsFile(const char* name) const
    {
        return scratch.ConfigDir() + "/OrbWorks/Patchora/" + name;
    }
    static std::string ReadAll(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void WriteSettings(const char* name, const std::string& text)
    {
        std::filesystem::create_directories(scratch.ConfigDir() + "/OrbWorks/Patchora");
        std::ofstream(SettingsFile(name), std::ios::binary) << text;
    }
    // A studio document with one Morpheus on the simulator's ports.
    std::string StudioWithMorpheus(int id) const
    {
        return std::string("<Studio version = 1.0>\n\t<LbDevice mfg_id = 18 mod_id = 0C>\n"
                           "\t\t<midi_out>") +
            kSimIn + "</midi_out>\n\t\t<midi_in>" + kSimOut + "</midi_in>\n\t\t<device_id>" +
            std::to_string(id) + "</device_id>\n\t</LbDevice>\n</Studio>\n";
    }

    template <class W> std::vector<W*> Windows() const
    {
        std::vector<W*> found;
        for (int32 i = 0; i < app->CountWindows(); i++) {
            if (auto* w = dynamic_cast<W*>(app->WindowAt(i))) found.push_back(w);
        }
        return found;
    }
    LbStudioWindow* Studio() const
    {
        auto windows = Windows<LbStudioWindow>();
        return windows.size() == 1 ? windows[0] : nullptr;
    }
    // Runs a program and gives its exit status; what it wrote goes to `out`.
    static int Run(const std::string& command, std::string* out = nullptr)
    {
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) return -1;
        char buffer[4096];
        size_t got;
        std::string text;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
        if (out != nullptr) *out = text;
        return pclose(pipe);
    }
    // A patch library made by the command line from the fixtures' device dump; empty
    // when the fixtures are not there.
    std::string MakeLibrary(const std::string& name)
    {
        std::string dump = std::string(SUITE_FIXTURES_DIR) + "/morpheus/device-dump.syx";
        if (!std::filesystem::exists(dump)) return "";
        std::string path = scratch.File(name);
        std::string command = std::string("ASAN_OPTIONS=detect_leaks=0 '") + PATCHORA_PATH +
            "' import '" + dump + "' -o '" + path + "' >/dev/null 2>&1";
        return Run(command) == 0 ? path : "";
    }

    ScratchDir scratch {"patchora-app"};
    std::unique_ptr<morpheus_sim::SimulatorEndpoints> simulator;
    std::unique_ptr<LbApplication> app;
    std::vector<AlertRequest> alerts;
    std::deque<int32> answers;
};
