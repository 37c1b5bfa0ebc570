// patchora: with a command it runs on the command line; without one (or with documents
// only) it opens its windows.
#include "app/window/LbApplication.h"
#include "app/window/LbDesktopArgs.h"
#include "cli/LbCliCommands.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    LbDesktopArgs desktop;
    std::string error;
    if (!args.empty() && LbIsCommand(args[0])) return LbRunCommand(args);
    if (!LbParseDesktopArgs(args, &desktop, &error)) {
        if (!error.empty()) {
            fprintf(stderr, "patchora: %s\n", error.c_str());
            return 2;
        }
        return LbRunCommand(args);
    }
    if (!LbHasDisplay()) {
        if (args.empty()) return LbRunCommand(args); // the help, with the status of a usage error
        fputs("patchora: no display to open the windows on (neither DISPLAY nor "
              "WAYLAND_DISPLAY is set); the commands work without one:\n",
              stderr);
        fputs(LbUsageText(), stderr);
        return 2;
    }
    return LbRunDesktop(argv[0], desktop);
}
