// Internal to the app library: the delivery record of a message (who waits for the
// reply, where replies go) and access to it for loopers and messengers.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "app/Message.h"
#include "app/Messenger.h"

// A sender waiting for one reply.
struct ReplyChannel {
	std::mutex mutex;
	std::condition_variable cv;
	bool done = false;
	BMessage reply;
	// Stores the reply (first one wins); false when it was answered already.
	bool Answer(const BMessage& message);
};

struct BMessagePrivate {
	static void SetReplyChannel(BMessage* message, std::shared_ptr<ReplyChannel> channel);
	static void SetReturnAddress(BMessage* message, const BMessenger& returnAddress);
	static void MarkDelivered(BMessage* message);
	static void MarkReply(BMessage* message);
	// Posts a copy of reply, marked as a reply, to the messenger's target.
	static status_t PostReply(const BMessenger& to, const BMessage& reply, BHandler* replyTo,
		bigtime_t timeout);
};
