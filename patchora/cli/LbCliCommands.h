#pragma once
// patchora on the command line: every command, its help, its exit status.
#include <string>
#include <vector>

// Runs the command named by args[0] with the rest; returns the exit status (0 success,
// 1 failure, 2 bad usage). An empty list prints the help.
int LbRunCommand(const std::vector<std::string>& args);
// Whether the word names one of the commands (or asks for help or the version).
bool LbIsCommand(const std::string& word);
// The help text of the command line.
const char* LbUsageText();
