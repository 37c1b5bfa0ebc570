#pragma once
// File types. A file's MIME type lives in its "user.mime_type" extended attribute where
// the file system keeps such attributes; otherwise (or when the attribute is missing) the
// type is guessed from the name's extension, then from the first bytes of the content.
#include <cstddef>
#include <string>

#include "storage/StorageDefs.h"

inline constexpr size_t B_MIME_TYPE_LENGTH = 241;
inline constexpr const char* kMimeTypeAttribute = "user.mime_type";

// True for "supertype/subtype" of printable ASCII without blanks, shorter than
// B_MIME_TYPE_LENGTH.
bool is_valid_mime_type(const char* type);

// Stores the type in the attribute. B_UNSUPPORTED where the file system keeps no
// user attributes (the type is then guessed when read); B_BAD_VALUE for an invalid type.
status_t set_mime_type(const char* path, const char* type);
status_t set_mime_type(int fd, const char* type);

// The stored type, or the guessed one. B_OK whenever a type was found (a guess always
// finds at least "application/octet-stream" or "text/plain" for a readable file).
status_t get_mime_type(const char* path, std::string* type);
// The stored type only: B_ENTRY_NOT_FOUND when there is none.
status_t get_stored_mime_type(int fd, std::string* type);
// The guess from the extension, else the content.
status_t guess_mime_type(const char* path, std::string* type);

// Program-wide tables the guess consults before the built-in ones: an extension
// (without the dot, matched without regard to case) and a leading byte signature.
void register_mime_extension(const char* extension, const char* type);
void register_mime_signature(const char* type, const void* prefix, size_t length);
