#include "kernel/Locker.h"

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <ctime>

#include "kernel/OS.h"

// A recursive POSIX mutex with priority inheritance: a real-time thread waiting for the
// lock lends its priority to the holder, so a low-priority holder cannot keep it waiting
// behind the threads in between. Where the system offers no such mutex, a plain
// recursive one.
struct BLockerState {
	pthread_mutex_t mutex;
	std::atomic<thread_id> owner{-1};   // written by the holder only
	std::atomic<int32> count{0};        // nesting; changed by the holder only
	bool inherits = false;
};

namespace {

void InitMutex(BLockerState* state)
{
	pthread_mutexattr_t attributes;
	pthread_mutexattr_init(&attributes);
	pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
	state->inherits = pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT) == 0
		&& pthread_mutex_init(&state->mutex, &attributes) == 0;
	if (!state->inherits) {
		pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_NONE);
		pthread_mutex_init(&state->mutex, &attributes);
	}
	pthread_mutexattr_destroy(&attributes);
}

timespec After(clockid_t clock, bigtime_t timeout)
{
	timespec at;
	clock_gettime(clock, &at);
	at.tv_sec += time_t(timeout / 1000000);
	at.tv_nsec += long(timeout % 1000000) * 1000;
	if (at.tv_nsec >= 1000000000) {
		at.tv_sec++;
		at.tv_nsec -= 1000000000;
	}
	return at;
}

}  // namespace

BLocker::BLocker() : fState(new BLockerState)
{
	InitMutex(fState);
}

BLocker::BLocker(const char*) : BLocker()
{
}

BLocker::~BLocker()
{
	pthread_mutex_destroy(&fState->mutex);
	delete fState;
}

bool BLocker::Lock()
{
	return LockWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}

status_t BLocker::LockWithTimeout(bigtime_t timeout)
{
	int result;
	if (timeout == B_INFINITE_TIMEOUT) {
		result = pthread_mutex_lock(&fState->mutex);
	} else if (timeout <= 0) {
		result = pthread_mutex_trylock(&fState->mutex);
		if (result == EBUSY)
			return B_WOULD_BLOCK;
	} else {
		timespec at = After(CLOCK_MONOTONIC, timeout);
#if defined(__SANITIZE_THREAD__)
		// ThreadSanitizer does not see pthread_mutex_clocklock take the lock (it would
		// report every unlock after it); its builds wait by the real-time clock.
		result = EINVAL;
#else
		result = pthread_mutex_clocklock(&fState->mutex, CLOCK_MONOTONIC, &at);
#endif
		if (result == EINVAL) {
			// Older kernels wait on a priority-inheriting mutex by the real-time clock only.
			at = After(CLOCK_REALTIME, timeout);
			result = pthread_mutex_timedlock(&fState->mutex, &at);
		}
		if (result == ETIMEDOUT)
			return B_TIMED_OUT;
	}
	if (result != 0)
		return B_ERROR;
	if (++fState->count == 1)
		fState->owner.store(find_thread(nullptr));
	return B_OK;
}

void BLocker::Unlock()
{
	if (fState->owner.load() != find_thread(nullptr) || fState->count.load() == 0)
		return;  // not ours: ignore rather than corrupt the holder's state
	if (--fState->count == 0)
		fState->owner.store(-1);
	pthread_mutex_unlock(&fState->mutex);
}

bool BLocker::IsLocked() const
{
	return fState->owner.load() == find_thread(nullptr);
}

int32 BLocker::CountLocks() const
{
	return fState->count.load();
}

thread_id BLocker::LockingThread() const
{
	return fState->owner.load();
}
