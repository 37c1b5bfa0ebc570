// LockHolder: another thread that holds a looper's lock until released, for tests of
// what a looper (or a window) does meanwhile.
#pragma once

#include <atomic>
#include <thread>

#include "app/Looper.h"
#include "kernel/OS.h"

class LockHolder {
public:
	// Returns once the other thread holds the lock.
	explicit LockHolder(BLooper* looper)
		: fThread([this, looper] {
			  looper->Lock();
			  fLocked = true;
			  while (!fRelease)
				  snooze(1000);
			  looper->Unlock();
		  })
	{
		while (!fLocked)
			snooze(1000);
	}
	~LockHolder() { Release(); }
	LockHolder(const LockHolder&) = delete;
	LockHolder& operator=(const LockHolder&) = delete;

	// Unlocks and waits for the other thread to end.
	void Release()
	{
		fRelease = true;
		if (fThread.joinable())
			fThread.join();
	}

private:
	std::atomic<bool> fLocked{false};
	std::atomic<bool> fRelease{false};
	std::thread fThread;
};
