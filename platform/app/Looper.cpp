#include "app/Looper.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "LooperCore.h"
#include "MessagePrivate.h"
#include "app/AppDefs.h"
#include "app/Message.h"
#include "app/Messenger.h"
#include "kernel/OS.h"

// --- the shared core ---

void LooperCore::AskDriverLocked()
{
	if (driver != nullptr && looper != nullptr && !drainAsked) {
		drainAsked = true;
		driver->MessageQueued(looper);
	}
}

status_t LooperCore::Enqueue(BMessage* message, int32 handlerToken, bigtime_t timeout)
{
	{
		std::unique_lock<std::mutex> lock(mutex);
		auto full = [&] { return queue.size() >= capacity; };
		if (alive && accepting && full() && timeout > 0) {
			auto stop = [&] { return !alive || !accepting || !full(); };
			if (timeout == B_INFINITE_TIMEOUT)
				queueChanged.wait(lock, stop);
			else
				queueChanged.wait_for(lock, std::chrono::microseconds(timeout), stop);
		}
		status_t status = B_OK;
		if (!alive || !accepting)
			status = B_BAD_PORT_ID;
		else if (full())
			status = timeout > 0 ? B_TIMED_OUT : B_WOULD_BLOCK;
		if (status != B_OK) {
			lock.unlock();
			delete message;   // a waiting sender hears B_NO_REPLY... and the error
			return status;
		}
		queue.push_back(QueuedMessage{message, handlerToken, nextSerial++});
		queueChanged.notify_all();
		// The driver is told with the mutex held so that the looper cannot go away
		// meanwhile; drivers only schedule work, they do not dispatch here.
		AskDriverLocked();
	}
	return B_OK;
}

status_t LooperCore::LockLooper(bigtime_t timeout)
{
	{
		std::lock_guard<std::mutex> guard(mutex);
		if (!alive)
			return B_BAD_VALUE;
	}
	status_t status = lock.LockWithTimeout(timeout);
	if (status != B_OK)
		return status;
	std::lock_guard<std::mutex> guard(mutex);
	if (!alive) {
		lock.Unlock();
		return B_BAD_VALUE;
	}
	return B_OK;
}

thread_id LooperCore::Thread()
{
	std::lock_guard<std::mutex> guard(mutex);
	return thread;
}

// --- drivers ---

struct BLooperDriver::Attached {
	std::mutex mutex;
	std::vector<LooperCore*> cores;   // referenced while listed
};

BLooperDriver::BLooperDriver() : fAttached(new Attached)
{
}

BLooperDriver::~BLooperDriver()
{
	DetachAll();
	delete fAttached;
}

void BLooperDriver::RetryLater(BLooper*)
{
}

void BLooperDriver::DetachAll()
{
	std::vector<LooperCore*> cores;
	{
		std::lock_guard<std::mutex> guard(fAttached->mutex);
		cores.swap(fAttached->cores);
	}
	for (LooperCore* core : cores) {
		{
			std::lock_guard<std::mutex> guard(core->mutex);
			if (core->driver == this) {
				core->driver = nullptr;
				core->drainAsked = false;
			}
		}
		core->Release();
	}
}

namespace {

// Drops a core from its driver's list (when still there) and the list's reference.
void Unlist(BLooperDriver* driver, LooperCore* core, std::vector<LooperCore*>& cores,
	std::mutex& mutex)
{
	bool listed = false;
	{
		std::lock_guard<std::mutex> guard(mutex);
		auto it = std::find(cores.begin(), cores.end(), core);
		if (it != cores.end()) {
			cores.erase(it);
			listed = true;
		}
	}
	if (listed)
		core->Release();
}

// The looper dispatching on this thread right now (innermost), and whether this thread
// drives loopers (the GUI thread).
thread_local BLooper* tDispatching = nullptr;
thread_local bool tDrivesLoopers = false;

}  // namespace

BLooper* CurrentlyDispatchingLooper()
{
	return tDispatching;
}

bool ThreadDrivesLoopers()
{
	return tDrivesLoopers;
}

// --- the looper ---

namespace {
std::vector<BHandler*>& HandlerList(void* p)
{
	return *static_cast<std::vector<BHandler*>*>(p);
}
}  // namespace

BLooper::BLooper(const char* name, int32 priority, int32 portCapacity)
	: BHandler(name),
	  fCore(new LooperCore),
	  fPriority(priority),
	  fCapacity(portCapacity < 1 ? B_LOOPER_PORT_DEFAULT_CAPACITY : portCapacity),
	  fPreferred(nullptr),
	  fCurrentMessage(nullptr),
	  fHandlers(new std::vector<BHandler*>),
	  fQuitting(false),
	  fDispatchDepth(0)
{
	fCore->capacity = size_t(fCapacity);
	fCore->looper = this;
	AddHandler(this);
}

BLooper::~BLooper()
{
	// Deleting a looper whose own thread still runs is a mistake (use Quit); at least
	// stop the loop before the looper's memory goes.
	bool waitForLoop = false;
	{
		std::lock_guard<std::mutex> guard(fCore->mutex);
		waitForLoop = fCore->thread >= 0 && !fCore->driven && !fCore->ended
			&& fCore->thread != find_thread(nullptr) && !fQuitting && !fCore->quitPosted;
		if (waitForLoop) {
			fCore->accepting = false;
			fCore->queueChanged.notify_all();
		}
	}
	if (waitForLoop) {
		int32 held = fCore->lock.IsLocked() ? fCore->lock.CountLocks() : 0;
		while (held-- > 0)
			fCore->lock.Unlock();
		std::unique_lock<std::mutex> lock(fCore->mutex);
		fCore->loopEnded.wait(lock, [&] { return fCore->ended; });
	}
	std::vector<QueuedMessage> dropped;
	BLooperDriver* driver = nullptr;
	{
		std::lock_guard<std::mutex> guard(fCore->mutex);
		fCore->alive = false;
		fCore->accepting = false;
		fCore->looper = nullptr;
		driver = fCore->driver;
		fCore->driver = nullptr;
		fCore->handlers.clear();
		dropped.assign(fCore->queue.begin(), fCore->queue.end());
		fCore->queue.clear();
		fCore->queueChanged.notify_all();
	}
	if (driver)
		Unlist(driver, fCore, driver->fAttached->cores, driver->fAttached->mutex);
	// Deleting an unanswered message tells a waiting sender B_NO_REPLY.
	for (QueuedMessage& q : dropped)
		delete q.message;
	delete fCurrentMessage;
	fCurrentMessage = nullptr;
	for (BHandler* handler : HandlerList(fHandlers)) {
		if (handler != this)
			handler->SetLooper(nullptr);
	}
	delete &HandlerList(fHandlers);
	fHandlers = nullptr;
	SetLooper(nullptr);
	// Let threads waiting in Lock() see that the looper is gone.
	int32 held = fCore->lock.IsLocked() ? fCore->lock.CountLocks() : 0;
	while (held-- > 0)
		fCore->lock.Unlock();
	fCore->Release();
}

thread_id BLooper::Run()
{
	{
		std::lock_guard<std::mutex> guard(fCore->mutex);
		if (fCore->thread >= 0)
			return B_ALREADY_RUNNING;
	}
	thread_id thread = spawn_thread(&BLooper::ThreadEntry, Name() ? Name() : "looper", fPriority, this);
	if (thread < 0)
		return thread;
	{
		std::lock_guard<std::mutex> guard(fCore->mutex);
		fCore->thread = thread;
	}
	// Run() is called with the looper locked, by convention; the loop takes the lock
	// for each message, so it waits until the caller unlocks.
	status_t status = resume_thread(thread);
	if (status != B_OK) {
		std::lock_guard<std::mutex> guard(fCore->mutex);
		fCore->thread = -1;
		return status;
	}
	return thread;
}

status_t BLooper::AttachDriver(BLooperDriver* driver)
{
	if (driver == nullptr)
		return B_BAD_VALUE;
	thread_id self = find_thread(nullptr);
	{
		std::lock_guard<std::mutex> guard(fCore->mutex);
		// A detached looper may be attached again on the same thread.
		if (fCore->driver != nullptr || (fCore->thread >= 0 && fCore->thread != self)
			|| (fCore->thread == self && !fCore->accepting))
			return B_ALREADY_RUNNING;
		fCore->thread = self;
		fCore->driver = driver;
		fCore->driven = true;
	}
	fCore->AddRef();
	{
		std::lock_guard<std::mutex> guard(driver->fAttached->mutex);
		driver->fAttached->cores.push_back(fCore);
	}
	tDrivesLoopers = true;
	std::lock_guard<std::mutex> guard(fCore->mutex);
	fCore->drainAsked = false;
	if (!fCore->queue.empty() && fCore->driver == driver)
		fCore->AskDriverLocked();
	return B_OK;
}

bool BLooper::DetachDriver()
{
	BLooperDriver* driver = nullptr;
	bool quitPosted = false;
	{
		std::lock_guard<std::mutex> guard(fCore->mutex);
		if (fCore->thread != find_thread(nullptr))
			return false;
		driver = fCore->driver;
		fCore->driver = nullptr;
		fCore->drainAsked = false;
		quitPosted = fCore->quitPosted;
	}
	if (driver)
		Unlist(driver, fCore, driver->fAttached->cores, driver->fAttached->mutex);
	if (quitPosted && fDispatchDepth == 0) {
		Lock();
		delete this;
		return true;
	}
	return false;
}

bool BLooper::IsDrivenExternally() const
{
	std::lock_guard<std::mutex> guard(fCore->mutex);
	return fCore->driver != nullptr;
}

status_t BLooper::ThreadEntry(void* data)
{
	static_cast<BLooper*>(data)->Loop();
	return B_OK;
}

void BLooper::Loop()
{
	LooperCore* core = fCore;
	core->AddRef();
	for (;;) {
		QueuedMessage next;
		{
			std::unique_lock<std::mutex> lock(core->mutex);
			core->queueChanged.wait(lock, [&] { return !core->accepting || !core->queue.empty(); });
			if (!core->accepting)
				break;
			next = core->queue.front();
			core->queue.pop_front();
			core->queueChanged.notify_all();
		}
		// The loop's own thread may wait for the lock: the holder only touches data.
		Lock();
		DispatchLocked(next.message, next.handlerToken);
		if (EndDispatch()) {
			// Quit() on our own thread: the looper deleted itself.
			core->Release();
			return;
		}
	}
	// Quit() from another thread: that thread deletes the looper once we are out.
	{
		std::lock_guard<std::mutex> guard(core->mutex);
		core->ended = true;
		core->loopEnded.notify_all();
	}
	core->Release();
}

int32 BLooper::DispatchQueued(int32 maxMessages, bool* quitted)
{
	if (quitted)
		*quitted = false;
	LooperCore* core = fCore;
	if (core->Thread() != find_thread(nullptr))
		return B_BAD_VALUE;
	uint64 limit;
	{
		std::lock_guard<std::mutex> guard(core->mutex);
		// Messages queued from here on ask the driver again.
		core->drainAsked = false;
		limit = core->nextSerial;
	}
	int32 count = 0;
	for (;;) {
		bool quitPosted = false;
		bool more = false;
		{
			std::lock_guard<std::mutex> guard(core->mutex);
			quitPosted = core->quitPosted;
			more = !core->queue.empty() && core->queue.front().serial < limit;
		}
		if (quitPosted || fQuitting) {
			// Quit from another thread, or inside a dispatch further out: the outermost
			// dispatch on this thread deletes the looper.
			if (fDispatchDepth > 0)
				return count;
			if (!TryLockOrRetry())
				return count;
			fQuitting = true;
			if (quitted)
				*quitted = true;
			EndDispatch();
			return count;
		}
		if (!more)
			return count;
		if (maxMessages >= 0 && count >= maxMessages) {
			// A bounded drain leaves the rest for a later one.
			std::lock_guard<std::mutex> guard(core->mutex);
			core->AskDriverLocked();
			return count;
		}
		if (!TryLockOrRetry())
			return count;
		QueuedMessage next;
		{
			std::lock_guard<std::mutex> guard(core->mutex);
			next = core->queue.front();
			core->queue.pop_front();
			core->queueChanged.notify_all();
		}
		count++;
		DispatchLocked(next.message, next.handlerToken);
		if (fQuitting && fDispatchDepth == 0) {
			if (quitted)
				*quitted = true;
			EndDispatch();
			return count;
		}
		Unlock();
	}
}

bool BLooper::TryLockOrRetry()
{
	if (fCore->lock.LockWithTimeout(0) == B_OK)
		return true;
	// Another thread holds the looper: never wait for it on the driver's thread.
	std::lock_guard<std::mutex> guard(fCore->mutex);
	if (fCore->driver)
		fCore->driver->RetryLater(this);
	return false;
}

void BLooper::DispatchLocked(BMessage* message, int32 handlerToken)
{
	BHandler* handler = ResolveHandler(handlerToken);
	if (handler == nullptr) {
		delete message;   // the handler has left: a waiting sender gets B_NO_REPLY
		return;
	}
	BMessage* outerMessage = fCurrentMessage;
	BLooper* outerLooper = tDispatching;
	BMessagePrivate::MarkDelivered(message);
	fCurrentMessage = message;
	fDispatchDepth++;
	tDispatching = this;
	DispatchMessage(message, handler);
	tDispatching = outerLooper;
	fDispatchDepth--;
	message = fCurrentMessage;   // null when detached
	fCurrentMessage = outerMessage;
	delete message;   // unanswered: a waiting sender gets B_NO_REPLY
}

bool BLooper::EndDispatch()
{
	if (fQuitting && fDispatchDepth == 0) {
		{
			std::lock_guard<std::mutex> guard(fCore->mutex);
			fCore->accepting = false;
			fCore->ended = true;
		}
		delete this;
		return true;
	}
	Unlock();
	return false;
}

status_t BLooper::DispatchWork(void (*work)(void*), void* data)
{
	{
		std::lock_guard<std::mutex> guard(fCore->mutex);
		if (fCore->thread != find_thread(nullptr) || fCore->quitPosted || !fCore->accepting)
			return B_BAD_VALUE;
	}
	if (fQuitting)
		return B_BAD_VALUE;
	if (fCore->lock.LockWithTimeout(0) != B_OK)
		return B_WOULD_BLOCK;
	BLooper* outerLooper = tDispatching;
	fDispatchDepth++;
	tDispatching = this;
	work(data);
	tDispatching = outerLooper;
	fDispatchDepth--;
	if (fQuitting && fDispatchDepth == 0) {
		// Not deleted here: Qt may still be using the widget whose event this was.
		std::lock_guard<std::mutex> guard(fCore->mutex);
		fCore->AskDriverLocked();
	}
	Unlock();
	return B_OK;
}

status_t BLooper::DispatchDirect(BMessage* message, int32 handlerToken, bigtime_t lockTimeout)
{
	status_t status = fCore->LockLooper(lockTimeout);
	if (status != B_OK) {
		delete message;
		return status;
	}
	DispatchLocked(message, handlerToken);
	EndDispatch();
	return B_OK;
}

BHandler* BLooper::ResolveHandler(int32 token) const
{
	if (token < 0)
		return fPreferred ? fPreferred : const_cast<BLooper*>(this);
	for (BHandler* handler : HandlerList(fHandlers))
		if (handler->Token() == token)
			return handler;
	return nullptr;   // the handler has left this looper: the message is dropped
}

void BLooper::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (message->what == B_QUIT_REQUESTED && handler == this) {
		if (QuitRequested())
			Quit();
		return;
	}
	handler->MessageReceived(message);
}

void BLooper::Quit()
{
	thread_id self = find_thread(nullptr);
	thread_id thread;
	{
		std::lock_guard<std::mutex> guard(fCore->mutex);
		thread = fCore->thread;
		if (thread >= 0 && thread != self)
			fCore->accepting = false;
		fCore->queueChanged.notify_all();
	}
	if (thread < 0) {
		// Never ran: nothing else refers to the looper's thread.
		delete this;
		return;
	}
	if (thread == self) {
		fQuitting = true;
		{
			std::lock_guard<std::mutex> guard(fCore->mutex);
			fCore->accepting = false;
		}
		if (fDispatchDepth > 0)
			return;   // the outermost dispatch deletes the looper
		// A driven looper quit by its driver's thread between dispatches.
		{
			std::lock_guard<std::mutex> guard(fCore->mutex);
			fCore->accepting = false;
			fCore->ended = true;
		}
		delete this;
		return;
	}
	LooperCore* core = fCore;
	core->AddRef();
	bool driven = false;
	{
		std::lock_guard<std::mutex> guard(core->mutex);
		// A looper driven by another thread (a window) is deleted there, never here.
		driven = core->driven;
		if (driven) {
			core->quitPosted = true;
			core->AskDriverLocked();
		}
	}
	int32 held = core->lock.IsLocked() ? core->lock.CountLocks() : 0;
	while (held-- > 0)
		core->lock.Unlock();
	if (driven) {
		core->Release();
		return;
	}
	{
		std::unique_lock<std::mutex> lock(core->mutex);
		core->loopEnded.wait(lock, [&] { return core->ended; });
	}
	core->Release();
	Lock();
	delete this;
}

bool BLooper::QuitRequested()
{
	return true;
}

status_t BLooper::PostMessage(uint32 command)
{
	BMessage message(command);
	return PostMessage(&message, this, nullptr);
}

status_t BLooper::PostMessage(BMessage* message)
{
	return PostMessage(message, this, nullptr);
}

status_t BLooper::PostMessage(uint32 command, BHandler* handler, BHandler* replyTo)
{
	BMessage message(command);
	return PostMessage(&message, handler, replyTo);
}

status_t BLooper::PostMessage(BMessage* message, BHandler* handler, BHandler* replyTo)
{
	if (message == nullptr)
		return B_BAD_VALUE;
	if (handler != nullptr && handler->Looper() != this)
		return B_MISMATCHED_VALUES;
	BMessage* copy = new (std::nothrow) BMessage(*message);
	if (copy == nullptr)
		return B_NO_MEMORY;
	if (replyTo != nullptr)
		BMessagePrivate::SetReturnAddress(copy, BMessenger(replyTo));
	return fCore->Enqueue(copy, handler ? handler->Token() : -1, 0);
}

BMessage* BLooper::CurrentMessage() const
{
	return fCurrentMessage;
}

BMessage* BLooper::DetachCurrentMessage()
{
	BMessage* message = fCurrentMessage;
	fCurrentMessage = nullptr;
	return message;
}

void BLooper::AddHandler(BHandler* handler)
{
	if (handler == nullptr || handler->Looper() == this)
		return;
	if (handler->Looper() != nullptr)
		handler->Looper()->RemoveHandler(handler);
	HandlerList(fHandlers).push_back(handler);
	handler->SetLooper(this);
	std::lock_guard<std::mutex> guard(fCore->mutex);
	fCore->handlers[handler->Token()] = handler;
}

bool BLooper::RemoveHandler(BHandler* handler)
{
	if (handler == nullptr || handler == this || handler->Looper() != this)
		return false;
	auto& list = HandlerList(fHandlers);
	list.erase(std::remove(list.begin(), list.end(), handler), list.end());
	if (fPreferred == handler)
		fPreferred = nullptr;
	{
		std::lock_guard<std::mutex> guard(fCore->mutex);
		fCore->handlers.erase(handler->Token());
	}
	handler->SetNextHandler(nullptr);
	handler->SetLooper(nullptr);
	return true;
}

int32 BLooper::CountHandlers() const
{
	return int32(HandlerList(fHandlers).size());
}

BHandler* BLooper::HandlerAt(int32 index) const
{
	auto& list = HandlerList(fHandlers);
	return index >= 0 && size_t(index) < list.size() ? list[size_t(index)] : nullptr;
}

int32 BLooper::IndexOf(BHandler* handler) const
{
	auto& list = HandlerList(fHandlers);
	auto it = std::find(list.begin(), list.end(), handler);
	return it == list.end() ? -1 : int32(it - list.begin());
}

BHandler* BLooper::PreferredHandler() const
{
	return fPreferred;
}

void BLooper::SetPreferredHandler(BHandler* handler)
{
	fPreferred = handler != nullptr && handler->Looper() == this ? handler : nullptr;
}

bool BLooper::Lock()
{
	return fCore->LockLooper(B_INFINITE_TIMEOUT) == B_OK;
}

status_t BLooper::LockWithTimeout(bigtime_t timeout)
{
	return fCore->LockLooper(timeout);
}

void BLooper::Unlock()
{
	fCore->lock.Unlock();
}

bool BLooper::IsLocked() const
{
	return fCore->lock.IsLocked();
}

thread_id BLooper::LockingThread() const
{
	return fCore->lock.LockingThread();
}

int32 BLooper::CountLocks() const
{
	return fCore->lock.CountLocks();
}

thread_id BLooper::Thread() const
{
	return fCore->Thread();
}

bool BLooper::IsRunning() const
{
	return Thread() >= 0;
}

int32 BLooper::CountQueuedMessages() const
{
	std::lock_guard<std::mutex> guard(fCore->mutex);
	return int32(fCore->queue.size());
}
