#include "midi/JackCycleClock.h"

#include "midi/MidiClock.h"

#include <jack/jack.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace midi_internal {

namespace {

void QuietJackMessage(const char*) {}

void PrintJackMessage(const char* message)
{
	std::fprintf(stderr, "%s\n", message);
}

}  // namespace

std::shared_ptr<JackCycleClock> JackCycleClock::Open(const std::string& clientName,
	bool quiet)
{
	// libjack reports a missing server on stderr; asking again later stays quiet.
	if (quiet)
		jack_set_error_function(QuietJackMessage);
	jack_status_t status;
	jack_client_t* client = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
	if (quiet)
		jack_set_error_function(PrintJackMessage);
	if (client == nullptr)
		return nullptr;
	std::shared_ptr<JackCycleClock> clock(new JackCycleClock);
	clock->fClient = client;
	sem_init(&clock->fTick, 0, 0);
	jack_set_process_callback(client, Process, clock.get());
	jack_on_shutdown(client, Shutdown, clock.get());
	jack_set_port_registration_callback(client, PortRegistered, clock.get());
	if (jack_activate(client) != 0)
		return nullptr;  // the destructor closes the client
	return clock;
}

JackCycleClock::~JackCycleClock()
{
	if (fClient == nullptr)
		return;
	// A client the server has thrown out is left alone: closing it can crash libjack.
	if (!fGone.load()) {
		jack_deactivate(fClient);
		jack_client_close(fClient);
	}
	sem_destroy(&fTick);
}

int JackCycleClock::Process(uint32_t frames, void* self)
{
	auto* clock = static_cast<JackCycleClock*>(self);
	clock->fPeriods.fetch_add(1);
	if (clock->fWaiting.load())
		sem_post(&clock->fTick);
	return 0;
}

void JackCycleClock::Shutdown(void* self)
{
	auto* clock = static_cast<JackCycleClock*>(self);
	clock->fGone.store(true);
	sem_post(&clock->fTick);
}

void JackCycleClock::PortRegistered(uint32_t port, int registered, void* self)
{
	static_cast<JackCycleClock*>(self)->fPortsChanged.store(true);
}

status_t JackCycleClock::Reserve(size_t bytes)
{
	size_t cost = bytes + kEventOverhead;
	std::lock_guard lock(fLock);
	bigtime_t deadline = MidiNow() + kStallTimeout;
	while (true) {
		if (fGone.load())
			return B_ERROR;
		uint64_t period = fPeriods.load();
		if (fWindow.Admit(cost, period))
			return B_OK;
		status_t status = WaitUntil(period + 1, deadline);
		if (status != B_OK)
			return status;
	}
}

status_t JackCycleClock::WaitPeriods(uint32_t count)
{
	std::lock_guard lock(fLock);
	return WaitUntil(fPeriods.load() + count, MidiNow() + kStallTimeout);
}

status_t JackCycleClock::WaitUntil(uint64_t period, bigtime_t deadline)
{
	while (sem_trywait(&fTick) == 0) {
	}
	fWaiting.store(true);
	status_t status = B_OK;
	while (fPeriods.load() < period) {
		if (fGone.load()) {
			status = B_ERROR;
			break;
		}
		bigtime_t left = deadline - MidiNow();
		if (left <= 0) {
			status = B_TIMED_OUT;
			break;
		}
		timespec until;
		clock_gettime(CLOCK_MONOTONIC, &until);
		until.tv_sec += left / 1000000;
		until.tv_nsec += (left % 1000000) * 1000;
		if (until.tv_nsec >= 1000000000) {
			until.tv_sec += 1;
			until.tv_nsec -= 1000000000;
		}
		sem_clockwait(&fTick, CLOCK_MONOTONIC, &until);
	}
	fWaiting.store(false);
	return status;
}

}  // namespace midi_internal
