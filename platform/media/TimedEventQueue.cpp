#include "media/TimedEventQueue.h"

#include "media/Buffer.h"

BTimedEventQueue::BTimedEventQueue(int32 capacity)
	: fEvents(new media_timed_event[size_t(capacity > 0 ? capacity : 1)]),
	  fCapacity(capacity > 0 ? capacity : 1)
{
}

BTimedEventQueue::~BTimedEventQueue()
{
	FlushEvents(0, B_ALWAYS);
	delete[] fEvents;
}

status_t BTimedEventQueue::AddEvent(const media_timed_event& event)
{
	if (event.type == B_NO_EVENT || event.type == B_ANY_EVENT)
		return B_BAD_VALUE;
	std::lock_guard<std::mutex> guard(fLock);
	if (fCount == fCapacity)
		return B_MEDIA_TOO_MANY_BUFFERS;
	int32 at = fCount;
	while (at > 0 && fEvents[at - 1].event_time > event.event_time) {
		fEvents[at] = fEvents[at - 1];
		at--;
	}
	fEvents[at] = event;
	fCount++;
	return B_OK;
}

status_t BTimedEventQueue::RemoveEvent(const media_timed_event* event)
{
	if (event == nullptr)
		return B_BAD_VALUE;
	std::lock_guard<std::mutex> guard(fLock);
	for (int32 i = 0; i < fCount; i++) {
		const media_timed_event& e = fEvents[i];
		if (e.event_time == event->event_time && e.type == event->type
			&& e.pointer == event->pointer) {
			for (int32 k = i + 1; k < fCount; k++)
				fEvents[k - 1] = fEvents[k];
			fCount--;
			return B_OK;
		}
	}
	return B_ERROR;
}

status_t BTimedEventQueue::RemoveFirstEvent(media_timed_event* outEvent)
{
	std::lock_guard<std::mutex> guard(fLock);
	if (fCount == 0)
		return B_ERROR;
	if (outEvent != nullptr)
		*outEvent = fEvents[0];
	for (int32 k = 1; k < fCount; k++)
		fEvents[k - 1] = fEvents[k];
	fCount--;
	return B_OK;
}

bool BTimedEventQueue::HasEvents() const
{
	return EventCount() > 0;
}

int32 BTimedEventQueue::EventCount() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fCount;
}

bool BTimedEventQueue::FirstEvent(media_timed_event* outEvent) const
{
	std::lock_guard<std::mutex> guard(fLock);
	if (fCount == 0)
		return false;
	if (outEvent != nullptr)
		*outEvent = fEvents[0];
	return true;
}

bigtime_t BTimedEventQueue::FirstEventTime() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fCount == 0 ? B_INFINITE_TIMEOUT : fEvents[0].event_time;
}

bigtime_t BTimedEventQueue::LastEventTime() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fCount == 0 ? B_INFINITE_TIMEOUT : fEvents[fCount - 1].event_time;
}

status_t BTimedEventQueue::FlushEvents(bigtime_t time, time_direction direction,
	bool inclusive, int32 type)
{
	auto selected = [&](const media_timed_event& e) {
		if (type != B_ANY_EVENT && e.type != type)
			return false;
		switch (direction) {
			case B_ALWAYS: return true;
			case B_BEFORE_TIME:
				return e.event_time < time || (inclusive && e.event_time == time);
			case B_AT_TIME: return e.event_time == time;
			case B_AFTER_TIME:
				return e.event_time > time || (inclusive && e.event_time == time);
		}
		return false;
	};
	// Clean up outside the lock: a cleanup may recycle a buffer (and wake its producer).
	for (;;) {
		media_timed_event removed;
		bool found = false;
		{
			std::lock_guard<std::mutex> guard(fLock);
			for (int32 i = 0; i < fCount; i++) {
				if (selected(fEvents[i])) {
					removed = fEvents[i];
					for (int32 k = i + 1; k < fCount; k++)
						fEvents[k - 1] = fEvents[k];
					fCount--;
					found = true;
					break;
				}
			}
		}
		if (!found)
			return B_OK;
		CleanUp(removed);
	}
}

void BTimedEventQueue::SetCleanupHook(cleanup_hook hook, void* context)
{
	std::lock_guard<std::mutex> guard(fLock);
	fCleanupHook = hook;
	fCleanupContext = context;
}

void BTimedEventQueue::CleanUp(const media_timed_event& event)
{
	if (event.cleanup == B_RECYCLE_BUFFER && event.pointer != nullptr) {
		static_cast<BBuffer*>(event.pointer)->Recycle();
		return;
	}
	if (event.cleanup >= B_USER_CLEANUP && fCleanupHook != nullptr)
		fCleanupHook(&event, fCleanupContext);
}
