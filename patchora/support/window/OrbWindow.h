#pragma once
// OrbWindow: a window of the library. It may have a master window and slave windows: a
// slave goes when its master goes. It passes look changes on to its views: an 'aCPr'
// (posted by the look preferences to the application, which hands it to every window)
// is renamed 'aCPH' and handed at once to every OrbView of the window, children before
// their parents.
//
// OrbLookPolicyWindow: an OrbWindow whose whole content is one OrbLookPolicyView named
// "background"; subclasses put their views inside Background().
//
// Lifetime: as for every window (interface/Window.h): Quit() deletes it. Quit() first
// quits the slaves (each taken off the list, locked and asked to quit), then leaves the
// master's list. A slave that quits by itself leaves its master's list too.
//
// Threads: GUI thread only (PostMessage from anywhere).
#include "interface/Window.h"

#include <vector>

class OrbLookPolicyView;
class OrbLookPreferences;
class QWidget;

class OrbWindow : public BWindow {
public:
    OrbWindow(BRect frame, const char* title, window_type type = B_TITLED_WINDOW, uint32 flags = 0);
    ~OrbWindow() override;

    void MessageReceived(BMessage* message) override;
    void Quit() override;

    // The slave list does not own its windows. Adding a window twice keeps one entry.
    void AddSlave(OrbWindow* slave);
    void RemoveSlave(OrbWindow* slave);
    // Leaves the old master's slave list and joins the new one's (null: no master).
    void SetMaster(OrbWindow* master);
    OrbWindow* Master() const { return mMaster; }
    int32 CountSlaves() const { return int32(mSlaves.size()); }
    OrbWindow* SlaveAt(int32 index) const;

    // Hands the message to every OrbView under `root`, children before their parent, by
    // calling its MessageReceived directly.
    static void SendMessageToViews(QWidget* root, BMessage* message);

private:
    OrbWindow* mMaster = nullptr;
    std::vector<OrbWindow*> mSlaves;
};

class OrbLookPolicyWindow : public OrbWindow {
public:
    // `look` is not owned; null means OrbLookPreferences::Default().
    OrbLookPolicyWindow(BRect frame, const char* title, window_type type = B_TITLED_WINDOW,
                        uint32 flags = 0, OrbLookPreferences* look = nullptr);

    // The view named "background" that fills the window.
    OrbLookPolicyView* Background() const { return mBackground; }

private:
    OrbLookPolicyView* mBackground; // owned by the window's widget
};
