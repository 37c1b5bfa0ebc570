// Paces output to JACK MIDI by the server's periods.
//
// What RtMidi 5's JACK output does (measured against jackd's dummy driver, 512 frames):
// sendMessage() writes into a 16 KB ring buffer and blocks while it is full; a framed
// message of 16379 bytes passes, one of 16380 or more vanishes without an error. The
// process callback moves the ring into the port buffer, which takes about 32 KB per
// period (56 messages of 564 bytes); what does not fit is dropped with a message from
// libjack. Because the callback keeps draining while a fast sender refills the ring,
// one period can be offered more than 32 KB: unpaced bursts of 100 and 700 such messages
// arrived as 56 and 469 in our trials. This clock is a JACK client of its own whose
// process callback counts periods.
// Reserve() admits bytes so that no two neighbouring periods together carry more than
// the limit (the output may be drained just before or just after our count moves), and
// otherwise waits, blocking on a semaphore, for the next period.
#ifndef MIDI_JACKCYCLECLOCK_H
#define MIDI_JACKCYCLECLOCK_H

#include "midi/MidiDefs.h"
#include "midi/PeriodWindow.h"

#include <semaphore.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

typedef struct _jack_client jack_client_t;

namespace midi_internal {

class JackCycleClock {
public:
	// Bytes two neighbouring periods may carry together, per-event overhead included.
	static constexpr size_t kPeriodPairLimit = 28 * 1024;
	// Largest framed message RtMidi's JACK output passes (its ring buffer is 16 KB,
	// minus a length word; measured: 16379 bytes pass, 16380 vanish).
	static constexpr size_t kMaxMessage = 16 * 1024 - 8;
	static constexpr size_t kEventOverhead = 16;
	static constexpr bigtime_t kStallTimeout = 2000000;

	// Null when no JACK server answers; `quiet` keeps libjack from saying so on stderr.
	static std::shared_ptr<JackCycleClock> Open(const std::string& clientName, bool quiet);
	~JackCycleClock();

	// Waits until a message of this size may leave. B_ERROR when the server is gone,
	// B_TIMED_OUT when it stopped running periods.
	status_t Reserve(size_t bytes);
	// Waits for the given number of periods: a new connection takes effect only at the
	// start of a period, and what leaves before that is lost.
	status_t WaitPeriods(uint32_t count);
	bool ServerGone() const { return fGone.load(); }
	uint64_t Periods() const { return fPeriods.load(); }
	// Whether a port came or went since the last call.
	bool TakePortsChanged() { return fPortsChanged.exchange(false); }

private:
	JackCycleClock() = default;
	// With fLock held: blocks until the period count reaches `period`.
	status_t WaitUntil(uint64_t period, bigtime_t deadline);
	static int Process(uint32_t frames, void* self);
	static void Shutdown(void* self);
	static void PortRegistered(uint32_t port, int registered, void* self);

	jack_client_t* fClient = nullptr;
	std::atomic<uint64_t> fPeriods{0};
	std::atomic<bool> fGone{false};
	std::atomic<bool> fWaiting{false};
	std::atomic<bool> fPortsChanged{false};
	sem_t fTick;

	std::mutex fLock;           // one sender at a time; guards the window
	PeriodWindow fWindow{kPeriodPairLimit};
};

}  // namespace midi_internal

#endif
