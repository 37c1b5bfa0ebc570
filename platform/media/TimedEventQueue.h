#pragma once
// BTimedEventQueue: a node's events in time order (performance time), with room for a
// fixed number made up front, so adding and removing never allocate. Events of equal time
// keep the order they were added in.
//
// Cleanup: an event flushed or removed unhandled is cleaned up by its cleanup field:
// B_RECYCLE_BUFFER recycles the BBuffer in `pointer`; others are left to the owner
// (BMediaEventLooper::CleanUpEvent).
//
// Threads: every method may be called from any thread; a short internal lock guards the
// queue (held to shift a few entries, never while waiting or calling out).
#include "media/MediaDefs.h"

#include <mutex>

struct media_timed_event {
	bigtime_t event_time = 0;
	int32 type = 0;           // B_START, B_HANDLE_BUFFER, ... or >= B_USER_EVENT
	void* pointer = nullptr;  // the BBuffer of B_HANDLE_BUFFER
	uint32 cleanup = 0;       // B_NO_CLEANUP, B_RECYCLE_BUFFER, ...
	void* user_data = nullptr;
	int32 data = 0;           // B_PARAMETER: the parameter id; B_DATA_STATUS: the status
	int64 bigdata = 0;        // B_SEEK: the media time; B_STOP: 1 when immediate
	char user_defined[64] = {};  // B_PARAMETER: the value (size in `bigdata`)
	uint32 flags = 0;

	media_timed_event() = default;
	media_timed_event(bigtime_t when, int32 what) : event_time(when), type(what) {}
	media_timed_event(bigtime_t when, int32 what, void* p, uint32 clean)
		: event_time(when), type(what), pointer(p), cleanup(clean)
	{
	}
};

class BTimedEventQueue {
public:
	enum event_type {
		B_NO_EVENT = -1,
		B_ANY_EVENT = 0,
		B_START,
		B_STOP,
		B_SEEK,
		B_WARP,
		B_TIMER,
		B_HANDLE_BUFFER,
		B_DATA_STATUS,
		B_HARDWARE,
		B_PARAMETER,
		B_USER_EVENT = 0x4000,
	};
	enum cleanup_flag {
		B_NO_CLEANUP = 0,
		B_RECYCLE_BUFFER,
		B_EXPIRE_TIMER,
		B_USER_CLEANUP = 0x4000,
	};
	enum time_direction {
		B_ALWAYS = -1,
		B_BEFORE_TIME = 0,
		B_AT_TIME,
		B_AFTER_TIME,
	};

	// Room for `capacity` events.
	explicit BTimedEventQueue(int32 capacity = 256);
	~BTimedEventQueue();
	BTimedEventQueue(const BTimedEventQueue&) = delete;
	BTimedEventQueue& operator=(const BTimedEventQueue&) = delete;

	// B_MEDIA_TOO_MANY_BUFFERS when the queue is full (nothing added).
	status_t AddEvent(const media_timed_event& event);
	// Removes the first event equal in time, type and pointer; B_ERROR when none.
	status_t RemoveEvent(const media_timed_event* event);
	status_t RemoveFirstEvent(media_timed_event* outEvent = nullptr);

	bool HasEvents() const;
	int32 EventCount() const;
	// A copy of the first event; false when empty.
	bool FirstEvent(media_timed_event* outEvent) const;
	bigtime_t FirstEventTime() const;   // B_INFINITE_TIMEOUT when empty
	bigtime_t LastEventTime() const;

	// Removes (cleaning up) the events of `type` (B_ANY_EVENT: all) at `time` in the
	// given direction; B_ALWAYS ignores the time.
	status_t FlushEvents(bigtime_t time, time_direction direction, bool inclusive = true,
		int32 type = B_ANY_EVENT);

	// Called for events flushed with a cleanup the queue does not know (user cleanups).
	using cleanup_hook = void (*)(const media_timed_event* event, void* context);
	void SetCleanupHook(cleanup_hook hook, void* context);

private:
	void CleanUp(const media_timed_event& event);

	mutable std::mutex fLock;
	media_timed_event* fEvents;  // sorted by time; guarded by fLock
	int32 fCount = 0;
	int32 fCapacity;
	cleanup_hook fCleanupHook = nullptr;
	void* fCleanupContext = nullptr;
};
