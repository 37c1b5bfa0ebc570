// patchora's application driven as the user and its windows drive it: by the messages of
// its windows, over the simulator in this process, with settings in a scratch folder.
#include "app_fixture.h"

#include "app/SingleLaunch.h"
#include "app/window/LbGlobals.h"
#include "app/window/LbWindowState.h"
#include "controls/LbMessageArea.h"
#include "interface/Screen.h"
#include "librarian/LbDeviceSnapshotI.h"
#include "midi/LbDeviceI.h"
#include "midi/LbDeviceAddons.h"
#include "support/window/OrbAboutWindow.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>

#include <atomic>
#include <thread>

namespace {

// Marks an item of one of the add-device window's fields by its text, as a click does.
void Choose(LbAddDeviceWindow* window, uint32 code, QComboBox* field, const char* text)
{
    int index = field->findText(text);
    ASSERT_GE(index, 0) << text;
    BMessage chosen(code);
    chosen.AddInt32("index", index);
    window->PostMessage(&chosen);
    RunPendingEvents();
}

TEST_F(AppTest, AFirstStartOpensTheStudioWindowOnlyAndAddsAMorpheusWithId5)
{
    Start();
    ASSERT_EQ(app->CountWindows(), 1);
    LbStudioWindow* studio = Studio();
    ASSERT_NE(studio, nullptr);
    EXPECT_STREQ(studio->Title(), "Patchora Studio");
    EXPECT_FALSE(studio->IsHidden());
    EXPECT_EQ(studio->DeviceList()->count(), 0);
    // Nothing selected: nothing to remove or manage.
    EXPECT_TRUE(studio->AddAction()->isEnabled());
    EXPECT_FALSE(studio->RemoveAction()->isEnabled());
    EXPECT_FALSE(studio->ManageAction()->isEnabled());
    EXPECT_EQ(studio->AddAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_EQ(studio->ManageAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));

    // No MIDI ports at all: both fields say so and "Add" stays disabled.
    studio->PostMessage(LB_MSG_SHOW_ADD_DEVICE);
    RunPendingEvents();
    auto adds = Windows<LbAddDeviceWindow>();
    ASSERT_EQ(adds.size(), 1u);
    EXPECT_STREQ(adds[0]->Title(), "Add Device");
    EXPECT_EQ(adds[0]->PortInField()->currentText(), kLbNoPorts);
    EXPECT_EQ(adds[0]->PortOutField()->currentText(), kLbNoPorts);
    EXPECT_FALSE(adds[0]->AddButton()->isEnabled());
    adds[0]->PostMessage(LB_MSG_ADD_DEVICE); // refused
    RunPendingEvents();
    EXPECT_EQ(app->Studio()->CountDevices(), 0);
    // "Add..." again activates the open window instead of making another.
    studio->PostMessage(LB_MSG_SHOW_ADD_DEVICE);
    RunPendingEvents();
    EXPECT_EQ(Windows<LbAddDeviceWindow>().size(), 1u);
    adds[0]->Lock();
    adds[0]->Quit();

    // An instrument on a MIDI interface: its ports are listed now.
    StartSimulator(5);
    studio->PostMessage(LB_MSG_SHOW_ADD_DEVICE);
    RunPendingEvents();
    adds = Windows<LbAddDeviceWindow>();
    ASSERT_EQ(adds.size(), 1u);
    LbAddDeviceWindow* add = adds[0];
    ASSERT_EQ(add->AddonList()->count(), 1);
    EXPECT_EQ(add->AddonList()->item(0)->text(), "E-mu Morpheus");
    BMessage select(LB_MSG_ADDON_SELECTED);
    select.AddInt32("index", 0);
    add->PostMessage(&select);
    RunPendingEvents();
    // The Morpheus answers to ids 0 to 15; the first is marked.
    ASSERT_EQ(add->DeviceIdField()->count(), 16);
    EXPECT_EQ(add->DeviceIdField()->itemText(15), "15");
    EXPECT_EQ(add->DeviceId(), 0);
    Choose(add, LB_MSG_PORT_IN_CHOSEN, add->PortInField(), kSimOut);
    Choose(add, LB_MSG_PORT_OUT_CHOSEN, add->PortOutField(), kSimIn);
    Choose(add, LB_MSG_DEVICE_ID_CHOSEN, add->DeviceIdField(), "5");
    EXPECT_TRUE(add->AddButton()->isEnabled());
    BMessenger addWindow(nullptr, add);
    add->PostMessage(LB_MSG_ADD_DEVICE);
    ASSERT_TRUE(RunEventsUntil([&] { return app->Studio()->CountDevices() == 1; }));
    EXPECT_FALSE(addWindow.IsValid()); // it closed
    LbDeviceI* device = app->Studio()->DeviceAt(0);
    EXPECT_EQ(device->DeviceId(), 5);
    EXPECT_EQ(device->InitCheck(), B_OK); // it answered the simulator's lists
    ASSERT_TRUE(RunEventsUntil([&] { return studio->DeviceList()->count() == 1; }));
    EXPECT_EQ(studio->DeviceList()->item(0)->text().toStdString(),
              std::string("E-mu Morpheus  in: ") + kSimOut + "  out: " + kSimIn + "  ID: 5");

    Stop();
    std::string document = ReadAll(SettingsFile("studio"));
    EXPECT_NE(document.find("<device_id>5</device_id>"), std::string::npos) << document;
    // "midi_in" is where the program receives from (the instrument's producer),
    // "midi_out" where it sends (the consumer).
    EXPECT_NE(document.find(std::string("<midi_in>") + kSimOut + "</midi_in>"), std::string::npos)
        << document;
    EXPECT_NE(document.find(std::string("<midi_out>") + kSimIn + "</midi_out>"), std::string::npos)
        << document;

    // The next start has the instrument again, and no more windows than the studio's.
    Start();
    ASSERT_EQ(app->Studio()->CountDevices(), 1);
    EXPECT_EQ(app->Studio()->DeviceAt(0)->DeviceId(), 5);
    EXPECT_EQ(app->CountWindows(), 1);
}

TEST_F(AppTest, ManageOpensALibrarianWindowPerSelectedDeviceAndStopsAtOneThatDidNotStart)
{
    StartSimulator(0);
    // Two instruments whose ports are not on this computer: neither can start (the
    // model's tables are not known yet, and there is no cache to read them from).
    std::string nowhere =
        "\t<LbDevice mfg_id = 18 mod_id = 0C>\n"
        "\t\t<midi_out>Nowhere In</midi_out>\n\t\t<midi_in>Nowhere Out</midi_in>\n"
        "\t\t<device_id>3</device_id>\n\t</LbDevice>\n";
    WriteSettings("studio", "<Studio version = 1.0>\n" + nowhere + nowhere + "</Studio>\n");
    Start();
    LbStudioWindow* studio = Studio();
    ASSERT_NE(studio, nullptr);
    ASSERT_EQ(studio->DeviceList()->count(), 2);
    studio->DeviceList()->selectAll();
    EXPECT_TRUE(studio->ManageAction()->isEnabled());
    studio->PostMessage(LB_MSG_MANAGE_DEVICES);
    RunPendingEvents();
    // One alert: the first failure stops the rest.
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].text, "E-mu Morpheus is not properly initialized");
    EXPECT_TRUE(Windows<LbDeviceManageWindow>().empty());

    // A working instrument beside them.
    LbDeviceI* device = PostNewDevice(0);
    ASSERT_TRUE(RunEventsUntil([&] { return studio->DeviceList()->count() == 3; }));
    ASSERT_EQ(device->InitCheck(), B_OK);

    // Managed from the menu and by a double click: a librarian window each, on it.
    studio->DeviceList()->clearSelection();
    studio->DeviceList()->item(2)->setSelected(true);
    studio->PostMessage(LB_MSG_MANAGE_DEVICES);
    studio->PostMessage(LB_MSG_DEVICE_INVOKED);
    ASSERT_TRUE(RunEventsUntil([&] { return Windows<LbDeviceManageWindow>().size() == 2; }));
    for (LbDeviceManageWindow* window : Windows<LbDeviceManageWindow>()) {
        ASSERT_TRUE(RunEventsUntil([&] { return window->DeviceSnapshot() != nullptr; }));
        EXPECT_EQ(window->DeviceSnapshot()->Device(), device);
        EXPECT_STREQ(window->Title(), "Manage E-mu Morpheus - untitled");
    }
    EXPECT_EQ(app->WindowRegistry()->CountSignificantWindows(), 2);

    // Removing the instrument closes its windows; the studio window stays.
    studio->DeviceList()->clearSelection();
    studio->DeviceList()->item(2)->setSelected(true);
    studio->PostMessage(LB_MSG_REMOVE_DEVICES);
    ASSERT_TRUE(RunEventsUntil([&] { return Windows<LbDeviceManageWindow>().empty(); }));
    EXPECT_EQ(app->Studio()->CountDevices(), 2);
    EXPECT_EQ(studio->DeviceList()->count(), 2);
    EXPECT_EQ(Studio(), studio);
}

TEST_F(AppTest, TheWindowStateReopensEveryWindowScaledToThisScreenAndOneStudioWindow)
{
    StartSimulator(0);
    WriteSettings("studio", StudioWithMorpheus(0));
    // Written on another screen: only the fractions matter (each frame leaves the window
    // at least its smallest size).
    WriteSettings("state",
                  "<State version = 1.0>\n"
                  "\t<Window type = LbDeviceManageWindow>\n"
                  "\t\t<frame>0.05000000 0.65000000 0.20000000 0.60000000 0</frame>\n"
                  "\t\t<mfg_id>18</mfg_id>\n\t\t<mod_id>0C</mod_id>\n"
                  "\t</Window>\n"
                  "\t<Window type = LbStudioWindow>\n"
                  "\t\t<frame>0.10000000 0.80000000 0.10000000 0.70000000 0</frame>\n"
                  "\t</Window>\n"
                  "\t<Window type = LbDeviceManageWindow>\n"
                  "\t\t<frame>0.30000000 0.95000000 0.30000000 0.70000000 0</frame>\n"
                  "\t\t<mfg_id>18</mfg_id>\n\t\t<mod_id>0C</mod_id>\n"
                  "\t</Window>\n"
                  "\t<Window type = SomethingElse>\n\t</Window>\n"
                  "</State>\n");
    Start();
    auto manage = Windows<LbDeviceManageWindow>();
    ASSERT_EQ(manage.size(), 2u);
    LbStudioWindow* studio = Studio();
    ASSERT_NE(studio, nullptr);
    EXPECT_EQ(app->CountWindows(), 3);
    BRect screen = BScreen(studio).Frame();
    float w = screen.Width() + 1, h = screen.Height() + 1;
    auto expectFrame = [&](BWindow* window, float l, float r, float t, float b) {
        BRect f = window->Frame();
        EXPECT_NEAR(f.left, l * w, 1.5) << window->Title();
        EXPECT_NEAR(f.right, r * w, 1.5) << window->Title();
        EXPECT_NEAR(f.top, t * h, 1.5) << window->Title();
        EXPECT_NEAR(f.bottom, b * h, 1.5) << window->Title();
    };
    expectFrame(manage[0], 0.05f, 0.65f, 0.2f, 0.6f);
    expectFrame(manage[1], 0.3f, 0.95f, 0.3f, 0.7f);
    expectFrame(studio, 0.1f, 0.8f, 0.1f, 0.7f);
    for (LbDeviceManageWindow* window : manage) {
        ASSERT_NE(window->DeviceSnapshot(), nullptr);
        EXPECT_EQ(window->DeviceSnapshot()->Device(), app->Studio()->DeviceAt(0));
    }

    // "Open Studio" in a librarian window brings the restored studio window forward.
    manage[0]->PostMessage(LB_DMW_STUDIO);
    RunPendingEvents();
    EXPECT_EQ(Windows<LbStudioWindow>().size(), 1u);
    EXPECT_EQ(Studio(), studio);
    EXPECT_EQ(app->StudioWindow(), studio);

    // Quitting writes them back: three windows, in window order, frames as they are.
    studio->MoveTo(40, 50);
    std::string studioFrame = LbFrameText(studio->Frame(), screen, false);
    ASSERT_TRUE(app->QuitRequested());
    std::string state = ReadAll(SettingsFile("state"));
    size_t studioAt = state.find("type = LbStudioWindow");
    EXPECT_NE(studioAt, std::string::npos) << state;
    size_t count = 0;
    for (size_t at = state.find("<Window"); at != std::string::npos;
         at = state.find("<Window", at + 1))
        count++;
    EXPECT_EQ(count, 3u) << state;
    EXPECT_NE(state.find(studioFrame), std::string::npos) << state;
}

TEST_F(AppTest, DocumentsHandedOverOpenOneLibrarianWindowEachAndOtherEntriesAreSkipped)
{
    std::string a = MakeLibrary("a.lib"), b = MakeLibrary("b.lib"), c = MakeLibrary("c.lib");
    if (a.empty() || b.empty() || c.empty())
        GTEST_SKIP() << "no device dump among the fixtures (SUITE_FIXTURES_DIR)";
    Start();
    OpenDocuments({a, b, scratch.Path(), scratch.File("missing.lib"), c});
    auto windows = Windows<LbDeviceManageWindow>();
    ASSERT_EQ(windows.size(), 3u);
    // The last first.
    std::vector<std::string> expected {c, b, a};
    for (size_t i = 0; i < windows.size(); i++) {
        LbDeviceManageWindow* window = windows[i];
        ASSERT_TRUE(
            RunEventsUntil([&] { return !window->FilePath().empty() && !window->IsRunning(); }));
        EXPECT_EQ(window->FilePath(), expected[i]);
        ASSERT_NE(window->DeviceSnapshot(), nullptr);
        // No Morpheus in the studio: the backup shows on an offline instrument.
        EXPECT_TRUE(window->IsOffline());
    }
}

TEST_F(AppTest, ThreeLibrariesOnTheCommandLineMakeThreeLibrarianWindows)
{
    std::string a = MakeLibrary("a.lib"), b = MakeLibrary("b.lib"), c = MakeLibrary("c.lib");
    if (a.empty() || b.empty() || c.empty())
        GTEST_SKIP() << "no device dump among the fixtures (SUITE_FIXTURES_DIR)";
    // The program itself, offscreen; it saves a picture of each window it shows, then quits.
    std::string shots = scratch.File("shots");
    std::string output;
    int status = Run("cd '" + scratch.Path() + "' && ASAN_OPTIONS=detect_leaks=0 "
                     "QT_QPA_PLATFORM=offscreen SUITE_MIDI_API=none SUITE_SCREENSHOT_DIR='" + shots
                     + "' '" + PATCHORA_PATH + "' a.lib b.lib c.lib 2>&1", &output);
    ASSERT_EQ(status, 0) << output;
    size_t pictures = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(shots))
        pictures++;
    // The studio window (no window came from a last session) and one per library.
    EXPECT_EQ(pictures, 4u) << output;
}

TEST_F(AppTest, ALaterStartHandsItsDocumentsToTheRunningCopyAndEnds)
{
    std::string library = MakeLibrary("a.lib");
    if (library.empty()) GTEST_SKIP() << "no device dump among the fixtures (SUITE_FIXTURES_DIR)";
    // This process is the running copy, serving later starts as the program's does.
    Start();
    SingleLaunch launch(LbSingleLaunchName());
    ASSERT_EQ(launch.Claim(BMessage(B_SILENT_RELAUNCH), 1000000), B_OK);
    ASSERT_EQ(LbServeLaterStarts(&launch), B_OK);
    // The program started again from another folder, with the document's relative name;
    // it ends at once instead of running a second copy on the same settings (which the
    // time-out would end, failing the test).
    auto startAgain = [&](const std::string& arguments, std::string* output) {
        std::atomic<int> status {-1};
        std::thread later([&] {
            status = Run("cd '" + scratch.Path() + "' && ASAN_OPTIONS=detect_leaks=0 "
                         "QT_QPA_PLATFORM=offscreen SUITE_MIDI_API=none timeout -k 5 60 '" +
                             PATCHORA_PATH + "' " + arguments + " 2>&1",
                         output);
        });
        EXPECT_TRUE(RunEventsUntil([&] { return status != -1; }, 60));
        later.join();
        return status.load();
    };
    std::string output;
    EXPECT_EQ(startAgain("a.lib", &output), 0) << output;
    EXPECT_NE(output.find("patchora: already running; the documents open in it"),
              std::string::npos)
        << output;
    ASSERT_TRUE(RunEventsUntil([&] {
        auto windows = Windows<LbDeviceManageWindow>();
        return windows.size() == 1 && !windows[0]->FilePath().empty() &&
            !windows[0]->IsRunning();
    }));
    EXPECT_EQ(Windows<LbDeviceManageWindow>()[0]->FilePath(), library);
    // Started again without documents while its studio window is closed: it comes back.
    BMessenger studio(nullptr, Studio());
    Studio()->PostMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(RunEventsUntil([&] { return !studio.IsValid(); }));
    EXPECT_EQ(startAgain("", &output), 0) << output;
    EXPECT_NE(output.find("its studio window comes forward"), std::string::npos) << output;
    EXPECT_TRUE(RunEventsUntil([&] { return Studio() != nullptr; }));
}

TEST_F(AppTest, ClosingTheOnlyWindowQuitsAndTheStateThenHoldsNoWindow)
{
    Start();
    LbStudioWindow* studio = Studio();
    ASSERT_NE(studio, nullptr);
    BMessenger window(nullptr, studio);
    studio->PostMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(RunEventsUntil([&] { return !window.IsValid(); }));
    // The application was asked to quit: it wrote an empty state.
    ASSERT_TRUE(RunEventsUntil([&] { return std::filesystem::exists(SettingsFile("state")); }));
    std::string state = ReadAll(SettingsFile("state"));
    EXPECT_NE(state.find("<State version = 1.0>"), std::string::npos) << state;
    EXPECT_EQ(state.find("<Window"), std::string::npos) << state;
    EXPECT_FALSE(app->WindowRegistry()->IsQuitting() && app->CountWindows() > 0);
}

TEST_F(AppTest, ClosingTheLastLibrarianWindowQuitsAndTheNextStartReopensTheSession)
{
    StartSimulator(0);
    WriteSettings("studio", StudioWithMorpheus(0));
    Start();
    LbStudioWindow* studio = Studio();
    ASSERT_NE(studio, nullptr);
    studio->DeviceList()->item(0)->setSelected(true);
    studio->PostMessage(LB_MSG_MANAGE_DEVICES);
    ASSERT_TRUE(RunEventsUntil([&] { return Windows<LbDeviceManageWindow>().size() == 1; }));
    LbDeviceManageWindow* manage = Windows<LbDeviceManageWindow>()[0];
    ASSERT_TRUE(RunEventsUntil([&] { return manage->DeviceSnapshot() != nullptr; }));

    // The last librarian window closes: the whole program goes, and remembers both windows.
    manage->PostMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(RunEventsUntil([&] { return app->CountWindows() == 0; }));
    std::string state = ReadAll(SettingsFile("state"));
    EXPECT_NE(state.find("type = LbDeviceManageWindow"), std::string::npos) << state;
    EXPECT_NE(state.find("type = LbStudioWindow"), std::string::npos) << state;
    EXPECT_NE(state.find("<mfg_id>18</mfg_id>"), std::string::npos) << state;
    Stop();

    Start();
    EXPECT_EQ(Windows<LbDeviceManageWindow>().size(), 1u);
    EXPECT_NE(Studio(), nullptr);
}

TEST_F(AppTest, TheSimulatorOptionAddsAMorpheusForThisRunOnlyAndKeepsItsCacheApart)
{
    Start(true);
    ASSERT_EQ(app->Studio()->CountDevices(), 1);
    LbDeviceI* device = app->SimulatedDevice();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->InitCheck(), B_OK);
    EXPECT_TRUE(app->Studio()->IsTransient(device));
    ASSERT_NE(Studio(), nullptr);
    EXPECT_EQ(Studio()->DeviceList()->item(0)->text(),
              "E-mu Morpheus  in: Morpheus Simulator  out: Morpheus Simulator  ID: 0");
    Stop();
    // Not remembered in the studio; what it told of itself is kept apart.
    std::string studio = ReadAll(SettingsFile("studio"));
    EXPECT_EQ(studio.find("LbDevice"), std::string::npos) << studio;
    std::string caches = scratch.ConfigDir() + "/OrbWorks/MidiDevices/";
    EXPECT_TRUE(std::filesystem::exists(caches + "E-mu Morpheus (simulator).data"));
    EXPECT_FALSE(std::filesystem::exists(caches + "E-mu Morpheus.data"));

    // With an instrument in the studio, the simulator's ports are offered but nothing is
    // added.
    StartSimulator(0);
    WriteSettings("studio", StudioWithMorpheus(0));
    Start(true);
    EXPECT_EQ(app->Studio()->CountDevices(), 1);
    EXPECT_EQ(app->SimulatedDevice(), nullptr);
}

TEST_F(AppTest, DamagedOrForeignSettingsStartCleanlyAndTheStudioDocumentIsNeverLost)
{
    StartSimulator(0);
    const std::string good = StudioWithMorpheus(0);
    struct Case {
        const char* what;
        std::string studio;
        size_t devices;
        bool whole;   // read whole: saved with every entry, nothing to keep aside
    } cases[] = {
        {"truncated", good.substr(0, good.size() / 2), 0, false},
        {"foreign", "<html><body>not a studio</body></html>\n", 0, false},
        {"binary", std::string("\x00\xff\x10<<<>>\"", 9), 0, false},
        // A model this program does not know, before a Morpheus: both are kept.
        {"unknown model",
         "<Studio version = 1.0>\n\t<LbDevice mfg_id = 7F mod_id = 01>\n"
         "\t\t<midi_out>x</midi_out>\n\t\t<midi_in>y</midi_in>\n"
         "\t\t<device_id>1</device_id>\n\t</LbDevice>\n" +
             good.substr(good.find("\t<LbDevice")),
         1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteSettings("studio", c.studio);
        WriteSettings("state", "<State version = 1.0>\n\t<Window type = LbStudioWindow>\n\t\t<fra");
        std::filesystem::remove(SettingsFile("studio.old"));
        Start();
        EXPECT_NE(Studio(), nullptr);
        EXPECT_EQ(Windows<LbStudioWindow>().size(), 1u);
        // Nothing changed: the document stays exactly as it was.
        Stop();
        EXPECT_EQ(ReadAll(SettingsFile("studio")), c.studio);

        // Something changed: the studio is saved, and what could not be read is kept.
        Start();
        size_t before = size_t(app->Studio()->CountDevices());
        EXPECT_EQ(before, c.devices);
        PostNewDevice(0);
        RunPendingEvents();
        Stop();
        std::string saved = ReadAll(SettingsFile("studio"));
        EXPECT_NE(saved.find(std::string("<midi_in>") + kSimOut), std::string::npos) << saved;
        if (c.whole) {
            EXPECT_FALSE(std::filesystem::exists(SettingsFile("studio.old")));
            EXPECT_NE(saved.find("mfg_id = 7F mod_id = 01"), std::string::npos) << saved;
        } else {
            EXPECT_EQ(ReadAll(SettingsFile("studio.old")), c.studio);
        }
    }

    // A studio that cannot be read at all (a folder in its place): a start without devices.
    std::filesystem::remove(SettingsFile("studio"));
    std::filesystem::create_directory(SettingsFile("studio"));
    Start();
    EXPECT_EQ(app->Studio()->CountDevices(), 0);
    EXPECT_NE(Studio(), nullptr);
    Stop();
    EXPECT_TRUE(std::filesystem::is_directory(SettingsFile("studio")));
}

TEST_F(AppTest, AStateNamingAnInstrumentThatIsGoneStillOpensItsWindowAndTheDocument)
{
    std::string library = MakeLibrary("kept.lib");
    WriteSettings("state",
                  "<State version = 1.0>\n"
                  "\t<Window type = LbDeviceManageWindow>\n"
                  "\t\t<frame>0.1 0.4 0.2 0.6 0</frame>\n"
                  "\t\t<mfg_id>18</mfg_id>\n\t\t<mod_id>0C</mod_id>\n"
                  "\t\t<file>" +
                      (library.empty() ? scratch.File("gone.lib") : library) +
                      "</file>\n"
                      "\t</Window>\n</State>\n");
    Start();
    auto windows = Windows<LbDeviceManageWindow>();
    ASSERT_EQ(windows.size(), 1u);
    // No studio window besides: a window opened.
    EXPECT_EQ(Studio(), nullptr);
    if (library.empty()) return;
    LbDeviceManageWindow* window = windows[0];
    ASSERT_TRUE(RunEventsUntil([&] { return !window->IsRunning() && window->DeviceSnapshot(); }));
    EXPECT_TRUE(window->IsOffline());
    EXPECT_EQ(window->FilePath(), library);
}

TEST_F(AppTest, TheAboutWindowAnimatesFromItsOwnThreadThroughPostedSteps)
{
    EXPECT_EQ(OrbVersionText(1, 0, 0, 4, 0), "1 GM");
    EXPECT_EQ(OrbVersionText(2, 1, 3, 0, 17), "2.1.3 Dev / 17");
    EXPECT_EQ(OrbVersionText(0, 0, 5, 2, 0), "0.5 Beta");
    EXPECT_EQ(OrbVersionText(0, 1, 0, 9, 0), "0.1");

    Start();
    app->PostMessage(B_ABOUT_REQUESTED);
    RunPendingEvents();
    auto* about = dynamic_cast<OrbAboutWindow*>(app->AboutWindow());
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(about->WebButton()->isVisible()); // patchora has no web page to offer
    app->PostMessage(B_ABOUT_REQUESTED); // a second request makes no second window
    RunPendingEvents();
    EXPECT_EQ(Windows<OrbAboutWindow>().size(), 1u);
    OrbAboutView* view = about->View();
    EXPECT_TRUE(view->UsesCharacter('M'));
    EXPECT_FALSE(view->UsesCharacter('#'));
    double first = view->Phase();
    ASSERT_TRUE(RunEventsUntil([&] { return view->Phase() > first + 0.2; }, 30));
    // A click moves the animation on by a whole phase.
    double before = view->Phase();
    QMouseEvent click(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &click);
    EXPECT_GE(view->Phase(), before + 1.0);
    EXPECT_EQ(view->Clicks(), 1);

    BMessenger window(nullptr, about);
    about->PostMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(RunEventsUntil([&] { return !window.IsValid(); }));
}

} // namespace
