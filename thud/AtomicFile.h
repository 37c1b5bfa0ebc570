#pragma once
// Saving a file whole or not at all: the bytes go to a temporary file beside the
// destination, are flushed to disk, and the temporary file is renamed over it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace thud {

// mimeType, when given, is recorded in the file's "user.mime_type" attribute where the
// file system keeps such attributes. Returns 0, or -1 with the reason in `error`.
int32_t WriteFileAtomically(const std::string& path, const void* data, size_t size,
                            const char* mimeType, std::string& error);

}  // namespace thud
