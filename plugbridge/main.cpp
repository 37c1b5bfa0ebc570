// plugbridge: runs VST 2 effect plug-ins as media nodes; the command line lists and
// processes. `plugbridge --scan-child FILE...` is the process a plug-in scan starts.
#include <unistd.h>

#include <iostream>
#include <string>

#include "catalog/PlugInScanner.h"
#include "cli/CommandLine.h"

int main(int argc, char** argv)
{
	if (argc >= 2 && std::string(argv[1]) == "--scan-child") {
		// Ends without running the loaded plug-ins' static destructors: the report is
		// complete, and a plug-in that crashes while unloading must not spoil it.
		_exit(PlugInScanner::RunChild(argc - 2, argv + 2, 3));
	}
	return RunCommandLine(argc, argv, std::cout, std::cerr);
}
