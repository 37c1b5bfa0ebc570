#include "cli/CommandLine.h"

#include <string>

namespace {

const char kUsage[] =
	"usage: plugbridge COMMAND [ARGUMENTS]\n"
	"\n"
	"Runs VST 2 effect plug-ins as media nodes.\n"
	"\n"
	"commands:\n"
	"  list [DIR] [--json]             the plug-ins of a directory and their parameters\n"
#if PLUGBRIDGE_PROCESS
	"  process PLUGIN IN OUT [...]     runs a sound file through a plug-in\n"
#endif
	"\n"
	"'plugbridge COMMAND --help' describes a command.\n";

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
	if (argc < 2) {
		err << kUsage;
		return kExitUsage;
	}
	const std::string command = argv[1];
	if (command == "-h" || command == "--help" || command == "help") {
		out << kUsage;
		return kExitOk;
	}
	if (command == "list")
		return RunListCommand(argc - 2, argv + 2, out, err);
#if PLUGBRIDGE_PROCESS
	if (command == "process")
		return RunProcessCommand(argc - 2, argv + 2, out, err);
#endif
	err << "plugbridge: unknown command '" << command << "'\n" << kUsage;
	return kExitUsage;
}
