#include "node/VSTNodeMonitor.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

#include "app/Message.h"
#include "node/VSTAddOn.h"

namespace {

constexpr uint32 kWatchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO
	| IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

}  // namespace

VSTNodeMonitor::VSTNodeMonitor(VSTAddOn* addOn, const std::string& directory)
	:
	BLooper("VST NodeMonitor", B_LOW_PRIORITY, 100),
	fAddOn(addOn),
	fDirectory(directory)
{
}

VSTNodeMonitor::~VSTNodeMonitor()
{
	StopWatching();
}

status_t VSTNodeMonitor::StartWatching()
{
	Run();
	int inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
	if (inotify < 0)
		return B_NOT_ALLOWED;
	if (inotify_add_watch(inotify, fDirectory.c_str(), kWatchedEvents) < 0) {
		close(inotify);
		return errno == ENOENT ? B_ENTRY_NOT_FOUND : B_NOT_A_DIRECTORY;
	}
	if (pipe2(fWake, O_CLOEXEC) != 0) {
		close(inotify);
		return B_NO_MORE_FDS;
	}
	fInotify = inotify;
	fWatcher = spawn_thread(&WatchEntry, "VST watcher", B_LOW_PRIORITY, this);
	if (fWatcher < 0) {
		StopWatching();
		return B_NO_MORE_THREADS;
	}
	resume_thread(fWatcher);
	return B_OK;
}

status_t VSTNodeMonitor::WatchEntry(void* monitor)
{
	static_cast<VSTNodeMonitor*>(monitor)->Watch();
	return B_OK;
}

void VSTNodeMonitor::Watch()
{
	pollfd fds[2] = {{fInotify, POLLIN, 0}, {fWake[0], POLLIN, 0}};
	bool changed = false;
	uint32 lastMask = 0;
	for (;;) {
		// Waits for a change; once there is one, only until things are quiet again.
		int ready = poll(fds, 2, changed ? int(kSettleTime / 1000) : -1);
		if (ready < 0 && errno == EINTR)
			continue;
		if (ready < 0 || (fds[1].revents & POLLIN) != 0)
			return;
		if (ready == 0) {
			BMessage message(B_NODE_MONITOR);
			message.AddInt32("opcode", int32(lastMask));
			PostMessage(&message);
			changed = false;
			continue;
		}
		alignas(inotify_event) char events[4096];
		ssize_t got = read(fInotify, events, sizeof(events));
		for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
			const auto* event = reinterpret_cast<const inotify_event*>(events + at);
			lastMask = event->mask;
			changed = true;
			at += ssize_t(sizeof(inotify_event) + event->len);
		}
	}
}

void VSTNodeMonitor::StopWatching()
{
	if (fWatcher >= 0) {
		char wake = 1;
		(void)write(fWake[1], &wake, 1);
		status_t ignored;
		wait_for_thread(fWatcher, &ignored);
		fWatcher = -1;
	}
	for (int* fd : {&fInotify, &fWake[0], &fWake[1]}) {
		if (*fd >= 0)
			close(*fd);
		*fd = -1;
	}
}

void VSTNodeMonitor::MessageReceived(BMessage* message)
{
	int32 opcode;
	if (message->what == B_NODE_MONITOR && message->FindInt32("opcode", &opcode) == B_OK) {
		if (fAddOn != nullptr)
			fAddOn->updatePlugIns();
		return;
	}
	BLooper::MessageReceived(message);
}

void VSTNodeMonitor::Quit()
{
	StopWatching();
	fAddOn = nullptr;
	BLooper::Quit();
}
