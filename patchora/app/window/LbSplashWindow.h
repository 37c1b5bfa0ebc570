#pragma once
// LbSplashWindow: the small window titled "Splash" that tells what the instruments are
// doing while the program starts (asking an instrument for its tables takes seconds). It
// listens to the studio's status notifications: 'dBeS' shows it (when hidden) with the
// "status" text; 'dEnS' shows the "status" text, or clears it when there is none.
//
// Lifetime: made hidden by the application before the studio is read; afterwards the
// application quits it. It unsubscribes from the studio as it goes.
// Threads: GUI thread; the studio's notifications reach it there (a worker's are posted).
#include "interface/Window.h"

class LbMidiStudio;
class QLabel;
class QString;

class LbSplashWindow : public BWindow {
public:
    // `studio` (not owned) must outlive the window.
    explicit LbSplashWindow(LbMidiStudio* studio);
    ~LbSplashWindow() override;

    void MessageReceived(BMessage* message) override;
    QString StatusText() const;
    // True once it has been shown.
    bool WasShown() const { return mShown; }

private:
    void ShowStatus(const char* text);

    LbMidiStudio* mStudio;
    QLabel* mStatus;
    bool mShown = false;
};
