// BInvoker: a message and a target to send it to, for controls and alerts that report
// what the user did.
//
// Lifetime: the invoker owns its message. Threads: use it from one thread at a time.
#pragma once

#include "app/Messenger.h"

class BMessage;

class BInvoker {
public:
	BInvoker();
	// Takes ownership of message (may be null).
	BInvoker(BMessage* message, BMessenger target);
	BInvoker(BMessage* message, const BHandler* handler, const BLooper* looper = nullptr);
	virtual ~BInvoker();
	BInvoker(const BInvoker&) = delete;
	BInvoker& operator=(const BInvoker&) = delete;

	// Takes ownership of message (may be null).
	status_t SetMessage(BMessage* message);
	BMessage* Message() const { return fMessage; }
	uint32 Command() const;
	status_t SetTarget(BMessenger target);
	BMessenger Messenger() const { return fTarget; }

	// Sends a copy of message, or of the invoker's message when null, to the target
	// without waiting. B_BAD_VALUE without a message; the messenger's error otherwise.
	virtual status_t Invoke(BMessage* message = nullptr);

private:
	BMessage* fMessage;
	BMessenger fTarget;
};
