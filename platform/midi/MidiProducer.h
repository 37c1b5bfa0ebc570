#pragma once
// BMidiProducer: an endpoint that sends MIDI; BMidiLocalProducer: one this process sends from.
//
// Connect/Disconnect join a producer to a consumer. Allowed pairs: a local producer to
// any consumer (local, or a system port: the port is opened on the first connection and
// closed after the last), and a system producer to a local consumer (its port is opened
// for input on the first connection). A system producer cannot be connected to a system
// port (B_ERROR): the system's own patchbay does that.
//
// BMidiLocalProducer::Spray* send one message to every connected consumer and return the
// first failure (B_OK when there is no consumer). Time 0 means "now"; other times are
// system_time() microseconds (monotonic clock). Local consumers receive each event at its
// time on their own thread; system ports receive the bytes at once (the system ports have
// no schedule here), in the order sprayed.
//
// System Exclusive: SpraySystemExclusive takes a block with or without its 0xF0/0xF7
// framing bytes and always sends exactly one framed message (framing added where missing,
// never doubled). A block holding another status byte (0x80-0xFF) inside is refused
// (B_BAD_VALUE), since it would split on the wire. Over JACK MIDI a framed message must
// stay under 16 KB (B_BAD_VALUE beyond) and sending is paced by JACK periods: the call
// blocks until the server has room (B_TIMED_OUT after 2 s without a period), so a long
// run of sprays loses nothing, unless the server itself misses periods (xruns), which
// loses that period's MIDI for every JACK client.
//
// Connect to a system port: B_ERROR when it is gone (IsValid() false) or cannot be
// opened, B_NAME_NOT_FOUND when the system no longer lists it. Under JACK, Connect()
// returns once JACK has confirmed the connection and a whole period has passed on it, so
// the first message sent after it arrives; B_TIMED_OUT when JACK does not confirm it
// within 5 s.
//
// Channel messages check their arguments: channel 0-15 and data bytes 0-127, else
// B_BAD_VALUE and nothing is sent.
//
// A registered producer also sends every message to its own system port (see
// BMidiEndpoint), paced like any system port.
//
// Threads: any thread may spray; sprays from one thread arrive in order. A spray blocks
// while a system port paces its output, never while a local consumer handles an event.

#include "midi/MidiEndpoint.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

class BMidiConsumer;
class BMidiLocalConsumer;
namespace midi_internal { class PublishedPort; }

class BMidiProducer : public BMidiEndpoint {
public:
	status_t Connect(BMidiConsumer* consumer);
	status_t Disconnect(BMidiConsumer* consumer);
	bool IsConnected(BMidiConsumer* consumer) const;
	int32 CountConnections() const;

protected:
	BMidiProducer(const char* name, bool isLocal);
	~BMidiProducer() override;

private:
	friend class midi_internal::RosterCore;

	// A system producer starts passing its port's input to the consumer.
	virtual status_t AttachTarget(BMidiLocalConsumer* consumer) { return B_OK; }
	virtual void DetachTarget(BMidiLocalConsumer* consumer) {}

	std::vector<BMidiConsumer*> fConnections;  // guarded by the roster lock
};

class BMidiLocalProducer : public BMidiProducer {
public:
	explicit BMidiLocalProducer(const char* name = nullptr);

	// Raw bytes: one or more complete MIDI messages (running status allowed).
	status_t SprayData(const void* data, size_t length, bool atomic = false,
		bigtime_t time = 0);
	status_t SprayNoteOff(uchar channel, uchar note, uchar velocity, bigtime_t time = 0);
	status_t SprayNoteOn(uchar channel, uchar note, uchar velocity, bigtime_t time = 0);
	status_t SprayKeyPressure(uchar channel, uchar note, uchar pressure, bigtime_t time = 0);
	status_t SprayControlChange(uchar channel, uchar controlNumber, uchar controlValue,
		bigtime_t time = 0);
	status_t SprayProgramChange(uchar channel, uchar programNumber, bigtime_t time = 0);
	status_t SprayChannelPressure(uchar channel, uchar pressure, bigtime_t time = 0);
	status_t SprayPitchBend(uchar channel, uchar lsb, uchar msb, bigtime_t time = 0);
	status_t SpraySystemExclusive(const void* data, size_t length, bigtime_t time = 0);
	// status 0xF1-0xF6; data bytes beyond the message's length are ignored.
	status_t SpraySystemCommon(uchar status, uchar data1, uchar data2, bigtime_t time = 0);
	// status 0xF8-0xFF
	status_t SpraySystemRealTime(uchar status, bigtime_t time = 0);

protected:
	~BMidiLocalProducer() override;

private:
	status_t SprayMessage(const uint8* bytes, size_t length, bigtime_t time);
	void PublishEndpoint(bool publish) override;
	bool RetireEndpoint() override;

	std::mutex fPublishLock;
	std::shared_ptr<midi_internal::PublishedPort> fPublished;  // while registered
};
