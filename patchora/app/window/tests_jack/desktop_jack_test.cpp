// patchora's windows over a real JACK server with the instrument simulator as a program
// of its own, as a user sets up an instrument on a MIDI interface: the add-device window
// lists the simulator's ports, the instrument is added on them, and "Receive All" in its
// librarian window fills the lists. ./test starts the JACK server (dummy driver).
#include "app/window/tests/app_fixture.h"

#include "cli/tests/run_program.h"
#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbDeviceSnapshotI.h"
#include "librarian/LbPatchI.h"
#include "librarian/LbData.h"
#include "midi/LbDeviceI.h"
#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"
#include "midi/MidiRoster.h"
#include "testing/JackAvailable.h"

#include <chrono>
#include <thread>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

namespace {

// The full name of the roster's first producer (or consumer) whose name holds `part`.
template <class Count, class At> std::string FindPort(Count count, At at, const std::string& part)
{
    std::string found;
    int32 n = count();
    for (int32 i = 0; i < n; i++) {
        auto* endpoint = at(i);
        if (endpoint == nullptr) continue;
        std::string name = endpoint->Name() ? endpoint->Name() : "";
        endpoint->Release();
        if (found.empty() && name.find(part) != std::string::npos) found = name;
    }
    return found;
}

class DesktopJack : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        setenv("SUITE_MIDI_API", "jack", 1);
        setenv("JACK_NO_START_SERVER", "1", 1);
    }
};

TEST_F(DesktopJack, TheAddDeviceWindowListsTheSimulatorsPortsAndReceiveAllFillsTheLists)
{
    SKIP_WITHOUT_JACK();
    BackgroundProgram sim(MORPHEUS_SIM_PATH, {"--api", "jack", "--name", "Desk Sim"});
    ASSERT_TRUE(sim.Running());
    std::string in, out;
    for (int attempt = 0; attempt < 100 && (in.empty() || out.empty()); attempt++) {
        in = FindPort(BMidiRoster::CountProducers, BMidiRoster::ProducerAt, "Desk Sim");
        out = FindPort(BMidiRoster::CountConsumers, BMidiRoster::ConsumerAt, "Desk Sim");
        if (in.empty() || out.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_FALSE(in.empty() || out.empty()) << "the simulator's ports did not appear";

    Start();
    LbStudioWindow* studio = Studio();
    ASSERT_NE(studio, nullptr);
    studio->PostMessage(LB_MSG_SHOW_ADD_DEVICE);
    RunPendingEvents();
    auto adds = Windows<LbAddDeviceWindow>();
    ASSERT_EQ(adds.size(), 1u);
    LbAddDeviceWindow* add = adds[0];
    int inIndex = add->PortInField()->findText(QString::fromStdString(in));
    int outIndex = add->PortOutField()->findText(QString::fromStdString(out));
    ASSERT_GE(inIndex, 0) << in;
    ASSERT_GE(outIndex, 0) << out;
    for (auto [code, index] : {std::pair {LB_MSG_PORT_IN_CHOSEN, inIndex},
                               std::pair {LB_MSG_PORT_OUT_CHOSEN, outIndex}}) {
        BMessage chosen(code);
        chosen.AddInt32("index", index);
        add->PostMessage(&chosen);
    }
    RunPendingEvents();
    ASSERT_TRUE(add->AddButton()->isEnabled());
    add->PostMessage(LB_MSG_ADD_DEVICE);
    ASSERT_TRUE(RunEventsUntil([&] { return app->Studio()->CountDevices() == 1; }, 60));
    LbDeviceI* device = app->Studio()->DeviceAt(0);
    ASSERT_EQ(device->InitCheck(), B_OK) << "the simulator did not send its lists";

    ASSERT_TRUE(RunEventsUntil([&] { return studio->DeviceList()->count() == 1; }));
    studio->DeviceList()->item(0)->setSelected(true);
    studio->PostMessage(LB_MSG_MANAGE_DEVICES);
    ASSERT_TRUE(RunEventsUntil([&] { return Windows<LbDeviceManageWindow>().size() == 1; }));
    LbDeviceManageWindow* window = Windows<LbDeviceManageWindow>()[0];
    ASSERT_TRUE(RunEventsUntil([&] { return window->DeviceSnapshot() != nullptr; }));
    auto filled = [&] {
        int count = 0;
        for (LbBankSnapshotI* bank : window->DeviceSnapshot()->Snapshots()) {
            for (LbPatchI* patch : bank->Patches())
                count += patch->Data() != nullptr && patch->Data()->Length() > 0;
        }
        return count;
    };
    // A JACK server on a loaded machine may miss a period and drop a message; the request
    // then ends with "did not respond", and the user receives again. A second try must
    // fill everything.
    for (int attempt = 0; attempt < 2 && filled() < 400; attempt++) {
        alerts.clear();
        window->PostMessage(LB_DMW_RECEIVE_ALL);
        ASSERT_TRUE(RunEventsUntil([&] { return window->IsRunning(); }));
        ASSERT_TRUE(RunEventsUntil([&] { return !window->IsRunning(); }, 300));
        for (const AlertRequest& alert : alerts)
            EXPECT_EQ(alert.text, "E-mu Morpheus did not respond");
    }
    EXPECT_TRUE(alerts.empty()) << alerts.front().text;
    EXPECT_EQ(filled(), 400);
    auto* patches = window->Widget()->findChild<QListWidget*>("PatchList");
    ASSERT_NE(patches, nullptr);
    ASSERT_EQ(patches->count(), 128);
    EXPECT_EQ(patches->item(5)->text().trimmed().toStdString(), "5 Sim RAM 005");
}

} // namespace
