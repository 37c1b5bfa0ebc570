#include "media/TimeSource.h"

#include "kernel/OS.h"

namespace {

// The system clock: performance time is real time, always running.
class SystemTimeSource : public BTimeSource {
public:
	SystemTimeSource() : BMediaNode("System clock"), BTimeSource("System clock")
	{
		StartAt(0);
	}
	status_t StopAt(bigtime_t) override { return B_NOT_ALLOWED; }
	status_t SeekTo(bigtime_t, bigtime_t) override { return B_NOT_ALLOWED; }
};

}  // namespace

BTimeSource::BTimeSource(const char* name) : BMediaNode(name)
{
	AddNodeKind(B_TIME_SOURCE);
}

bigtime_t BTimeSource::RealTime()
{
	return system_time();
}

status_t BTimeSource::GetTime(bigtime_t* performanceTime, bigtime_t* realTime,
	float* drift) const
{
	bigtime_t perf, real;
	float d;
	uint32 before;
	do {
		before = fSequence.load(std::memory_order_acquire);
		perf = fPerformance.load(std::memory_order_relaxed);
		real = fReal.load(std::memory_order_relaxed);
		d = fDrift.load(std::memory_order_relaxed);
		std::atomic_thread_fence(std::memory_order_acquire);
	} while ((before & 1) != 0 || before != fSequence.load(std::memory_order_relaxed));
	if (performanceTime != nullptr)
		*performanceTime = perf;
	if (realTime != nullptr)
		*realTime = real;
	if (drift != nullptr)
		*drift = d;
	return B_OK;
}

bigtime_t BTimeSource::PerformanceTimeFor(bigtime_t realTime) const
{
	bigtime_t perf, real;
	float drift;
	GetTime(&perf, &real, &drift);
	if (!IsRunning())
		return perf;
	return perf + bigtime_t(double(realTime - real) * drift);
}

bigtime_t BTimeSource::RealTimeFor(bigtime_t performanceTime, bigtime_t withLatency) const
{
	bigtime_t perf, real;
	float drift;
	GetTime(&perf, &real, &drift);
	if (drift <= 0.0f)
		drift = 1.0f;
	return real + bigtime_t(double(performanceTime - perf) / drift) - withLatency;
}

void BTimeSource::PublishTime(bigtime_t performanceTime, bigtime_t realTime, float drift)
{
	fSequence.fetch_add(1, std::memory_order_acq_rel);
	fPerformance.store(performanceTime, std::memory_order_relaxed);
	fReal.store(realTime, std::memory_order_relaxed);
	fDrift.store(drift, std::memory_order_relaxed);
	fSequence.fetch_add(1, std::memory_order_release);
}

status_t BTimeSource::StartAt(bigtime_t realTime)
{
	if (fRunning.load())
		return B_OK;
	bigtime_t perf;
	GetTime(&perf, nullptr, nullptr);
	// A clock resumes where it stopped (the system clock starts at 0 at real time 0).
	PublishTime(perf, realTime, 1.0f);
	fRunning.store(true);
	return B_OK;
}

status_t BTimeSource::StopAt(bigtime_t realTime)
{
	if (!fRunning.load())
		return B_OK;
	bigtime_t perf = PerformanceTimeFor(realTime);
	PublishTime(perf, realTime, 1.0f);
	fRunning.store(false);
	return B_OK;
}

status_t BTimeSource::SeekTo(bigtime_t performanceTime, bigtime_t atRealTime)
{
	float drift;
	GetTime(nullptr, nullptr, &drift);
	PublishTime(performanceTime, atRealTime, drift);
	return B_OK;
}

BTimeSource* system_time_source()
{
	static SystemTimeSource* source = new SystemTimeSource;
	return source;
}
