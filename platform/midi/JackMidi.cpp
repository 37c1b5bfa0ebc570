#include "midi/JackMidi.h"

#include "kernel/OS.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace midi_internal {

namespace {

// An input ring holds several periods of a full MIDI buffer; an output ring a few.
constexpr size_t kInputRingBytes = 256 * 1024;
constexpr size_t kOutputRingBytes = 128 * 1024;
constexpr size_t kMaxIncomingEvent = 64 * 1024;
// A sender waits this long for a period that makes room before it gives up.
constexpr bigtime_t kStallTimeout = 2000000;

// Registers a MIDI port named after `wish`; when the client has a port of that name (two
// endpoints of one name, as an instrument's input and output often are), "wish 2", ...
jack_port_t* RegisterMidiPort(JackService* service, const std::string& wish,
	JackPortDirection direction, status_t* status)
{
	std::string base = JackPortNameFor(wish);
	std::string name = base;
	for (int n = 2; n <= 16; n++) {
		jack_port_t* port = service->RegisterPort(name.c_str(), JackPortType::Midi, direction,
			status);
		if (port != nullptr || *status != B_NAME_IN_USE)
			return port;
		name = base + " " + std::to_string(n);
	}
	return nullptr;
}

}  // namespace

std::string JackPortNameFor(const std::string& wish)
{
	std::string name = wish.empty() ? "midi" : wish;
	std::replace(name.begin(), name.end(), ':', ' ');
	if (name.size() > 120)
		name.resize(120);
	return name;
}

// #pragma mark - JackMidiInput

JackMidiInput::JackMidiInput(JackService* service, Sink sink)
	:
	fService((service->AddReference(), service)),
	fSink(std::move(sink)),
	fRing(kInputRingBytes),
	fParser(kMaxIncomingEvent)
{
	sem_init(&fReady, 0, 0);
}

std::unique_ptr<JackMidiInput> JackMidiInput::Open(JackService* service,
	const std::string& portName, Sink sink, status_t* status)
{
	std::unique_ptr<JackMidiInput> input(new JackMidiInput(service, std::move(sink)));
	input->fPort = RegisterMidiPort(service, portName, JackPortDirection::Input, status);
	if (input->fPort == nullptr)
		return nullptr;
	input->fThread = std::thread([raw = input.get()] { raw->Deliver(); });
	*status = service->AddProcessHook(Process, input.get());
	if (*status != B_OK)
		return nullptr;
	return input;
}

JackMidiInput::~JackMidiInput()
{
	if (fPort != nullptr) {
		fService->RemoveProcessHook(Process, this);
		fService->UnregisterPort(fPort);
	}
	fStopping.store(true);
	sem_post(&fReady);
	if (fThread.joinable())
		fThread.join();
	sem_destroy(&fReady);
	fService->Release();
}

void JackMidiInput::Process(uint32 frames, void* self)
{
	auto* input = static_cast<JackMidiInput*>(self);
	void* buffer = jack_port_get_buffer(input->fPort, frames);
	uint32 count = jack_midi_get_event_count(buffer);
	if (count == 0)
		return;
	JackPeriod period = input->fService->CurrentPeriod();
	uint32 rate = period.sampleRate > 0 ? period.sampleRate : 48000;
	bool queued = false;
	for (uint32 i = 0; i < count; i++) {
		jack_midi_event_t event;
		if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0)
			continue;
		bigtime_t time = period.startTime + bigtime_t(event.time) * 1000000 / rate;
		if (input->fRing.Write(&time, sizeof time, event.buffer, event.size))
			queued = true;
		else
			input->fDropped.fetch_add(1, std::memory_order_relaxed);
	}
	if (queued)
		sem_post(&input->fReady);
}

void JackMidiInput::Deliver()
{
	name_this_thread("jack midi in");
	std::vector<uint8_t> record(sizeof(bigtime_t) + kMaxIncomingEvent);
	while (true) {
		while (sem_wait(&fReady) != 0 && errno == EINTR) {
		}
		if (fStopping.load())
			return;
		ssize_t length;
		while ((length = fRing.Read(record.data(), record.size())) >= 0) {
			if (size_t(length) < sizeof(bigtime_t))
				continue;
			size_t bytes = std::min(size_t(length), record.size()) - sizeof(bigtime_t);
			if (size_t(length) > record.size()) {
				fDropped.fetch_add(1);  // longer than any message we take: cut, so dropped
				continue;
			}
			bigtime_t time;
			std::copy_n(record.data(), sizeof time, reinterpret_cast<uint8_t*>(&time));
			fParser.Feed(record.data() + sizeof time, bytes,
				[&](const uint8_t* message, size_t size) { fSink(message, size, time); });
		}
	}
}

// #pragma mark - JackMidiOutput

JackMidiOutput::JackMidiOutput(JackService* service)
	:
	fService((service->AddReference(), service)),
	fRing(kOutputRingBytes)
{
}

std::unique_ptr<JackMidiOutput> JackMidiOutput::Open(JackService* service,
	const std::string& portName, status_t* status)
{
	std::unique_ptr<JackMidiOutput> output(new JackMidiOutput(service));
	output->fPort = RegisterMidiPort(service, portName, JackPortDirection::Output, status);
	if (output->fPort == nullptr)
		return nullptr;
	*status = service->AddProcessHook(Process, output.get());
	if (*status != B_OK)
		return nullptr;
	output->fHooked.store(true);
	return output;
}

JackMidiOutput::~JackMidiOutput()
{
	if (fHooked.load()) {
		Drain(kStallTimeout);
		fService->RemoveProcessHook(Process, this);
	}
	if (fPort != nullptr)
		fService->UnregisterPort(fPort);
	fService->Release();
}

void JackMidiOutput::Process(uint32 frames, void* self)
{
	auto* output = static_cast<JackMidiOutput*>(self);
	void* buffer = jack_port_get_buffer(output->fPort, frames);
	jack_midi_clear_buffer(buffer);
	ssize_t length;
	while ((length = output->fRing.NextLength()) > 0) {
		// Whole messages only: what does not fit waits for the next period.
		if (size_t(length) > jack_midi_max_event_size(buffer))
			break;
		jack_midi_data_t* event = jack_midi_event_reserve(buffer, 0, size_t(length));
		if (event == nullptr)
			break;
		output->fRing.Read(event, size_t(length));
	}
}

status_t JackMidiOutput::Send(const uint8_t* bytes, size_t length)
{
	if (bytes == nullptr || length == 0 || length > kMaxMessage)
		return B_BAD_VALUE;
	std::lock_guard lock(fSendLock);
	bigtime_t deadline = system_time() + kStallTimeout;
	while (!fRing.Write(bytes, length)) {
		if (!fService->IsRunning())
			return B_ERROR;
		// Full: the process hook makes room each period.
		uint64 period = fService->Periods();
		status_t status = fService->WaitForPeriod(period + 1, deadline - system_time());
		if (status == B_TIMED_OUT && system_time() < deadline)
			continue;
		if (status != B_OK)
			return status;
	}
	return fService->IsRunning() ? B_OK : B_ERROR;
}

status_t JackMidiOutput::Drain(bigtime_t timeout)
{
	bigtime_t deadline = system_time() + timeout;
	while (!fRing.Empty()) {
		if (!fService->IsRunning())
			return B_ERROR;
		status_t status = fService->WaitPeriods(1, deadline - system_time());
		if (status != B_OK)
			return status;
	}
	// The period that took the last message may still be running.
	return fService->WaitPeriods(1, std::max<bigtime_t>(deadline - system_time(), 0));
}

}  // namespace midi_internal
