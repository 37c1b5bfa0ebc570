#pragma once
// The program's settings files: "OrbWorks/Patchora/<name>" in the user settings directory.
#include "storage/AtomicFileWriter.h"
#include "storage/File.h"

inline constexpr const char* kLbSettingsDirectory = "OrbWorks/Patchora";

// Opens the settings file with openMode (both directories are created when missing);
// when the mode creates the file, its type becomes mimeType. Null when the directory
// cannot be made or the file cannot be opened. For saving, prefer SettingsFileWriter:
// opening with B_ERASE_FILE loses the old contents if the save then fails.
BFile* SettingsFile(uint32 openMode, const char* name, const char* mimeType);

// A writer that replaces the settings file whole when its Commit succeeds, leaving the
// old file as it was otherwise. Null when the directory or temporary file cannot be made.
AtomicFileWriter* SettingsFileWriter(const char* name, const char* mimeType);
