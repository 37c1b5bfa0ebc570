#include "media/MediaEventLooper.h"

#include "kernel/OS.h"
#include "media/NodeCall.h"
#include "media/TimeSource.h"

#include <cstdio>

namespace {

constexpr int32 kWakeUpMessage = kMediaWakeUpMessage;

void CleanUpHook(const media_timed_event* event, void* looper)
{
	static_cast<BMediaEventLooper*>(looper)->CleanUpUserEvent(event);
}

}  // namespace

BMediaEventLooper::BMediaEventLooper(uint32)
	: BMediaNode("event looper"), fSchedulingLatency(estimate_max_scheduling_latency())
{
	fEventQueue.SetCleanupHook(&CleanUpHook, this);
}

BMediaEventLooper::~BMediaEventLooper()
{
	Quit();
}

status_t BMediaEventLooper::DeleteHook(BMediaNode* node)
{
	if (fControlThread >= 0 && IsServiceThread()) {
		// The last reference went on our own thread (a queued release): the loop is still
		// on the stack, so the node goes once the loop has returned (ThreadEntry).
		fDeleteWhenLoopEnds.store(true);
		fQuitting.store(true);
		SetRunState(B_QUITTING);
		return B_OK;
	}
	Quit();
	return BMediaNode::DeleteHook(node);
}

void BMediaEventLooper::CleanUpEvent(const media_timed_event*) {}

void BMediaEventLooper::SetPriority(int32 priority)
{
	if (priority < 5)
		priority = 5;
	if (priority > 120)
		priority = 120;
	fPriority.store(priority);
	if (fControlThread >= 0)
		set_thread_priority(fControlThread, priority);
}

void BMediaEventLooper::Run()
{
	if (fControlThread >= 0)
		return;
	if (RunState() == B_UNREGISTERED)
		SetRunState(B_STOPPED);
	char name[B_OS_NAME_LENGTH];
	std::snprintf(name, sizeof(name), "%.20s control", Name());
	fStarted = create_sem(0, "looper started");
	fControlThread = spawn_thread(&ThreadEntry, name, Priority(), this);
	if (fControlThread < 0) {
		std::fprintf(stderr, "media node \"%s\": cannot start its thread\n", Name());
		delete_sem(fStarted);
		fStarted = -1;
		return;
	}
	resume_thread(fControlThread);
	// From now on requests go through the port to the thread.
	acquire_sem(fStarted);
	delete_sem(fStarted);
	fStarted = -1;
}

void BMediaEventLooper::Quit()
{
	if (fControlThread < 0)
		return;
	fQuitting.store(true);
	SetRunState(B_QUITTING);
	write_port_etc(ControlPort(), kWakeUpMessage, nullptr, 0, B_RELATIVE_TIMEOUT, 1000000);
	status_t exitValue;
	wait_for_thread(fControlThread, &exitValue);
	fControlThread = -1;
	fEventQueue.FlushEvents(0, BTimedEventQueue::B_ALWAYS);
	SetRunState(B_TERMINATED);
}

status_t BMediaEventLooper::ThreadEntry(void* data)
{
	BMediaEventLooper* looper = static_cast<BMediaEventLooper*>(data);
	looper->ControlLoop();
	if (looper->fDeleteWhenLoopEnds.load()) {
		// Nobody waits for this thread: it ends here, with its node.
		looper->fControlThread = -1;
		looper->fEventQueue.FlushEvents(0, BTimedEventQueue::B_ALWAYS);
		looper->SetRunState(B_TERMINATED);
		looper->BMediaNode::DeleteHook(looper);
	}
	return B_OK;
}

bigtime_t BMediaEventLooper::NextWakeUp()
{
	media_timed_event event;
	if (!fEventQueue.FirstEvent(&event))
		return B_INFINITE_TIMEOUT;
	if (RunMode() == B_OFFLINE)
		return 0;
	return TimeSource()->RealTimeFor(event.event_time, EventLatency() + SchedulingLatency());
}

void BMediaEventLooper::ControlLoop()
{
	MarkServiceThread();
	release_sem(fStarted);
	while (!fQuitting.load()) {
		bigtime_t wakeUp = NextWakeUp();
		if (wakeUp > system_time()) {
			status_t status = WaitForMessage(wakeUp);
			if (status == B_OK || status == B_INTERRUPTED)
				continue;
			if (status != B_TIMED_OUT)
				break;  // the port is gone
		} else {
			// Messages first, so that a burst of events cannot starve the port.
			while (WaitForMessage(0) == B_OK && !fQuitting.load()) {
			}
		}
		if (fQuitting.load())
			break;
		media_timed_event event;
		if (NextWakeUp() > system_time() || fEventQueue.RemoveFirstEvent(&event) != B_OK)
			continue;
		bigtime_t lateness = RunMode() == B_OFFLINE
			? 0
			: system_time()
				- TimeSource()->RealTimeFor(event.event_time, EventLatency());
		DispatchEvent(&event, lateness, false);
	}
}

status_t BMediaEventLooper::AddEvent(const media_timed_event& event)
{
	status_t status = fEventQueue.AddEvent(event);
	if (status == B_OK && !IsServiceThread() && fControlThread >= 0)
		write_port_etc(ControlPort(), kWakeUpMessage, nullptr, 0, B_RELATIVE_TIMEOUT, 0);
	return status;
}

void BMediaEventLooper::DispatchEvent(const media_timed_event* event, bigtime_t lateness,
	bool realTimeEvent)
{
	if (event->type == B_START)
		SetRunState(B_STARTED);
	else if (event->type == B_STOP)
		SetRunState(B_STOPPED);
	HandleEvent(event, lateness, realTimeEvent);
}

void BMediaEventLooper::Start(bigtime_t performanceTime)
{
	AddEvent(media_timed_event(performanceTime, B_START));
}

void BMediaEventLooper::Stop(bigtime_t performanceTime, bool immediate)
{
	media_timed_event event(immediate ? 0 : performanceTime, B_STOP);
	event.bigdata = immediate ? 1 : 0;
	if (immediate) {
		// Nothing queued after an immediate stop runs.
		fEventQueue.FlushEvents(0, BTimedEventQueue::B_ALWAYS, true, B_START);
	}
	AddEvent(event);
}

void BMediaEventLooper::Seek(bigtime_t mediaTime, bigtime_t performanceTime)
{
	media_timed_event event(performanceTime, B_SEEK);
	event.bigdata = mediaTime;
	AddEvent(event);
}

void BMediaEventLooper::TimeWarp(bigtime_t atRealTime, bigtime_t toPerformanceTime)
{
	media_timed_event event(toPerformanceTime, B_WARP);
	event.bigdata = atRealTime;
	AddEvent(event);
}

void BMediaEventLooper::SetRunMode(run_mode mode)
{
	(void)mode;
}
