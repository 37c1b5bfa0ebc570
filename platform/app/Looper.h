// BLooper: a handler with a message queue, a recursive lock and a thread that takes the
// queued messages one by one and dispatches each with the looper locked.
//
// Life: construct, then Run() (own thread, named after the looper) or AttachDriver()
// (messages are dispatched on a thread someone else owns, e.g. the GUI thread: the driver
// is told when a message is queued and calls DispatchQueued() from that thread).
// Quit() ends the loop and deletes the looper: call it with the looper locked, and touch
// the looper no more afterwards. Inside a message handled by the looper it takes effect
// once the outermost dispatch of the looper has returned (a modal dialog may dispatch
// again inside a message; a quit inside that waits for the outer message). A looper that
// never ran, or a driven looper quit on its driver's thread outside a dispatch, is deleted
// at once. From another thread, Quit() waits until an own thread's loop has ended, but
// for a driven looper it only posts the quit and returns: the driver's thread deletes the
// looper at its next DispatchQueued() (never waiting for a loop that has stopped). Never
// delete a running looper with `delete`: Quit() it.
// B_QUIT_REQUESTED addressed to the looper calls QuitRequested() and quits when it
// answers true.
//
// Posting: PostMessage() copies the message into the queue without waiting and fails
// with B_WOULD_BLOCK when the queue (capacity given at construction) is full, or
// B_BAD_PORT_ID once the looper has quit. Without a handler argument the message is for
// the looper itself; with a null handler, for the preferred handler (the looper when
// none is set).
//
// Nested dispatch: a handler may run code that dispatches to the same looper again (a
// modal dialog's event loop calls DispatchQueued() on the same thread). The inner message
// is current while it is handled; the outer one is current again afterwards.
//
// Locking: Lock() may nest and is held by one thread at a time. A thread other than the
// looper's may lock it to read or change the looper's own data; the loop waits meanwhile.
// A driven looper (a window) never waits: its dispatch tries the lock and, when another
// thread holds it, leaves the message queued and asks the driver to come back
// (RetryLater). For a window, Lock() from another thread therefore only keeps the
// window's messages (and, in platform/interface, Qt's events for its widgets) from being
// handled meanwhile; it never makes it safe to touch widgets from that thread. Such a
// thread posts to the window instead (a notification "with the window locked" is a post).
// Holding a looper's lock while waiting for its reply is refused (see BMessenger).
#pragma once

#include "app/Handler.h"

class BMessenger;

#define B_LOOPER_PORT_DEFAULT_CAPACITY 200

// Runs loopers' messages on a thread of its own (see AttachDriver), e.g. the GUI thread.
// Lifetime: a driver outlives no looper's pointer to it: its destructor detaches every
// looper still attached. A derived driver calls DetachAll() first in its own destructor,
// so that no call reaches a half-destroyed object.
class BLooperDriver {
public:
	BLooperDriver();
	virtual ~BLooperDriver();
	BLooperDriver(const BLooperDriver&) = delete;
	BLooperDriver& operator=(const BLooperDriver&) = delete;

	// Messages are waiting: arrange for DispatchQueued() to run on the driver's thread.
	// Called from any thread, possibly with locks held: must not block or dispatch.
	// Called once until that DispatchQueued() starts: messages queued meanwhile are
	// part of the same drain.
	virtual void MessageQueued(BLooper* looper) = 0;
	// A dispatch found the looper locked by another thread and left its messages queued:
	// arrange for DispatchQueued() to run again a little later (not at once: that would
	// spin). Called on the driver's thread, with the looper's queue guard held: must not
	// block. The default does nothing: the messages then wait for the next MessageQueued.
	virtual void RetryLater(BLooper* looper);

protected:
	// Detaches every looper attached to this driver (see BLooper::DetachDriver).
	void DetachAll();

private:
	friend class BLooper;
	struct Attached;
	Attached* fAttached;
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
	// On the driver's thread: dispatches the messages that were queued when the call began
	// (those queued meanwhile wait for the next call, so the driver's own work is never
	// starved), at most maxMessages (-1: all). Returns the count, or B_BAD_VALUE on another
	// thread. Stops early when another thread holds the lock (the driver is asked to
	// RetryLater). When the looper quit (a message made it, or another thread posted the
	// quit), it is deleted before this returns and quitted is set; inside a nested
	// dispatch the deletion waits for the outermost one.
	int32 DispatchQueued(int32 maxMessages = -1, bool* quitted = nullptr);
	// On the driver's thread: the driver is told nothing more (its pointer is dropped
	// under the queue's guard, so no call is in flight once this returns); messages queue
	// until another driver attaches. A quit posted from another thread takes effect here.
	// Returns true when the looper was deleted.
	bool DetachDriver();
	bool IsDrivenExternally() const;
	// On the looper's thread: runs work(data) as a message's dispatch runs (looper locked,
	// counted as a dispatch: a Quit() inside it is carried out afterwards by the next
	// DispatchQueued, which the driver is asked for). B_WOULD_BLOCK without running it
	// while another thread holds the lock; B_BAD_VALUE on another thread or once the
	// looper is quitting. Qt's events for a window's widgets run this way.
	status_t DispatchWork(void (*work)(void*), void* data);

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
	// Dispatches a message to the handler named by token (the looper locked by the
	// caller, message owned), keeping the message of an outer dispatch current around it.
	void DispatchLocked(BMessage* message, int32 handlerToken);
	// After a dispatch, on the looper's thread, lock held: deletes the looper when it quit
	// and no outer dispatch is running (returns true), else unlocks.
	bool EndDispatch();
	// On the driver's thread: takes the lock when free, else asks the driver to retry.
	bool TryLockOrRetry();
	// A synchronous send from another looper on the same thread: dispatched at once.
	status_t DispatchDirect(BMessage* message, int32 handlerToken, bigtime_t lockTimeout);
	BHandler* ResolveHandler(int32 token) const;

	LooperCore* fCore;
	int32 fPriority;
	int32 fCapacity;
	BHandler* fPreferred;
	BMessage* fCurrentMessage;
	void* fHandlers;       // std::vector<BHandler*>, kept out of this header
	bool fQuitting;          // Quit() came inside a dispatch; deleted after the outermost
	int32 fDispatchDepth;    // nested dispatches running on the looper's thread
};
