#pragma once
// AllocationCounter: counts the memory allocations made between two points, to prove that
// a real-time path (an audio callback, a plug-in's processing, analysis after set-up)
// allocates nothing.
//
// Every operator new and every malloc, calloc, realloc and aligned allocation counts, on
// the calling thread (kThisThread) or on every thread of the program (kAllThreads).
// Linking this in replaces the program's operator new and delete (test programs only).
// Under AddressSanitizer the sanitizer's allocation hook does the counting.
//
//   AllocationCounter counter;
//   node.ProcessBlock(...);
//   EXPECT_EQ(counter.Count(), 0);
//
// Threads: a counter is read by the thread that made it; kAllThreads counts every thread.

class AllocationCounter {
public:
	enum Scope { kThisThread, kAllThreads };

	explicit AllocationCounter(Scope scope = kThisThread);

	// Allocations since construction or the last Restart().
	long Count() const;
	void Restart();

private:
	long Now() const;

	Scope fScope;
	long fStart;
};

// While one lives, operator new on the thread that made it fails (throws std::bad_alloc,
// or returns null for the nothrow forms), to prove that running out of memory is reported.
// malloc is left alone.
class RefuseAllocations {
public:
	RefuseAllocations();
	~RefuseAllocations();
	RefuseAllocations(const RefuseAllocations&) = delete;
	RefuseAllocations& operator=(const RefuseAllocations&) = delete;

private:
	bool fWasRefusing;
};
