#pragma once
// BMidiEndpoint: what every MIDI producer and consumer has in common.
//
// An endpoint is either local (a BMidiLocalProducer or BMidiLocalConsumer made by this
// process) or remote (a port of the system's MIDI server: an ALSA sequencer port or a
// JACK MIDI port, found through BMidiRoster). Both kinds connect the same way.
//
// Lifetime: endpoints are reference counted. `new BMidiLocal...` starts at one reference;
// every endpoint handed out by BMidiRoster is acquired for the caller. Release() drops a
// reference; the last Release of a local endpoint disconnects it everywhere, stops its
// thread and deletes it (the destructor is protected: never `delete` an endpoint).
// Remote endpoints stay known to the roster for the life of the process; a port that
// disappears from the system stays a valid object whose IsValid() is false.
//
// Names: a local endpoint has the name it was given (may be empty). A remote endpoint is
// named after its system port without the ALSA client and port numbers ("Name 20:0"
// becomes "Name"), so that a name stored by one run finds the same port in the next.
//
// Visibility: a local endpoint is listed by the roster (and found by name) only after
// Register(); unregistered ones are usable directly but invisible to lookups. Register()
// also publishes the endpoint to the system's MIDI server as a port of this process
// (ALSA sequencer or JACK, named after the endpoint), so that other programs can
// connect to it; without a MIDI system it stays visible inside this process only, and
// Register() still succeeds. Unregister() and the last Release() withdraw the port.
//
// Threads: every method may be called from any thread.

#include "midi/MidiDefs.h"

#include <string>

namespace midi_internal { class RosterCore; }

class BMidiEndpoint {
public:
	BMidiEndpoint(const BMidiEndpoint&) = delete;
	BMidiEndpoint& operator=(const BMidiEndpoint&) = delete;

	// The name; the pointer stays valid until the next SetName of this endpoint.
	const char* Name() const;
	// Renames a local endpoint; B_ERROR for a remote one.
	status_t SetName(const char* name);
	int32 ID() const { return fID; }

	bool IsProducer() const { return fIsProducer; }
	bool IsConsumer() const { return !fIsProducer; }
	bool IsLocal() const { return fIsLocal; }
	bool IsRemote() const { return !fIsLocal; }
	// False for a system port that is gone (unplugged, its program quit, server stopped).
	bool IsValid() const;

	status_t Acquire();
	status_t Release();

	// Makes a local endpoint visible to BMidiRoster lookups, or hides it again.
	status_t Register();
	status_t Unregister();
	bool IsRegistered() const;

protected:
	BMidiEndpoint(const char* name, bool isProducer, bool isLocal);
	virtual ~BMidiEndpoint();

private:
	friend class midi_internal::RosterCore;

	// Called once, outside every lock, when the last reference goes, before the
	// destructor: stops threads while the whole object still exists. Returns false
	// when the endpoint will delete itself later (released from its own thread).
	virtual bool RetireEndpoint() { return true; }
	// Register/Unregister of a local endpoint: opens or closes its system port.
	virtual void PublishEndpoint(bool publish) {}

	std::string fName;
	int32 fID = 0;
	bool fIsProducer;
	bool fIsLocal;
	bool fRegistered = false;     // guarded by the roster lock
	bool fValid = true;           // guarded by the roster lock
	int32 fReferences = 1;        // guarded by the roster lock
};
