#include "kernel/Locker.h"

#include <condition_variable>
#include <mutex>

#include "KernelWait.h"
#include "kernel/OS.h"

struct BLockerState {
	std::mutex mutex;
	std::condition_variable cv;
	thread_id owner = -1;
	int32 count = 0;
};

BLocker::BLocker() : fState(new BLockerState)
{
}

BLocker::BLocker(const char*) : fState(new BLockerState)
{
}

BLocker::~BLocker()
{
	delete fState;
}

bool BLocker::Lock()
{
	return LockWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}

status_t BLocker::LockWithTimeout(bigtime_t timeout)
{
	thread_id self = find_thread(nullptr);
	std::unique_lock<std::mutex> lock(fState->mutex);
	if (fState->owner == self) {
		++fState->count;
		return B_OK;
	}
	kernel_internal::Deadline deadline = kernel_internal::RelativeDeadline(timeout);
	while (fState->owner != -1) {
		if (deadline.zeroWait)
			return B_WOULD_BLOCK;
		if (deadline.infinite)
			fState->cv.wait(lock);
		else if (fState->cv.wait_until(lock, deadline.at) == std::cv_status::timeout
			&& fState->owner != -1)
			return B_TIMED_OUT;
	}
	fState->owner = self;
	fState->count = 1;
	return B_OK;
}

void BLocker::Unlock()
{
	std::lock_guard<std::mutex> guard(fState->mutex);
	if (fState->owner != find_thread(nullptr) || fState->count == 0)
		return;  // not ours: ignore rather than corrupt the holder's state
	if (--fState->count == 0) {
		fState->owner = -1;
		fState->cv.notify_one();
	}
}

bool BLocker::IsLocked() const
{
	std::lock_guard<std::mutex> guard(fState->mutex);
	return fState->owner == find_thread(nullptr);
}

int32 BLocker::CountLocks() const
{
	std::lock_guard<std::mutex> guard(fState->mutex);
	return fState->count;
}

thread_id BLocker::LockingThread() const
{
	std::lock_guard<std::mutex> guard(fState->mutex);
	return fState->owner;
}
