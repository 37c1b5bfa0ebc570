// The system's MIDI ports behind the roster, through RtMidi.
//
// SystemPorts chooses the MIDI system once it can (ALSA sequencer, else JACK; every
// failure of a library is caught here), lists the system's ports and keeps one endpoint
// object per stable port name for the life of the process:
//   SystemProducer  a port that sends to us (ALSA/JACK output); opened for input on its
//                   first connection to a local consumer; RtMidi's input thread (for JACK
//                   the client's process thread) parses the bytes and queues complete
//                   messages to the connected consumers, never running their handlers.
//                   That thread takes two short locks and allocates the queued copy:
//                   acceptable for MIDI, which is no audio path.
//   SystemConsumer  a port we send to; opened for output on its first connection from a
//                   local producer; sending is serialised per port and paced for JACK.
#ifndef MIDI_SYSTEMPORTS_H
#define MIDI_SYSTEMPORTS_H

#include "midi/MidiConsumer.h"
#include "midi/MidiParser.h"
#include "midi/MidiProducer.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class RtMidiIn;
class RtMidiOut;

namespace midi_internal {

class JackCycleClock;
struct RtErrorSink;

enum class SystemApi { None, Alsa, Jack };

class SystemProducer : public BMidiProducer {
public:
	SystemProducer(const std::string& name, const std::string& portName);
	void SetPortName(const std::string& portName);

	void Input(const uint8_t* bytes, size_t length);

private:
	~SystemProducer() override;
	status_t AttachTarget(BMidiLocalConsumer* consumer) override;
	void DetachTarget(BMidiLocalConsumer* consumer) override;

	std::mutex fOpenLock;        // opening and closing the port
	std::unique_ptr<RtMidiIn> fIn;
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
	std::unique_ptr<RtErrorSink> fErrors;
	std::shared_ptr<JackCycleClock> fClock;  // set while open on JACK
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
	// Consumer side: bytes from the system, on RtMidi's input thread.
	void Input(const uint8_t* bytes, size_t length);

private:
	PublishedPort();

	std::unique_ptr<RtErrorSink> fErrors;
	std::unique_ptr<RtMidiIn> fIn;
	std::unique_ptr<RtMidiOut> fOut;
	std::shared_ptr<JackCycleClock> fClock;
	std::mutex fLock;  // sending, or parsing input
	MidiParser fParser;
	BMidiLocalConsumer* fConsumer = nullptr;
};

class SystemPorts {
public:
	static SystemPorts& Get();

	status_t Rescan();
	const char* ApiName();

	// For the endpoints: the current system (chosen now if it never was) and its
	// pacing clock.
	SystemApi Api();
	std::shared_ptr<JackCycleClock> Clock();
	const std::string& ClientName() const { return fClientName; }

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
	std::shared_ptr<JackCycleClock> fClock;
	std::map<std::string, SystemProducer*> fProducers;
	std::map<std::string, SystemConsumer*> fConsumers;
	std::string fClientName;
};

}  // namespace midi_internal

#endif
