#pragma once
// FiFo: a ring of items between one writing and one reading thread, with two counting
// semaphores that carry the counts: "FiFo read" holds the items ready to read, "FiFo
// write" the free places. Each side moves only its own position.
//
// Errors: InitCheck() is B_OK or the failure to allocate the ring or its semaphores.
// read() and write() move all `count` items or none: -1 when count is more than the ring
// holds, 0 when the wait failed (interrupted, timed out, the FiFo deleted).
// Threads: one reader and one writer at a time; spaceleft() from any thread.
// Lifetime: no thread may wait in read() or write() while the FiFo is destroyed.

#include "kernel/OS.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

template <class T>
class FiFo {
public:
	explicit FiFo(int32 size)
		:
		fSize(size)
	{
		if (size <= 0) {
			fStatus = B_BAD_VALUE;
			return;
		}
		fBuffer.reset(new (std::nothrow) T[size]);
		fReadSem = create_sem(0, "FiFo read");
		fWriteSem = create_sem(size, "FiFo write");
		if (fBuffer == nullptr)
			fStatus = B_NO_MEMORY;
		else if (fReadSem < 0)
			fStatus = fReadSem;
		else if (fWriteSem < 0)
			fStatus = fWriteSem;
		else
			fStatus = B_OK;
	}

	~FiFo()
	{
		if (fReadSem >= 0)
			delete_sem(fReadSem);
		if (fWriteSem >= 0)
			delete_sem(fWriteSem);
	}

	FiFo(const FiFo&) = delete;
	FiFo& operator=(const FiFo&) = delete;

	status_t InitCheck() const { return fStatus; }
	int32 size() const { return fSize; }

	// Waits until count items are in (at most `timeout` µs), then takes them.
	int32 read(T* buffer, int32 count, bigtime_t timeout = B_INFINITE_TIMEOUT)
	{
		return Move(fReadSem, fWriteSem, fReadPosition, count, timeout,
			[&](int32 at, int32 offset, int32 n) {
				std::memcpy(buffer + offset, fBuffer.get() + at, n * sizeof(T));
			});
	}

	// Waits until count places are free (at most `timeout` µs), then fills them.
	int32 write(const T* data, int32 count, bigtime_t timeout = B_INFINITE_TIMEOUT)
	{
		return Move(fWriteSem, fReadSem, fWritePosition, count, timeout,
			[&](int32 at, int32 offset, int32 n) {
				std::memcpy(fBuffer.get() + at, data + offset, n * sizeof(T));
			});
	}

	// Free places; 0 when the FiFo is not usable.
	int32 spaceleft() const
	{
		int32 count = 0;
		if (fStatus != B_OK || get_sem_count(fWriteSem, &count) != B_OK)
			return 0;
		return count;
	}

private:
	// Takes count units of `take`, copies through `copy` (ring index, offset into the
	// caller's items, items) in at most two pieces, gives count units to `give`.
	template <class Copy>
	int32 Move(sem_id take, sem_id give, int32& position, int32 count, bigtime_t timeout,
		Copy copy)
	{
		if (fStatus != B_OK || count > fSize)
			return -1;
		if (count <= 0)
			return 0;
		status_t status = timeout == B_INFINITE_TIMEOUT
			? acquire_sem_etc(take, count, 0, 0)
			: acquire_sem_etc(take, count, B_RELATIVE_TIMEOUT, timeout);
		if (status != B_OK)
			return 0;
		int32 first = std::min(count, fSize - position);
		copy(position, 0, first);
		if (first < count)
			copy(0, first, count - first);
		position = (position + count) % fSize;
		release_sem_etc(give, count, 0);
		return count;
	}

	std::unique_ptr<T[]> fBuffer;
	int32 fSize;
	int32 fWritePosition = 0;   // writer only
	int32 fReadPosition = 0;    // reader only
	sem_id fReadSem = -1;       // count: items ready to read
	sem_id fWriteSem = -1;      // count: free places
	status_t fStatus = B_NO_INIT;
};
