#pragma once
// Which command lines open patchora's windows: none at all, or only the desktop's options
// and documents (files that exist, or names ending in ".lib", ".plib" or ".syx").
// Everything else is the command line's (a command, --help, --version, a mistyped one).
//
//   patchora [--simulate] [--open=studio|add-device|about]... [FILE...]
#include <string>
#include <vector>

struct LbDesktopArgs {
    bool simulate = false;
    std::vector<std::string> open; // windows to open at start, by name
    std::vector<std::string> files; // documents to open, in the order given
};

// True when the arguments ask for the windows; `result` gets what they say. An unknown
// window name for --open is an error (false, with `error` set).
bool LbParseDesktopArgs(const std::vector<std::string>& args, LbDesktopArgs* result,
                        std::string* error);
// Whether a display is there to show windows on (X11, Wayland, or a Qt platform chosen).
bool LbHasDisplay();
