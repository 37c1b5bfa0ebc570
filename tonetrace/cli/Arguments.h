// Reading the command line: option values (whole numbers and decimals within a range) and
// the usage and help answers every command gives alike.
#pragma once

#include <ostream>
#include <string>

#include "cli/NotesCommand.h"  // the exit statuses

// True with `value` set when `text` is all one number within [low, high].
bool ParseWhole(const char* text, long low, long high, int& value);
bool ParseDecimal(const char* text, double low, double high, double& value);

// Runs a command's argument parser, `parse(request, wantsHelp, error)` returning an exit
// status. Returns -1 when the command goes on; otherwise the usage error or the help has
// been written and the result is the command's exit status.
template <class Parse>
int ParseOrAnswer(const char* command, const char* usage, Parse parse, std::ostream& out,
                  std::ostream& err) {
  bool wantsHelp = false;
  std::string error;
  if (parse(wantsHelp, error) != kExitOk) {
    err << "tonetrace " << command << ": " << error << "\n" << usage;
    return kExitUsage;
  }
  if (wantsHelp) {
    out << usage;
    return kExitOk;
  }
  return -1;
}
