#pragma once
// The shared look of the library's views: seven single colours and three ramps of 128
// colours for event displays. One instance per application (Default / DeleteDefault).
//
// Every change posts a look message ORB_LOOK_CHANGED ('aCPr') to the application (through
// AppMessenger; nothing is posted while the application has set none) with "colorCde"
// (int8, the colour code), and for single colours also "drawNow" (bool) and "rgbColor"
// (4 bytes of type 'RGBC'). Windows pass it on to their views as ORB_LOOK_CHANGED_VIEWS
// ('aCPH'), and each view applies it in its own window's thread.
//
// Thread rules: any thread may read and change the colours (a lock guards them); a change
// is seen by views only through the message.
#include "kernel/Geometry.h"
#include "kernel/Locker.h"
#include "kernel/SupportDefs.h"

class BMessage;

enum : uint32 {
    ORB_LOOK_CHANGED = 'aCPr',         // posted to the application
    ORB_LOOK_CHANGED_VIEWS = 'aCPH',   // handed by a window to its views
};

// Colour codes, as carried in "colorCde".
enum : int8 {
    ORB_BACKGROUND_COLOR = 0,
    ORB_BACKGROUND_ACCENT_COLOR = 1,
    ORB_BACKGROUND_SHADOW_COLOR = 2,
    ORB_FOREGROUND_COLOR = 3,
    ORB_ACCENT_COLOR = 4,
    ORB_SHADOW_COLOR = 5,
    ORB_DATA_COLOR = 6,
    ORB_PRIMARY_EVENT_COLORS = 7,
    ORB_SECONDARY_EVENT_COLORS = 8,
    ORB_SELECTED_EVENT_COLORS = 9,
};

constexpr int32 ORB_COLOR_RAMP_SIZE = 128;

// Fills a ramp from lo (entry 0) to hi (entry 127). Inner entries get
// trunc(lo + i * (hi - lo) / 126) in red, green and blue, so entries 126 and 127 are
// both hi; their alpha is left as it was.
void OrbFillColorRamp(rgb_color ramp[ORB_COLOR_RAMP_SIZE], rgb_color lo, rgb_color hi);

// The platform's colour tint: tints above 1 darken (c * (2 - tint)), below 1 lighten.
rgb_color OrbTintColor(rgb_color color, float tint);

// Builds the look message of a single colour (drawNow and colour given) or of a ramp.
void OrbMakeLookMessage(BMessage* message, int8 code);
void OrbMakeLookMessage(BMessage* message, int8 code, rgb_color color, bool drawNow);

class OrbLookPreferences {
public:
    static OrbLookPreferences* Default();
    static void DeleteDefault();

    // The desktop colours the initial look derives from: the panel background and the
    // menu background. Without a call, the classic grey (216, 216, 216) for both.
    static void SetSystemColors(rgb_color panelBackground, rgb_color menuBackground);

    OrbLookPreferences(rgb_color panelBackground, rgb_color menuBackground);
    OrbLookPreferences(const OrbLookPreferences&) = delete;
    OrbLookPreferences& operator=(const OrbLookPreferences&) = delete;

    // A null end keeps the ramp's current end.
    void SetPrimaryEventColor(const rgb_color* lo, const rgb_color* hi);
    void SetSecondaryEventColor(const rgb_color* lo, const rgb_color* hi);
    void SetSelectedEventColor(const rgb_color* lo, const rgb_color* hi);

    // Also sets the background accent to c + 50 and the background shadow to c - 50 per
    // component (within 0..255), both without redrawing.
    void SetBackgroundColor(rgb_color c, bool drawNow);
    void SetBackgroundAccentColor(rgb_color c, bool drawNow);
    void SetBackgroundShadowColor(rgb_color c, bool drawNow);
    void SetForegroundColor(rgb_color c, bool drawNow);
    void SetAccentColor(rgb_color c, bool drawNow);
    void SetShadowColor(rgb_color c, bool drawNow);
    void SetDataColor(rgb_color c, bool drawNow);

    // The single colour of a code 0..6 (black for other codes).
    rgb_color Color(int8 code) const;
    rgb_color BackgroundColor() const { return Color(ORB_BACKGROUND_COLOR); }
    rgb_color BackgroundAccentColor() const { return Color(ORB_BACKGROUND_ACCENT_COLOR); }
    rgb_color BackgroundShadowColor() const { return Color(ORB_BACKGROUND_SHADOW_COLOR); }
    rgb_color ForegroundColor() const { return Color(ORB_FOREGROUND_COLOR); }
    rgb_color AccentColor() const { return Color(ORB_ACCENT_COLOR); }
    rgb_color ShadowColor() const { return Color(ORB_SHADOW_COLOR); }
    rgb_color DataColor() const { return Color(ORB_DATA_COLOR); }

    // Entry index (clamped to 0..127) of a ramp code 7..9 (black for other codes).
    rgb_color RampColor(int8 code, int32 index) const;
    rgb_color PrimaryEventColor(int32 index) const { return RampColor(ORB_PRIMARY_EVENT_COLORS, index); }
    rgb_color SecondaryEventColor(int32 index) const { return RampColor(ORB_SECONDARY_EVENT_COLORS, index); }
    rgb_color SelectedEventColor(int32 index) const { return RampColor(ORB_SELECTED_EVENT_COLORS, index); }

private:
    void SetColorArray(int8 code, const rgb_color* lo, const rgb_color* hi);
    void SetSingleColor(int8 code, rgb_color c, bool drawNow);
    static void Post(BMessage* message);

    mutable BLocker mLock;
    rgb_color mColors[7];
    rgb_color mRamps[3][ORB_COLOR_RAMP_SIZE];
};
