#pragma once
// BMidiRoster: the one list of MIDI endpoints of this process and of the system.
//
// System ports come from the system's MIDI server: the ALSA sequencer (through RtMidi) when
// it can be opened, else JACK MIDI (through this process's one JACK client) when a JACK
// server answers (the environment variable
// SUITE_MIDI_API = "alsa", "jack" or "none" forces the choice). No server simply means no
// system ports. An ALSA or JACK output port is a producer here (it sends to us), an input
// port a consumer. Ports of this process's own MIDI clients are not listed.
//
// Local endpoints appear in the lists after their Register().
//
// Every endpoint returned is acquired for the caller, who must Release() it.
// Lookups that start a listing (FindProducer/FindConsumer by name, CountProducers,
// CountConsumers, NextX with *id <= 0) first look at the system's ports again, so a
// device plugged in meanwhile is found; ProducerAt/ConsumerAt index the listing made by
// the last Count call. Endpoints appear in ID order; IDs are never reused, and a system
// port that goes and comes back under the same name keeps its ID and object.
//
// Names are compared without the client and port numbers ALSA appends ("Synth 20:0"
// matches "Synth" and "Synth 24:0"). The first endpoint in ID order with the name wins.
//
// Threads: every function may be called from any thread.
//
// Typical use (a service bound to an instrument's two ports by name):
//   BMidiConsumer* port = BMidiRoster::FindConsumer(name);    // acquired, or null
//   auto* out = new BMidiLocalProducer("to device");
//   out->Connect(port);                                        // opens the system port
//   out->SpraySystemExclusive(block, length, 0);               // framed once on the wire
//   BMidiProducer* source = BMidiRoster::FindProducer(otherName);
//   auto* in = new MyInput;           // a BMidiLocalConsumer overriding SystemExclusive
//   source->Connect(in);              // replies arrive on in's own thread, unframed
//   ...
//   source->Disconnect(in); in->Release(); source->Release();
//   out->Disconnect(port); out->Release(); port->Release();

#include "midi/MidiDefs.h"

class BMidiEndpoint;
class BMidiProducer;
class BMidiConsumer;

class BMidiRoster {
public:
	// The endpoint with the next higher ID than *id (start with *id = 0); *id is updated.
	// Null at the end.
	static BMidiEndpoint* NextEndpoint(int32* id);
	static BMidiProducer* NextProducer(int32* id);
	static BMidiConsumer* NextConsumer(int32* id);

	// By ID: any known endpoint (also unregistered local ones and vanished ports),
	// or null.
	static BMidiEndpoint* FindEndpoint(int32 id, bool localOnly = false);
	static BMidiProducer* FindProducer(int32 id, bool localOnly = false);
	static BMidiConsumer* FindConsumer(int32 id, bool localOnly = false);

	// By name, among listed (registered or present) endpoints; null when none matches.
	static BMidiProducer* FindProducer(const char* name);
	static BMidiConsumer* FindConsumer(const char* name);

	static int32 CountProducers();
	static int32 CountConsumers();
	static BMidiProducer* ProducerAt(int32 index);
	static BMidiConsumer* ConsumerAt(int32 index);

	// Looks at the system's ports again: new ports appear, gone ones turn invalid.
	static status_t Rescan();
	// "alsa", "jack" or "none": where system ports come from right now.
	static const char* SystemApiName();
	// The name of this process's MIDI client in the system (JACK client, ALSA client),
	// under which registered endpoints appear to other programs ("Name:Endpoint").
	// Call it before the first use of system ports: B_BUSY once this process's JACK
	// client is open under another name, B_BAD_VALUE for an empty name or one with ':'.
	// Default: the program's name and process id.
	static status_t SetClientName(const char* name);
	// Whether two port names name the same port (ALSA client/port numbers ignored).
	static bool NamesMatch(const char* a, const char* b);
};
