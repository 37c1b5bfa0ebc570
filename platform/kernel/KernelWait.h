// Internal to the kernel library: blocking waits that time out and that kill_thread()
// can interrupt. Every waitable kernel object derives from Waitable.
#pragma once

#include <chrono>
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

}  // namespace kernel_internal
