#include "testing/AllocationCounter.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SUITE_SANITIZED_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SUITE_SANITIZED_ALLOCATOR 1
#endif
#endif

#ifdef SUITE_SANITIZED_ALLOCATOR
// The sanitizers' runtime has it; GCC ships no header that declares it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(
	void (*onAllocation)(const volatile void*, size_t), void (*onRelease)(const volatile void*));
#else
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}
#endif

namespace {

std::atomic<long> sAllCount{0};
// Initial-exec: reading it inside malloc must not allocate.
__attribute__((tls_model("initial-exec"))) thread_local long tThreadCount = 0;
__attribute__((tls_model("initial-exec"))) thread_local bool tRefusing = false;

inline void Counted()
{
	sAllCount.fetch_add(1, std::memory_order_relaxed);
	++tThreadCount;
}

#ifdef SUITE_SANITIZED_ALLOCATOR
// The sanitizer's allocator calls this for every allocation, operator new's included.
void OnAllocation(const volatile void*, size_t)
{
	Counted();
}

void OnRelease(const volatile void*)
{
}

[[maybe_unused]] const int sHooked = __sanitizer_install_malloc_and_free_hooks(OnAllocation, OnRelease);
#endif

void* New(size_t size, size_t alignment)
{
	if (tRefusing)
		return nullptr;
	if (size == 0)
		size = 1;
	if (alignment <= __STDCPP_DEFAULT_NEW_ALIGNMENT__)
		return malloc(size);
	void* pointer = nullptr;
	return posix_memalign(&pointer, alignment, size) == 0 ? pointer : nullptr;
}

void* NewOrThrow(size_t size, size_t alignment)
{
	void* pointer = New(size, alignment);
	if (pointer == nullptr)
		throw std::bad_alloc();
	return pointer;
}

}	// namespace

AllocationCounter::AllocationCounter(Scope scope)
	:
	fScope(scope),
	fStart(Now())
{
}

long AllocationCounter::Count() const
{
	return Now() - fStart;
}

void AllocationCounter::Restart()
{
	fStart = Now();
}

long AllocationCounter::Now() const
{
	return fScope == kThisThread ? tThreadCount : sAllCount.load(std::memory_order_relaxed);
}

RefuseAllocations::RefuseAllocations()
	:
	fWasRefusing(tRefusing)
{
	tRefusing = true;
}

RefuseAllocations::~RefuseAllocations()
{
	tRefusing = fWasRefusing;
}

#ifndef SUITE_SANITIZED_ALLOCATOR
// Without a sanitizer the C allocator is ours to count: glibc's own functions do the work.
extern "C" {

void* malloc(size_t size)
{
	Counted();
	return __libc_malloc(size);
}

void* calloc(size_t count, size_t size)
{
	Counted();
	return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size)
{
	Counted();
	return __libc_realloc(pointer, size);
}

void* memalign(size_t alignment, size_t size)
{
	Counted();
	return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size)
{
	Counted();
	return __libc_memalign(alignment, size);
}

int posix_memalign(void** pointer, size_t alignment, size_t size)
{
	if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
		return EINVAL;
	Counted();
	void* block = __libc_memalign(alignment, size);
	if (block == nullptr)
		return ENOMEM;
	*pointer = block;
	return 0;
}

}	// extern "C"
#endif

// operator new takes its memory from malloc, so the counting above sees it once.
void* operator new(size_t size)
{
	return NewOrThrow(size, 0);
}

void* operator new[](size_t size)
{
	return NewOrThrow(size, 0);
}

void* operator new(size_t size, const std::nothrow_t&) noexcept
{
	return New(size, 0);
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
	return New(size, 0);
}

void* operator new(size_t size, std::align_val_t alignment)
{
	return NewOrThrow(size, static_cast<size_t>(alignment));
}

void* operator new[](size_t size, std::align_val_t alignment)
{
	return NewOrThrow(size, static_cast<size_t>(alignment));
}

void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
	return New(size, static_cast<size_t>(alignment));
}

void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
	return New(size, static_cast<size_t>(alignment));
}

void operator delete(void* pointer) noexcept
{
	free(pointer);
}

void operator delete[](void* pointer) noexcept
{
	free(pointer);
}

void operator delete(void* pointer, size_t) noexcept
{
	free(pointer);
}

void operator delete[](void* pointer, size_t) noexcept
{
	free(pointer);
}

void operator delete(void* pointer, const std::nothrow_t&) noexcept
{
	free(pointer);
}

void operator delete[](void* pointer, const std::nothrow_t&) noexcept
{
	free(pointer);
}

void operator delete(void* pointer, std::align_val_t) noexcept
{
	free(pointer);
}

void operator delete[](void* pointer, std::align_val_t) noexcept
{
	free(pointer);
}

void operator delete(void* pointer, size_t, std::align_val_t) noexcept
{
	free(pointer);
}

void operator delete[](void* pointer, size_t, std::align_val_t) noexcept
{
	free(pointer);
}

void operator delete(void* pointer, std::align_val_t, const std::nothrow_t&) noexcept
{
	free(pointer);
}

void operator delete[](void* pointer, std::align_val_t, const std::nothrow_t&) noexcept
{
	free(pointer);
}
