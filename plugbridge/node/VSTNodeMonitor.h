#pragma once
// VSTNodeMonitor: watches the plug-in directory (inotify) and makes its add-on load the
// directory again after a change: a file added, removed, renamed or rewritten. Changes
// that come in a burst (a copy, an installation) cause one reload once the directory has
// been quiet for kSettleTime.
//
// Each change becomes a message (B_NODE_MONITOR, int32 "opcode") to this looper, whose
// thread calls VSTAddOn::updatePlugIns.
//
// Lifetime: a looper: Quit() it with it locked (it then stops watching); never delete it.
// Threads: a watching thread of its own posts to the looper; the add-on is called on the
// looper's thread.

#include <string>

#include "app/Looper.h"
#include "kernel/OS.h"

class VSTAddOn;

enum : uint32 { B_NODE_MONITOR = 'NDMN' };

class VSTNodeMonitor : public BLooper {
public:
	static constexpr bigtime_t kSettleTime = 250000;

	VSTNodeMonitor(VSTAddOn* addOn, const std::string& directory);

	// Starts the looper and, when the directory exists, watching it. B_OK when watching.
	status_t StartWatching();
	bool IsWatching() const { return fInotify >= 0; }

	void MessageReceived(BMessage* message) override;
	void Quit() override;

private:
	~VSTNodeMonitor() override;
	static status_t WatchEntry(void* monitor);
	void Watch();
	void StopWatching();

	VSTAddOn* fAddOn;  // cleared when the monitor quits
	std::string fDirectory;
	int fInotify = -1;
	int fWake[2] = {-1, -1};  // written to end the watching thread
	thread_id fWatcher = -1;
};
