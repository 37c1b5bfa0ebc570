#pragma once
// BMidiPort: sends channel messages to a MIDI port of the system (an ALSA sequencer or
// JACK MIDI input of a synthesizer, a sequencer, a DAW), and lists the ports there are.
//
// Open(name) finds the port through BMidiRoster (names as the roster compares them,
// without ALSA's client and port numbers) and connects to it; the hooks then send. They
// never wait for the port: each message goes into a queue of fixed size that the port's
// own thread ("midi port out") empties in order, since a JACK port paces what it sends.
// A message that finds the queue full is dropped and counted. Messages while no port is
// open go nowhere. AllNotesOff(false) sends a Note Off for the notes this port started.
//
// The list (CountDevices, GetDeviceName) is of every port one can send to, as the
// roster lists consumers now; GetDeviceName indexes the list of the last CountDevices.
//
// Errors: Open gives B_NAME_NOT_FOUND when no port has that name (the message names the
// ports there are in LastError()), B_ERROR when the port cannot be opened, B_BAD_VALUE
// for no name; InitCheck keeps the result of the constructor's Open (B_NO_INIT without
// a name). GetDeviceName gives B_BAD_INDEX past the end.
//
// Threads: every method may be called from any thread; the hooks only take the queue's
// lock for the copy of one message, so a real-time thread may call them.

#include "midi/Midi.h"
#include "kernel/OS.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class BMidiConsumer;
class BMidiLocalProducer;

class BMidiPort : public BMidi {
public:
	explicit BMidiPort(const char* name = nullptr);
	~BMidiPort() override;

	status_t InitCheck() const { return fInit; }
	status_t Open(const char* name);
	void Close();
	// The name of the open port, "" when none is open.
	std::string PortName() const;
	std::string LastError() const;

	void NoteOff(uchar channel, uchar note, uchar velocity, uint32 time = B_NOW) override;
	void NoteOn(uchar channel, uchar note, uchar velocity, uint32 time = B_NOW) override;
	void KeyPressure(uchar channel, uchar note, uchar pressure, uint32 time = B_NOW) override;
	void ControlChange(uchar channel, uchar controlNumber, uchar controlValue,
		uint32 time = B_NOW) override;
	void ProgramChange(uchar channel, uchar programNumber, uint32 time = B_NOW) override;
	void ChannelPressure(uchar channel, uchar pressure, uint32 time = B_NOW) override;
	void PitchBend(uchar channel, uchar lsb, uchar msb, uint32 time = B_NOW) override;

	// Waits until everything queued has left (B_TIMED_OUT after `timeout` microseconds).
	status_t Flush(bigtime_t timeout);
	int32 Dropped() const;

	int32 CountDevices();
	status_t GetDeviceName(int32 n, char* name, size_t bufSize = B_OS_NAME_LENGTH);

	static constexpr int32 kQueueSize = 1024;

private:
	struct Message {
		uint8 bytes[3];
		uint8 length;
	};

	void Queue(uint8 status, uint8 data1, int data2);
	void Send();

	status_t fInit = B_NO_INIT;
	mutable std::mutex fLock;  // the queue, the state below; held briefly
	std::condition_variable fQueued;
	std::condition_variable fEmptied;
	Message fQueue[kQueueSize];
	int32 fHead = 0;           // next to send
	int32 fCount = 0;          // queued
	bool fSending = false;     // a message is out of the queue and not yet sent
	bool fQuit = false;
	int32 fDropped = 0;
	std::string fPortName;
	std::string fError;
	BMidiConsumer* fPort = nullptr;        // acquired; set while open
	BMidiLocalProducer* fOut = nullptr;    // ours; set while open
	std::vector<std::string> fDevices;     // the last listing
	std::thread fSender;                   // last: stops first
};
