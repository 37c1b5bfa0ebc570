#include "app/Messenger.h"

#include <mutex>

#include "LooperCore.h"
#include "MessagePrivate.h"
#include "app/Handler.h"
#include "app/Looper.h"
#include "app/Message.h"
#include "kernel/OS.h"

BMessenger::BMessenger() : fCore(nullptr), fHandlerToken(-1)
{
}

BMessenger::BMessenger(const BHandler* handler, const BLooper* looper, status_t* result)
	: fCore(nullptr), fHandlerToken(-1)
{
	status_t status = B_OK;
	if (handler != nullptr) {
		BLooper* owner = handler->Looper();
		if (owner == nullptr || (looper != nullptr && owner != looper)) {
			status = owner == nullptr ? B_BAD_HANDLER : B_MISMATCHED_VALUES;
		} else {
			fCore = owner->Core();
			fHandlerToken = handler->Token();
		}
	} else if (looper != nullptr) {
		fCore = looper->Core();
	} else {
		status = B_BAD_VALUE;
	}
	if (fCore)
		fCore->AddRef();
	if (result)
		*result = status;
}

BMessenger::BMessenger(const BMessenger& other) : fCore(other.fCore), fHandlerToken(other.fHandlerToken)
{
	if (fCore)
		fCore->AddRef();
}

BMessenger& BMessenger::operator=(const BMessenger& other)
{
	if (other.fCore)
		other.fCore->AddRef();
	if (fCore)
		fCore->Release();
	fCore = other.fCore;
	fHandlerToken = other.fHandlerToken;
	return *this;
}

BMessenger::~BMessenger()
{
	if (fCore)
		fCore->Release();
}

bool BMessenger::IsValid() const
{
	if (fCore == nullptr)
		return false;
	std::lock_guard<std::mutex> guard(fCore->mutex);
	return fCore->alive && fCore->accepting;
}

BHandler* BMessenger::Target(BLooper** looper) const
{
	if (looper)
		*looper = nullptr;
	if (fCore == nullptr)
		return nullptr;
	std::lock_guard<std::mutex> guard(fCore->mutex);
	if (!fCore->alive)
		return nullptr;
	if (looper)
		*looper = fCore->looper;
	if (fHandlerToken < 0)
		return nullptr;   // the preferred handler, whichever it is at delivery
	auto it = fCore->handlers.find(fHandlerToken);
	return it == fCore->handlers.end() ? nullptr : it->second;
}

bool BMessenger::LockTarget() const
{
	return LockTargetWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}

status_t BMessenger::LockTargetWithTimeout(bigtime_t timeout) const
{
	if (fCore == nullptr)
		return B_BAD_VALUE;
	return fCore->LockLooper(timeout);
}

status_t BMessenger::SendMessage(uint32 command, BHandler* replyTo) const
{
	BMessage message(command);
	return SendMessage(&message, replyTo);
}

status_t BMessenger::SendMessage(BMessage* message, BHandler* replyTo, bigtime_t timeout) const
{
	BMessenger replyAddress;
	if (replyTo != nullptr)
		replyAddress = BMessenger(replyTo);
	return SendMessage(message, replyAddress, timeout);
}

namespace {

status_t PostCopy(LooperCore* core, int32 handlerToken, const BMessage& message,
	const BMessenger& replyTo, bool isReply, bigtime_t timeout)
{
	if (core == nullptr)
		return B_BAD_PORT_ID;
	BMessage* copy = new (std::nothrow) BMessage(message);
	if (copy == nullptr)
		return B_NO_MEMORY;
	if (replyTo.IsValid())
		BMessagePrivate::SetReturnAddress(copy, replyTo);
	if (isReply)
		BMessagePrivate::MarkReply(copy);
	// The looper's own thread must not wait for room that only it can make.
	if (core->Thread() == find_thread(nullptr))
		timeout = 0;
	return core->Enqueue(copy, handlerToken, timeout);
}

}  // namespace

status_t BMessenger::SendMessage(BMessage* message, BMessenger replyTo, bigtime_t timeout) const
{
	if (message == nullptr)
		return B_BAD_VALUE;
	return PostCopy(fCore, fHandlerToken, *message, replyTo, false, timeout);
}

status_t BMessagePrivate::PostReply(const BMessenger& to, const BMessage& reply, BHandler* replyTo,
	bigtime_t timeout)
{
	BMessenger replyAddress;
	if (replyTo != nullptr)
		replyAddress = BMessenger(replyTo);
	return PostCopy(to.fCore, to.fHandlerToken, reply, replyAddress, true, timeout);
}

status_t BMessenger::SendMessage(uint32 command, BMessage* reply) const
{
	BMessage message(command);
	return SendMessage(&message, reply);
}

status_t BMessenger::SendMessage(BMessage* message, BMessage* reply, bigtime_t deliveryTimeout,
	bigtime_t replyTimeout) const
{
	if (message == nullptr || reply == nullptr)
		return B_BAD_VALUE;
	if (fCore == nullptr)
		return B_BAD_PORT_ID;
	thread_id self = find_thread(nullptr);
	thread_id targetThread = fCore->Thread();
	// The target cannot dispatch while we hold its lock: the wait would never end.
	if (targetThread != self && fCore->lock.LockingThread() == self)
		return B_NOT_ALLOWED;
	BLooper* sameThreadTarget = nullptr;
	if (targetThread == self) {
		std::lock_guard<std::mutex> guard(fCore->mutex);
		if (!fCore->alive || !fCore->accepting)
			return B_BAD_PORT_ID;
		// Loopers sharing a driver's thread (windows) answer each other at once; a looper
		// waiting for itself never could.
		if (!fCore->driven || fCore->looper == CurrentlyDispatchingLooper())
			return B_MESSAGE_TO_SELF;
		sameThreadTarget = fCore->looper;
	}
	auto channel = std::make_shared<ReplyChannel>();
	BMessage* copy = new (std::nothrow) BMessage(*message);
	if (copy == nullptr)
		return B_NO_MEMORY;
	BMessagePrivate::SetReplyChannel(copy, channel);
	status_t status = sameThreadTarget != nullptr
		? sameThreadTarget->DispatchDirect(copy, fHandlerToken, deliveryTimeout)
		: fCore->Enqueue(copy, fHandlerToken, deliveryTimeout);
	if (status != B_OK)
		return status;
	if (replyTimeout == B_INFINITE_TIMEOUT && ThreadDrivesLoopers())
		replyTimeout = B_DRIVER_THREAD_REPLY_TIMEOUT;
	std::unique_lock<std::mutex> lock(channel->mutex);
	if (replyTimeout == B_INFINITE_TIMEOUT) {
		channel->cv.wait(lock, [&] { return channel->done; });
	} else if (!channel->cv.wait_for(lock, std::chrono::microseconds(replyTimeout < 0 ? 0 : replyTimeout),
				   [&] { return channel->done; })) {
		return B_TIMED_OUT;
	}
	*reply = channel->reply;
	BMessagePrivate::MarkReply(reply);
	return B_OK;
}

bool BMessenger::operator==(const BMessenger& other) const
{
	return fCore == other.fCore && fHandlerToken == other.fHandlerToken;
}

namespace {

struct AppMessengerSlot {
	std::mutex mutex;
	BMessenger messenger;
};

AppMessengerSlot& Slot()
{
	static AppMessengerSlot* slot = new AppMessengerSlot;
	return *slot;
}

}  // namespace

BMessenger AppMessenger()
{
	std::lock_guard<std::mutex> guard(Slot().mutex);
	return Slot().messenger;
}

void SetAppMessenger(const BMessenger& messenger)
{
	BMessenger old;
	{
		std::lock_guard<std::mutex> guard(Slot().mutex);
		old = Slot().messenger;
		Slot().messenger = messenger;
	}
}
