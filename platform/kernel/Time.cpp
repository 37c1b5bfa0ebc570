#include "kernel/OS.h"

#include "KernelWait.h"

using namespace std::chrono;

bigtime_t system_time()
{
	return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace kernel_internal {

Deadline RelativeDeadline(bigtime_t timeout)
{
	Deadline d;
	if (timeout == B_INFINITE_TIMEOUT)
		return d;
	d.infinite = false;
	if (timeout <= 0) {
		d.zeroWait = true;
		d.at = steady_clock::now();
		return d;
	}
	// Far-away deadlines are as good as none (and must not overflow the clock).
	if (timeout > bigtime_t(100) * 365 * 24 * 3600 * 1000000)
		return Deadline();
	d.at = steady_clock::now() + microseconds(timeout);
	return d;
}

Deadline MakeDeadline(uint32 flags, bigtime_t timeout)
{
	if (flags & B_ABSOLUTE_TIMEOUT) {
		if (timeout == B_INFINITE_TIMEOUT)
			return Deadline();
		bigtime_t remaining = timeout - system_time();
		Deadline d = RelativeDeadline(remaining <= 0 ? 0 : remaining);
		// An absolute time in the past is a time-out, not a poll.
		if (d.zeroWait)
			d.zeroWait = false;
		return d;
	}
	if (flags & B_RELATIVE_TIMEOUT)
		return RelativeDeadline(timeout);
	return Deadline();
}

}  // namespace kernel_internal

using namespace kernel_internal;

status_t snooze(bigtime_t microseconds)
{
	if (microseconds <= 0)
		return thread_killed() ? B_INTERRUPTED : B_OK;
	auto w = std::make_shared<Waitable>();
	std::unique_lock<std::mutex> lock(w->mutex);
	Deadline deadline = RelativeDeadline(microseconds);
	status_t status = WaitUntil(
		lock, w, deadline, [] { return false; }, [] { return false; }, B_OK);
	return status == B_TIMED_OUT ? B_OK : status;
}

status_t snooze_until(bigtime_t when, int timebase)
{
	if (timebase != B_SYSTEM_TIMEBASE)
		return B_BAD_VALUE;
	bigtime_t remaining = when - system_time();
	return snooze(remaining);
}
