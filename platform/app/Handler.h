// BHandler: an object that receives messages in a looper's thread.
//
// MessageReceived() is called with the handler's looper locked. The base version hands
// the message to the next handler, or, at the end of the chain, answers a waiting sender
// with B_MESSAGE_NOT_UNDERSTOOD. LockLooper() locks whatever looper the handler belongs
// to at the time of the call (false when none, or when it went away meanwhile).
// Thread rules: change a handler's looper or next handler only with its looper locked.
#pragma once

#include "kernel/SupportDefs.h"

class BLooper;
class BMessage;
struct LooperCore;

class BHandler {
public:
	explicit BHandler(const char* name = nullptr);
	virtual ~BHandler();
	BHandler(const BHandler&) = delete;
	BHandler& operator=(const BHandler&) = delete;

	virtual void MessageReceived(BMessage* message);

	BLooper* Looper() const;
	const char* Name() const;
	void SetName(const char* name);
	BHandler* NextHandler() const;
	void SetNextHandler(BHandler* handler);

	bool LockLooper();
	status_t LockLooperWithTimeout(bigtime_t timeout);
	void UnlockLooper();

	// Process-unique number that messengers use to name this handler.
	int32 Token() const { return fToken; }

private:
	friend class BLooper;
	void SetLooper(BLooper* looper);

	char* fName;
	int32 fToken;
	BLooper* fLooper;
	LooperCore* fCore;   // the looper's shared state; referenced while attached
	BHandler* fNextHandler;
};
