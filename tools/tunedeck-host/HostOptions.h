// The command line of tunedeck-host.
#pragma once

#include <string>

namespace tunedeck {

struct HostOptions {
	std::string plugin;        // the plug-in file
	std::string location;      // what to open ("input:", a file name ...)
	double seconds = 0;        // 0: until the stream ends or the user interrupts
	int amplification = 0;     // 0: none given (10 … 500 otherwise)
	std::string output;        // a WAV file; empty: play to the default output
};

enum class ParseResult { kRun, kHelp, kError };

// Fills `options` from the arguments; kError with a message in `error`.
ParseResult ParseOptions(int argc, const char* const* argv, HostOptions& options,
	std::string& error);

std::string UsageText();

}  // namespace tunedeck
