#include "midi/SystemPorts.h"

#include "jack/JackService.h"
#include "midi/JackMidi.h"
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

// How long a new JACK connection may take to carry data before Connect() gives up.
constexpr bigtime_t kConnectTimeout = 5000000;

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

// Opens a port of the ALSA sequencer; `prepare` runs before the port opens.
template<typename Port, typename Prepare>
std::unique_ptr<Port> OpenAlsaPort(const std::string& clientName,
	const std::string& portName, const char* ownPortName, RtErrorSink& errors,
	Prepare prepare, status_t& status)
{
	status = B_ERROR;
	try {
		auto port = std::make_unique<Port>(RtMidi::LINUX_ALSA, clientName);
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

// Holds the JACK service for a scope.
struct JackHold {
	JackService* service = SystemPorts::Get().AcquireJack();
	~JackHold()
	{
		if (service != nullptr)
			service->Release();
	}
};

// JACK status of a failed connection: the port went (B_NAME_NOT_FOUND), the server
// went or refused (B_ERROR), or the connection never carried (B_TIMED_OUT, said on
// standard error since a caller only sees a status).
status_t ConnectionFailed(status_t status, const std::string& from, const std::string& to)
{
	if (status == B_TIMED_OUT)
		std::fprintf(stderr, "MIDI: JACK did not confirm the connection %s -> %s within "
			"%lld s\n", from.c_str(), to.c_str(), (long long)(kConnectTimeout / 1000000));
	return status;
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

// A complete message from the JACK port's delivery thread.
void SystemProducer::Queue(const uint8_t* message, size_t length, bigtime_t time)
{
	std::lock_guard lock(fTargetLock);
	for (BMidiLocalConsumer* target : fTargets)
		target->Enqueue(message, length, time);
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
	if (api == SystemApi::Alsa && fIn == nullptr) {
		status_t status;
		fIn = OpenAlsaPort<RtMidiIn>(system.ClientName(), portName, "in", *fErrors,
			[this](RtMidiIn& in) {
				in.ignoreTypes(false, false, false);
				in.setCallback(&OnRtMidiInput, this);
			}, status);
		if (fIn == nullptr)
			return status;
	} else if (api == SystemApi::Jack && fJackIn == nullptr) {
		JackHold jack;
		if (jack.service == nullptr)
			return B_ERROR;
		status_t status;
		auto in = JackMidiInput::Open(jack.service, "from " + portName,
			[this](const uint8_t* message, size_t length, bigtime_t time) {
				Queue(message, length, time);
			}, &status);
		if (in == nullptr)
			return status;
		status = jack.service->Connect(portName, in->FullName(), kConnectTimeout);
		if (status != B_OK)
			return ConnectionFailed(status, portName, in->FullName());
		fJackIn = std::move(in);
	} else if (api == SystemApi::None) {
		return B_ERROR;
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
	if (unused)
		fJackIn.reset();
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
	std::string portName;
	{
		std::lock_guard lock(fNameLock);
		portName = fPortName;
	}
	std::lock_guard lock(fPortLock);
	if (api == SystemApi::Alsa && fOut == nullptr) {
		status_t status;
		fOut = OpenAlsaPort<RtMidiOut>(system.ClientName(), portName, "out", *fErrors,
			[](RtMidiOut&) {}, status);
		if (fOut == nullptr)
			return status;
	} else if (api == SystemApi::Jack && fJackOut == nullptr) {
		JackHold jack;
		if (jack.service == nullptr)
			return B_ERROR;
		status_t status;
		auto out = JackMidiOutput::Open(jack.service, "to " + portName, &status);
		if (out == nullptr)
			return status;
		status = jack.service->Connect(out->FullName(), portName, kConnectTimeout);
		if (status != B_OK)
			return ConnectionFailed(status, out->FullName(), portName);
		fJackOut = std::move(out);
	} else if (api == SystemApi::None) {
		return B_ERROR;
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
		fJackOut.reset();  // so does ours
	}
}

// One message out through RtMidi (ALSA), or through our JACK port.
static status_t SendOne(RtMidiOut* out, JackMidiOutput* jackOut, RtErrorSink* errors,
	const uint8_t* bytes, size_t length)
{
	if (jackOut != nullptr)
		return jackOut->Send(bytes, length);
	if (out == nullptr)
		return B_ERROR;
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
	SystemPorts::Get().RescanIfPortsChanged();
	std::lock_guard lock(fPortLock);
	if (!IsValid())
		return B_ERROR;
	return SendOne(fOut.get(), fJackOut.get(), fErrors.get(), bytes, length);
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
	fJackIn.reset();
	fJackOut.reset();
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
	if (api == SystemApi::Jack) {
		JackHold jack;
		if (jack.service == nullptr)
			return nullptr;
		status_t status;
		port->fJackIn = JackMidiInput::Open(jack.service, name.empty() ? "midi in" : name,
			[consumer](const uint8_t* message, size_t length, bigtime_t time) {
				consumer->Enqueue(message, length, time);
			}, &status);
		return port->fJackIn != nullptr ? std::move(port) : nullptr;
	}
	try {
		auto in = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, SystemPorts::Get().ClientName());
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
	if (api == SystemApi::Jack) {
		JackHold jack;
		if (jack.service == nullptr)
			return nullptr;
		status_t status;
		port->fJackOut = JackMidiOutput::Open(jack.service,
			name.empty() ? "midi out" : name, &status);
		return port->fJackOut != nullptr ? std::move(port) : nullptr;
	}
	try {
		auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, SystemPorts::Get().ClientName());
		out->setErrorCallback(&RtErrorSink::Report, port->fErrors.get());
		out->openVirtualPort(name.empty() ? "midi out" : name);
		if (port->fErrors->failed.load())
			return nullptr;
		port->fOut = std::move(out);
	} catch (const std::exception&) {
		return nullptr;
	}
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
	return SendOne(fOut.get(), fJackOut.get(), fErrors.get(), bytes, length);
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
		// The process's one JACK client, shared with the media layer.
		status_t status;
		std::string message;
		fJack = JackService::Acquire(fClientName.c_str(), &status, &message);
		if (fJack == nullptr) {
			if (first)
				std::fprintf(stderr, "MIDI: %s; there are no system MIDI ports\n",
					want.empty() ? ("no ALSA sequencer, and " + message).c_str()
								 : message.c_str());
			return;
		}
		fApi = SystemApi::Jack;
	}
}

void SystemPorts::Forget()
{
	fScanIn.reset();
	fScanOut.reset();
	if (fJack != nullptr)
		fJack->Release();
	fJack = nullptr;
	fApi = SystemApi::None;
	fAttempted = false;
}

status_t SystemPorts::Rescan()
{
	std::lock_guard lock(fLock);
	if (fApi == SystemApi::Jack && !fJack->IsRunning())
		Forget();
	// A missing server is asked again at most every two seconds.
	if (fApi == SystemApi::None
		&& (!fAttempted || MidiNow() - fLastAttempt > 2000000))
		Choose();
	std::vector<std::string> inputs;
	std::vector<std::string> outputs;
	status_t status = B_OK;
	if (fApi == SystemApi::Jack) {
		fPortsGeneration = fJack->PortsGeneration();
		inputs = fJack->FindPorts(JackPortType::Midi, JackPortDirection::Output);
		outputs = fJack->FindPorts(JackPortType::Midi, JackPortDirection::Input);
	} else if (fApi == SystemApi::Alsa) {
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
	// JACK listings leave our one client out already; ALSA's has a client per port.
	std::string own = fApi == SystemApi::Jack ? std::string() : fClientName;
	UpdateKind(fProducers, UniquePortNames(inputs, own));
	UpdateKind(fConsumers, UniquePortNames(outputs, own));
}

SystemApi SystemPorts::Api()
{
	std::lock_guard lock(fLock);
	if (!fAttempted)
		Choose();
	return fApi;
}

JackService* SystemPorts::AcquireJack()
{
	std::lock_guard lock(fLock);
	if (fJack == nullptr)
		return nullptr;
	fJack->AddReference();
	return fJack;
}

std::string SystemPorts::ClientName()
{
	std::lock_guard lock(fLock);
	return fClientName;
}

status_t SystemPorts::SetClientName(const std::string& name)
{
	if (name.empty() || name.find(':') != std::string::npos)
		return B_BAD_VALUE;
	std::lock_guard lock(fLock);
	if (fJack != nullptr && name != fJack->ClientName())
		return B_BUSY;
	fClientName = name;
	return B_OK;
}

void SystemPorts::RescanIfPortsChanged()
{
	{
		std::lock_guard lock(fLock);
		if (fJack == nullptr || fJack->PortsGeneration() == fPortsGeneration)
			return;
	}
	Rescan();
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
