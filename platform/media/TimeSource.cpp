#include "media/TimeSource.h"

#include "kernel/OS.h"
#if SUITE_HAVE_JACK_SERVICE
#include "jack/JackService.h"
#endif

#include <algorithm>
#include <mutex>

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

// The media clock: the system clock, that follows JACK's period clock while the
// process's JACK service runs (media_time_source()).
class MediaClock : public BTimeSource
#if SUITE_HAVE_JACK_SERVICE
	, public JackServiceWatcher
#endif
{
public:
	MediaClock() : BMediaNode("Media clock"), BTimeSource("Media clock")
	{
		StartAt(0);
#if SUITE_HAVE_JACK_SERVICE
		JackService::AddWatcher(this);
#endif
	}
	status_t StopAt(bigtime_t) override { return B_NOT_ALLOWED; }
	status_t SeekTo(bigtime_t, bigtime_t) override { return B_NOT_ALLOWED; }

#if SUITE_HAVE_JACK_SERVICE
	void ServiceOpened(JackService* service) override
	{
		std::lock_guard lock(fLock);
		Detach();
		fAnchored = false;
		fService.store(service);
		if (service->AddProcessHook(&Period, this) != B_OK)
			fService.store(nullptr);
	}

	void ServiceClosing(JackService* service) override
	{
		std::lock_guard lock(fLock);
		if (fService.load() == service)
			Detach();
	}

private:
	// With fLock held: stops following; the system clock's pace from where JACK left it.
	void Detach()
	{
		JackService* service = fService.exchange(nullptr);
		if (service == nullptr)
			return;
		service->RemoveProcessHook(&Period, this);
		bigtime_t now = RealTime();
		PublishTime(PerformanceTimeFor(now), now, 1.0f);
	}

	// On JACK's process thread, at the start of each period: performance time is the
	// frames counted since the clock began to follow, from the performance time it had
	// then; the filtered period start and length give the real time and the pace.
	static void Period(uint32, void* cookie)
	{
		auto* clock = static_cast<MediaClock*>(cookie);
		JackService* service = clock->fService.load(std::memory_order_relaxed);
		if (service != nullptr)
			clock->Follow(service->CurrentPeriod());
	}

	void Follow(const JackPeriod& period)
	{
		if (period.sampleRate == 0)
			return;
		bigtime_t real = period.filteredLength > 0 ? period.filteredStart : period.startTime;
		if (!fAnchored || period.sampleRate != fAnchorRate) {
			fAnchorFrame = period.frame;
			fAnchorPerformance = PerformanceTimeFor(real);
			fAnchorRate = period.sampleRate;
			fAnchored = true;
		}
		uint64 frames = period.frame - fAnchorFrame;
		uint64 rate = period.sampleRate;
		bigtime_t performance = fAnchorPerformance + bigtime_t(frames / rate * 1000000
			+ frames % rate * 1000000 / rate);
		float drift = 1.0f;
		if (period.filteredLength > 0) {
			drift = float(double(period.frames) * 1e6 / double(rate)
				/ double(period.filteredLength));
			drift = std::clamp(drift, 0.5f, 2.0f);
		}
		PublishTime(performance, real, drift);
	}

	std::mutex fLock;                              // guards following and letting go
	std::atomic<JackService*> fService{nullptr};   // followed; set under fLock
	// The process thread's, while the hook is in.
	bool fAnchored = false;
	uint64 fAnchorFrame = 0;
	bigtime_t fAnchorPerformance = 0;
	uint32 fAnchorRate = 0;
#endif
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

BTimeSource* media_time_source()
{
	static MediaClock* clock = new MediaClock;
	return clock;
}
