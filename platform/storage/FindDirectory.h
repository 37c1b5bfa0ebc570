#pragma once
// Well-known directories and directory creation.
#include "storage/Path.h"

enum directory_which {
    B_USER_DIRECTORY,           // the home directory ($HOME)
    B_USER_SETTINGS_DIRECTORY,  // $XDG_CONFIG_HOME when absolute, else ~/.config
};

// Puts the directory's path into path; with create, makes it (and its parents, mode 0700)
// when missing. B_ENTRY_NOT_FOUND when no home directory is known.
status_t find_directory(directory_which which, BPath* path, bool create = false);

// Makes path and every missing parent with the given mode. B_OK when it already is a
// directory; B_NOT_A_DIRECTORY when it, or a parent, is something else.
status_t create_directory(const char* path, mode_t mode);
