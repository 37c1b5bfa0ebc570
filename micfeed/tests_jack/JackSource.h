// JackSource: a JACK client of its own that plays into the default audio input of this
// process (or another one): a sine, or clicks whose callback times it keeps. For micfeed's
// tests and benchmark, on the JACK server of the run.
//
// The default audio input on JACK reads the server's capture ports; ConnectToInput()
// connects this client's two outputs to the ports those capture ports feed.
#pragma once

#include "kernel/OS.h"

#include <jack/jack.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <memory>
#include <string>

class JackSource {
public:
	// A sine of `frequency` Hz at `level` (0..1); with clickEvery > 0 instead one click of
	// `level` every clickEvery frames, the rest silence, keeping up to maxClicks times.
	JackSource(double frequency, float level, int64_t clickEvery = 0, size_t maxClicks = 0)
		:
		fFrequency(frequency),
		fLevel(level),
		fClickEvery(clickEvery),
		fClickTimes(std::make_unique<std::atomic<bigtime_t>[]>(maxClicks)),
		fMaxClicks(maxClicks)
	{
	}

	~JackSource() { Close(); }

	bool Open(const char* clientName)
	{
		fClient = jack_client_open(clientName, JackNoStartServer, nullptr);
		if (fClient == nullptr)
			return false;
		fRate = jack_get_sample_rate(fClient);
		for (int c = 0; c < 2; c++) {
			std::string name = "out_" + std::to_string(c + 1);
			fPorts[c] = jack_port_register(fClient, name.c_str(), JACK_DEFAULT_AUDIO_TYPE,
				JackPortIsOutput, 0);
		}
		jack_set_process_callback(fClient, &Process, this);
		return fPorts[0] != nullptr && fPorts[1] != nullptr && jack_activate(fClient) == 0;
	}

	// Connects to the ports fed by system:capture_1 and _2; false while no client reads
	// them.
	bool ConnectToInput()
	{
		for (int c = 0; c < 2; c++) {
			std::string capture = "system:capture_" + std::to_string(c + 1);
			jack_port_t* port = jack_port_by_name(fClient, capture.c_str());
			if (port == nullptr)
				return false;
			const char** readers = jack_port_get_all_connections(fClient, port);
			bool found = readers != nullptr && readers[0] != nullptr;
			int result = found ? jack_connect(fClient, jack_port_name(fPorts[c]), readers[0]) : -1;
			jack_free(readers);
			if (result != 0 && result != EEXIST)
				return false;
		}
		return true;
	}

	// Tries ConnectToInput() for up to `timeout` µs.
	bool WaitAndConnect(bigtime_t timeout = 3000000)
	{
		for (bigtime_t until = system_time() + timeout; system_time() < until; snooze(10000))
			if (ConnectToInput())
				return true;
		return false;
	}

	void Close()
	{
		if (fClient != nullptr) {
			jack_deactivate(fClient);
			jack_client_close(fClient);
			fClient = nullptr;
		}
	}

	// system_time() of the callback that wrote click n (0 while not written).
	bigtime_t ClickTime(size_t n) const { return n < fMaxClicks ? fClickTimes[n].load() : 0; }
	size_t ClicksWritten() const { return fClicks.load(); }

private:
	static int Process(jack_nframes_t frames, void* data)
	{
		auto* self = static_cast<JackSource*>(data);
		const bigtime_t now = system_time();
		float* out[2];
		for (int c = 0; c < 2; c++)
			out[c] = static_cast<float*>(jack_port_get_buffer(self->fPorts[c], frames));
		for (jack_nframes_t i = 0; i < frames; i++, self->fPosition++) {
			float value = 0;
			if (self->fClickEvery <= 0) {
				value = self->fLevel * float(std::sin(2 * M_PI * self->fFrequency
					* double(self->fPosition) / self->fRate));
			} else if (self->fPosition % self->fClickEvery == 0) {
				size_t n = self->fClicks.load();
				if (n < self->fMaxClicks)
					self->fClickTimes[n].store(now);
				self->fClicks.store(n + 1);
				value = self->fLevel;
			}
			out[0][i] = out[1][i] = value;
		}
		return 0;
	}

	double fFrequency;
	float fLevel;
	int64_t fClickEvery;
	std::unique_ptr<std::atomic<bigtime_t>[]> fClickTimes;
	size_t fMaxClicks;
	double fRate = 44100;
	int64_t fPosition = 0;   // JACK's thread only
	std::atomic<size_t> fClicks{0};
	jack_client_t* fClient = nullptr;
	jack_port_t* fPorts[2] = {nullptr, nullptr};
};
