// The converter's preferences file: a flattened message (what 'pref') named "Tonetrace"
// in the user settings directory. The node reads the fields it needs from it when no
// owner gives them (a node made by the add-on for another program).
//
// Errors: a missing file gives the defaults; a file that is not a flattened message, or
// fields of another type, give the defaults for what could not be read and a line in
// `problem` (the file is left as it is).
// Threads: any; reads the file each call.
#pragma once

#include <string>

#include "node/SonaraOwnerI.h"

constexpr char kTonetracePreferencesFile[] = "Tonetrace";
constexpr unsigned kTonetracePreferencesWhat = 'pref';

SonaraPreferences ReadTonetracePreferences(std::string* problem = nullptr);
// Writes the node's fields (replacing the file whole, keeping other fields it holds).
bool WriteTonetracePreferences(const SonaraPreferences& preferences, std::string* problem = nullptr);
