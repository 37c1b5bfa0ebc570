#include "app/Invoker.h"

#include "app/Message.h"

BInvoker::BInvoker() : fMessage(nullptr)
{
}

BInvoker::BInvoker(BMessage* message, BMessenger target) : fMessage(message), fTarget(target)
{
}

BInvoker::BInvoker(BMessage* message, const BHandler* handler, const BLooper* looper)
	: fMessage(message), fTarget(handler, looper)
{
}

BInvoker::~BInvoker()
{
	delete fMessage;
}

status_t BInvoker::SetMessage(BMessage* message)
{
	if (message != fMessage)
		delete fMessage;
	fMessage = message;
	return B_OK;
}

uint32 BInvoker::Command() const
{
	return fMessage ? fMessage->what : 0;
}

status_t BInvoker::SetTarget(BMessenger target)
{
	fTarget = target;
	return B_OK;
}

status_t BInvoker::Invoke(BMessage* message)
{
	BMessage* what = message ? message : fMessage;
	if (what == nullptr)
		return B_BAD_VALUE;
	return fTarget.SendMessage(what, static_cast<BHandler*>(nullptr), 0);
}
