#pragma once
// Counts the allocations of the whole test program (operator new), so that a test can show
// that a piece of code allocates nothing. Include in exactly one source of a test program.

#include <atomic>
#include <cstdlib>
#include <new>

inline std::atomic<long> gAllocationCount{0};

inline long AllocationCount()
{
	return gAllocationCount.load();
}

void* operator new(std::size_t size)
{
	++gAllocationCount;
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
	++gAllocationCount;
	return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept
{
	std::free(p);
}
void operator delete[](void* p) noexcept
{
	std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
	std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
	std::free(p);
}
