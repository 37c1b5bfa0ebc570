#pragma once
// SpscRing<T>: a fixed-capacity, lock-free queue from one producer thread to one consumer
// thread, for hand-offs to and from real-time threads (buffers, commands, events).
// SpscByteRing: the same for records of varying length (MIDI messages with their time).
//
// Lifetime: the constructor allocates all storage (do it at set-up); pushing and popping
// never allocate, never lock and never wait.
// Errors: Push/Write give false when the ring is full (nothing is written; the caller
// counts the drop or tries later); Pop/Read give false / -1 when it is empty.
// Threads: one thread pushes and one thread pops at a time. Either side may move to
// another thread only through something that orders the two (a join, a lock handed
// over). Neither side is woken by the other: wait on a semaphore, a period or a
// condition where a thread must sleep until there is work.
#include "kernel/SupportDefs.h"

#include <atomic>
#include <cstring>
#include <memory>

namespace kernel_internal {

// The smallest power of two >= n (at least 2).
inline size_t RingSize(size_t n)
{
	size_t size = 2;
	while (size < n)
		size <<= 1;
	return size;
}

}  // namespace kernel_internal

template <typename T>
class SpscRing {
public:
	// Holds at least `capacity` items (rounded up to a power of two).
	explicit SpscRing(size_t capacity)
		:
		fMask(kernel_internal::RingSize(capacity) - 1),
		fItems(new T[fMask + 1])
	{
	}
	SpscRing(const SpscRing&) = delete;
	SpscRing& operator=(const SpscRing&) = delete;

	// Producer side.
	bool Push(const T& item)
	{
		size_t tail = fTail.load(std::memory_order_relaxed);
		if (tail - fHead.load(std::memory_order_acquire) > fMask)
			return false;
		fItems[tail & fMask] = item;
		fTail.store(tail + 1, std::memory_order_release);
		return true;
	}

	// Consumer side.
	bool Pop(T& item)
	{
		size_t head = fHead.load(std::memory_order_relaxed);
		if (head == fTail.load(std::memory_order_acquire))
			return false;
		item = fItems[head & fMask];
		fHead.store(head + 1, std::memory_order_release);
		return true;
	}

	// Exact on either side's own thread between its calls; a moment's view elsewhere.
	size_t Count() const
	{
		return fTail.load(std::memory_order_acquire) - fHead.load(std::memory_order_acquire);
	}
	size_t Capacity() const { return fMask + 1; }

private:
	const size_t fMask;
	std::unique_ptr<T[]> fItems;
	alignas(64) std::atomic<size_t> fHead{0};   // next to pop; written by the consumer
	alignas(64) std::atomic<size_t> fTail{0};   // next to push; written by the producer
};

class SpscByteRing {
public:
	// Holds at least `bytes` bytes of records; each record costs 4 bytes more than its
	// length.
	explicit SpscByteRing(size_t bytes)
		:
		fMask(kernel_internal::RingSize(bytes) - 1),
		fBytes(new uint8[fMask + 1])
	{
	}
	SpscByteRing(const SpscByteRing&) = delete;
	SpscByteRing& operator=(const SpscByteRing&) = delete;

	// Producer side: one record made of `first` followed by `second` (either may be
	// empty); all of it or nothing.
	bool Write(const void* first, size_t firstLength, const void* second = nullptr,
		size_t secondLength = 0)
	{
		size_t length = firstLength + secondLength;
		if (length > UINT32_MAX)
			return false;
		size_t tail = fTail.load(std::memory_order_relaxed);
		size_t used = tail - fHead.load(std::memory_order_acquire);
		if (used + sizeof(uint32) + length > fMask + 1)
			return false;
		uint32 header = uint32(length);
		Copy(tail, &header, sizeof header);
		Copy(tail + sizeof header, first, firstLength);
		Copy(tail + sizeof header + firstLength, second, secondLength);
		fTail.store(tail + sizeof header + length, std::memory_order_release);
		return true;
	}

	// Consumer side: the next record's length, or -1 when empty.
	ssize_t NextLength() const
	{
		size_t head = fHead.load(std::memory_order_relaxed);
		if (head == fTail.load(std::memory_order_acquire))
			return -1;
		uint32 header;
		Take(head, &header, sizeof header);
		return ssize_t(header);
	}

	// Takes the next record: copies at most `size` bytes of it (the rest is dropped with
	// it) and returns its whole length; -1 when empty.
	ssize_t Read(void* buffer, size_t size)
	{
		ssize_t length = NextLength();
		if (length < 0)
			return -1;
		size_t head = fHead.load(std::memory_order_relaxed);
		Take(head + sizeof(uint32), buffer, size < size_t(length) ? size : size_t(length));
		fHead.store(head + sizeof(uint32) + size_t(length), std::memory_order_release);
		return length;
	}

	// Either side, or a third thread watching the ring drain.
	bool Empty() const
	{
		return fHead.load(std::memory_order_acquire) == fTail.load(std::memory_order_acquire);
	}
	size_t Capacity() const { return fMask + 1; }

private:
	void Copy(size_t at, const void* from, size_t length)
	{
		if (length == 0)
			return;
		size_t start = at & fMask;
		size_t first = length < fMask + 1 - start ? length : fMask + 1 - start;
		std::memcpy(fBytes.get() + start, from, first);
		std::memcpy(fBytes.get(), static_cast<const uint8*>(from) + first, length - first);
	}
	void Take(size_t at, void* to, size_t length) const
	{
		if (length == 0)
			return;
		size_t start = at & fMask;
		size_t first = length < fMask + 1 - start ? length : fMask + 1 - start;
		std::memcpy(to, fBytes.get() + start, first);
		std::memcpy(static_cast<uint8*>(to) + first, fBytes.get(), length - first);
	}

	const size_t fMask;
	std::unique_ptr<uint8[]> fBytes;
	alignas(64) std::atomic<size_t> fHead{0};
	alignas(64) std::atomic<size_t> fTail{0};
};
