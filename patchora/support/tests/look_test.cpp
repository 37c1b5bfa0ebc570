#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "app/Handler.h"
#include "app/Looper.h"
#include "app/Message.h"
#include "app/Messenger.h"
#include "kernel/OS.h"
#include "support/OrbLookPreferences.h"

namespace {

rgb_color Rgb(uint8 r, uint8 g, uint8 b, uint8 a = 255)
{
    return rgb_color{r, g, b, a};
}

// Stands in for the application: collects the look messages posted to it.
class FakeApplication : public BHandler {
public:
    FakeApplication() : BHandler("application"), mLooper(new BLooper("application"))
    {
        mLooper->AddHandler(this);
        mLooper->SetPreferredHandler(this);
        mLooper->Run();
        SetAppMessenger(BMessenger(nullptr, mLooper));
    }
    ~FakeApplication() override
    {
        SetAppMessenger(BMessenger());
        mLooper->Lock();
        mLooper->RemoveHandler(this);
        mLooper->Quit();
    }
    void MessageReceived(BMessage* message) override
    {
        std::lock_guard<std::mutex> guard(mMutex);
        mMessages.push_back(*message);
    }
    // Everything posted so far (a round trip makes sure it has all arrived).
    std::vector<BMessage> Messages()
    {
        BMessage sync('sync'), reply;
        BMessenger(this).SendMessage(&sync, &reply);
        std::lock_guard<std::mutex> guard(mMutex);
        std::vector<BMessage> result;
        for (const BMessage& m : mMessages)
            if (m.what != 'sync')
                result.push_back(m);
        mMessages.clear();
        return result;
    }

private:
    BLooper* mLooper;
    std::mutex mMutex;
    std::vector<BMessage> mMessages;
};

struct SingleColorMessage {
    int8 code = -1;
    bool drawNow = false;
    rgb_color color = {};
};

SingleColorMessage Read(const BMessage& m)
{
    SingleColorMessage r;
    EXPECT_EQ(m.what, uint32(ORB_LOOK_CHANGED));
    EXPECT_EQ(m.FindInt8("colorCde", &r.code), B_OK);
    EXPECT_EQ(m.FindBool("drawNow", &r.drawNow), B_OK);
    const void* data;
    ssize_t size = 0;
    EXPECT_EQ(m.FindData("rgbColor", 'RGBC', &data, &size), B_OK);
    EXPECT_EQ(size, 4);
    if (size == 4)
        r.color = *static_cast<const rgb_color*>(data);
    return r;
}

}  // namespace

TEST(LookPreferences, RampFillingMatchesTheRule)
{
    rgb_color ramp[ORB_COLOR_RAMP_SIZE];
    for (rgb_color& c : ramp)
        c = Rgb(1, 1, 1, 77);
    OrbFillColorRamp(ramp, Rgb(0, 0, 0, 10), Rgb(126, 126, 126, 20));
    for (int i = 0; i <= 126; i++)
        ASSERT_EQ(ramp[i].red, i) << i;
    EXPECT_EQ(ramp[127], Rgb(126, 126, 126, 20));
    EXPECT_EQ(ramp[0].alpha, 10);
    EXPECT_EQ(ramp[5].alpha, 77);   // inner alphas are left alone

    // Falling ramps truncate towards zero: 200 - 130/126 = 198.97 -> 198.
    OrbFillColorRamp(ramp, Rgb(200, 20, 20), Rgb(70, 200, 200));
    EXPECT_EQ(ramp[1].red, 198);
    EXPECT_EQ(ramp[1].green, 21);   // 20 + 180/126 = 21.43
    EXPECT_EQ(ramp[126], Rgb(70, 200, 200, 77));
    EXPECT_EQ(ramp[126].red, ramp[127].red);

    EXPECT_EQ(OrbTintColor(Rgb(216, 216, 216), 1.295f), Rgb(152, 152, 152));
    EXPECT_EQ(OrbTintColor(Rgb(100, 0, 255), 0.5f), Rgb(177, 127, 255));
}

TEST(LookPreferences, InitialLook)
{
    OrbLookPreferences look(Rgb(216, 216, 216), Rgb(219, 219, 219));
    EXPECT_EQ(look.BackgroundColor(), Rgb(152, 152, 152));
    EXPECT_EQ(look.BackgroundAccentColor(), Rgb(219, 219, 219));
    EXPECT_EQ(look.BackgroundShadowColor(), Rgb(102, 102, 102));
    EXPECT_EQ(look.ForegroundColor(), Rgb(0, 0, 0));
    EXPECT_EQ(look.AccentColor(), Rgb(255, 255, 255));
    EXPECT_EQ(look.ShadowColor(), Rgb(150, 150, 150));
    EXPECT_EQ(look.DataColor(), Rgb(255, 255, 255));
    EXPECT_EQ(look.PrimaryEventColor(0), Rgb(70, 70, 200));
    EXPECT_EQ(look.PrimaryEventColor(127), Rgb(200, 200, 255));
    EXPECT_EQ(look.SecondaryEventColor(0), Rgb(160, 160, 160));
    EXPECT_EQ(look.SecondaryEventColor(500), Rgb(208, 208, 208));   // clamped index
    EXPECT_EQ(look.SelectedEventColor(-3), Rgb(200, 20, 20));
    EXPECT_EQ(look.SelectedEventColor(127), Rgb(255, 200, 200));

    // Default() is one shared instance until DeleteDefault().
    OrbLookPreferences* first = OrbLookPreferences::Default();
    EXPECT_EQ(OrbLookPreferences::Default(), first);
    OrbLookPreferences::DeleteDefault();
    OrbLookPreferences::SetSystemColors(Rgb(100, 100, 100), Rgb(1, 2, 3));
    EXPECT_EQ(OrbLookPreferences::Default()->BackgroundAccentColor(), Rgb(1, 2, 3));
    OrbLookPreferences::DeleteDefault();
    OrbLookPreferences::SetSystemColors(Rgb(216, 216, 216), Rgb(216, 216, 216));
}

TEST(LookPreferences, ChangesArePostedToTheApplication)
{
    OrbLookPreferences look(Rgb(216, 216, 216), Rgb(216, 216, 216));
    // Without an application nothing is posted, and nothing breaks.
    look.SetDataColor(Rgb(1, 1, 1), true);
    EXPECT_EQ(look.DataColor(), Rgb(1, 1, 1));

    FakeApplication app;
    look.SetBackgroundColor(Rgb(240, 240, 240), true);
    EXPECT_EQ(look.BackgroundColor(), Rgb(240, 240, 240));
    EXPECT_EQ(look.BackgroundAccentColor(), Rgb(255, 255, 255));
    EXPECT_EQ(look.BackgroundShadowColor(), Rgb(190, 190, 190));
    std::vector<BMessage> messages = app.Messages();
    ASSERT_EQ(messages.size(), 3u);
    SingleColorMessage accent = Read(messages[0]);
    SingleColorMessage shadow = Read(messages[1]);
    SingleColorMessage background = Read(messages[2]);
    EXPECT_EQ(accent.code, ORB_BACKGROUND_ACCENT_COLOR);
    EXPECT_FALSE(accent.drawNow);
    EXPECT_EQ(accent.color, Rgb(255, 255, 255));
    EXPECT_EQ(shadow.code, ORB_BACKGROUND_SHADOW_COLOR);
    EXPECT_FALSE(shadow.drawNow);
    EXPECT_EQ(shadow.color, Rgb(190, 190, 190));
    EXPECT_EQ(background.code, ORB_BACKGROUND_COLOR);
    EXPECT_TRUE(background.drawNow);
    EXPECT_EQ(background.color, Rgb(240, 240, 240));

    look.SetBackgroundColor(Rgb(20, 30, 250), false);
    EXPECT_EQ(look.BackgroundShadowColor(), Rgb(0, 0, 200));
    EXPECT_EQ(look.BackgroundAccentColor(), Rgb(70, 80, 255));
    app.Messages();

    const struct {
        void (OrbLookPreferences::*set)(rgb_color, bool);
        int8 code;
    } singles[] = {
        {&OrbLookPreferences::SetForegroundColor, ORB_FOREGROUND_COLOR},
        {&OrbLookPreferences::SetAccentColor, ORB_ACCENT_COLOR},
        {&OrbLookPreferences::SetShadowColor, ORB_SHADOW_COLOR},
        {&OrbLookPreferences::SetDataColor, ORB_DATA_COLOR},
        {&OrbLookPreferences::SetBackgroundAccentColor, ORB_BACKGROUND_ACCENT_COLOR},
        {&OrbLookPreferences::SetBackgroundShadowColor, ORB_BACKGROUND_SHADOW_COLOR},
    };
    for (const auto& s : singles) {
        (look.*s.set)(Rgb(uint8(s.code), 9, 8, 7), s.code % 2 == 0);
        EXPECT_EQ(look.Color(s.code), Rgb(uint8(s.code), 9, 8, 7));
        messages = app.Messages();
        ASSERT_EQ(messages.size(), 1u);
        SingleColorMessage m = Read(messages[0]);
        EXPECT_EQ(m.code, s.code);
        EXPECT_EQ(m.drawNow, s.code % 2 == 0);
        EXPECT_EQ(m.color, Rgb(uint8(s.code), 9, 8, 7));
    }

    // Ramps: a null end keeps the current end; the message carries only the code.
    rgb_color lo = Rgb(0, 0, 0);
    look.SetPrimaryEventColor(&lo, nullptr);
    EXPECT_EQ(look.PrimaryEventColor(0), Rgb(0, 0, 0));
    EXPECT_EQ(look.PrimaryEventColor(127), Rgb(200, 200, 255));
    rgb_color hi = Rgb(126, 126, 126);
    look.SetSecondaryEventColor(nullptr, &hi);
    EXPECT_EQ(look.SecondaryEventColor(0), Rgb(160, 160, 160));
    EXPECT_EQ(look.SecondaryEventColor(127), hi);
    look.SetSelectedEventColor(&lo, &hi);
    EXPECT_EQ(look.SelectedEventColor(63), Rgb(63, 63, 63));
    messages = app.Messages();
    ASSERT_EQ(messages.size(), 3u);
    const int8 rampCodes[] = {ORB_PRIMARY_EVENT_COLORS, ORB_SECONDARY_EVENT_COLORS, ORB_SELECTED_EVENT_COLORS};
    for (size_t i = 0; i < 3; i++) {
        int8 code = -1;
        EXPECT_EQ(messages[i].FindInt8("colorCde", &code), B_OK);
        EXPECT_EQ(code, rampCodes[i]);
        EXPECT_FALSE(messages[i].HasBool("drawNow"));
    }
}
