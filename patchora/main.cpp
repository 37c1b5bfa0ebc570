// patchora: with a command it runs on the command line; the windows come with the
// graphical program.
#include "cli/LbCliCommands.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return LbRunCommand(args);
}
