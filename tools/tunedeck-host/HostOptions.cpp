#include "HostOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tunedeck {

namespace {

bool ParseNumber(const char* text, double& value)
{
	char* end = nullptr;
	errno = 0;
	value = strtod(text, &end);
	return end != text && *end == '\0' && errno == 0 && std::isfinite(value);
}

}  // namespace

ParseResult ParseOptions(int argc, const char* const* argv, HostOptions& options,
	std::string& error)
{
	int positional = 0;
	for (int i = 1; i < argc; i++) {
		const char* arg = argv[i];
		if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0)
			return ParseResult::kHelp;
		bool takesValue = strcmp(arg, "--seconds") == 0 || strcmp(arg, "--amplification") == 0
			|| strcmp(arg, "-o") == 0 || strcmp(arg, "--output") == 0;
		if (takesValue) {
			if (i + 1 >= argc) {
				error = std::string(arg) + " needs a value";
				return ParseResult::kError;
			}
			const char* value = argv[++i];
			double number = 0;
			if (strcmp(arg, "--seconds") == 0) {
				if (!ParseNumber(value, number) || number <= 0 || number > 86400 * 365) {
					error = "--seconds takes a positive number of seconds, not '"
						+ std::string(value) + "'";
					return ParseResult::kError;
				}
				options.seconds = number;
			} else if (strcmp(arg, "--amplification") == 0) {
				if (!ParseNumber(value, number) || number != std::floor(number) || number < 10
					|| number > 500) {
					error = "--amplification takes a whole number from 10 (x1) to 500 (x50), "
						"not '" + std::string(value) + "'";
					return ParseResult::kError;
				}
				options.amplification = int(number);
			} else {
				if (*value == '\0') {
					error = std::string(arg) + " needs a file name";
					return ParseResult::kError;
				}
				options.output = value;
			}
			continue;
		}
		if (arg[0] == '-' && arg[1] != '\0') {
			error = "unknown option '" + std::string(arg) + "'";
			return ParseResult::kError;
		}
		if (positional == 0)
			options.plugin = arg;
		else if (positional == 1)
			options.location = arg;
		else {
			error = "unexpected argument '" + std::string(arg) + "'";
			return ParseResult::kError;
		}
		positional++;
	}
	if (positional < 2) {
		error = positional == 0 ? "no plug-in file given" : "no location given";
		return ParseResult::kError;
	}
	return ParseResult::kRun;
}

std::string UsageText()
{
	return
		"Usage: tunedeck-host PLUGIN LOCATION [--seconds N] [--amplification A] [-o OUT.wav]\n"
		"\n"
		"A minimal Tunedeck player: loads the decoder plug-in file PLUGIN, opens LOCATION\n"
		"with the first of its plug-ins that takes it, prints what the stream is, and\n"
		"plays it to the default audio output, or writes it to a WAV file with -o.\n"
		"\n"
		"  --seconds N          stop after N seconds of the stream (default: at its end,\n"
		"                       or when interrupted with Ctrl-C)\n"
		"  --amplification A    hand the plug-in the setting \"amplification\" = A,\n"
		"                       10 (x1) to 500 (x50)\n"
		"  -o, --output FILE    write a 16-bit WAV file instead of playing\n"
		"  -h, --help           show this text\n"
		"\n"
		"Example: tunedeck-host micfeed.so input: --seconds 2 -o out.wav\n"
		"Exit status: 0 done, 1 failure, 2 bad command line.\n";
}

}  // namespace tunedeck
