#pragma once
// The system's MIDI ports behind the roster: the ALSA sequencer through RtMidi, or JACK
// MIDI through this process's one JACK client (jack/JackService.h).
//
// SystemPorts chooses the MIDI system once it can (ALSA sequencer, else JACK; every
// failure of a library is caught here), lists the system's ports and keeps one endpoint
// object per stable port name for the life of the process:
//   SystemProducer  a port that sends to us (ALSA/JACK output); opened for input on its
//                   first connection to a local consumer. Under ALSA, RtMidi's input
//                   thread parses the bytes; under JACK, the process thread only copies
//                   events into a ring and the port's delivery thread parses them (see
//                   midi/JackMidi.h). Complete messages are queued to the connected
//                   consumers (bounded queues: a flood is dropped and counted), never
//                   running their handlers.
//   SystemConsumer  a port we send to; opened for output on its first connection from a
//                   local producer; sending is serialised per port and paced by JACK's
//                   periods.
// Under JACK each of these is a port of our one client ("to <port>", "from <port>"), and
// a connection counts as made only once JACK confirms it and a whole period has passed,
// so the first message after Connect() is never lost.

#ifndef PLATFORM_MIDI_PRIVATE
#error "midi/SystemPorts.h is private to platform/midi: use the public MIDI headers"
#endif

#include "midi/MidiConsumer.h"
#include "midi/MidiParser.h"
#include "midi/MidiProducer.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class JackService;
class RtMidiIn;
class RtMidiOut;

namespace midi_internal {

class JackMidiInput;
class JackMidiOutput;
struct RtErrorSink;

enum class SystemApi { None, Alsa, Jack };

class SystemProducer : public BMidiProducer {
public:
	SystemProducer(const std::string& name, const std::string& portName);
	void SetPortName(const std::string& portName);

	// Bytes from RtMidi's input thread (ALSA): parsed, then queued.
	void Input(const uint8_t* bytes, size_t length);

private:
	~SystemProducer() override;
	status_t AttachTarget(BMidiLocalConsumer* consumer) override;
	void DetachTarget(BMidiLocalConsumer* consumer) override;
	void Queue(const uint8_t* message, size_t length, bigtime_t time);

	std::mutex fOpenLock;        // opening and closing the port
	std::unique_ptr<RtMidiIn> fIn;
	std::unique_ptr<JackMidiInput> fJackIn;
	std::unique_ptr<RtErrorSink> fErrors;
	std::mutex fTargetLock;      // the targets and the parser; taken by the input thread
	std::vector<BMidiLocalConsumer*> fTargets;
	MidiParser fParser;
	std::mutex fNameLock;
	std::string fPortName;       // the port's full name at the last scan
};

class SystemConsumer : public BMidiConsumer {
public:
	SystemConsumer(const std::string& name, const std::string& portName);
	void SetPortName(const std::string& portName);

private:
	~SystemConsumer() override;
	status_t DeliverMessage(const uint8* bytes, size_t length, bigtime_t time) override;
	status_t OpenInput() override;
	void CloseInput() override;

	std::mutex fPortLock;        // opening, closing and sending
	int32 fUsers = 0;
	std::unique_ptr<RtMidiOut> fOut;
	std::unique_ptr<JackMidiOutput> fJackOut;
	std::unique_ptr<RtErrorSink> fErrors;
	std::mutex fNameLock;
	std::string fPortName;       // the port's full name at the last scan
};

// A system port of a registered local endpoint, for other programs to connect to.
class PublishedPort {
public:
	// Null when there is no MIDI system or the port cannot be made.
	static std::unique_ptr<PublishedPort> ForConsumer(const std::string& name,
		BMidiLocalConsumer* consumer);
	static std::unique_ptr<PublishedPort> ForProducer(const std::string& name);
	~PublishedPort();

	// Producer side: sends one complete message, paced on JACK.
	status_t Send(const uint8_t* bytes, size_t length);
	// Consumer side: bytes from RtMidi's input thread (ALSA).
	void Input(const uint8_t* bytes, size_t length);

private:
	PublishedPort();

	std::unique_ptr<RtErrorSink> fErrors;
	std::unique_ptr<RtMidiIn> fIn;
	std::unique_ptr<RtMidiOut> fOut;
	std::unique_ptr<JackMidiInput> fJackIn;
	std::unique_ptr<JackMidiOutput> fJackOut;
	std::mutex fLock;  // sending, or parsing input
	MidiParser fParser;
	BMidiLocalConsumer* fConsumer = nullptr;
};

class SystemPorts {
public:
	static SystemPorts& Get();

	status_t Rescan();
	const char* ApiName();
	// The name our client gets when it is opened; B_BUSY once a JACK client is open.
	status_t SetClientName(const std::string& name);

	// For the endpoints: the current system (chosen now if it never was).
	SystemApi Api();
	// The JACK service while JACK is the system, acquired for the caller (who releases
	// it), else null.
	JackService* AcquireJack();
	std::string ClientName();
	// Looks at the ports again when JACK says a port came or went since the last look.
	void RescanIfPortsChanged();

private:
	SystemPorts();
	void Choose();
	void Forget();
	void Update(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs);

	std::mutex fLock;
	SystemApi fApi = SystemApi::None;
	bigtime_t fLastAttempt = 0;
	bool fAttempted = false;
	int32 fAttempts = 0;
	std::unique_ptr<RtMidiIn> fScanIn;
	std::unique_ptr<RtMidiOut> fScanOut;
	std::unique_ptr<RtErrorSink> fScanErrors;
	JackService* fJack = nullptr;          // held while JACK is the system
	uint64 fPortsGeneration = 0;           // of fJack at the last scan
	std::map<std::string, SystemProducer*> fProducers;
	std::map<std::string, SystemConsumer*> fConsumers;
	std::string fClientName;
};

}  // namespace midi_internal
