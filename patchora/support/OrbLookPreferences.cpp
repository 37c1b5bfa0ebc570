#include "support/OrbLookPreferences.h"

#include "app/Message.h"
#include "app/Messenger.h"

#include <mutex>

namespace {

constexpr rgb_color kClassicGrey = {216, 216, 216, 255};
// The tint the background is darkened by from the panel colour.
constexpr float kBackgroundTint = 1.295f;

std::mutex sDefaultMutex;
OrbLookPreferences* sDefault = nullptr;
rgb_color sPanelBackground = kClassicGrey;
rgb_color sMenuBackground = kClassicGrey;

uint8 ClampComponent(int value)
{
    return uint8(value < 0 ? 0 : (value > 255 ? 255 : value));
}

rgb_color Offset(rgb_color c, int delta)
{
    return rgb_color{ClampComponent(c.red + delta), ClampComponent(c.green + delta),
        ClampComponent(c.blue + delta), c.alpha};
}

}  // namespace

void OrbFillColorRamp(rgb_color ramp[ORB_COLOR_RAMP_SIZE], rgb_color lo, rgb_color hi)
{
    ramp[0] = lo;
    ramp[ORB_COLOR_RAMP_SIZE - 1] = hi;
    auto step = [](uint8 from, uint8 to, int i) {
        return uint8(double(from) + double(i) * (double(to) - double(from)) / 126.0);
    };
    for (int i = 1; i <= 126; i++) {
        ramp[i].red = step(lo.red, hi.red, i);
        ramp[i].green = step(lo.green, hi.green, i);
        ramp[i].blue = step(lo.blue, hi.blue, i);
    }
}

rgb_color OrbTintColor(rgb_color color, float tint)
{
    auto apply = [tint](uint8 c) {
        float v = tint < 1.0f ? 255.0f - (255.0f - c) * tint : c * (2.0f - tint);
        return ClampComponent(int(v));
    };
    return rgb_color{apply(color.red), apply(color.green), apply(color.blue), color.alpha};
}

void OrbMakeLookMessage(BMessage* message, int8 code)
{
    message->MakeEmpty();
    message->what = ORB_LOOK_CHANGED;
    message->AddInt8("colorCde", code);
}

void OrbMakeLookMessage(BMessage* message, int8 code, rgb_color color, bool drawNow)
{
    OrbMakeLookMessage(message, code);
    message->AddBool("drawNow", drawNow);
    message->AddData("rgbColor", B_RGB_COLOR_TYPE, &color, sizeof color);
}

OrbLookPreferences* OrbLookPreferences::Default()
{
    std::lock_guard<std::mutex> guard(sDefaultMutex);
    if (sDefault == nullptr)
        sDefault = new OrbLookPreferences(sPanelBackground, sMenuBackground);
    return sDefault;
}

void OrbLookPreferences::DeleteDefault()
{
    std::lock_guard<std::mutex> guard(sDefaultMutex);
    delete sDefault;
    sDefault = nullptr;
}

void OrbLookPreferences::SetSystemColors(rgb_color panelBackground, rgb_color menuBackground)
{
    std::lock_guard<std::mutex> guard(sDefaultMutex);
    sPanelBackground = panelBackground;
    sMenuBackground = menuBackground;
}

OrbLookPreferences::OrbLookPreferences(rgb_color panelBackground, rgb_color menuBackground)
{
    rgb_color background = OrbTintColor(panelBackground, kBackgroundTint);
    uint8 shadowGrey = ClampComponent(background.red - 50);
    mColors[ORB_BACKGROUND_COLOR] = background;
    mColors[ORB_BACKGROUND_ACCENT_COLOR] = menuBackground;
    mColors[ORB_BACKGROUND_SHADOW_COLOR] = rgb_color{shadowGrey, shadowGrey, shadowGrey, 255};
    mColors[ORB_FOREGROUND_COLOR] = rgb_color{0, 0, 0, 255};
    mColors[ORB_ACCENT_COLOR] = rgb_color{255, 255, 255, 255};
    mColors[ORB_SHADOW_COLOR] = rgb_color{150, 150, 150, 255};
    mColors[ORB_DATA_COLOR] = rgb_color{255, 255, 255, 255};
    // Inner alphas are never written by a ramp change: start them opaque.
    for (auto& ramp : mRamps)
        for (rgb_color& c : ramp)
            c = rgb_color{0, 0, 0, 255};
    OrbFillColorRamp(mRamps[0], rgb_color{70, 70, 200, 255}, rgb_color{200, 200, 255, 255});
    OrbFillColorRamp(mRamps[1], rgb_color{160, 160, 160, 255}, rgb_color{208, 208, 208, 255});
    OrbFillColorRamp(mRamps[2], rgb_color{200, 20, 20, 255}, rgb_color{255, 200, 200, 255});
}

void OrbLookPreferences::Post(BMessage* message)
{
    BMessenger app = AppMessenger();
    if (app.IsValid())
        app.SendMessage(message);
}

void OrbLookPreferences::SetColorArray(int8 code, const rgb_color* lo, const rgb_color* hi)
{
    {
        BAutolock lock(mLock);
        rgb_color* ramp = mRamps[code - ORB_PRIMARY_EVENT_COLORS];
        rgb_color from = lo ? *lo : ramp[0];
        rgb_color to = hi ? *hi : ramp[ORB_COLOR_RAMP_SIZE - 1];
        OrbFillColorRamp(ramp, from, to);
    }
    BMessage message;
    OrbMakeLookMessage(&message, code);
    Post(&message);
}

void OrbLookPreferences::SetSingleColor(int8 code, rgb_color c, bool drawNow)
{
    {
        BAutolock lock(mLock);
        mColors[code] = c;
    }
    BMessage message;
    OrbMakeLookMessage(&message, code, c, drawNow);
    Post(&message);
}

void OrbLookPreferences::SetPrimaryEventColor(const rgb_color* lo, const rgb_color* hi)
{
    SetColorArray(ORB_PRIMARY_EVENT_COLORS, lo, hi);
}

void OrbLookPreferences::SetSecondaryEventColor(const rgb_color* lo, const rgb_color* hi)
{
    SetColorArray(ORB_SECONDARY_EVENT_COLORS, lo, hi);
}

void OrbLookPreferences::SetSelectedEventColor(const rgb_color* lo, const rgb_color* hi)
{
    SetColorArray(ORB_SELECTED_EVENT_COLORS, lo, hi);
}

void OrbLookPreferences::SetBackgroundColor(rgb_color c, bool drawNow)
{
    SetBackgroundAccentColor(Offset(c, 50), false);
    SetBackgroundShadowColor(Offset(c, -50), false);
    SetSingleColor(ORB_BACKGROUND_COLOR, c, drawNow);
}

void OrbLookPreferences::SetBackgroundAccentColor(rgb_color c, bool drawNow)
{
    SetSingleColor(ORB_BACKGROUND_ACCENT_COLOR, c, drawNow);
}

void OrbLookPreferences::SetBackgroundShadowColor(rgb_color c, bool drawNow)
{
    SetSingleColor(ORB_BACKGROUND_SHADOW_COLOR, c, drawNow);
}

void OrbLookPreferences::SetForegroundColor(rgb_color c, bool drawNow)
{
    SetSingleColor(ORB_FOREGROUND_COLOR, c, drawNow);
}

void OrbLookPreferences::SetAccentColor(rgb_color c, bool drawNow)
{
    SetSingleColor(ORB_ACCENT_COLOR, c, drawNow);
}

void OrbLookPreferences::SetShadowColor(rgb_color c, bool drawNow)
{
    SetSingleColor(ORB_SHADOW_COLOR, c, drawNow);
}

void OrbLookPreferences::SetDataColor(rgb_color c, bool drawNow)
{
    SetSingleColor(ORB_DATA_COLOR, c, drawNow);
}

rgb_color OrbLookPreferences::Color(int8 code) const
{
    if (code < ORB_BACKGROUND_COLOR || code > ORB_DATA_COLOR)
        return rgb_color{0, 0, 0, 255};
    BAutolock lock(mLock);
    return mColors[code];
}

rgb_color OrbLookPreferences::RampColor(int8 code, int32 index) const
{
    if (code < ORB_PRIMARY_EVENT_COLORS || code > ORB_SELECTED_EVENT_COLORS)
        return rgb_color{0, 0, 0, 255};
    if (index < 0)
        index = 0;
    if (index >= ORB_COLOR_RAMP_SIZE)
        index = ORB_COLOR_RAMP_SIZE - 1;
    BAutolock lock(mLock);
    return mRamps[code - ORB_PRIMARY_EVENT_COLORS][index];
}
