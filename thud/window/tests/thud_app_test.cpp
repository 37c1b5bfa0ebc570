// thud as an application: which command lines open windows, and which windows they open.
#include "ThudApp.h"
#include "ThudPreset.h"
#include "ThudWindow.h"
#include "interface/Alert.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <QTimer>

using namespace thud;

namespace {

void WritePreset(const std::string& path, float startFreq)
{
    ThudParams params;
    params.startFreq = startFreq;
    auto bytes = EncodePreset(params);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                std::streamsize(bytes.size()));
}

struct Opened {
    std::string title;
    BRect frame;
    float startFreq;
};

// Runs the application on this command line until its windows are open, and tells what
// they are.
std::vector<Opened> OpenWindows(std::vector<std::string> args, int expected)
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    ThudApp app(int(argv.size()), argv.data());
    AlertPresenter previous = SetAlertPresenter([](const AlertRequest&) { return 0; });
    std::vector<Opened> opened;
    QTimer poll;
    int rounds = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (app.CountWindows() < expected && ++rounds < 400)
            return;
        for (int32 i = 0; i < app.CountWindows(); i++) {
            auto* window = static_cast<ThudWindow*>(app.WindowAt(i));
            opened.push_back({window->Title(), window->Frame(), window->Params().startFreq});
        }
        poll.stop();
        app.Quit();
    });
    poll.start(50);
    app.Run();
    SetAlertPresenter(previous);
    return opened;
}

}  // namespace

TEST(ThudApp, CommandLinesWithoutACommandOpenWindows)
{
    ScratchDir scratch("thud-app");
    ASSERT_TRUE(scratch.Valid());
    std::string existing = scratch.File("kick");  // a file, whatever its name
    WritePreset(existing, 50);
    EXPECT_TRUE(WantsWindows({}));
    EXPECT_TRUE(WantsWindows({"missing.thud"}));
    EXPECT_TRUE(WantsWindows({existing, "other.thud"}));
    EXPECT_FALSE(WantsWindows({"render"}));
    EXPECT_FALSE(WantsWindows({"mix"}));
    EXPECT_FALSE(WantsWindows({"--help"}));
    EXPECT_FALSE(WantsWindows({existing, "-f"}));
}

TEST(ThudApp, AnUntitledWindowOrOneWindowPerPreset)
{
    std::vector<Opened> untitled = OpenWindows({"thud"}, 1);
    ASSERT_EQ(untitled.size(), 1u);
    EXPECT_EQ(untitled[0].title, "Thud v1.0 - Untitled");
    EXPECT_EQ(untitled[0].frame.LeftTop(), BPoint(50, 50));

    ScratchDir scratch("thud-app");
    ASSERT_TRUE(scratch.Valid());
    WritePreset(scratch.File("low.thud"), 60);
    WritePreset(scratch.File("high.thud"), 3000);
    std::vector<Opened> two =
        OpenWindows({"thud", scratch.File("low.thud"), scratch.File("high.thud")}, 2);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].title, "Thud v1.0 - low.thud");
    EXPECT_EQ(two[0].frame.LeftTop(), BPoint(100, 100));
    EXPECT_FLOAT_EQ(two[0].startFreq, 60.0f);
    EXPECT_EQ(two[1].title, "Thud v1.0 - high.thud");
    EXPECT_FLOAT_EQ(two[1].startFreq, 3000.0f);
    EXPECT_NE(two[1].frame.LeftTop(), two[0].frame.LeftTop());  // not hidden behind the first
}
