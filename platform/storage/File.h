#pragma once
// BFile: a file on disk as a BPositionIO, opened with the B_* open modes.
#include "storage/DataIO.h"

class BFile : public BPositionIO {
public:
    BFile();
    BFile(const char* path, uint32 openMode);
    ~BFile() override;
    BFile(const BFile&) = delete;
    BFile& operator=(const BFile&) = delete;

    status_t SetTo(const char* path, uint32 openMode);
    void Unset();
    status_t InitCheck() const { return fStatus; }
    bool IsReadable() const;
    bool IsWritable() const;

    // Read and Write keep going after partial transfers; a failure after some bytes moved
    // is reported as the failure, so a short write never looks like success.
    ssize_t Read(void* buffer, size_t size) override;
    ssize_t Write(const void* buffer, size_t size) override;
    ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
    ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
    off_t Seek(off_t position, uint32 seekMode) override;
    off_t Position() const override;
    status_t SetSize(off_t size) override;
    status_t GetSize(off_t* size) const override;

    // Forces written bytes to the disk (fsync).
    status_t Sync();
    int FileDescriptor() const { return fFd; }

private:
    int fFd = -1;
    uint32 fOpenMode = 0;
    status_t fStatus = B_NO_INIT;
};
