// The command-line side of the tonetrace program: the commands that need no window and no
// audio device.
#pragma once

#include <ostream>

// True when the arguments name a command this part handles (or ask for help).
bool IsCommandLineRequest(int argc, const char* const* argv);
// Runs the command; returns the process exit code.
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
