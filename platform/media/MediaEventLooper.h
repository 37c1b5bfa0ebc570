#pragma once
// BMediaEventLooper: a node with its own thread that serves the control port and
// dispatches a time-ordered event queue. Start, Stop, Seek and TimeWarp requests become
// events at their performance time; the node adds its own (buffers to handle, parameter
// changes, timers, B_USER_EVENT and up). The thread takes each event when its time, less
// EventLatency() + SchedulingLatency(), comes on the node's time source (in B_OFFLINE run
// mode at once, in time order), sets RunState() for start and stop, and calls HandleEvent.
//
// A node calls Run() once it is ready (usually in NodeRegistered); SetPriority before or
// after. The event and buffer timing: BufferDuration() (µs of one buffer) and
// EventLatency() (how long the node's work on an event takes) are the node's to set.
//
// Lifetime: Quit() stops the thread and is called by DeleteHook, so the last Release of
// the node ends the thread before the node is destroyed. When that last Release happens on
// the node's own thread (a queued release), the node is deleted as the loop returns. A node
// that deletes parts of itself in its destructor calls Quit() first.
// Threads: HandleEvent and every hook run on the node's thread; AddEvent and
// SetParameterValue-style queuing may be called from any thread (the looper wakes).
// EventQueue()->AddEvent does not wake the looper: it is for the node's own thread.
// Nothing here allocates once Run() has returned.
#include "kernel/OS.h"
#include "media/MediaNode.h"
#include "media/TimedEventQueue.h"

#include <atomic>

class BMediaEventLooper : public virtual BMediaNode {
public:
	enum run_state {
		B_IN_DISTRESS = -1,
		B_UNREGISTERED,
		B_STOPPED,
		B_STARTED,
		B_QUITTING,
		B_TERMINATED,
		B_USER_RUN_STATES = 0x4000,
	};

	// Event types and cleanups, usable unqualified in nodes.
	static constexpr int32 B_START = BTimedEventQueue::B_START;
	static constexpr int32 B_STOP = BTimedEventQueue::B_STOP;
	static constexpr int32 B_SEEK = BTimedEventQueue::B_SEEK;
	static constexpr int32 B_WARP = BTimedEventQueue::B_WARP;
	static constexpr int32 B_TIMER = BTimedEventQueue::B_TIMER;
	static constexpr int32 B_HANDLE_BUFFER = BTimedEventQueue::B_HANDLE_BUFFER;
	static constexpr int32 B_DATA_STATUS = BTimedEventQueue::B_DATA_STATUS;
	static constexpr int32 B_HARDWARE = BTimedEventQueue::B_HARDWARE;
	static constexpr int32 B_PARAMETER = BTimedEventQueue::B_PARAMETER;
	static constexpr int32 B_USER_EVENT = BTimedEventQueue::B_USER_EVENT;
	static constexpr uint32 B_RECYCLE_BUFFER = BTimedEventQueue::B_RECYCLE_BUFFER;

	BTimedEventQueue* EventQueue() { return &fEventQueue; }
	int32 Priority() const { return fPriority.load(); }
	int32 RunState() const { return fRunState.load(); }
	bigtime_t EventLatency() const { return fEventLatency.load(); }
	bigtime_t BufferDuration() const { return fBufferDuration.load(); }
	bigtime_t SchedulingLatency() const { return fSchedulingLatency; }
	thread_id ControlThread() const { return fControlThread; }

	// Hooks the looper implements by queuing events.
	void Start(bigtime_t performanceTime) override;
	void Stop(bigtime_t performanceTime, bool immediate) override;
	void Seek(bigtime_t mediaTime, bigtime_t performanceTime) override;
	void TimeWarp(bigtime_t atRealTime, bigtime_t toPerformanceTime) override;
	void SetRunMode(run_mode mode) override;

	// Queues an event from any thread and wakes the looper.
	status_t AddEvent(const media_timed_event& event);
	// For the queue: passes a flushed user event to CleanUpEvent.
	void CleanUpUserEvent(const media_timed_event* event) { CleanUpEvent(event); }

protected:
	explicit BMediaEventLooper(uint32 apiVersion = 0);
	~BMediaEventLooper() override;

	// Called for each event when its time comes. lateness: µs past its due time (> 0
	// late). realTimeEvent: from the real-time queue (not used here, always false).
	virtual void HandleEvent(const media_timed_event* event, bigtime_t lateness,
		bool realTimeEvent = false) = 0;
	// For events flushed with a user cleanup (>= BTimedEventQueue::B_USER_CLEANUP).
	virtual void CleanUpEvent(const media_timed_event* event);
	// Updates the run state for start/stop and calls HandleEvent.
	virtual void DispatchEvent(const media_timed_event* event, bigtime_t lateness,
		bool realTimeEvent = false);

	// Starts the thread (once; later calls do nothing).
	void Run();
	// Stops the thread and waits for it; events left are flushed.
	void Quit();
	void SetPriority(int32 priority);
	void SetRunState(run_state state) { fRunState.store(state); }
	void SetEventLatency(bigtime_t latency) { fEventLatency.store(latency); }
	void SetBufferDuration(bigtime_t duration) { fBufferDuration.store(duration); }

	status_t DeleteHook(BMediaNode* node) override;

private:
	static status_t ThreadEntry(void* looper);
	void ControlLoop();
	// When the first event is due, in system time.
	bigtime_t NextWakeUp();

	BTimedEventQueue fEventQueue;
	std::atomic<int32> fPriority{B_URGENT_DISPLAY_PRIORITY};
	std::atomic<int32> fRunState{B_UNREGISTERED};
	std::atomic<bigtime_t> fEventLatency{0};
	std::atomic<bigtime_t> fBufferDuration{0};
	bigtime_t fSchedulingLatency;
	std::atomic<bool> fQuitting{false};
	std::atomic<bool> fDeleteWhenLoopEnds{false};
	thread_id fControlThread = -1;
	sem_id fStarted = -1;
};
