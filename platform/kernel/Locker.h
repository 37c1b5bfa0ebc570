// BLocker: a recursive lock with time-outs that knows its owner thread.
// BAutolock: holds a BLocker, a BLooper or anything with Lock()/Unlock() for a scope.
// Thread rules: any thread may lock; only the owner unlocks. The lock inherits priority:
// while a real-time thread waits for it, the holder runs at the waiter's priority.
// Locking and unlocking allocate nothing, also on a thread the kernel did not start.
#pragma once

#include "kernel/SupportDefs.h"

struct BLockerState;

class BLocker {
public:
	BLocker();
	explicit BLocker(const char* name);
	~BLocker();
	BLocker(const BLocker&) = delete;
	BLocker& operator=(const BLocker&) = delete;

	bool Lock();
	status_t LockWithTimeout(bigtime_t timeout);
	void Unlock();
	// True when the calling thread holds the lock.
	bool IsLocked() const;
	// Nesting depth of the holder; 0 when free.
	int32 CountLocks() const;
	thread_id LockingThread() const;

private:
	BLockerState* fState;
};

class BAutolock {
public:
	template <class Lockable>
	explicit BAutolock(Lockable* lockable)
		: fObject(lockable),
		  fUnlock([](void* o) { static_cast<Lockable*>(o)->Unlock(); })
	{
		fLocked = lockable != nullptr && lockable->Lock();
	}
	template <class Lockable>
	explicit BAutolock(Lockable& lockable) : BAutolock(&lockable)
	{
	}
	~BAutolock()
	{
		if (fLocked)
			fUnlock(fObject);
	}
	BAutolock(const BAutolock&) = delete;
	BAutolock& operator=(const BAutolock&) = delete;

	bool IsLocked() const { return fLocked; }

private:
	void* fObject;
	void (*fUnlock)(void*);
	bool fLocked;
};
