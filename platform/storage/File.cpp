#include "storage/File.h"

#include <sys/stat.h>
#include <unistd.h>

BFile::BFile() = default;

BFile::BFile(const char* path, uint32 openMode)
{
    SetTo(path, openMode);
}

BFile::~BFile()
{
    Unset();
}

status_t BFile::SetTo(const char* path, uint32 openMode)
{
    Unset();
    if (path == nullptr || path[0] == '\0')
        return fStatus = B_BAD_VALUE;
    int fd;
    do {
        fd = ::open(path, static_cast<int>(openMode) | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fStatus = status_from_errno(errno);
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        return fStatus = B_IS_A_DIRECTORY;
    }
    fFd = fd;
    fOpenMode = openMode;
    return fStatus = B_OK;
}

void BFile::Unset()
{
    if (fFd >= 0)
        ::close(fFd);
    fFd = -1;
    fStatus = B_NO_INIT;
}

bool BFile::IsReadable() const
{
    return fFd >= 0 && (fOpenMode & O_ACCMODE) != O_WRONLY;
}

bool BFile::IsWritable() const
{
    return fFd >= 0 && (fOpenMode & O_ACCMODE) != O_RDONLY;
}

namespace {

// Repeats a read or write until `size` bytes have moved, retrying interrupted calls. The
// end of the file stops a read early; a write that moves nothing is an error.
template <typename Step>
ssize_t TransferAll(size_t size, bool endIsError, Step step)
{
    size_t done = 0;
    while (done < size) {
        ssize_t result = step(done);
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0)
            return status_from_errno(errno);
        if (result == 0) {
            if (endIsError)
                return B_IO_ERROR;
            break;
        }
        done += static_cast<size_t>(result);
    }
    return static_cast<ssize_t>(done);
}

} // namespace

ssize_t BFile::Read(void* buffer, size_t size)
{
    if (fFd < 0)
        return B_NO_INIT;
    char* out = static_cast<char*>(buffer);
    return TransferAll(size, false, [&](size_t done) { return ::read(fFd, out + done, size - done); });
}

ssize_t BFile::Write(const void* buffer, size_t size)
{
    if (fFd < 0)
        return B_NO_INIT;
    const char* in = static_cast<const char*>(buffer);
    return TransferAll(size, true, [&](size_t done) { return ::write(fFd, in + done, size - done); });
}

ssize_t BFile::ReadAt(off_t position, void* buffer, size_t size)
{
    if (fFd < 0)
        return B_NO_INIT;
    if (position < 0)
        return B_BAD_VALUE;
    char* out = static_cast<char*>(buffer);
    return TransferAll(size, false, [&](size_t done) { return ::pread(fFd, out + done, size - done, position + static_cast<off_t>(done)); });
}

ssize_t BFile::WriteAt(off_t position, const void* buffer, size_t size)
{
    if (fFd < 0)
        return B_NO_INIT;
    if (position < 0)
        return B_BAD_VALUE;
    const char* in = static_cast<const char*>(buffer);
    return TransferAll(size, true, [&](size_t done) { return ::pwrite(fFd, in + done, size - done, position + static_cast<off_t>(done)); });
}

off_t BFile::Seek(off_t position, uint32 seekMode)
{
    if (fFd < 0)
        return B_NO_INIT;
    if (seekMode > STORAGE_SEEK_END)
        return B_BAD_VALUE;
    off_t result = ::lseek(fFd, position, static_cast<int>(seekMode));
    return result < 0 ? status_from_errno(errno) : result;
}

off_t BFile::Position() const
{
    if (fFd < 0)
        return B_NO_INIT;
    off_t result = ::lseek(fFd, 0, SEEK_CUR);
    return result < 0 ? status_from_errno(errno) : result;
}

status_t BFile::SetSize(off_t size)
{
    if (fFd < 0)
        return B_NO_INIT;
    if (size < 0)
        return B_BAD_VALUE;
    return ::ftruncate(fFd, size) == 0 ? B_OK : status_from_errno(errno);
}

status_t BFile::GetSize(off_t* size) const
{
    if (fFd < 0)
        return B_NO_INIT;
    if (size == nullptr)
        return B_BAD_VALUE;
    struct stat info;
    if (fstat(fFd, &info) != 0)
        return status_from_errno(errno);
    *size = info.st_size;
    return B_OK;
}

status_t BFile::Sync()
{
    if (fFd < 0)
        return B_NO_INIT;
    return ::fsync(fFd) == 0 ? B_OK : status_from_errno(errno);
}
