#pragma once
// Counts the test program's allocations: all of them, and those made on one watched
// thread (an audio callback, JACK's process thread). Include it in exactly one source
// file of a test program: it replaces the global operator new and delete.
#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace allocation_count {

inline std::atomic<long> gAll{0};
inline std::atomic<long> gOnWatched{0};
inline std::atomic<bool> gWatching{false};
inline std::atomic<pthread_t> gWatched{};

// Every allocation counts towards the calling thread's total from now on when it is
// the watched thread.
inline void WatchThisThread()
{
	gWatched.store(pthread_self());
	gWatching.store(true);
}

inline void StopWatching()
{
	gWatching.store(false);
}

inline long All()
{
	return gAll.load();
}

inline long OnWatchedThread()
{
	return gOnWatched.load();
}

}  // namespace allocation_count

void* operator new(std::size_t size)
{
	allocation_count::gAll.fetch_add(1, std::memory_order_relaxed);
	if (allocation_count::gWatching.load(std::memory_order_relaxed)
		&& pthread_equal(allocation_count::gWatched.load(), pthread_self()))
		allocation_count::gOnWatched.fetch_add(1);
	if (void* p = std::malloc(size == 0 ? 1 : size))
		return p;
	throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
	return ::operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
	try {
		return ::operator new(size);
	} catch (const std::bad_alloc&) {
		return nullptr;
	}
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
	return ::operator new(size, std::nothrow);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
