#pragma once
// The registry behind BMidiRoster and the endpoints: IDs, references, registration,
// connections. One lock (the roster lock) guards all of it; it is never held while a
// system port is opened or closed, while a message is delivered or while a handler runs.

#ifndef PLATFORM_MIDI_PRIVATE
#error "midi/RosterCore.h is private to platform/midi: use the public MIDI headers"
#endif

#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"

#include <map>
#include <mutex>
#include <vector>

namespace midi_internal {

class RosterCore {
public:
	static RosterCore& Get();

	int32 Add(BMidiEndpoint* endpoint);
	status_t Acquire(BMidiEndpoint* endpoint);
	status_t Release(BMidiEndpoint* endpoint);

	status_t SetRegistered(BMidiEndpoint* endpoint, bool registered);
	bool IsRegistered(const BMidiEndpoint* endpoint);
	bool IsValid(const BMidiEndpoint* endpoint);
	void SetValid(BMidiEndpoint* endpoint, bool valid);
	status_t SetName(BMidiEndpoint* endpoint, const char* name);

	status_t Connect(BMidiProducer* producer, BMidiConsumer* consumer);
	status_t Disconnect(BMidiProducer* producer, BMidiConsumer* consumer);
	bool IsConnected(const BMidiProducer* producer, const BMidiConsumer* consumer);
	int32 CountConnections(const BMidiProducer* producer);
	// The producer's consumers, each acquired for the caller.
	std::vector<BMidiConsumer*> AcquireConnections(const BMidiProducer* producer);

	// Listed endpoints: registered local ones and present system ports.
	// Returns the first listed endpoint with an ID above *id, acquired.
	BMidiEndpoint* Next(int32* id, bool producers, bool consumers);
	BMidiEndpoint* Find(int32 id, bool localOnly);
	BMidiEndpoint* FindByName(const char* name, bool producer);
	int32 MakeListing(bool producer);
	BMidiEndpoint* ListingAt(int32 index, bool producer);

private:
	RosterCore() = default;
	bool IsListed(const BMidiEndpoint* endpoint) const;
	void AcquireLocked(BMidiEndpoint* endpoint) { ++endpoint->fReferences; }
	void Undo(BMidiProducer* producer, BMidiConsumer* consumer);

	std::mutex fLock;
	std::map<int32, BMidiEndpoint*> fEndpoints;
	int32 fNextID = 1;
	std::vector<int32> fProducerListing;
	std::vector<int32> fConsumerListing;
};

}  // namespace midi_internal
