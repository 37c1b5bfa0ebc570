#pragma once
// A process hook for tests that counts the allocations JACK's process thread makes from
// the hook's first call on:
//   ProcessThreadAllocations watch;
//   service->AddProcessHook(CountProcessThreadAllocations, &watch);  // first, so it counts
//   ...                                                              // what the others do
//   EXPECT_EQ(watch.count.load(), 0);
#include "jack/JackService.h"
#include "testing/AllocationCounter.h"

#include <atomic>
#include <optional>

struct ProcessThreadAllocations {
	std::optional<AllocationCounter> counter;   // made and read on the process thread
	std::atomic<long> count{-1};                // -1 until a period ran after the first
};

inline void CountProcessThreadAllocations(uint32, void* cookie)
{
	auto* watch = static_cast<ProcessThreadAllocations*>(cookie);
	if (!watch->counter)
		watch->counter.emplace(AllocationCounter::kThisThread);
	else
		watch->count.store(watch->counter->Count());
}
