#pragma once
// BMidiConsumer: an endpoint that receives MIDI; BMidiLocalConsumer: one this process
// receives on.
//
// A BMidiLocalConsumer has a delivery thread of its own (started with the first event).
// Every incoming message, whether from a local producer or from a system port, is queued
// and then handed to Data() on that thread, in time order (events of equal time in the
// order they came). An event stamped in the future is handed over at its time; time 0 at
// sending means "now". Events from system ports carry their arrival time.
//
// Data() gets one complete message as it was on the wire (System Exclusive with its
// framing bytes). Its default parses the message and calls the matching handler below;
// override Data() to see raw bytes, or override the handlers. SystemExclusive() gets the
// payload without the leading 0xF0 and the trailing 0xF7. The default handlers do
// nothing. No lock of the MIDI kit is held while a handler runs: a handler may spray,
// connect, disconnect, or Release its own consumer.
//
// A registered consumer also takes messages that other programs send to its system port
// (see BMidiEndpoint).
//
// Malformed input from a system port (stray data bytes, a System Exclusive message cut
// off by another status byte, undefined status bytes) is dropped before it is queued;
// the good messages around it still arrive. At most 8192 messages from system ports wait
// for the handler at a time; more are dropped and counted (DroppedMessages()), so a
// flood from outside cannot eat the memory. Messages from local producers always queue.
//
// The last Release() disconnects the consumer from every producer, drops what is still
// queued, waits for a running handler to return, and deletes the consumer. So never
// release a consumer while holding a lock that its handler may be waiting for; from the
// handler itself, releasing is fine (the consumer is deleted once the handler returns).

#include "midi/MidiEndpoint.h"

#include <cstddef>
#include <memory>
#include <mutex>

namespace midi_internal {
class PublishedPort;
class SystemProducer;
}

class BMidiConsumer : public BMidiEndpoint {
protected:
	BMidiConsumer(const char* name, bool isLocal);
	~BMidiConsumer() override;

private:
	friend class midi_internal::RosterCore;
	friend class BMidiLocalProducer;

	// One complete message for this consumer (queued, or sent to the system port).
	virtual status_t DeliverMessage(const uint8* bytes, size_t length, bigtime_t time) = 0;
	// A local producer connects (first time: a system port opens its output) or leaves.
	virtual status_t OpenInput() { return B_OK; }
	virtual void CloseInput() {}
};

class BMidiLocalConsumer : public BMidiConsumer {
public:
	explicit BMidiLocalConsumer(const char* name = nullptr);

	virtual void Data(uchar* data, size_t length, bool atomic, bigtime_t time);
	// Messages from system ports dropped because too many were waiting.
	uint64 DroppedMessages() const;

	virtual void NoteOff(uchar channel, uchar note, uchar velocity, bigtime_t time) {}
	virtual void NoteOn(uchar channel, uchar note, uchar velocity, bigtime_t time) {}
	virtual void KeyPressure(uchar channel, uchar note, uchar pressure, bigtime_t time) {}
	virtual void ControlChange(uchar channel, uchar controlNumber, uchar controlValue,
		bigtime_t time) {}
	virtual void ProgramChange(uchar channel, uchar programNumber, bigtime_t time) {}
	virtual void ChannelPressure(uchar channel, uchar pressure, bigtime_t time) {}
	virtual void PitchBend(uchar channel, uchar lsb, uchar msb, bigtime_t time) {}
	virtual void SystemExclusive(void* data, size_t length, bigtime_t time) {}
	virtual void SystemCommon(uchar status, uchar data1, uchar data2, bigtime_t time) {}
	virtual void SystemRealTime(uchar status, bigtime_t time) {}

protected:
	~BMidiLocalConsumer() override;

private:
	friend class midi_internal::SystemProducer;
	friend class midi_internal::PublishedPort;

	// Queues one complete message from a system port; B_BAD_VALUE for an empty one,
	// B_WOULD_BLOCK (dropped) when too many are waiting.
	status_t Enqueue(const uint8* bytes, size_t length, bigtime_t time);
	status_t DeliverMessage(const uint8* bytes, size_t length, bigtime_t time) override;
	bool RetireEndpoint() override;
	void PublishEndpoint(bool publish) override;

	class Delivery;
	std::unique_ptr<Delivery> fDelivery;
	std::mutex fPublishLock;
	std::unique_ptr<midi_internal::PublishedPort> fPublished;  // while registered
};
