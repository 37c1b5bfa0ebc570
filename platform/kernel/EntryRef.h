// entry_ref: a reference to a file system entry, carried by messages ("refs",
// "directory"). On Linux it is the entry's path; the storage kit builds entries,
// paths and files from it. A plain value type.
#pragma once

#include <string>

struct entry_ref {
	std::string path;

	entry_ref() = default;
	explicit entry_ref(const char* p) : path(p ? p : "") {}
	bool operator==(const entry_ref& o) const = default;
};
