#pragma once
// AtomicFileWriter: saves a file whole or not at all; every program saves through it.
// Bytes go to a temporary file beside the target; Commit flushes and syncs it, gives it the
// MIME type (the one given, else the old file's), the old file's permissions and (where
// the process may) its owner and group, and renames it over the target. Without a
// successful Commit (an error while writing, a failed commit, or destruction first) the
// temporary file is removed and the old file stays exactly as it was.
//
// Symbolic links are followed (a dangling one too): the file a link leads to is replaced,
// the link stays. A target that exists and is neither a regular file nor a directory (a
// device, a named pipe, a socket) cannot be replaced: the bytes are held in memory and
// Commit writes them straight into it, with no temporary file and no rename; a failed
// write there is Commit's error.
#include <string>

#include "storage/BufferIO.h"
#include "storage/File.h"

class AtomicFileWriter : public BPositionIO {
public:
    // mimeType may be null (keep the old file's type, if any).
    explicit AtomicFileWriter(const char* path, const char* mimeType = nullptr);
    ~AtomicFileWriter() override;
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // B_OK when the temporary file is open, else why not.
    status_t InitCheck() const { return fStatus; }
    // The first failure of a write, flush or commit; B_OK while everything succeeded.
    status_t Error() const { return fStatus; }

    ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
    ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
    off_t Seek(off_t position, uint32 seekMode) override;
    off_t Position() const override;
    status_t SetSize(off_t size) override;
    status_t GetSize(off_t* size) const override;
    status_t Flush() override;

    // Replaces the target with what was written. Fails (and replaces nothing) when any
    // earlier operation failed. After Commit, the writer accepts no more bytes.
    status_t Commit();
    // Drops what was written; the target is untouched.
    void Discard();
    bool IsCommitted() const { return fCommitted; }
    // True when the target is a device or pipe written in place (see above).
    bool WritesInPlace() const { return fInPlace; }

    const char* TargetPath() const { return fTarget.c_str(); }
    const char* TemporaryPath() const { return fTemporary.c_str(); }

private:
    status_t Fail(status_t status);
    status_t CommitReplacing();
    status_t CommitInPlace();

    std::string fTarget;
    std::string fTemporary;
    std::string fMimeType;
    BFile* fFile = nullptr;      // owned by fBuffered; null when writing in place
    BPositionIO* fBuffered = nullptr;  // a BBufferIO over fFile, or the in-place BMallocIO
    status_t fStatus = B_NO_INIT;
    bool fCommitted = false;
    bool fInPlace = false;
};
