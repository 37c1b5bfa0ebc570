#include "storage/FindDirectory.h"

#include <cstdlib>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string home_directory()
{
    const char* home = getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr
        && found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return found->pw_dir;
    return std::string();
}

}  // namespace

status_t find_directory(directory_which which, BPath* path, bool create)
{
    if (path == nullptr)
        return B_BAD_VALUE;
    std::string directory;
    switch (which) {
    case B_USER_DIRECTORY:
        directory = home_directory();
        break;
    case B_USER_SETTINGS_DIRECTORY: {
        // Relative values of XDG_CONFIG_HOME are invalid and ignored.
        const char* config = getenv("XDG_CONFIG_HOME");
        if (config != nullptr && config[0] == '/') {
            directory = config;
        } else {
            directory = home_directory();
            if (!directory.empty())
                directory += "/.config";
        }
        break;
    }
    default:
        return B_BAD_VALUE;
    }
    if (directory.empty())
        return B_ENTRY_NOT_FOUND;
    if (create) {
        if (status_t status = create_directory(directory.c_str(), 0700); status != B_OK)
            return status;
    }
    return path->SetTo(directory.c_str());
}

status_t create_directory(const char* path, mode_t mode)
{
    if (path == nullptr || path[0] == '\0')
        return B_BAD_VALUE;
    std::string full(path);
    size_t next = 0;
    while (next != std::string::npos) {
        next = full.find('/', next + 1);
        std::string prefix = full.substr(0, next);
        if (prefix.empty())
            continue;
        struct stat info;
        if (stat(prefix.c_str(), &info) == 0) {
            if (!S_ISDIR(info.st_mode))
                return B_NOT_A_DIRECTORY;
            continue;
        }
        if (errno != ENOENT)
            return status_from_errno(errno);
        if (mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST)
            return status_from_errno(errno);
    }
    struct stat info;
    if (stat(path, &info) != 0)
        return status_from_errno(errno);
    if (!S_ISDIR(info.st_mode))
        return B_NOT_A_DIRECTORY;
    return B_OK;
}
