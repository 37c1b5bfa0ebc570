#pragma once
// AudioMaster: the host callback every plug-in calls back into, and the process-wide
// registry that maps each open plug-in instance to its node's control port. Notifications
// from a plug-in (automation, display updates, idle requests, I/O changes) become messages
// on that port (VSTMessages.h); the callback never touches a node directly.
//
// Lifetime: one instance per process (getInstance), created on first use, never freed.
// Errors: register/unregister answer -1 when the lock cannot be taken; a notification for
// an effect without a registered port is dropped.
// Threads: every method may be called from any thread (the node's event thread, an editor
// window's thread, a plug-in's own thread). The registry is guarded by fLock; port writes
// happen after it is released and wait at most kVSTPortWriteTimeout.

#include <vector>

#include "kernel/Locker.h"
#include "kernel/OS.h"
#include "vst/Vst2Interface.h"

class AudioMaster {
public:
	// What the callback answers to a plug-in that asks before its host has said (during the
	// entry call, or a prototype that is never opened).
	static constexpr float kDefaultSampleRate = 44100;
	static constexpr int32 kDefaultBlockSize = 512;

	static AudioMaster* getInstance();

	// Appends an entry for the effect; B_OK, or -1 when the lock cannot be taken.
	status_t registerPlugIn(AEffect* effect, port_id port);
	// Removes the effect's entry; B_OK (also when there was none), or -1.
	status_t unregisterPlugIn(AEffect* effect);
	// The registered port; 0 when none.
	port_id getPortFor(AEffect* effect);
	// Writes VST_AUTOMATE {index, value} to the effect's port.
	void automate(AEffect* effect, int32 index, float value);
	// Remembers the stream the host set on a registered effect, for the callback's answers.
	void setStreamFormat(AEffect* effect, float sampleRate, int32 blockSize);

	// The audioMaster handed to every plug-in. Accepts a null effect.
	static intptr_t callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
		void* ptr, float opt);

	// The can-do answer for a string: 1, -1, or 0 for one it does not know (and for null).
	static int32 canDo(const char* what);

private:
	struct Entry {
		AEffect* effect;
		port_id port;
		float sampleRate;
		int32 blockSize;
	};

	AudioMaster();
	void Notify(AEffect* effect, int32 code, const void* data = nullptr, size_t size = 0);
	bool FindFormat(AEffect* effect, float* sampleRate, int32* blockSize);

	BLocker fLock;
	std::vector<Entry> fEntries;  // guarded by fLock
};
