// A picture of the librarian window at its default size, after a whole receive, taken by
// scripts/screenshot under a virtual display. The test program itself shows the window:
// run with LB_DMW_SHOW=1, its ShowForScreenshot test opens it and runs the application,
// which writes the picture and quits.
#include "app/Message.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbEmuMorpheusAddon.h"
#include "librarian/LbDeviceSnapshot.h"
#include "librarian/LbLibrarian.h"
#include "librarian/window/LbDeviceManageWindow.h"
#include "librarian/window/LbDmwHostI.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiStudio.h"
#include "testing/ScratchDir.h"

#include "interface/tests/GuiTest.h"

#include "MorpheusSimulator.h"
#include "SimulatorEndpoints.h"

#include <algorithm>
#include <atomic>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <QImage>
#include <QListWidget>

namespace {

class ShotHost : public LbDmwHostI {
public:
    LbMidiStudio* Studio() override { return studio; }
    LbDeviceAddons* Addons() override { return addons; }
    void ShowStudioWindow() override { }
    LbMidiStudio* studio = nullptr;
    LbDeviceAddons* addons = nullptr;
};

} // namespace

TEST(LibrarianWindowShow, ShowForScreenshot)
{
    if (getenv("LB_DMW_SHOW") == nullptr)
        GTEST_SKIP() << "shows the window only for scripts/screenshot";
    ScratchDir scratch("librarian-shot");
    scratch.UseAsHome();
    setenv("SUITE_MIDI_API", "none", 1);
    LbInstallFileTypes();
    {
        BApplication app("application/x-vnd.ORB-Patchora");
        LbDeviceAddons addons;
        addons.AddAddon(new LbEmuMorpheusAddon);
        auto simulator = std::make_shared<morpheus_sim::MorpheusSimulator>(0);
        // An instrument that takes its time, so that the picture catches a receive.
        std::atomic<bool> slow {false};
        morpheus_sim::SimulatorEndpoints endpoints(simulator, "Sim In", "Sim Out",
                                                   [&](const morpheus_sim::Message&, size_t) {
                                                       if (slow) usleep(400000);
                                                   });
        LbMidiStudio studio(&addons);
        studio.SetCacheVariant("simulator");
        ShotHost host;
        host.studio = &studio;
        host.addons = &addons;
        LbSetDmwHost(&host);
        LbDeviceI* device = addons.AddonAt(0)->NewDevice();
        studio.AddDevice(device, "Sim In", "Sim Out");
        // The frame the application gives a new librarian window.
        auto* window = new LbDeviceManageWindow(BRect(120, 80, 440, 340));
        BMessage show(LB_MSG_POPULATE);
        show.AddPointer("LbDeviceSnapshotI",
                        static_cast<LbDeviceSnapshotI*>(new LbDeviceSnapshot(device)));
        window->PostMessage(&show);
        window->Show();
        RunPendingEvents();
        window->PostMessage(LB_DMW_RECEIVE_ALL);
        RunPendingEvents();
        ASSERT_TRUE(RunEventsUntil([&] { return !window->IsRunning(); }, 120));
        auto* patches = window->Widget()->findChild<QListWidget*>("PatchList");
        for (int row : {2, 3, 4}) patches->item(row)->setSelected(true);
        RunPendingEvents();
        slow = true;
        window->PostMessage(LB_DMW_RECEIVE_SELECTED);
        app.Run();
        LbSetDmwHost(nullptr);
    }
    LbEmuMorpheus::DeleteMaps();
}

TEST(LibrarianWindowScreenshot, TheDefaultWindowShowsItsListsCountsAndMessageArea)
{
    if (system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is missing";
    ScratchDir scratch("librarian-shot");
    ASSERT_TRUE(scratch.Valid());
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string dir = scratch.Path();
    std::string command = "LB_DMW_SHOW=1 SCREENSHOT_DIR='" + dir + "' '" + SUITE_SOURCE_DIR +
        "/scripts/screenshot' '" + self +
        "' --gtest_filter=LibrarianWindowShow.ShowForScreenshot > '" + dir + "/log' 2>&1";
    int status = std::system(command.c_str());
    std::ifstream log(dir + "/log");
    std::string output((std::istreambuf_iterator<char>(log)), {});
    ASSERT_EQ(0, status) << output;
    std::string name = std::filesystem::path(self).filename().string();
    QImage image(QString::fromStdString(dir + "/" + name + "-1.png"));
    ASSERT_FALSE(image.isNull()) << output;
    // The default frame (320 x 260) grows to what the lists, counts and message area need.
    EXPECT_GE(image.width(), 320);
    EXPECT_GE(image.height(), 260);
    std::vector<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            if (colours.size() < 64 &&
                std::find(colours.begin(), colours.end(), image.pixel(x, y)) == colours.end())
                colours.push_back(image.pixel(x, y));
    EXPECT_GE(colours.size(), 8u);
    // Kept for review where the caller asks for it.
    if (const char* keep = getenv("LB_DMW_SCREENSHOT_COPY")) image.save(QString::fromUtf8(keep));
}
