// Internal to the kernel library: blocking waits that time out and that kill_thread()
// can interrupt. Every waitable kernel object derives from Waitable.
#pragma once

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "kernel/SupportDefs.h"

namespace kernel_internal {

struct Waitable {
	std::mutex mutex;
	std::condition_variable cv;
};

// When a wait ends: never, or at a point of the steady clock. zeroWait marks a
// relative time-out of 0 (a poll), which fails with B_WOULD_BLOCK, not B_TIMED_OUT.
struct Deadline {
	bool infinite = true;
	bool zeroWait = false;
	std::chrono::steady_clock::time_point at{};
};

Deadline MakeDeadline(uint32 flags, bigtime_t timeout);
Deadline RelativeDeadline(bigtime_t timeout);

// Marks the calling thread as waiting on w (so kill_thread can wake it) for a scope.
class WaitRegistration {
public:
	explicit WaitRegistration(const std::shared_ptr<Waitable>& w);
	~WaitRegistration();
	bool Killed() const;
};

// Waits with w->mutex held (in lock) until ready() is true. Returns B_OK, B_TIMED_OUT
// or B_WOULD_BLOCK at the deadline, B_INTERRUPTED when the thread was killed; abort()
// true ends the wait with the status abortStatus. A call that need not block registers
// nothing (and so never allocates, even on a thread the kernel has not met).
template <class Ready, class Abort>
status_t WaitUntil(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Waitable>& w,
	const Deadline& deadline, Ready ready, Abort abort, status_t abortStatus)
{
	if (abort())
		return abortStatus;
	if (ready())
		return B_OK;
	if (deadline.zeroWait)
		return B_WOULD_BLOCK;
	WaitRegistration registration(w);
	for (;;) {
		if (abort())
			return abortStatus;
		if (ready())
			return B_OK;
		if (registration.Killed())
			return B_INTERRUPTED;
		if (deadline.infinite) {
			w->cv.wait(lock);
		} else if (w->cv.wait_until(lock, deadline.at) == std::cv_status::timeout) {
			if (abort())
				return abortStatus;
			return ready() ? B_OK : B_TIMED_OUT;
		}
	}
}

// The process-wide table of one kind of kernel object (ports, semaphores): ids from 1,
// at most `limit` objects at a time. Looking an id up takes no lock and allocates
// nothing: objects are never freed but kept in their slot and reused by a later Add()
// (under a new id), so a pointer from Lookup() always points at a live object, whose
// `id` (guarded by its mutex; 0 while free) says whether it is still the one asked for.
// An id is used again only after its slot's ids wrapped around.
// T derives from Waitable and has a member `int32 id`.
template <typename T>
class ObjectTable {
public:
	explicit ObjectTable(size_t limit)
		:
		fLimit(limit),
		fSlots(new std::atomic<const std::shared_ptr<T>*>[limit]),
		fOwners(limit),
		fGenerations(limit, 0)
	{
		for (size_t i = 0; i < limit; i++)
			fSlots[i].store(nullptr, std::memory_order_relaxed);
	}

	// Takes a free object, gives it a new id and calls init(object) with its mutex
	// held. The new id, or -1 when the table is full.
	template <typename Init>
	int32 Add(Init init)
	{
		std::lock_guard<std::mutex> guard(fMutex);
		if (fCount >= fLimit)
			return -1;
		size_t slot = fCursor;
		while (fOwners[slot] != nullptr && fOwners[slot]->id != 0)
			slot = (slot + 1) % fLimit;
		fCursor = (slot + 1) % fLimit;
		if (fOwners[slot] == nullptr) {
			fOwners[slot] = std::make_shared<T>();
			fSlots[slot].store(&fOwners[slot], std::memory_order_release);
		}
		uint32 generation = fGenerations[slot] + 1;
		if (int64(generation) * int64(fLimit) + int64(slot) + 1 > INT32_MAX)
			generation = 0;
		fGenerations[slot] = generation;
		int32 id = int32(int64(generation) * int64(fLimit) + int64(slot) + 1);
		T& object = *fOwners[slot];
		std::lock_guard<std::mutex> objectGuard(object.mutex);
		object.id = id;
		init(object);
		fCount++;
		return id;
	}

	// The object that this id names or named (check its id under its mutex), or null.
	// The pointer stays valid for the life of the process.
	const std::shared_ptr<T>* Lookup(int32 id) const
	{
		if (id <= 0)
			return nullptr;
		return fSlots[size_t(id - 1) % fLimit].load(std::memory_order_acquire);
	}

	// Frees the id: calls retire(object) with the object's mutex held, sets its id to 0
	// and wakes its waiters. False when no object has this id.
	template <typename Retire>
	bool Remove(int32 id, Retire retire)
	{
		const std::shared_ptr<T>* owner = Lookup(id);
		if (owner == nullptr)
			return false;
		std::lock_guard<std::mutex> guard(fMutex);
		T& object = **owner;
		std::lock_guard<std::mutex> objectGuard(object.mutex);
		if (object.id != id)
			return false;
		retire(object);
		object.id = 0;
		object.cv.notify_all();
		fCount--;
		return true;
	}

	// The id of the first object (in slot order) that `matches` (called with its mutex
	// held), or -1.
	template <typename Predicate>
	int32 Find(Predicate matches)
	{
		std::lock_guard<std::mutex> guard(fMutex);
		for (auto& owner : fOwners) {
			if (owner == nullptr)
				continue;
			std::lock_guard<std::mutex> objectGuard(owner->mutex);
			if (owner->id != 0 && matches(*owner))
				return owner->id;
		}
		return -1;
	}

private:
	const size_t fLimit;
	std::mutex fMutex;  // adding and removing
	std::unique_ptr<std::atomic<const std::shared_ptr<T>*>[]> fSlots;
	std::vector<std::shared_ptr<T>> fOwners;    // never resized: addresses stay
	std::vector<uint32> fGenerations;
	size_t fCursor = 0;
	size_t fCount = 0;
};

}  // namespace kernel_internal
