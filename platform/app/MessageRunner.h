// BMessageRunner: sends a copy of a message to a target every `interval` microseconds,
// `count` times (-1: until the runner is deleted). The first copy leaves one interval
// after construction (or after SetInterval/SetCount, which restart the timing).
//
// Delivery never waits: when the target's queue is full that round is skipped; when the
// target has gone the runner stops. All runners share one timer thread. Once the
// destructor has returned, no further copy is sent. Safe from any thread.
#pragma once

#include "app/Messenger.h"
#include "kernel/SupportDefs.h"

class BMessage;

class BMessageRunner {
public:
	BMessageRunner(BMessenger target, const BMessage* message, bigtime_t interval,
		int32 count = -1);
	BMessageRunner(BMessenger target, const BMessage* message, bigtime_t interval, int32 count,
		BMessenger replyTo);
	~BMessageRunner();
	BMessageRunner(const BMessageRunner&) = delete;
	BMessageRunner& operator=(const BMessageRunner&) = delete;

	// B_OK, or B_BAD_VALUE for a missing message, an interval <= 0, a count of 0 or
	// below -1, or an invalid target.
	status_t InitCheck() const;
	status_t SetInterval(bigtime_t interval);
	status_t SetCount(int32 count);
	// The interval and the copies still to send (-1: unlimited); B_BAD_VALUE once done.
	status_t GetInfo(bigtime_t* interval, int32* count) const;

private:
	int32 fToken;   // the runner's entry in the timer; -1 when not started
	status_t fInitStatus;
};
