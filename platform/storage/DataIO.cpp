#include "storage/DataIO.h"

#include <cstdlib>
#include <cstring>
#include <limits>

BDataIO::~BDataIO() = default;

status_t BDataIO::Flush()
{
    return B_OK;
}

ssize_t BPositionIO::Read(void* buffer, size_t size)
{
    off_t position = Position();
    if (position < 0)
        return static_cast<ssize_t>(position);
    ssize_t result = ReadAt(position, buffer, size);
    if (result > 0)
        Seek(position + result, STORAGE_SEEK_SET);
    return result;
}

ssize_t BPositionIO::Write(const void* buffer, size_t size)
{
    off_t position = Position();
    if (position < 0)
        return static_cast<ssize_t>(position);
    ssize_t result = WriteAt(position, buffer, size);
    if (result > 0)
        Seek(position + result, STORAGE_SEEK_SET);
    return result;
}

status_t BPositionIO::SetSize(off_t)
{
    return B_UNSUPPORTED;
}

status_t BPositionIO::GetSize(off_t* size) const
{
    if (size == nullptr)
        return B_BAD_VALUE;
    // Seeking is not const; streams that can tell their size override this.
    auto* self = const_cast<BPositionIO*>(this);
    off_t current = self->Position();
    if (current < 0)
        return static_cast<status_t>(current);
    off_t end = self->Seek(0, STORAGE_SEEK_END);
    self->Seek(current, STORAGE_SEEK_SET);
    if (end < 0)
        return static_cast<status_t>(end);
    *size = end;
    return B_OK;
}

off_t storage_seek_target(off_t current, off_t end, off_t offset, uint32 seekMode)
{
    off_t base;
    switch (seekMode) {
    case STORAGE_SEEK_SET: base = 0; break;
    case STORAGE_SEEK_CUR: base = current; break;
    case STORAGE_SEEK_END: base = end; break;
    default: return B_BAD_VALUE;
    }
    off_t target;
    if (__builtin_add_overflow(base, offset, &target) || target < 0)
        return B_BAD_VALUE;
    return target;
}

// BMallocIO

namespace {

// Reads from `length` bytes of memory at `data`: what lies at position, 0 past the end.
ssize_t ReadMemory(const char* data, size_t length, off_t position, void* buffer, size_t size)
{
    if (position < 0 || (buffer == nullptr && size > 0))
        return B_BAD_VALUE;
    if (static_cast<uint64_t>(position) >= length)
        return 0;
    size_t available = length - static_cast<size_t>(position);
    size_t count = size < available ? size : available;
    if (count > static_cast<size_t>(std::numeric_limits<ssize_t>::max()))
        count = std::numeric_limits<ssize_t>::max();
    memcpy(buffer, data + position, count);
    return static_cast<ssize_t>(count);
}

// Moves *current as Seek does over a stream of `length` bytes.
off_t SeekWithin(off_t* current, size_t length, off_t position, uint32 seekMode)
{
    off_t target = storage_seek_target(*current, static_cast<off_t>(length), position, seekMode);
    if (target >= 0)
        *current = target;
    return target;
}

} // namespace

BMallocIO::BMallocIO() = default;

BMallocIO::~BMallocIO()
{
    free(fData);
}

void BMallocIO::SetBlockSize(size_t blockSize)
{
    fBlockSize = blockSize == 0 ? 1 : blockSize;
}

status_t BMallocIO::Reserve(size_t size)
{
    if (size <= fAllocated)
        return B_OK;
    size_t wanted = fAllocated < SIZE_MAX / 2 ? fAllocated * 2 : SIZE_MAX;
    if (wanted < size)
        wanted = size;
    if (wanted <= SIZE_MAX - fBlockSize)
        wanted = (wanted + fBlockSize - 1) / fBlockSize * fBlockSize;
    char* grown = static_cast<char*>(realloc(fData, wanted));
    if (grown == nullptr)
        return B_NO_MEMORY;
    fData = grown;
    fAllocated = wanted;
    return B_OK;
}

ssize_t BMallocIO::ReadAt(off_t position, void* buffer, size_t size)
{
    return ReadMemory(fData, fLength, position, buffer, size);
}

ssize_t BMallocIO::WriteAt(off_t position, const void* buffer, size_t size)
{
    if (position < 0 || (buffer == nullptr && size > 0))
        return B_BAD_VALUE;
    if (size > static_cast<size_t>(std::numeric_limits<ssize_t>::max()))
        size = std::numeric_limits<ssize_t>::max();
    if (size == 0)
        return 0;
    uint64_t end = static_cast<uint64_t>(position) + size;
    if (end > SIZE_MAX || end < size)
        return B_NO_MEMORY;
    if (status_t status = Reserve(static_cast<size_t>(end)); status != B_OK)
        return status;
    if (static_cast<uint64_t>(position) > fLength)
        memset(fData + fLength, 0, static_cast<size_t>(position) - fLength);
    memcpy(fData + position, buffer, size);
    if (end > fLength)
        fLength = static_cast<size_t>(end);
    return static_cast<ssize_t>(size);
}

off_t BMallocIO::Seek(off_t position, uint32 seekMode)
{
    return SeekWithin(&fPosition, fLength, position, seekMode);
}

off_t BMallocIO::Position() const
{
    return fPosition;
}

status_t BMallocIO::SetSize(off_t size)
{
    if (size < 0 || static_cast<uint64_t>(size) > SIZE_MAX)
        return B_BAD_VALUE;
    size_t newLength = static_cast<size_t>(size);
    if (status_t status = Reserve(newLength); status != B_OK)
        return status;
    if (newLength > fLength)
        memset(fData + fLength, 0, newLength - fLength);
    fLength = newLength;
    return B_OK;
}

status_t BMallocIO::GetSize(off_t* size) const
{
    if (size == nullptr)
        return B_BAD_VALUE;
    *size = static_cast<off_t>(fLength);
    return B_OK;
}

// BMemoryIO

BMemoryIO::BMemoryIO(void* data, size_t length)
    : fData(static_cast<char*>(data)), fLength(length), fCapacity(length), fReadOnly(false)
{
}

BMemoryIO::BMemoryIO(const void* data, size_t length)
    : fData(static_cast<char*>(const_cast<void*>(data))), fLength(length), fCapacity(length),
      fReadOnly(true)
{
}

ssize_t BMemoryIO::ReadAt(off_t position, void* buffer, size_t size)
{
    return ReadMemory(fData, fLength, position, buffer, size);
}

ssize_t BMemoryIO::WriteAt(off_t position, const void* buffer, size_t size)
{
    if (fReadOnly)
        return B_NOT_ALLOWED;
    if (position < 0 || (buffer == nullptr && size > 0))
        return B_BAD_VALUE;
    if (static_cast<uint64_t>(position) >= fCapacity)
        return size == 0 ? 0 : B_DEVICE_FULL;
    size_t room = fCapacity - static_cast<size_t>(position);
    size_t count = size < room ? size : room;
    memcpy(fData + position, buffer, count);
    if (static_cast<size_t>(position) + count > fLength)
        fLength = static_cast<size_t>(position) + count;
    return static_cast<ssize_t>(count);
}

off_t BMemoryIO::Seek(off_t position, uint32 seekMode)
{
    return SeekWithin(&fPosition, fLength, position, seekMode);
}

off_t BMemoryIO::Position() const
{
    return fPosition;
}

status_t BMemoryIO::SetSize(off_t size)
{
    if (fReadOnly)
        return B_NOT_ALLOWED;
    if (size < 0 || static_cast<uint64_t>(size) > fCapacity)
        return B_BAD_VALUE;
    fLength = static_cast<size_t>(size);
    return B_OK;
}

status_t BMemoryIO::GetSize(off_t* size) const
{
    if (size == nullptr)
        return B_BAD_VALUE;
    *size = static_cast<off_t>(fLength);
    return B_OK;
}
