#pragma once
// Types, status codes, open modes and seek modes of the storage layer.
//
// Status codes and basic types come from the kernel layer.
#include <cerrno>
#include <fcntl.h>

#include "kernel/SupportDefs.h"

// Open modes of BFile: the POSIX flags themselves.
inline constexpr uint32 B_READ_ONLY = O_RDONLY;
inline constexpr uint32 B_WRITE_ONLY = O_WRONLY;
inline constexpr uint32 B_READ_WRITE = O_RDWR;
inline constexpr uint32 B_FAIL_IF_EXISTS = O_EXCL;
inline constexpr uint32 B_CREATE_FILE = O_CREAT;
inline constexpr uint32 B_ERASE_FILE = O_TRUNC;
inline constexpr uint32 B_OPEN_AT_END = O_APPEND;

// Seek modes (the POSIX whence values).
inline constexpr uint32 STORAGE_SEEK_SET = 0;  // SEEK_SET
inline constexpr uint32 STORAGE_SEEK_CUR = 1;  // SEEK_CUR
inline constexpr uint32 STORAGE_SEEK_END = 2;  // SEEK_END

// The status code for a POSIX errno value.
status_t status_from_errno(int error);
