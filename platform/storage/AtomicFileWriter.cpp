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

// The file a symbolic link at path leads to, so that saving keeps the link.
std::string resolve_target(const char* path)
{
    char resolved[PATH_MAX];
    struct stat info;
    if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode) && realpath(path, resolved) != nullptr)
        return resolved;
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
    if (stat(fTarget.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        fStatus = B_IS_A_DIRECTORY;
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
    fBuffered = new BBufferIO(fFile, BBufferIO::kDefaultBufferSize, true);
    fStatus = fFile->InitCheck() != B_OK ? fFile->InitCheck() : fBuffered->InitCheck();
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
    if (fStatus != B_OK) {
        status_t status = fStatus;
        Discard();
        return status;
    }
    Fail(fBuffered->Flush());
    if (fStatus == B_OK) {
        // Keep the old file's permissions and type.
        struct stat old;
        if (stat(fTarget.c_str(), &old) == 0 && fchmod(fFile->FileDescriptor(), old.st_mode & 07777) != 0)
            Fail(status_from_errno(errno));
        std::string type = fMimeType;
        if (type.empty()) {
            BFile oldFile(fTarget.c_str(), B_READ_ONLY);
            if (oldFile.InitCheck() == B_OK)
                get_stored_mime_type(oldFile.FileDescriptor(), &type);
        }
        // Where the file system keeps no attributes, the type is guessed when read.
        if (!type.empty()) {
            status_t typed = set_mime_type(fFile->FileDescriptor(), type.c_str());
            if (typed != B_OK && typed != B_UNSUPPORTED)
                Fail(typed);
        }
    }
    if (fStatus == B_OK)
        Fail(fFile->Sync());
    if (fStatus == B_OK && rename(fTemporary.c_str(), fTarget.c_str()) != 0)
        Fail(status_from_errno(errno));
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
    sync_directory(directory_of(fTarget));
    return B_OK;
}
