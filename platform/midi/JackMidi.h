#pragma once
// MIDI ports of the process's JACK client (jack/JackService.h).
//
// JackMidiInput: a JACK MIDI input port. On JACK's process thread its hook copies each
// event, with its time, into a lock-free ring and wakes a delivery thread of its own; it
// never allocates, locks or waits there. What does not fit in the ring is dropped and
// counted. The delivery thread parses the bytes into complete messages (malformed input
// dropped) and hands each to the sink, off the process thread.
// JackMidiOutput: a JACK MIDI output port. Send() puts one message into a ring; the
// process hook moves as many whole messages into the port's buffer as the buffer takes
// each period and leaves the rest for the next period, so a burst is paced by the
// server and nothing is lost. Send() waits while the ring is full.
// What JACK itself loses: an output port has one buffer, filled anew each period. When
// the server misses a period it may still run this client for it, late, while a
// receiver in another process never runs that period; what went out then is replaced
// by the next period's messages before the receiver looks. The sender cannot tell
// (the receiver may as well have run late and read it, so sending it again would
// double it): over a server that misses periods, MIDI between programs can lose
// messages.
//
// Lifetime: each holds a reference to the service it was opened on (its own, taken by
// Open()) and releases it last. Both unregister their port when destroyed; an output
// first lets what it holds leave (up to a time-out).
// Names: the port is named as asked, ':' turned into ' '; when the client has a port of
// that name already, "name 2", "name 3", ... (FullName() says which).
// Errors: Open() gives B_NAME_IN_USE when 16 names are taken, B_ERROR when the server
// refuses. Send(): B_BAD_VALUE for a message of kMaxMessage bytes or
// more, B_TIMED_OUT when the server ran no period for two seconds, B_ERROR when the
// server is gone.
// Threads: Send() from any thread (sends are serialised); the sink runs on the input's
// own delivery thread.

#ifndef PLATFORM_MIDI_PRIVATE
#error "midi/JackMidi.h is private to platform/midi"
#endif

#include "jack/JackService.h"
#include "kernel/SpscRing.h"
#include "midi/MidiDefs.h"
#include "midi/MidiParser.h"

#include <semaphore.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace midi_internal {

class JackMidiInput {
public:
	using Sink = std::function<void(const uint8_t* message, size_t length, bigtime_t time)>;

	static std::unique_ptr<JackMidiInput> Open(JackService* service,
		const std::string& portName, Sink sink, status_t* status);
	~JackMidiInput();

	std::string FullName() const { return JackService::PortName(fPort); }
	jack_port_t* Port() const { return fPort; }
	// Events that found the ring full, and bytes the parser refused.
	uint64 DroppedEvents() const { return fDropped.load(); }

private:
	JackMidiInput(JackService* service, Sink sink);
	static void Process(uint32 frames, void* self);
	void Deliver();

	JackService* fService;
	jack_port_t* fPort = nullptr;
	Sink fSink;
	SpscByteRing fRing;
	std::atomic<uint64> fDropped{0};
	std::atomic<bool> fStopping{false};
	sem_t fReady;                  // posted by the process hook when it queued events
	MidiParser fParser;            // delivery thread only
	std::thread fThread;           // last: stops first
};

class JackMidiOutput {
public:
	// Largest framed message that passes (JACK's MIDI buffer holds 32 KB a period; we
	// keep a message within half of it so two always fit).
	static constexpr size_t kMaxMessage = 16 * 1024 - 8;

	static std::unique_ptr<JackMidiOutput> Open(JackService* service,
		const std::string& portName, status_t* status);
	~JackMidiOutput();

	std::string FullName() const { return JackService::PortName(fPort); }
	jack_port_t* Port() const { return fPort; }
	status_t Send(const uint8_t* bytes, size_t length);
	// Waits until everything sent has been handed to the server and one more period
	// has passed; B_TIMED_OUT otherwise.
	status_t Drain(bigtime_t timeout);

private:
	explicit JackMidiOutput(JackService* service);
	static void Process(uint32 frames, void* self);

	JackService* fService;
	jack_port_t* fPort = nullptr;
	SpscByteRing fRing;
	std::mutex fSendLock;          // one sender at a time (the ring has one producer)
	std::atomic<bool> fHooked{false};
};

// A port name for this client from a wish ("to Toy Box in"): ':' (which separates client
// and port) becomes ' ', and it is cut to what JACK takes.
std::string JackPortNameFor(const std::string& wish);

}  // namespace midi_internal
