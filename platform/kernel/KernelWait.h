// Internal to the kernel library: blocking waits that time out and that kill_thread()
// can interrupt. Every waitable kernel object derives from Waitable.
#pragma once

#include <chrono>
#include <map>
#include <condition_variable>
#include <memory>
#include <mutex>

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
// true ends the wait with the status abortStatus.
template <class Ready, class Abort>
status_t WaitUntil(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Waitable>& w,
	const Deadline& deadline, Ready ready, Abort abort, status_t abortStatus)
{
	WaitRegistration registration(w);
	for (;;) {
		if (abort())
			return abortStatus;
		if (ready())
			return B_OK;
		if (registration.Killed())
			return B_INTERRUPTED;
		if (deadline.zeroWait)
			return B_WOULD_BLOCK;
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
// reused only after wrapping around, at most `limit` objects at a time.
template <typename T>
class ObjectTable {
public:
	// The new object's id, or -1 when the table is full.
	int32 Add(std::shared_ptr<T> object, size_t limit)
	{
		std::lock_guard<std::mutex> guard(fMutex);
		if (fObjects.size() >= limit)
			return -1;
		int32 id = fNextId;
		fNextId = fNextId == INT32_MAX ? 1 : fNextId + 1;
		fObjects[id] = std::move(object);
		return id;
	}
	std::shared_ptr<T> Lookup(int32 id)
	{
		std::lock_guard<std::mutex> guard(fMutex);
		auto it = fObjects.find(id);
		return it == fObjects.end() ? nullptr : it->second;
	}
	// Takes the object out of the table; null when there is none of that id.
	std::shared_ptr<T> Remove(int32 id)
	{
		std::lock_guard<std::mutex> guard(fMutex);
		auto it = fObjects.find(id);
		if (it == fObjects.end())
			return nullptr;
		std::shared_ptr<T> object = std::move(it->second);
		fObjects.erase(it);
		return object;
	}
	// The id of the first object (in id order) that `matches`, or -1.
	template <typename Predicate>
	int32 Find(Predicate matches)
	{
		std::lock_guard<std::mutex> guard(fMutex);
		for (auto& [id, object] : fObjects)
			if (matches(*object))
				return id;
		return -1;
	}

private:
	std::mutex fMutex;
	std::map<int32, std::shared_ptr<T>> fObjects;
	int32 fNextId = 1;
};

}  // namespace kernel_internal
