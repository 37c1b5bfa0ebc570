// Internal to the app library: the part of a looper that outlives it while messengers,
// handlers or senders still refer to it (queue, lock, liveness), with a manual count of
// references so that public headers need not include <memory>.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "kernel/Locker.h"
#include "kernel/SupportDefs.h"

class BHandler;
class BLooper;
class BLooperDriver;
class BMessage;

struct QueuedMessage {
	BMessage* message = nullptr;   // owned
	int32 handlerToken = -1;       // -1: the preferred handler
	uint64 serial = 0;             // order of arrival; a drain stops at its start's serial
};

struct LooperCore {
	std::atomic<int32> refs{1};
	std::mutex mutex;   // guards everything below except the looper lock
	std::condition_variable queueChanged;
	std::condition_variable loopEnded;
	std::deque<QueuedMessage> queue;
	size_t capacity = 0;
	bool alive = true;       // the BLooper object exists
	bool accepting = true;   // takes new messages (false once quitting)
	bool ended = false;      // the loop has stopped for good
	bool driven = false;     // dispatched by a driver's thread (attached once)
	bool quitPosted = false; // a driven looper was quit from another thread
	bool drainAsked = false; // the driver was told of messages and has not dispatched since
	uint64 nextSerial = 0;
	BLooper* looper = nullptr;
	BLooperDriver* driver = nullptr;   // called only with `mutex` held
	thread_id thread = -1;
	std::map<int32, BHandler*> handlers;   // token -> handler, for messengers
	BLocker lock;                          // the looper lock

	// With `mutex` held: tells the driver that messages wait, once until it next dispatches
	// (a burst of posts wakes the driver's thread once, not once per message).
	void AskDriverLocked();

	void AddRef() { refs.fetch_add(1); }
	void Release()
	{
		if (refs.fetch_sub(1) == 1)
			delete this;
	}

	// Takes ownership of message (deleting it on failure). Waits for room until the
	// time-out (relative, microseconds; 0 = no wait).
	status_t Enqueue(BMessage* message, int32 handlerToken, bigtime_t timeout);
	// Locks the looper lock and checks that the looper still exists.
	status_t LockLooper(bigtime_t timeout);
	thread_id Thread();
};

// The looper whose message the calling thread is handling (innermost), or null.
BLooper* CurrentlyDispatchingLooper();
// True on a thread that drives loopers (the GUI thread).
bool ThreadDrivesLoopers();
