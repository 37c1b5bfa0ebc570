#pragma once
// BTimeSource: a node that tells performance time, the clock every node schedules its
// work by. Real time is system_time() (microseconds, monotonic). A time source publishes
// a reference point (performance time at a real time) and a drift (performance µs per
// real µs); between publications performance time runs linearly from that point.
//
// The system time source (system_time_source(), registered by the roster as "System
// clock") is always running with performance time = real time. The media clock
// (media_time_source()) publishes JACK's clock while the process uses JACK.
//
// Lifetime: a node (reference counted, see MediaNode.h). Threads: Now(), RealTimeFor()
// and PerformanceTimeFor() may be called from any thread (audio threads included); they
// read the published point without a lock.
#include "media/MediaNode.h"

#include <atomic>

class BTimeSource : public virtual BMediaNode {
public:
	// The performance time now.
	bigtime_t Now() const { return PerformanceTimeFor(RealTime()); }
	bigtime_t PerformanceTimeFor(bigtime_t realTime) const;
	// The real time at which performanceTime comes, less withLatency.
	bigtime_t RealTimeFor(bigtime_t performanceTime, bigtime_t withLatency) const;
	static bigtime_t RealTime();
	status_t GetTime(bigtime_t* performanceTime, bigtime_t* realTime, float* drift) const;
	bool IsRunning() const { return fRunning.load(); }

	// Starts, stops or sets the clock (the roster's StartTimeSource and friends). A
	// stopped source keeps its last performance time.
	virtual status_t StartAt(bigtime_t realTime);
	virtual status_t StopAt(bigtime_t realTime);
	virtual status_t SeekTo(bigtime_t performanceTime, bigtime_t atRealTime);

protected:
	explicit BTimeSource(const char* name);
	// Publishes that performance time `performanceTime` happens at real time `realTime`
	// and advances by `drift` µs per real µs from there.
	void PublishTime(bigtime_t performanceTime, bigtime_t realTime, float drift);

private:
	// Seqlock: readers retry while a publication is in progress.
	mutable std::atomic<uint32> fSequence{0};
	std::atomic<bigtime_t> fPerformance{0};
	std::atomic<bigtime_t> fReal{0};
	std::atomic<float> fDrift{1.0f};
	std::atomic<bool> fRunning{false};
};

// The time source of the system clock; lives as long as the process.
BTimeSource* system_time_source();

// The media clock ("Media clock"), every node's time source until SetTimeSourceFor
// chooses another, and the roster's GetTimeSource. While the process's JACK service runs
// (jack/JackService.h: anyone holds it) it follows JACK's period clock: at each period
// it publishes the frames JACK counted since it began to follow, as microseconds, at
// the period's start, paced by JACK's estimate of the period's length. Otherwise it runs
// on the system clock. It never jumps: it goes on from the time it had when it began or
// stopped following. Always running; lives as long as the process.
BTimeSource* media_time_source();
