#include "app/Handler.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "LooperCore.h"
#include "app/AppDefs.h"
#include "app/Looper.h"
#include "app/Message.h"

namespace {

std::atomic<int32> sNextToken{1};

// Guards the handler -> looper link against LockLooper on other threads.
std::mutex& LinkMutex()
{
	static std::mutex* m = new std::mutex;
	return *m;
}

}  // namespace

BHandler::BHandler(const char* name)
	: fName(name ? strdup(name) : nullptr),
	  fToken(sNextToken.fetch_add(1)),
	  fLooper(nullptr),
	  fCore(nullptr),
	  fNextHandler(nullptr)
{
}

BHandler::~BHandler()
{
	if (fLooper != nullptr && fLooper != this)
		fLooper->RemoveHandler(this);
	SetLooper(nullptr);
	free(fName);
}

void BHandler::MessageReceived(BMessage* message)
{
	if (fNextHandler != nullptr) {
		fNextHandler->MessageReceived(message);
		return;
	}
	if (message != nullptr && message->IsSourceWaiting()) {
		BMessage reply(B_MESSAGE_NOT_UNDERSTOOD);
		message->SendReply(&reply);
	}
}

BLooper* BHandler::Looper() const
{
	return fLooper;
}

const char* BHandler::Name() const
{
	return fName;
}

void BHandler::SetName(const char* name)
{
	free(fName);
	fName = name ? strdup(name) : nullptr;
}

BHandler* BHandler::NextHandler() const
{
	return fNextHandler;
}

void BHandler::SetNextHandler(BHandler* handler)
{
	fNextHandler = handler;
}

void BHandler::SetLooper(BLooper* looper)
{
	LooperCore* old;
	{
		std::lock_guard<std::mutex> guard(LinkMutex());
		old = fCore;
		fLooper = looper;
		fCore = looper ? looper->Core() : nullptr;
		if (fCore)
			fCore->AddRef();
	}
	if (old)
		old->Release();
}

bool BHandler::LockLooper()
{
	return LockLooperWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}

status_t BHandler::LockLooperWithTimeout(bigtime_t timeout)
{
	LooperCore* core;
	{
		std::lock_guard<std::mutex> guard(LinkMutex());
		core = fCore;
		if (core == nullptr)
			return B_BAD_VALUE;
		core->AddRef();
	}
	status_t status = core->LockLooper(timeout);
	if (status == B_OK) {
		// The handler may have moved to another looper while we waited.
		std::lock_guard<std::mutex> guard(LinkMutex());
		if (fCore != core) {
			core->lock.Unlock();
			status = B_MISMATCHED_VALUES;
		}
	}
	core->Release();
	return status;
}

void BHandler::UnlockLooper()
{
	if (fLooper)
		fLooper->Unlock();
}
