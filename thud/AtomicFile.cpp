#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace thud {

namespace {

int32_t Fail(std::string& error, const std::string& what, const std::string& path, int err)
{
    error = what + " \"" + path + "\": " + std::strerror(err);
    return -1;
}

}  // namespace

int32_t WriteFileAtomically(const std::string& path, const void* data, size_t size,
                            const char* mimeType, std::string& error)
{
    if (path.empty()) {
        error = "No file name given";
        return -1;
    }
    std::vector<char> temp(path.begin(), path.end());
    static const char kSuffix[] = ".partial-XXXXXX";
    temp.insert(temp.end(), kSuffix, kSuffix + sizeof(kSuffix));
    int fd = mkstemp(temp.data());
    if (fd < 0)
        return Fail(error, "Cannot create", path, errno);
    std::string tempPath = temp.data();

    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);

    auto bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            int err = n < 0 ? errno : EIO;
            close(fd);
            unlink(tempPath.c_str());
            return Fail(error, "Cannot write", path, err);
        }
        done += static_cast<size_t>(n);
    }
    if (mimeType != nullptr) {
        // Not every file system keeps attributes; the file is still good without one.
        fsetxattr(fd, "user.mime_type", mimeType, std::strlen(mimeType), 0);
    }
    if (fsync(fd) != 0 || close(fd) != 0) {
        int err = errno;
        unlink(tempPath.c_str());
        return Fail(error, "Cannot write", path, err);
    }
    if (rename(tempPath.c_str(), path.c_str()) != 0) {
        int err = errno;
        unlink(tempPath.c_str());
        return Fail(error, "Cannot replace", path, err);
    }
    return 0;
}

}  // namespace thud
