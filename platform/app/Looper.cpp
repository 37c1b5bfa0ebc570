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

status_t LooperCore::Enqueue(BMessage* message, int32 handlerToken, bigtime_t timeout)
{
	BLooperDriver* notify = nullptr;
	BLooper* target = nullptr;
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
		queue.push_back(QueuedMessage{message, handlerToken});
		queueChanged.notify_all();
		notify = driver;
		target = looper;
		// The driver is told with the mutex held so that the looper cannot go away
		// meanwhile; drivers only schedule work, they do not dispatch here.
		if (notify)
			notify->MessageQueued(target);
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

BLooperDriver::~BLooperDriver() = default;

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
	  fDispatching(false)
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
		waitForLoop = fCore->thread >= 0 && fCore->driver == nullptr && !fCore->ended
			&& fCore->thread != find_thread(nullptr) && !fQuitting;
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
	{
		std::lock_guard<std::mutex> guard(fCore->mutex);
		fCore->alive = false;
		fCore->accepting = false;
		fCore->looper = nullptr;
		fCore->driver = nullptr;
		fCore->handlers.clear();
		dropped.assign(fCore->queue.begin(), fCore->queue.end());
		fCore->queue.clear();
		fCore->queueChanged.notify_all();
	}
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
	std::lock_guard<std::mutex> guard(fCore->mutex);
	if (fCore->thread >= 0)
		return B_ALREADY_RUNNING;
	fCore->thread = find_thread(nullptr);
	fCore->driver = driver;
	if (!fCore->queue.empty())
		driver->MessageQueued(this);
	return B_OK;
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
	bool deleteSelf = false;
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
		if (!DispatchOne(next.message, next.handlerToken)) {
			deleteSelf = true;
			break;
		}
	}
	if (deleteSelf) {
		// Quit() on our own thread: the looper is ours to delete (locked, as Quit wants).
		Lock();
		delete this;
	} else {
		// Quit() from another thread: that thread deletes the looper once we are out.
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
	int32 count = 0;
	while (maxMessages < 0 || count < maxMessages) {
		QueuedMessage next;
		{
			std::lock_guard<std::mutex> guard(core->mutex);
			if (!core->accepting) {
				// Another thread is quitting us and will delete the looper.
				core->ended = true;
				core->loopEnded.notify_all();
				if (quitted)
					*quitted = true;
				return count;
			}
			if (core->queue.empty())
				break;
			next = core->queue.front();
			core->queue.pop_front();
			core->queueChanged.notify_all();
		}
		count++;
		if (!DispatchOne(next.message, next.handlerToken)) {
			Lock();
			delete this;
			if (quitted)
				*quitted = true;
			return count;
		}
	}
	return count;
}

bool BLooper::DispatchOne(BMessage* message, int32 handlerToken)
{
	if (!Lock()) {
		delete message;
		return true;
	}
	BHandler* handler = ResolveHandler(handlerToken);
	if (handler != nullptr) {
		BMessagePrivate::MarkDelivered(message);
		fCurrentMessage = message;
		fDispatching = true;
		DispatchMessage(message, handler);
		fDispatching = false;
		message = fCurrentMessage;   // null when detached
		fCurrentMessage = nullptr;
	}
	bool quitting = fQuitting;
	Unlock();
	delete message;   // unanswered: a waiting sender gets B_NO_REPLY
	return !quitting;
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
	BLooperDriver* driver;
	{
		std::lock_guard<std::mutex> guard(fCore->mutex);
		thread = fCore->thread;
		driver = fCore->driver;
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
		if (fDispatching) {
			fQuitting = true;   // the loop ends after the current message
			return;
		}
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
	if (driver)
		driver->MessageQueued(this);
	int32 held = core->lock.IsLocked() ? core->lock.CountLocks() : 0;
	while (held-- > 0)
		core->lock.Unlock();
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
