// SingleLaunch: a program that runs once per user and name (the desktop's "single launch").
// The first start claims the name and serves the later ones; a later start hands its
// message (the documents it was given) to the running one and ends. Two copies of a
// program that keeps settings would otherwise both write them, the last one winning.
//
// The name is a local socket of the system's abstract namespace: it goes with the
// process that holds it, even one that crashed, so nothing stale is left behind.
// Only processes of the same user are heard; what they send is checked like any input
// (a bounded size, the message format's own checks, the codes the server accepts).
//
// Lifetime: the claim lasts as long as the object; destroying it stops serving and frees
// the name.
// Errors: Claim answers B_OK (this process holds the name now), B_ALREADY_RUNNING (the
// running copy took the message), B_NOT_ALLOWED (it refused it: a code it does not
// take), B_TIMED_OUT (it did not answer in time), B_BAD_VALUE (the message is larger
// than kMaxHandOffSize), or B_ERROR when the name cannot be used at all (the caller
// may run on its own).
// Threads: Claim and Serve on one thread; serving runs on a thread of its own.
#pragma once

#include "app/Message.h"
#include "app/Messenger.h"

#include <memory>
#include <string>
#include <vector>

class SingleLaunch {
public:
	// name: whatever identifies what must run once (a signature and its settings folder);
	// any length and bytes.
	explicit SingleLaunch(const std::string& name);
	~SingleLaunch();
	SingleLaunch(const SingleLaunch&) = delete;
	SingleLaunch& operator=(const SingleLaunch&) = delete;

	// Claims the name, or hands handOff to the copy that holds it and waits for its
	// answer at most `timeout` µs. A copy that is just quitting refuses; the claim is
	// then tried again until the time-out.
	status_t Claim(const BMessage& handOff, bigtime_t timeout);
	bool Claimed() const;

	// After a successful Claim: each message a later start hands over whose code is one
	// of `codes` is posted to target; the later start hears whether it arrived.
	status_t Serve(const BMessenger& target, const std::vector<uint32>& codes);

	// The abstract socket's name (without its leading NUL), for diagnostics.
	const std::string& Address() const { return fAddress; }

	// The most a later start may hand over, in bytes of its flattened message.
	static constexpr uint32 kMaxHandOffSize = 1 << 20;

private:
	struct Server;
	std::string fAddress;   // the abstract socket's name, without its leading NUL
	int fSocket = -1;       // listening, once claimed
	std::unique_ptr<Server> fServer;
};
