#include "testing/JackToneClient.h"

#include <jack/jack.h>
#include <semaphore.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <ctime>

namespace {

constexpr double kTwoPi = 6.283185307179586;

}  // namespace

struct JackToneClient::State {
	jack_client_t* client = nullptr;
	std::vector<Tone> tones;
	std::vector<double> phases;
	std::vector<jack_port_t*> outputs;
	std::vector<jack_port_t*> inputs;
	std::vector<std::vector<float>> recorded;  // written by the process thread only
	std::atomic<size_t> count{0};              // frames recorded on every input
	std::atomic<bool> recording{false};
	std::atomic<size_t> wanted{0};             // posts `reached` as count gets there
	sem_t reached;
	double rate = 44100;

	State() { sem_init(&reached, 0, 0); }
	~State() { sem_destroy(&reached); }

	static int Process(jack_nframes_t frames, void* cookie)
	{
		auto* s = static_cast<State*>(cookie);
		for (size_t c = 0; c < s->tones.size(); c++) {
			auto* out = static_cast<float*>(jack_port_get_buffer(s->outputs[c], frames));
			const double step = kTwoPi * s->tones[c].frequency / s->rate;
			double& phase = s->phases[c];
			for (jack_nframes_t i = 0; i < frames; i++) {
				out[i] = s->tones[c].amplitude * float(std::sin(phase));
				phase += step;
				if (phase >= kTwoPi)
					phase -= kTwoPi;
			}
		}
		if (!s->recording.load())
			return 0;
		size_t at = s->count.load();
		size_t n = std::min<size_t>(frames, s->recorded.empty() ? 0
			: s->recorded[0].size() - at);
		for (size_t c = 0; c < s->inputs.size(); c++) {
			auto* in = static_cast<const float*>(jack_port_get_buffer(s->inputs[c], frames));
			std::copy(in, in + n, s->recorded[c].begin() + long(at));
		}
		s->count.store(at + n);
		size_t wanted = s->wanted.load();
		if (at < wanted && at + n >= wanted)
			sem_post(&s->reached);  // never blocks
		return 0;
	}
};

JackToneClient::JackToneClient(const char* name, std::vector<Tone> tones, size_t room)
	:
	fState(std::make_unique<State>())
{
	State& s = *fState;
	s.tones = std::move(tones);
	s.phases.assign(s.tones.size(), 0.0);
	s.recorded.assign(s.tones.size(), std::vector<float>(room, 0.0f));
	s.client = jack_client_open(name, JackNoStartServer, nullptr);
	if (s.client == nullptr)
		return;
	s.rate = jack_get_sample_rate(s.client);
	for (size_t c = 0; c < s.tones.size(); c++) {
		std::string number = std::to_string(c + 1);
		s.outputs.push_back(jack_port_register(s.client, ("out_" + number).c_str(),
			JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0));
		s.inputs.push_back(jack_port_register(s.client, ("in_" + number).c_str(),
			JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0));
	}
	if (!Valid())
		return;
	jack_set_process_callback(s.client, &State::Process, fState.get());
	if (jack_activate(s.client) != 0) {
		jack_client_close(s.client);
		s.client = nullptr;
	}
}

JackToneClient::~JackToneClient()
{
	if (fState->client != nullptr) {
		jack_deactivate(fState->client);
		jack_client_close(fState->client);
	}
}

bool JackToneClient::Valid() const
{
	const State& s = *fState;
	auto missing = [](jack_port_t* port) { return port == nullptr; };
	return s.client != nullptr && std::none_of(s.outputs.begin(), s.outputs.end(), missing)
		&& std::none_of(s.inputs.begin(), s.inputs.end(), missing);
}

std::string JackToneClient::Port(const char* name) const
{
	return std::string(jack_get_client_name(fState->client)) + ":" + name;
}

double JackToneClient::Rate() const
{
	return fState->rate;
}

void JackToneClient::StartRecording()
{
	fState->recording.store(true);
}

bool JackToneClient::WaitForRecorded(size_t frames, long long timeout) const
{
	State& s = *fState;
	frames = std::min(frames, s.recorded.empty() ? 0 : s.recorded[0].size());
	s.wanted.store(frames);
	struct timespec until;
	clock_gettime(CLOCK_REALTIME, &until);
	long long nanoseconds = until.tv_nsec + (timeout % 1000000) * 1000;
	until.tv_sec += time_t(timeout / 1000000 + nanoseconds / 1000000000);
	until.tv_nsec = long(nanoseconds % 1000000000);
	while (RecordedCount() < frames) {
		if (sem_timedwait(&s.reached, &until) != 0 && errno != EINTR)
			return RecordedCount() >= frames;
	}
	return true;
}

size_t JackToneClient::RecordedCount() const
{
	return fState->count.load();
}

std::vector<float> JackToneClient::Recorded(size_t channel) const
{
	if (channel >= fState->recorded.size())
		return {};
	const std::vector<float>& all = fState->recorded[channel];
	return std::vector<float>(all.begin(), all.begin() + long(RecordedCount()));
}
