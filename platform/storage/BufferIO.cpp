#include "storage/BufferIO.h"

#include <cstdlib>
#include <cstring>

BBufferIO::BBufferIO(BPositionIO* stream, size_t bufferSize, bool ownsStream)
    : fStream(stream), fOwnsStream(ownsStream),
      fBuffer(nullptr), fBufferSize(bufferSize < 512 ? 512 : bufferSize)
{
    fBuffer = static_cast<char*>(malloc(fBufferSize));
    if (fStream != nullptr) {
        off_t position = fStream->Position();
        fPosition = position < 0 ? 0 : position;
    }
}

BBufferIO::~BBufferIO()
{
    Flush();
    free(fBuffer);
    if (fOwnsStream)
        delete fStream;
}

status_t BBufferIO::InitCheck() const
{
    if (fStream == nullptr)
        return B_NO_INIT;
    return fBuffer == nullptr ? B_NO_MEMORY : B_OK;
}

void BBufferIO::InvalidateReadBuffer()
{
    if (!fDirty)
        fBufferUsed = 0;
}

status_t BBufferIO::Flush()
{
    if (!fDirty)
        return B_OK;
    size_t done = 0;
    while (done < fBufferUsed) {
        ssize_t written = fStream->WriteAt(fBufferStart + static_cast<off_t>(done),
                                           fBuffer + done, fBufferUsed - done);
        if (written <= 0) {
            // Keep what is still pending so a later Flush can retry it.
            memmove(fBuffer, fBuffer + done, fBufferUsed - done);
            fBufferStart += static_cast<off_t>(done);
            fBufferUsed -= done;
            return written < 0 ? static_cast<status_t>(written) : B_IO_ERROR;
        }
        done += static_cast<size_t>(written);
    }
    fDirty = false;
    fBufferUsed = 0;
    return B_OK;
}

ssize_t BBufferIO::ReadAt(off_t position, void* buffer, size_t size)
{
    if (InitCheck() != B_OK)
        return InitCheck();
    if (position < 0 || (buffer == nullptr && size > 0))
        return B_BAD_VALUE;
    if (fDirty) {
        if (status_t status = Flush(); status != B_OK)
            return status;
    }
    char* out = static_cast<char*>(buffer);
    size_t copied = 0;
    while (copied < size) {
        off_t at = position + static_cast<off_t>(copied);
        if (at >= fBufferStart && at < fBufferStart + static_cast<off_t>(fBufferUsed)) {
            size_t offset = static_cast<size_t>(at - fBufferStart);
            size_t count = fBufferUsed - offset;
            if (count > size - copied)
                count = size - copied;
            memcpy(out + copied, fBuffer + offset, count);
            copied += count;
            continue;
        }
        size_t remaining = size - copied;
        if (remaining >= fBufferSize) {
            // Large reads bypass the buffer.
            ssize_t result = fStream->ReadAt(at, out + copied, remaining);
            if (result < 0)
                return copied > 0 ? static_cast<ssize_t>(copied) : result;
            copied += static_cast<size_t>(result);
            break;
        }
        ssize_t result = fStream->ReadAt(at, fBuffer, fBufferSize);
        fBufferStart = at;
        fBufferUsed = result > 0 ? static_cast<size_t>(result) : 0;
        if (result < 0)
            return copied > 0 ? static_cast<ssize_t>(copied) : result;
        if (result == 0)
            break;
    }
    return static_cast<ssize_t>(copied);
}

ssize_t BBufferIO::WriteAt(off_t position, const void* buffer, size_t size)
{
    if (InitCheck() != B_OK)
        return InitCheck();
    if (position < 0 || (buffer == nullptr && size > 0))
        return B_BAD_VALUE;
    if (size == 0)
        return 0;
    bool appends = fDirty && position == fBufferStart + static_cast<off_t>(fBufferUsed);
    if (!appends || fBufferUsed + size > fBufferSize) {
        if (status_t status = Flush(); status != B_OK)
            return status;
        fBufferUsed = 0;  // cached read bytes may now be stale
        if (size >= fBufferSize)
            return fStream->WriteAt(position, buffer, size);
        fBufferStart = position;
        fDirty = true;
    }
    memcpy(fBuffer + fBufferUsed, buffer, size);
    fBufferUsed += size;
    return static_cast<ssize_t>(size);
}

off_t BBufferIO::Seek(off_t position, uint32 seekMode)
{
    off_t end = 0;
    if (seekMode == STORAGE_SEEK_END) {
        if (status_t status = GetSize(&end); status != B_OK)
            return status;
    }
    off_t target = storage_seek_target(fPosition, end, position, seekMode);
    if (target >= 0)
        fPosition = target;
    return target;
}

off_t BBufferIO::Position() const
{
    return fPosition;
}

status_t BBufferIO::SetSize(off_t size)
{
    if (InitCheck() != B_OK)
        return InitCheck();
    if (status_t status = Flush(); status != B_OK)
        return status;
    fBufferUsed = 0;
    return fStream->SetSize(size);
}

status_t BBufferIO::GetSize(off_t* size) const
{
    if (InitCheck() != B_OK)
        return InitCheck();
    if (size == nullptr)
        return B_BAD_VALUE;
    off_t streamSize = 0;
    if (status_t status = fStream->GetSize(&streamSize); status != B_OK)
        return status;
    off_t pendingEnd = fDirty ? fBufferStart + static_cast<off_t>(fBufferUsed) : 0;
    *size = streamSize > pendingEnd ? streamSize : pendingEnd;
    return B_OK;
}
