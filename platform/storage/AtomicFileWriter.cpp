#include "storage/AtomicFileWriter.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "storage/MimeType.h"

namespace {

std::string directory_of(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links at path leads to (the path itself when it is no
// link), so that saving keeps the links; a link that leads nowhere yet still names where
// the file goes. Gives up (returning the path) on a loop.
std::string resolve_target(const char* path)
{
    std::string current = path;
    for (int hops = 0; hops < 40; hops++) {
        struct stat info;
        if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        char target[PATH_MAX];
        ssize_t length = readlink(current.c_str(), target, sizeof target - 1);
        if (length <= 0)
            return current;
        target[length] = '\0';
        if (target[0] == '/')
            current = target;
        else
            current = directory_of(current) + "/" + target;
    }
    return path;
}

void sync_directory(const std::string& directory)
{
    int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(const char* path, const char* mimeType)
{
    if (path == nullptr || path[0] == '\0') {
        fStatus = B_BAD_VALUE;
        return;
    }
    if (mimeType != nullptr) {
        if (!is_valid_mime_type(mimeType)) {
            fStatus = B_BAD_VALUE;
            return;
        }
        fMimeType = mimeType;
    }
    fTarget = resolve_target(path);
    struct stat info;
    bool exists = stat(fTarget.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        fStatus = B_IS_A_DIRECTORY;
        return;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        // A device or pipe: nothing may take its place, so the bytes wait in memory.
        fInPlace = true;
        fBuffered = new BMallocIO;
        fStatus = B_OK;
        return;
    }
    std::string directory = directory_of(fTarget);
    size_t slash = fTarget.rfind('/');
    std::string leaf = slash == std::string::npos ? fTarget : fTarget.substr(slash + 1);
    // Created with mode 0666 so the umask applies as for any new file.
    int fd = -1;
    std::string name;
    for (int attempt = 0; attempt < 100 && fd < 0; attempt++) {
        char suffix[32];
        snprintf(suffix, sizeof suffix, ".saving-%d-%08lx", static_cast<int>(getpid()),
                 static_cast<unsigned long>(random()) & 0xffffffffUL);
        name = directory + "/." + leaf + suffix;
        fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        fStatus = status_from_errno(errno);
        return;
    }
    close(fd);
    fTemporary = name;
    fFile = new BFile(fTemporary.c_str(), B_READ_WRITE);
    auto* buffered = new BBufferIO(fFile, BBufferIO::kDefaultBufferSize, true);
    fBuffered = buffered;
    fStatus = fFile->InitCheck() != B_OK ? fFile->InitCheck() : buffered->InitCheck();
    if (fStatus != B_OK)
        Discard();
}

AtomicFileWriter::~AtomicFileWriter()
{
    if (!fCommitted)
        Discard();
    delete fBuffered;
}

status_t AtomicFileWriter::Fail(status_t status)
{
    if (fStatus == B_OK && status < 0)
        fStatus = status;
    return status;
}

void AtomicFileWriter::Discard()
{
    if (fCommitted)
        return;
    delete fBuffered;  // closes the file; pending bytes are written but unlinked next
    fBuffered = nullptr;
    fFile = nullptr;
    if (!fTemporary.empty())
        unlink(fTemporary.c_str());
    fTemporary.clear();
    if (fStatus == B_OK)
        fStatus = B_NO_INIT;
}

ssize_t AtomicFileWriter::ReadAt(off_t position, void* buffer, size_t size)
{
    if (fBuffered == nullptr || fCommitted)
        return B_NO_INIT;
    return fBuffered->ReadAt(position, buffer, size);
}

ssize_t AtomicFileWriter::WriteAt(off_t position, const void* buffer, size_t size)
{
    if (fStatus != B_OK)
        return fStatus;
    if (fBuffered == nullptr)
        return B_NO_INIT;
    if (fCommitted)
        return B_NOT_ALLOWED;
    ssize_t result = fBuffered->WriteAt(position, buffer, size);
    if (result < 0)
        Fail(static_cast<status_t>(result));
    else if (static_cast<size_t>(result) != size)
        return Fail(B_IO_ERROR);
    return result;
}

off_t AtomicFileWriter::Seek(off_t position, uint32 seekMode)
{
    if (fBuffered == nullptr)
        return B_NO_INIT;
    return fBuffered->Seek(position, seekMode);
}

off_t AtomicFileWriter::Position() const
{
    if (fBuffered == nullptr)
        return B_NO_INIT;
    return fBuffered->Position();
}

status_t AtomicFileWriter::SetSize(off_t size)
{
    if (fStatus != B_OK)
        return fStatus;
    if (fBuffered == nullptr || fCommitted)
        return B_NOT_ALLOWED;
    return Fail(fBuffered->SetSize(size));
}

status_t AtomicFileWriter::GetSize(off_t* size) const
{
    if (fBuffered == nullptr)
        return B_NO_INIT;
    return fBuffered->GetSize(size);
}

status_t AtomicFileWriter::Flush()
{
    if (fStatus != B_OK)
        return fStatus;
    if (fBuffered == nullptr || fCommitted)
        return B_OK;
    return Fail(fBuffered->Flush());
}

status_t AtomicFileWriter::Commit()
{
    if (fCommitted)
        return B_OK;
    if (fStatus == B_OK)
        Fail(fInPlace ? CommitInPlace() : CommitReplacing());
    if (fStatus != B_OK) {
        status_t status = fStatus;
        Discard();
        return status;
    }
    fCommitted = true;
    fTemporary.clear();
    delete fBuffered;
    fBuffered = nullptr;
    fFile = nullptr;
    if (!fInPlace)
        sync_directory(directory_of(fTarget));
    return B_OK;
}

status_t AtomicFileWriter::CommitReplacing()
{
    status_t status = fBuffered->Flush();
    if (status != B_OK)
        return status;
    int fd = fFile->FileDescriptor();
    struct stat old;
    if (stat(fTarget.c_str(), &old) == 0) {
        // Keep the old file's owner where this process may give it away (root may; anyone
        // may keep a group they belong to), then its permissions (chown clears set-id bits).
        if (fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        if (fchmod(fd, old.st_mode & 07777) != 0)
            return status_from_errno(errno);
    }
    std::string type = fMimeType;
    if (type.empty()) {
        BFile oldFile(fTarget.c_str(), B_READ_ONLY);
        if (oldFile.InitCheck() == B_OK)
            get_stored_mime_type(oldFile.FileDescriptor(), &type);
    }
    // Where the file system keeps no attributes, the type is guessed when read.
    if (!type.empty()) {
        status_t typed = set_mime_type(fd, type.c_str());
        if (typed != B_OK && typed != B_UNSUPPORTED)
            return typed;
    }
    status = fFile->Sync();
    if (status != B_OK)
        return status;
    if (rename(fTemporary.c_str(), fTarget.c_str()) != 0)
        return status_from_errno(errno);
    return B_OK;
}

status_t AtomicFileWriter::CommitInPlace()
{
    auto* memory = static_cast<BMallocIO*>(fBuffered);
    // Opening a named pipe waits for its reader, as any program writing to one does.
    int fd = open(fTarget.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return status_from_errno(errno);
    const char* bytes = static_cast<const char*>(memory->Buffer());
    size_t left = memory->BufferLength();
    status_t status = B_OK;
    while (left > 0) {
        ssize_t written = write(fd, bytes, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            status = written < 0 ? status_from_errno(errno) : B_IO_ERROR;
            break;
        }
        bytes += written;
        left -= static_cast<size_t>(written);
    }
    if (close(fd) != 0 && status == B_OK && errno != EINTR)
        status = status_from_errno(errno);
    return status;
}
