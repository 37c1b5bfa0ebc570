#pragma once
// Files in the user settings directory (find_directory(B_USER_SETTINGS_DIRECTORY)).
// subdirectory is a relative path such as "OrbWorks/Patchora" (created, mode 0700, when
// missing); name is one plain file name.
#include "storage/AtomicFileWriter.h"
#include "storage/File.h"
#include "storage/Path.h"

// The path of the file; with createDirectory the directories are made. B_BAD_VALUE for
// a name with '/', ".", "..", or a subdirectory that is absolute or climbs with "..".
status_t settings_file_path(const char* subdirectory, const char* name, BPath* path,
                            bool createDirectory);

// Opens the file with openMode. When the mode creates the file, its MIME type is set
// (where the file system keeps types). Null when the directory cannot be made or the file
// cannot be opened; status (optional) says why.
BFile* open_settings_file(const char* subdirectory, const char* name, uint32 openMode,
                          const char* mimeType, status_t* status = nullptr);

// A writer that replaces the file whole on Commit (see AtomicFileWriter), or null.
AtomicFileWriter* open_settings_writer(const char* subdirectory, const char* name,
                                       const char* mimeType, status_t* status = nullptr);
