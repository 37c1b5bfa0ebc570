#include "midi/SystemPorts.h"

#include "midi/JackCycleClock.h"
#include "midi/MidiClock.h"
#include "midi/PortNames.h"
#include "midi/RosterCore.h"

#include <rtmidi/RtMidi.h>

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <utility>

namespace midi_internal {

// Collects RtMidi's error reports: with a callback set RtMidi reports instead of throwing.
struct RtErrorSink {
	std::atomic<bool> failed{false};

	static void Report(RtMidiError::Type type, const std::string& text, void* self)
	{
		if (type != RtMidiError::DEBUG_WARNING)
			static_cast<RtErrorSink*>(self)->failed.store(true);
	}
	void Clear() { failed.store(false); }
};

namespace {

RtMidi::Api RtApi(SystemApi api)
{
	return api == SystemApi::Alsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
}

int FindPort(RtMidi& port, const std::string& portName)
{
	unsigned count = port.getPortCount();
	std::vector<std::string> names;
	for (unsigned i = 0; i < count; ++i)
		names.push_back(port.getPortName(i));
	for (unsigned i = 0; i < names.size(); ++i) {
		if (names[i] == portName)
			return static_cast<int>(i);
	}
	// ALSA numbers may have moved since the scan.
	for (unsigned i = 0; i < names.size(); ++i) {
		if (PortNamesMatch(names[i], portName))
			return static_cast<int>(i);
	}
	return -1;
}

// Opens a port of the given system; `prepare` runs before the port opens.
template<typename Port, typename Prepare>
std::unique_ptr<Port> OpenPort(SystemApi api, const std::string& clientName,
	const std::string& portName, const char* ownPortName, RtErrorSink& errors,
	Prepare prepare, status_t& status)
{
	status = B_ERROR;
	if (api == SystemApi::None)
		return nullptr;
	try {
		auto port = std::make_unique<Port>(RtApi(api), clientName);
		port->setErrorCallback(&RtErrorSink::Report, &errors);
		prepare(*port);
		int index = FindPort(*port, portName);
		if (index < 0) {
			status = B_NAME_NOT_FOUND;
			return nullptr;
		}
		errors.Clear();
		port->openPort(static_cast<unsigned>(index), ownPortName);
		if (errors.failed.load() || !port->isPortOpen())
			return nullptr;
		status = B_OK;
		return port;
	} catch (const std::exception&) {
		return nullptr;
	}
}

// JACK makes a new connection effective at the start of a later period; messages sent
// before that vanish, so opening a port returns only once the connection carries data.
void WaitForConnection(SystemApi api)
{
	if (api != SystemApi::Jack)
		return;
	std::shared_ptr<JackCycleClock> clock = SystemPorts::Get().Clock();
	if (clock != nullptr)
		clock->WaitPeriods(3);
}

std::string MakeClientName()
{
	std::string program = program_invocation_short_name != nullptr
		? program_invocation_short_name : "midi";
	if (program.size() > 20)
		program.resize(20);
	std::replace(program.begin(), program.end(), ':', '_');
	return program + "-" + std::to_string(getpid());
}

}  // namespace

// #pragma mark - SystemProducer

SystemProducer::SystemProducer(const std::string& name, const std::string& portName)
	:
	BMidiProducer(name.c_str(), false),
	fErrors(std::make_unique<RtErrorSink>()),
	fPortName(portName)
{
}

SystemProducer::~SystemProducer() = default;

void SystemProducer::SetPortName(const std::string& portName)
{
	std::lock_guard lock(fNameLock);
	fPortName = portName;
}

static void OnRtMidiInput(double stamp, std::vector<unsigned char>* message, void* self)
{
	if (message != nullptr && !message->empty())
		static_cast<SystemProducer*>(self)->Input(message->data(), message->size());
}

void SystemProducer::Input(const uint8_t* bytes, size_t length)
{
	bigtime_t now = MidiNow();
	std::lock_guard lock(fTargetLock);
	fParser.Feed(bytes, length, [&](const uint8_t* message, size_t size) {
		for (BMidiLocalConsumer* target : fTargets)
			target->Enqueue(message, size, now);
	});
}

status_t SystemProducer::AttachTarget(BMidiLocalConsumer* consumer)
{
	SystemPorts& system = SystemPorts::Get();
	SystemApi api = system.Api();
	std::string portName;
	{
		std::lock_guard lock(fNameLock);
		portName = fPortName;
	}
	std::lock_guard lock(fOpenLock);
	if (fIn == nullptr) {
		status_t status;
		fIn = OpenPort<RtMidiIn>(api, system.ClientName(), portName, "in", *fErrors,
			[this](RtMidiIn& in) {
				in.ignoreTypes(false, false, false);
				in.setCallback(&OnRtMidiInput, this);
			}, status);
		if (fIn == nullptr)
			return status;
		WaitForConnection(api);
	}
	std::lock_guard targets(fTargetLock);
	if (std::find(fTargets.begin(), fTargets.end(), consumer) == fTargets.end())
		fTargets.push_back(consumer);
	return B_OK;
}

void SystemProducer::DetachTarget(BMidiLocalConsumer* consumer)
{
	std::lock_guard lock(fOpenLock);
	bool unused;
	{
		std::lock_guard targets(fTargetLock);
		fTargets.erase(std::remove(fTargets.begin(), fTargets.end(), consumer),
			fTargets.end());
		unused = fTargets.empty();
		if (unused)
			fParser.Reset();
	}
	if (unused && fIn != nullptr) {
		try {
			fIn.reset();
		} catch (const std::exception&) {
		}
	}
}

// #pragma mark - SystemConsumer

SystemConsumer::SystemConsumer(const std::string& name, const std::string& portName)
	:
	BMidiConsumer(name.c_str(), false),
	fErrors(std::make_unique<RtErrorSink>()),
	fPortName(portName)
{
}

SystemConsumer::~SystemConsumer() = default;

void SystemConsumer::SetPortName(const std::string& portName)
{
	std::lock_guard lock(fNameLock);
	fPortName = portName;
}

status_t SystemConsumer::OpenInput()
{
	SystemPorts& system = SystemPorts::Get();
	SystemApi api = system.Api();
	std::shared_ptr<JackCycleClock> clock = system.Clock();
	std::string portName;
	{
		std::lock_guard lock(fNameLock);
		portName = fPortName;
	}
	std::lock_guard lock(fPortLock);
	if (fOut == nullptr) {
		status_t status;
		fOut = OpenPort<RtMidiOut>(api, system.ClientName(), portName, "out", *fErrors,
			[](RtMidiOut&) {}, status);
		if (fOut == nullptr)
			return status;
		fClock = api == SystemApi::Jack ? clock : nullptr;
		WaitForConnection(api);
	}
	++fUsers;
	return B_OK;
}

void SystemConsumer::CloseInput()
{
	std::lock_guard lock(fPortLock);
	if (fUsers > 0 && --fUsers == 0) {
		try {
			fOut.reset();  // RtMidi lets the last period drain first
		} catch (const std::exception&) {
		}
		fClock.reset();
	}
}

// One message out through RtMidi, paced by the JACK clock when there is one.
static status_t PacedSend(RtMidiOut* out, JackCycleClock* clock, RtErrorSink* errors, const uint8_t* bytes, size_t length)
{
	if (clock != nullptr) {
		if (length > JackCycleClock::kMaxMessage)
			return B_BAD_VALUE;
		status_t status = clock->Reserve(length);
		if (status != B_OK)
			return status;
	}
	errors->Clear();
	try {
		out->sendMessage(bytes, length);
	} catch (const std::exception&) {
		return B_ERROR;
	}
	return errors->failed.load() ? B_ERROR : B_OK;
}

status_t SystemConsumer::DeliverMessage(const uint8* bytes, size_t length, bigtime_t time)
{
	{
		std::shared_ptr<JackCycleClock> clock = SystemPorts::Get().Clock();
		if (clock != nullptr && clock->TakePortsChanged())
			SystemPorts::Get().Rescan();
	}
	std::lock_guard lock(fPortLock);
	if (fOut == nullptr || !IsValid())
		return B_ERROR;
	return PacedSend(fOut.get(), fClock.get(), fErrors.get(), bytes, length);
}

// #pragma mark - PublishedPort

PublishedPort::PublishedPort()
	: fErrors(std::make_unique<RtErrorSink>())
{
}

PublishedPort::~PublishedPort()
{
	try {
		fIn.reset();  // stops input before the consumer can go
		fOut.reset();
	} catch (const std::exception&) {
	}
}

static void OnPublishedInput(double stamp, std::vector<unsigned char>* message, void* self)
{
	if (message != nullptr && !message->empty())
		static_cast<PublishedPort*>(self)->Input(message->data(), message->size());
}

std::unique_ptr<PublishedPort> PublishedPort::ForConsumer(const std::string& name,
	BMidiLocalConsumer* consumer)
{
	SystemApi api = SystemPorts::Get().Api();
	if (api == SystemApi::None)
		return nullptr;
	std::unique_ptr<PublishedPort> port(new PublishedPort);
	port->fConsumer = consumer;
	try {
		auto in = std::make_unique<RtMidiIn>(RtApi(api), SystemPorts::Get().ClientName());
		in->setErrorCallback(&RtErrorSink::Report, port->fErrors.get());
		in->ignoreTypes(false, false, false);
		in->setCallback(&OnPublishedInput, port.get());
		in->openVirtualPort(name.empty() ? "midi in" : name);
		if (port->fErrors->failed.load())
			return nullptr;
		port->fIn = std::move(in);
	} catch (const std::exception&) {
		return nullptr;
	}
	return port;
}

std::unique_ptr<PublishedPort> PublishedPort::ForProducer(const std::string& name)
{
	SystemApi api = SystemPorts::Get().Api();
	if (api == SystemApi::None)
		return nullptr;
	std::unique_ptr<PublishedPort> port(new PublishedPort);
	try {
		auto out = std::make_unique<RtMidiOut>(RtApi(api), SystemPorts::Get().ClientName());
		out->setErrorCallback(&RtErrorSink::Report, port->fErrors.get());
		out->openVirtualPort(name.empty() ? "midi out" : name);
		if (port->fErrors->failed.load())
			return nullptr;
		port->fOut = std::move(out);
	} catch (const std::exception&) {
		return nullptr;
	}
	if (api == SystemApi::Jack)
		port->fClock = SystemPorts::Get().Clock();
	return port;
}

void PublishedPort::Input(const uint8_t* bytes, size_t length)
{
	bigtime_t now = MidiNow();
	std::lock_guard lock(fLock);
	fParser.Feed(bytes, length, [&](const uint8_t* message, size_t size) {
		fConsumer->Enqueue(message, size, now);
	});
}

status_t PublishedPort::Send(const uint8_t* bytes, size_t length)
{
	std::lock_guard lock(fLock);
	if (fOut == nullptr)
		return B_ERROR;
	return PacedSend(fOut.get(), fClock.get(), fErrors.get(), bytes, length);
}

// #pragma mark - SystemPorts

SystemPorts& SystemPorts::Get()
{
	// Never destroyed: endpoints and input threads may still use it during exit.
	static SystemPorts* ports = new SystemPorts;
	return *ports;
}

SystemPorts::SystemPorts()
	:
	fScanErrors(std::make_unique<RtErrorSink>()),
	fClientName(MakeClientName())
{
}

void SystemPorts::Choose()
{
	bool first = fAttempts++ == 0;
	fAttempted = true;
	fLastAttempt = MidiNow();
	const char* forced = getenv("SUITE_MIDI_API");
	std::string want = forced != nullptr ? forced : "";
	if (want == "none")
		return;
	// The ALSA sequencer is there from boot or not at all; a JACK server may start later.
	// Without its device file there is no point in asking (and libasound would complain
	// on standard error).
	if (want != "jack" && first && access("/dev/snd/seq", R_OK | W_OK) == 0) {
		try {
			auto in = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, fClientName);
			auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, fClientName);
			in->setErrorCallback(&RtErrorSink::Report, fScanErrors.get());
			out->setErrorCallback(&RtErrorSink::Report, fScanErrors.get());
			fScanIn = std::move(in);
			fScanOut = std::move(out);
			fApi = SystemApi::Alsa;
			return;
		} catch (const std::exception&) {
			// no ALSA sequencer: try JACK
		}
	}
	if (want != "alsa") {
		// libjack would explain on standard error why it cannot connect; our one line says it.
		std::shared_ptr<JackCycleClock> clock = JackCycleClock::Open(fClientName, true);
		if (clock == nullptr) {
			if (first)
				std::fprintf(stderr, "MIDI: %s; there are no system MIDI ports\n",
					want.empty() ? "neither the ALSA sequencer nor a JACK server answers"
								 : "no JACK server answers");
			return;
		}
		try {
			auto in = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, fClientName);
			auto out = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, fClientName);
			in->setErrorCallback(&RtErrorSink::Report, fScanErrors.get());
			out->setErrorCallback(&RtErrorSink::Report, fScanErrors.get());
			fScanIn = std::move(in);
			fScanOut = std::move(out);
			fClock = std::move(clock);
			fApi = SystemApi::Jack;
		} catch (const std::exception&) {
		}
	}
}

void SystemPorts::Forget()
{
	fScanIn.reset();
	fScanOut.reset();
	fClock.reset();
	fApi = SystemApi::None;
	fAttempted = false;
}

status_t SystemPorts::Rescan()
{
	std::lock_guard lock(fLock);
	if (fApi == SystemApi::Jack && fClock->ServerGone())
		Forget();
	// A missing server is asked again at most every two seconds.
	if (fApi == SystemApi::None
		&& (!fAttempted || MidiNow() - fLastAttempt > 2000000))
		Choose();
	std::vector<std::string> inputs;
	std::vector<std::string> outputs;
	status_t status = B_OK;
	if (fApi != SystemApi::None) {
		try {
			unsigned count = fScanIn->getPortCount();
			for (unsigned i = 0; i < count; ++i)
				inputs.push_back(fScanIn->getPortName(i));
			count = fScanOut->getPortCount();
			for (unsigned i = 0; i < count; ++i)
				outputs.push_back(fScanOut->getPortName(i));
		} catch (const std::exception&) {
			inputs.clear();
			outputs.clear();
			Forget();
			status = B_ERROR;
		}
	}
	Update(inputs, outputs);
	return status;
}

namespace {

template<typename Endpoint>
void UpdateKind(std::map<std::string, Endpoint*>& known,
	const std::vector<std::pair<std::string, std::string>>& present)
{
	RosterCore& core = RosterCore::Get();
	std::set<std::string> names;
	for (auto& [stable, full] : present) {
		names.insert(stable);
		auto it = known.find(stable);
		if (it == known.end()) {
			known[stable] = new Endpoint(stable, full);
		} else {
			it->second->SetPortName(full);
			core.SetValid(it->second, true);
		}
	}
	for (auto& [stable, endpoint] : known) {
		if (names.count(stable) == 0)
			core.SetValid(endpoint, false);
	}
}

}  // namespace

void SystemPorts::Update(const std::vector<std::string>& inputs,
	const std::vector<std::string>& outputs)
{
	UpdateKind(fProducers, UniquePortNames(inputs, fClientName));
	UpdateKind(fConsumers, UniquePortNames(outputs, fClientName));
}

SystemApi SystemPorts::Api()
{
	std::lock_guard lock(fLock);
	if (!fAttempted)
		Choose();
	return fApi;
}

std::shared_ptr<JackCycleClock> SystemPorts::Clock()
{
	std::lock_guard lock(fLock);
	return fClock;
}

const char* SystemPorts::ApiName()
{
	std::lock_guard lock(fLock);
	if (!fAttempted)
		Choose();
	switch (fApi) {
		case SystemApi::Alsa: return "alsa";
		case SystemApi::Jack: return "jack";
		default: return "none";
	}
}

}  // namespace midi_internal
