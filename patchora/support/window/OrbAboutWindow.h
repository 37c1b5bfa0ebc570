#pragma once
// The about box: OrbAboutWindow shows an OrbAboutView with the program's icon and logo,
// its name, version and a few lines of text over a small animation, and the buttons
// "Go Web" (opens the maker's web page; only when an address is given) and "Go Away".
//
// Animation: a thread "ORB™ Animator" wakes every 50 ms and posts a step to the window
// (never touching the view itself); the window advances the phase (the time since the
// start divided by 0.7 s, plus the number of clicks on the view) and redraws. A step is
// not posted while the previous one waits, so a busy window never piles them up.
//
// Lifetime: the window is made and shown by the program; it quits like any window
// (QuitRequested always agrees). The animator stops before the view goes.
// Threads: GUI thread, except the animator, which only posts.
#include "app/Messenger.h"
#include "support/window/OrbView.h"
#include "support/window/OrbWindow.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class QPushButton;

enum : uint32 {
    ORB_ABOUT_GO_WEB = '.gwb',
    ORB_ABOUT_STEP = '.anm',
};

// The version as the about box shows it: major, then ".middle" and ".minor" when they
// are not 0, then " Dev", " Alpha", " Beta", " Gamma" or " GM" by variety (0 to 4; others
// add nothing), then " / internal" when that is not 0.
std::string OrbVersionText(uint32 major, uint32 middle, uint32 minor, uint32 variety,
                           uint32 internal);

struct OrbAboutInfo {
    std::string name;          // the program's name, in bold
    std::string version;       // "" shows "Unknown"
    std::string text;          // lines separated by '\n'
    std::string webAddress;    // "" hides "Go Web"
    const char* iconImage = nullptr;   // image-store names; missing images are left out
    const char* logoImage = nullptr;
};

class OrbAboutView : public OrbView {
public:
    OrbAboutView(QWidget* parent, const OrbAboutInfo& info);
    ~OrbAboutView() override;

    void GetPreferredSize(float* width, float* height) override;
    void Draw(BRect updateRect) override;

    // One animation step (the window calls it on the animator's post).
    void Step();
    double Phase() const { return mPhase; }
    int32 Clicks() const { return mClicks; }
    const std::vector<std::string>& Lines() const { return mLines; }
    // Whether the text uses the byte value (only 0..127 are kept).
    bool UsesCharacter(uint8 c) const { return c < 128 && mUsed[c]; }

    // The animator posts its steps to this messenger (set by the window).
    void StartAnimation(const BMessenger& window);
    void StopAnimation();
    // Cleared by the window when it has handled a step.
    void StepHandled() { mStepPending = false; }

protected:
    void mousePressEvent(class QMouseEvent* event) override;

private:
    void Animate(BMessenger window);

    OrbAboutInfo mInfo;
    std::vector<std::string> mLines;
    bool mUsed[128] = {};
    QFont mBold;
    bigtime_t mStart;
    int32 mClicks = 0;
    double mPhase = 0;

    std::mutex mLock;
    std::condition_variable mWake;
    bool mStop = false;
    std::atomic<bool> mStepPending{false};
    std::thread mAnimator;   // last: it stops before the rest goes
};

class OrbAboutWindow : public OrbWindow {
public:
    // Centred on `parent` (may be null: on the main screen); the window takes the view's
    // preferred size.
    OrbAboutWindow(BWindow* parent, const char* title, const OrbAboutInfo& info);
    ~OrbAboutWindow() override;

    void MessageReceived(BMessage* message) override;
    bool QuitRequested() override { return true; }

    OrbAboutView* View() const { return mView; }
    QPushButton* WebButton() const { return mWeb; }

private:
    OrbAboutView* mView;
    QPushButton* mWeb;
    std::string mWebAddress;
};
