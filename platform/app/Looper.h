// BLooper: a handler with a message queue, a recursive lock and a thread that takes the
// queued messages one by one and dispatches each with the looper locked.
//
// Life: construct, then Run() (own thread, named after the looper) or AttachDriver()
// (messages are dispatched on a thread someone else owns, e.g. the GUI thread: the driver
// is told when a message is queued and calls DispatchQueued() from that thread).
// Quit() ends the loop and deletes the looper: call it with the looper locked. Inside a
// message handled by the looper it takes effect after that message; from another thread
// it waits until the loop has ended; a looper that never ran, or a driven looper quit on
// its driver's thread outside a dispatch, is deleted at once. Never delete a running
// looper with `delete`: Quit() it.
// B_QUIT_REQUESTED addressed to the looper calls QuitRequested() and quits when it
// answers true.
//
// Posting: PostMessage() copies the message into the queue without waiting and fails
// with B_WOULD_BLOCK when the queue (capacity given at construction) is full, or
// B_BAD_PORT_ID once the looper has quit. Without a handler argument the message is for
// the looper itself; with a null handler, for the preferred handler (the looper when
// none is set).
//
// Locking: Lock() may nest and is held by one thread at a time; a thread other than the
// looper's may lock it to touch the looper's data (the loop waits meanwhile).
#pragma once

#include "app/Handler.h"

class BMessenger;

#define B_LOOPER_PORT_DEFAULT_CAPACITY 200

// Runs a looper's messages on a thread of its own choosing (see AttachDriver).
class BLooperDriver {
public:
	virtual ~BLooperDriver();
	// A message is waiting: arrange for DispatchQueued() to run on the driver's thread.
	// Called from any thread, possibly with locks held: must not block or dispatch.
	virtual void MessageQueued(BLooper* looper) = 0;
};

class BLooper : public BHandler {
public:
	explicit BLooper(const char* name = nullptr, int32 priority = 10 /* B_NORMAL_PRIORITY */,
		int32 portCapacity = B_LOOPER_PORT_DEFAULT_CAPACITY);
	virtual ~BLooper();

	thread_id Run();
	// Dispatch on the calling thread instead of an own thread: the driver is told about
	// every queued message and the calling thread (which must be the one that will call
	// DispatchQueued) becomes the looper's thread. Returns B_ALREADY_RUNNING when running.
	status_t AttachDriver(BLooperDriver* driver);
	// On the driver's thread: dispatches the messages queued now, at most maxMessages
	// (-1: all). Returns the count, or B_BAD_VALUE on another thread. When a message made
	// the looper quit, the looper is deleted before this returns (and quitted is set).
	int32 DispatchQueued(int32 maxMessages = -1, bool* quitted = nullptr);
	bool IsDrivenExternally() const;

	virtual void Quit();
	virtual bool QuitRequested();

	status_t PostMessage(uint32 command);
	status_t PostMessage(BMessage* message);
	status_t PostMessage(uint32 command, BHandler* handler, BHandler* replyTo = nullptr);
	status_t PostMessage(BMessage* message, BHandler* handler, BHandler* replyTo = nullptr);

	virtual void DispatchMessage(BMessage* message, BHandler* handler);
	// Inside a dispatch: the message being handled; Detach... hands it to the caller.
	BMessage* CurrentMessage() const;
	BMessage* DetachCurrentMessage();

	void AddHandler(BHandler* handler);
	bool RemoveHandler(BHandler* handler);
	int32 CountHandlers() const;
	BHandler* HandlerAt(int32 index) const;
	int32 IndexOf(BHandler* handler) const;
	BHandler* PreferredHandler() const;
	void SetPreferredHandler(BHandler* handler);

	bool Lock();
	status_t LockWithTimeout(bigtime_t timeout);
	void Unlock();
	bool IsLocked() const;        // by the calling thread
	thread_id LockingThread() const;
	int32 CountLocks() const;

	thread_id Thread() const;
	bool IsRunning() const;
	int32 Priority() const { return fPriority; }
	int32 PortCapacity() const { return fCapacity; }
	// Messages waiting in the queue.
	int32 CountQueuedMessages() const;

	// Internal: the shared state messengers refer to.
	LooperCore* Core() const { return fCore; }

private:
	friend class BMessenger;
	static status_t ThreadEntry(void* looper);
	void Loop();
	// Dispatches one message taken from the queue (lock taken here); true to go on.
	bool DispatchOne(BMessage* message, int32 handlerToken);
	BHandler* ResolveHandler(int32 token) const;

	LooperCore* fCore;
	int32 fPriority;
	int32 fCapacity;
	BHandler* fPreferred;
	BMessage* fCurrentMessage;
	void* fHandlers;       // std::vector<BHandler*>, kept out of this header
	bool fQuitting;
	bool fDispatching;   // inside DispatchMessage on the looper's thread
};
