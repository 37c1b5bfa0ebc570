// BMessenger: an address of a handler in a looper (or of the looper's preferred handler)
// that stays safe to use after the looper has gone: sending then fails with
// B_BAD_PORT_ID and IsValid() is false.
//
// SendMessage without a reply posts a copy and waits at most `timeout` for room in the
// queue (B_WOULD_BLOCK / B_TIMED_OUT when full). With a reply message it waits for the
// handler's SendReply (or B_NO_REPLY when the message is dropped unanswered):
// - asking a looper to wait for itself gives B_MESSAGE_TO_SELF;
// - loopers that share a driver's thread (all windows run on the GUI thread) answer each
//   other at once: the message is dispatched to the target right there, nested in the
//   caller's dispatch, with the target locked (waiting for its lock at most the delivery
//   time-out). This is also how the application hands a window a message "directly";
// - a thread that holds the target's lock gets B_NOT_ALLOWED (the target could never
//   dispatch while it waits);
// - a driver's thread (the GUI thread) waits for a reply at most
//   B_DRIVER_THREAD_REPLY_TIMEOUT when it asked for no time-out (B_TIMED_OUT after it),
//   since every window freezes meanwhile.
//
// AppMessenger(): the process-wide messenger to the application's looper, invalid until
// the application sets it. Safe from any thread.
#pragma once

#include "kernel/SupportDefs.h"

// Longest reply wait on a thread that drives loopers, when no time-out was given.
inline constexpr bigtime_t B_DRIVER_THREAD_REPLY_TIMEOUT = 10000000;

class BHandler;
class BLooper;
class BMessage;
struct LooperCore;

class BMessenger {
public:
	BMessenger();
	// Targets handler (in its looper), or, with a null handler, the preferred handler of
	// looper. result (optional) gets B_BAD_HANDLER / B_BAD_VALUE when neither works.
	BMessenger(const BHandler* handler, const BLooper* looper = nullptr, status_t* result = nullptr);
	BMessenger(const BMessenger& other);
	BMessenger& operator=(const BMessenger& other);
	~BMessenger();

	bool IsValid() const;
	bool IsTargetLocal() const { return true; }
	// The target handler and its looper while the looper lives; null otherwise.
	BHandler* Target(BLooper** looper) const;
	bool LockTarget() const;
	status_t LockTargetWithTimeout(bigtime_t timeout) const;

	status_t SendMessage(uint32 command, BHandler* replyTo = nullptr) const;
	status_t SendMessage(BMessage* message, BHandler* replyTo = nullptr,
		bigtime_t timeout = B_INFINITE_TIMEOUT) const;
	status_t SendMessage(BMessage* message, BMessenger replyTo,
		bigtime_t timeout = B_INFINITE_TIMEOUT) const;
	status_t SendMessage(uint32 command, BMessage* reply) const;
	status_t SendMessage(BMessage* message, BMessage* reply,
		bigtime_t deliveryTimeout = B_INFINITE_TIMEOUT,
		bigtime_t replyTimeout = B_INFINITE_TIMEOUT) const;

	bool operator==(const BMessenger& other) const;
	bool operator!=(const BMessenger& other) const { return !(*this == other); }

private:
	friend class BLooper;
	friend class BMessage;
	friend struct BMessagePrivate;
	LooperCore* fCore;
	int32 fHandlerToken;   // -1: the looper's preferred handler
};

BMessenger AppMessenger();
void SetAppMessenger(const BMessenger& messenger);
