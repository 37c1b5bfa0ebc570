#pragma once
// The plugbridge program's commands: `list` and `process`, and the hidden `--scan-child`
// that a scan starts to load plug-in files safely (PlugInScanner).
//
// Exit codes: 0 success, 1 failure, 2 usage error; messages go to err as
// "plugbridge: …".

#include <ostream>

enum {
	kExitOk = 0,
	kExitFailure = 1,
	kExitUsage = 2,
};

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

int RunListCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
// Built with the media layer (PLUGBRIDGE_PROCESS).
int RunProcessCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
