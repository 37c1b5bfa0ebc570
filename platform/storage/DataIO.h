#pragma once
// Byte streams: BDataIO (read/write), BPositionIO (plus positions), and BMallocIO, a
// growable memory buffer used for clipboard documents and tests.
#include "storage/StorageDefs.h"

class BDataIO {
public:
    virtual ~BDataIO();
    // Bytes read (0 at the end) or a negative status.
    virtual ssize_t Read(void* buffer, size_t size) = 0;
    // Bytes written or a negative status.
    virtual ssize_t Write(const void* buffer, size_t size) = 0;
    // Hands buffered bytes on to where they belong.
    virtual status_t Flush();
};

class BPositionIO : public BDataIO {
public:
    // Read and Write work at Position() and move it by what they moved.
    ssize_t Read(void* buffer, size_t size) override;
    ssize_t Write(const void* buffer, size_t size) override;

    virtual ssize_t ReadAt(off_t position, void* buffer, size_t size) = 0;
    virtual ssize_t WriteAt(off_t position, const void* buffer, size_t size) = 0;
    // seekMode is STORAGE_SEEK_SET / _CUR / _END (SEEK_SET ...). Returns the new position
    // or a negative status; a position before the start is B_BAD_VALUE.
    virtual off_t Seek(off_t position, uint32 seekMode) = 0;
    virtual off_t Position() const = 0;
    virtual status_t SetSize(off_t size);
    virtual status_t GetSize(off_t* size) const;
};

class BMallocIO : public BPositionIO {
public:
    BMallocIO();
    ~BMallocIO() override;
    BMallocIO(const BMallocIO&) = delete;
    BMallocIO& operator=(const BMallocIO&) = delete;

    ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
    ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
    off_t Seek(off_t position, uint32 seekMode) override;
    off_t Position() const override;
    status_t SetSize(off_t size) override;
    status_t GetSize(off_t* size) const override;

    // Allocation granularity (default 256 bytes); growth is geometric past it.
    void SetBlockSize(size_t blockSize);
    const void* Buffer() const { return fData; }
    size_t BufferLength() const { return fLength; }

private:
    status_t Reserve(size_t size);

    char* fData = nullptr;
    size_t fLength = 0;
    size_t fAllocated = 0;
    size_t fBlockSize = 256;
    off_t fPosition = 0;
};

// A read-only (or fixed-size writable) window on memory the caller owns.
class BMemoryIO : public BPositionIO {
public:
    BMemoryIO(void* data, size_t length);
    BMemoryIO(const void* data, size_t length);

    ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
    ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
    off_t Seek(off_t position, uint32 seekMode) override;
    off_t Position() const override;
    status_t SetSize(off_t size) override;
    status_t GetSize(off_t* size) const override;

private:
    char* fData;
    size_t fLength;
    size_t fCapacity;
    bool fReadOnly;
    off_t fPosition = 0;
};

// The position a seek would reach, or B_BAD_VALUE when it is before the start or the
// arithmetic overflows.
off_t storage_seek_target(off_t current, off_t end, off_t offset, uint32 seekMode);
