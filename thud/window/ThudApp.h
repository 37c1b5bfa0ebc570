#pragma once
// ThudApp: thud as a desktop application, one ThudWindow per preset. Without files it
// opens an untitled window; each file given on the command line (or chosen in a window's
// open panel) opens a window that loads it.

#include "interface/Application.h"

#include <string>
#include <vector>

namespace thud {

constexpr char kThudSignature[] = "application/x-vnd.Pelmark-Thud!";

class ThudApp : public BApplication {
public:
    ThudApp(int argc, char** argv);

    void ReadyToRun() override;
    void RefsReceived(BMessage* message) override;

private:
    bool fOpenedFile = false;
    int fOpenedCount = 0;
};

// True when the command line asks for windows: no arguments, or only preset files (files
// that exist, or names ending in ".thud"); commands and options are the command line's.
bool WantsWindows(const std::vector<std::string>& args);
// Runs the application until its last window closes; the program's exit status.
int RunThudApp(int argc, char** argv);

}  // namespace thud
