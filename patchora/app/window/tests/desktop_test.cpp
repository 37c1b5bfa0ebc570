// The pieces around the application: which command lines open the windows, the splash
// window fed by the studio's status, and look changes reaching every window's views.
#include "app_fixture.h"

#include "app/window/LbDesktopArgs.h"
#include "app/window/LbGlobalsI.h"
#include "app/window/LbImageManager.h"
#include "app/window/LbPreferences.h"
#include "app/window/LbSplashWindow.h"
#include "midi/LbDeviceAddons.h"
#include "support/OrbLookPreferences.h"
#include "support/window/OrbView.h"
#include "support/window/OrbWindow.h"
#include "interface/ImageStore.h"

#include <thread>

#include <QImage>
#include <QPixmap>

namespace {

TEST(DesktopArgs, OnlyOptionsOfTheWindowsAndDocumentsOpenThem)
{
    LbDesktopArgs args;
    std::string error;
    EXPECT_TRUE(LbParseDesktopArgs({}, &args, &error));
    EXPECT_FALSE(args.simulate);
    ASSERT_TRUE(
        LbParseDesktopArgs({"--simulate", "--open=about", "backup.lib", "x.syx"}, &args, &error));
    EXPECT_TRUE(args.simulate);
    EXPECT_EQ(args.open, std::vector<std::string> {"about"});
    EXPECT_EQ(args.files, (std::vector<std::string> {"backup.lib", "x.syx"}));
    // A mistyped command stays the command line's (it says it does not know it).
    EXPECT_FALSE(LbParseDesktopArgs({"recieve"}, &args, &error));
    EXPECT_FALSE(LbParseDesktopArgs({"backup.lib", "--bank"}, &args, &error));
    EXPECT_TRUE(error.empty());
    EXPECT_FALSE(LbParseDesktopArgs({"--open=editor"}, &args, &error));
    EXPECT_EQ(error, "--open takes studio, add-device or about");
}

TEST_F(AppTest, TheSplashShowsTheStudiosStatusFromAnyThreadAndClearsIt)
{
    Start();
    LbSplashWindow* splash = new LbSplashWindow(app->Studio());
    EXPECT_TRUE(splash->IsHidden());
    app->Studio()->BeginStatus("Initializing E-mu Morpheus - instruments...");
    EXPECT_FALSE(splash->IsHidden());
    EXPECT_TRUE(splash->WasShown());
    EXPECT_EQ(splash->StatusText(), "Initializing E-mu Morpheus - instruments...");
    app->Studio()->EndStatus(nullptr);
    EXPECT_EQ(splash->StatusText(), "");
    // A device starting on another thread: the text arrives by post.
    std::thread other([&] { app->Studio()->BeginStatus("Initializing - filters..."); });
    other.join();
    ASSERT_TRUE(
        RunEventsUntil([&] { return splash->StatusText() == "Initializing - filters..."; }));
    splash->Lock();
    splash->Quit();
    // Gone, it hears no more.
    app->Studio()->BeginStatus("after");
    RunPendingEvents();
}

TEST_F(AppTest, ALookChangeReachesTheViewsOfEveryWindowThroughTheApplication)
{
    Start();
    auto* one = new OrbLookPolicyWindow(BRect(10, 10, 109, 109), "one");
    auto* two = new OrbLookPolicyWindow(BRect(10, 10, 109, 109), "two");
    rgb_color old = OrbLookPreferences::Default()->BackgroundColor();
    rgb_color teal {0, 128, 128, 255};
    OrbLookPreferences::Default()->SetBackgroundColor(teal, true);
    EXPECT_TRUE(RunEventsUntil([&] {
        return one->Background()->ViewColor() == teal && two->Background()->ViewColor() == teal;
    }));
    OrbLookPreferences::Default()->SetBackgroundColor(old, true);
    RunPendingEvents();
    for (BWindow* window : {static_cast<BWindow*>(one), static_cast<BWindow*>(two)}) {
        window->Lock();
        window->Quit();
    }
}

} // namespace

namespace {

class Services : public GuiTest { };

TEST_F(Services, ImagesAreLoadedOnceAndUnknownNamesGiveNull)
{
    LbImageManager images;
    EXPECT_EQ(images.BitmapAt("NoSuchImage"), nullptr);
    EXPECT_EQ(images.BitmapAt(nullptr), nullptr);
    QPixmap dot(4, 3);
    dot.fill(Qt::red);
    image_store::Add("Dot", dot);
    const QPixmap* first = images.BitmapAt("Dot");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(images.BitmapAt("Dot"), first); // from the cache
    // A picture for a button: the bitmap at an offset over the background colour.
    std::unique_ptr<QPixmap> picture =
        images.PictureAt("Dot", BPoint(2, 1), rgb_color {0, 0, 255, 255});
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->size(), QSize(6, 4));
    QImage image = picture->toImage();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(3, 2), QColor(255, 0, 0));
    EXPECT_EQ(images.PictureAt("NoSuchImage", BPoint(0, 0), rgb_color {}), nullptr);

    LbPreferences prefs(&images);
    EXPECT_GT(prefs.Size(LB_SIZE_FONT), 0);
    EXPECT_EQ(prefs.Size(999), 0);
    EXPECT_EQ(prefs.Color(999), (rgb_color {0, 0, 0, 255}));
    EXPECT_EQ(prefs.Color(LB_COLOR_PANEL).alpha, 255);
}

TEST_F(Services, TheProgramWideAccessorsAreNullWithoutTheApplication)
{
    EXPECT_EQ(Globals(), nullptr);
    EXPECT_EQ(Prefs(), nullptr);
    EXPECT_EQ(ImageManager(), nullptr);
    EXPECT_EQ(LbApp(), nullptr);
}

} // namespace
