#pragma once
// BBufferIO: a buffered window on another BPositionIO. Reads are served from a buffer of
// (by default) 65 536 bytes filled with one ReadAt; consecutive writes are gathered and
// handed on by Flush (also before any read, seek to the end, resize and destruction).
#include "storage/DataIO.h"

class BBufferIO : public BPositionIO {
public:
    static constexpr size_t kDefaultBufferSize = 65536;

    BBufferIO(BPositionIO* stream, size_t bufferSize = kDefaultBufferSize,
              bool ownsStream = true);
    ~BBufferIO() override;
    BBufferIO(const BBufferIO&) = delete;
    BBufferIO& operator=(const BBufferIO&) = delete;

    // B_NO_MEMORY when the buffer could not be allocated, B_NO_INIT without a stream.
    status_t InitCheck() const;

    ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
    ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
    off_t Seek(off_t position, uint32 seekMode) override;
    off_t Position() const override;
    status_t SetSize(off_t size) override;
    status_t GetSize(off_t* size) const override;
    status_t Flush() override;

    // Forgets buffered read bytes (after someone else changed the stream).
    void InvalidateReadBuffer();

    BPositionIO* Stream() const { return fStream; }
    size_t BufferSize() const { return fBufferSize; }

private:
    BPositionIO* fStream;
    bool fOwnsStream;
    char* fBuffer;
    size_t fBufferSize;
    off_t fBufferStart = 0;  // stream offset of fBuffer[0]
    size_t fBufferUsed = 0;  // valid (or pending) bytes in fBuffer
    bool fDirty = false;     // fBuffer holds bytes not yet written to fStream
    off_t fPosition = 0;
};
