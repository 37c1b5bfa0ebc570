#include "app/SingleLaunch.h"

#include "kernel/OS.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <thread>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The server's one-byte answers.
constexpr char kTaken = 'y';      // posted to the target
constexpr char kGone = 'n';       // the target is gone (the program is quitting)
constexpr char kRefused = 'r';    // not a message this program takes

// A later start that connects and then stays silent is dropped after this long.
constexpr bigtime_t kReadTimeout = 2000000;
// How long the server waits for room in the target's queue.
constexpr bigtime_t kPostTimeout = 1000000;

uint64_t Fnv1a(const std::string& text)
{
	uint64_t hash = 0xcbf29ce484222325ULL;
	for (unsigned char c : text) {
		hash ^= c;
		hash *= 0x100000001b3ULL;
	}
	return hash;
}

socklen_t MakeAddress(const std::string& name, sockaddr_un* address)
{
	memset(address, 0, sizeof *address);
	address->sun_family = AF_UNIX;
	// sun_path[0] stays NUL: the abstract namespace.
	size_t length = std::min(name.size(), sizeof address->sun_path - 1);
	memcpy(address->sun_path + 1, name.data(), length);
	return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + length);
}

// Waits until fd is ready for `events` or `deadline` (system_time) passes.
bool WaitFor(int fd, short events, bigtime_t deadline)
{
	for (;;) {
		bigtime_t left = deadline - system_time();
		if (left <= 0)
			return false;
		pollfd entry {fd, events, 0};
		int ready = poll(&entry, 1, int(std::min<bigtime_t>((left + 999) / 1000, 60000)));
		if (ready > 0)
			return true;
		if (ready < 0 && errno != EINTR)
			return false;
	}
}

bool ReadAll(int fd, char* buffer, size_t size, bigtime_t deadline)
{
	while (size > 0) {
		if (!WaitFor(fd, POLLIN, deadline))
			return false;
		ssize_t got = recv(fd, buffer, size, 0);
		if (got < 0 && errno == EINTR)
			continue;
		if (got <= 0)
			return false;
		buffer += got;
		size -= size_t(got);
	}
	return true;
}

bool WriteAll(int fd, const char* buffer, size_t size)
{
	while (size > 0) {
		ssize_t sent = send(fd, buffer, size, MSG_NOSIGNAL);
		if (sent < 0 && errno == EINTR)
			continue;
		if (sent <= 0)
			return false;
		buffer += sent;
		size -= size_t(sent);
	}
	return true;
}

enum class HandOffResult { kTaken, kRefused, kGone, kNoAnswer };

// Sends the flattened message (a 4-byte little-endian length, then the bytes) to the
// holder of `address` and reads its answer.
HandOffResult HandOff(const sockaddr_un& address, socklen_t length, const std::string& flat,
	bigtime_t deadline)
{
	int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
	if (fd < 0)
		return HandOffResult::kGone;
	HandOffResult result = HandOffResult::kGone;
	if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
		uint32 size = uint32(flat.size());
		unsigned char header[4] = {uint8(size), uint8(size >> 8), uint8(size >> 16),
			uint8(size >> 24)};
		char answer = 0;
		if (!WriteAll(fd, reinterpret_cast<const char*>(header), 4)
			|| !WriteAll(fd, flat.data(), flat.size()))
			result = HandOffResult::kGone;
		else if (!WaitFor(fd, POLLIN, deadline))
			result = HandOffResult::kNoAnswer;
		else if (recv(fd, &answer, 1, 0) == 1)
			result = answer == kTaken ? HandOffResult::kTaken
				: answer == kRefused ? HandOffResult::kRefused : HandOffResult::kGone;
	}
	close(fd);
	return result;
}

}  // namespace

struct SingleLaunch::Server {
	int listening;
	int stop;   // an eventfd: written to end the thread
	BMessenger target;
	std::vector<uint32> codes;
	std::thread thread;

	void Run()
	{
		name_this_thread("single launch");
		for (;;) {
			pollfd entries[2] = {{listening, POLLIN, 0}, {stop, POLLIN, 0}};
			if (poll(entries, 2, -1) < 0) {
				if (errno == EINTR)
					continue;
				return;
			}
			if (entries[1].revents != 0)
				return;
			int connection = accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
			if (connection < 0) {
				if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED)
					snooze(10000);   // out of descriptors, say: do not spin meanwhile
				continue;
			}
			Serve(connection);
			close(connection);
		}
	}

	// One later start: only this user's, a bounded message, a code we take.
	void Serve(int connection)
	{
		ucred peer {};
		socklen_t size = sizeof peer;
		if (getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0
			|| peer.uid != geteuid())
			return;
		bigtime_t deadline = system_time() + kReadTimeout;
		unsigned char header[4];
		if (!ReadAll(connection, reinterpret_cast<char*>(header), 4, deadline))
			return;
		uint32 length = uint32(header[0]) | uint32(header[1]) << 8 | uint32(header[2]) << 16
			| uint32(header[3]) << 24;
		if (length == 0 || length > kMaxHandOffSize) {
			WriteAll(connection, &kRefused, 1);
			return;
		}
		std::string flat(length, '\0');
		if (!ReadAll(connection, flat.data(), length, deadline))
			return;
		BMessage message;
		if (message.Unflatten(flat.data(), ssize_t(length)) != B_OK
			|| std::find(codes.begin(), codes.end(), message.what) == codes.end()) {
			WriteAll(connection, &kRefused, 1);
			return;
		}
		// A later start that gave up waiting has told its user so: it gets nothing done.
		pollfd entry {connection, POLLRDHUP, 0};
		if (poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP)) != 0)
			return;
		bool posted = target.SendMessage(&message, static_cast<BHandler*>(nullptr),
			kPostTimeout) == B_OK;
		WriteAll(connection, posted ? &kTaken : &kGone, 1);
	}
};

SingleLaunch::SingleLaunch(const std::string& name)
{
	char hash[17];
	snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(name)));
	fAddress = "suite-single-launch/" + std::to_string(geteuid()) + "/" + hash;
}

SingleLaunch::~SingleLaunch()
{
	if (fServer != nullptr) {
		uint64_t one = 1;
		[[maybe_unused]] ssize_t written = write(fServer->stop, &one, sizeof one);
		fServer->thread.join();
		close(fServer->stop);
	}
	if (fSocket >= 0)
		close(fSocket);
}

bool SingleLaunch::Claimed() const
{
	return fSocket >= 0;
}

status_t SingleLaunch::Claim(const BMessage& handOff, bigtime_t timeout)
{
	if (fSocket >= 0)
		return B_OK;
	sockaddr_un address;
	socklen_t length = MakeAddress(fAddress, &address);
	bigtime_t deadline = system_time() + std::max<bigtime_t>(timeout, 0);
	std::string flat;
	for (;;) {
		int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
		if (fd < 0)
			return B_ERROR;
		if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
			if (listen(fd, 16) != 0) {
				close(fd);
				return B_ERROR;
			}
			fSocket = fd;
			return B_OK;
		}
		int error = errno;
		close(fd);
		if (error != EADDRINUSE)
			return B_ERROR;
		// Held: hand the message over (too large a one is refused here, not sent).
		if (flat.empty()) {
			ssize_t flatSize = handOff.FlattenedSize();
			if (flatSize <= 0 || flatSize > ssize_t(kMaxHandOffSize))
				return B_BAD_VALUE;
			flat.resize(size_t(flatSize));
			if (handOff.Flatten(flat.data(), flatSize) != B_OK)
				return B_BAD_VALUE;
		}
		switch (HandOff(address, length, flat, deadline)) {
			case HandOffResult::kTaken:
				return B_ALREADY_RUNNING;
			case HandOffResult::kRefused:
				return B_NOT_ALLOWED;
			case HandOffResult::kNoAnswer:
				return B_TIMED_OUT;
			case HandOffResult::kGone:
				break;
		}
		// The holder is quitting: the name is free in a moment.
		if (system_time() >= deadline)
			return B_TIMED_OUT;
		snooze(20000);
	}
}

status_t SingleLaunch::Serve(const BMessenger& target, const std::vector<uint32>& codes)
{
	if (fSocket < 0)
		return B_NO_INIT;
	if (fServer != nullptr)
		return B_BUSY;
	int stop = eventfd(0, EFD_CLOEXEC);
	if (stop < 0)
		return B_ERROR;
	fServer = std::make_unique<Server>();
	fServer->listening = fSocket;
	fServer->stop = stop;
	fServer->target = target;
	fServer->codes = codes;
	fServer->thread = std::thread([server = fServer.get()] { server->Run(); });
	return B_OK;
}
