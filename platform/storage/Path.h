#pragma once
// BPath: an absolute or relative file path with its leaf.
#include <string>

#include "storage/StorageDefs.h"

class BPath {
public:
    BPath() = default;
    explicit BPath(const char* path, const char* leaf = nullptr);

    // Sets the path to path, plus "/leaf" when leaf is given. B_BAD_VALUE for a null or
    // empty path or a leaf that is absolute.
    status_t SetTo(const char* path, const char* leaf = nullptr);
    // Adds "/component" (component may hold several names, but may not be absolute).
    status_t Append(const char* component);
    void Unset();
    status_t InitCheck() const { return fStatus; }

    const char* Path() const { return fStatus == B_OK ? fPath.c_str() : nullptr; }
    // The last name of the path.
    const char* Leaf() const;
    status_t GetParent(BPath* parent) const;

private:
    std::string fPath;
    status_t fStatus = B_NO_INIT;
};
