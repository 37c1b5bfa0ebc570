#include "midi/MidiRoster.h"

#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"
#include "midi/PortNames.h"
#include "midi/RosterCore.h"
#include "midi/SystemPorts.h"

using namespace midi_internal;

namespace {

void RescanAtStart(const int32* id)
{
	if (id != nullptr && *id <= 0)
		SystemPorts::Get().Rescan();
}

}  // namespace

BMidiEndpoint* BMidiRoster::NextEndpoint(int32* id)
{
	RescanAtStart(id);
	return RosterCore::Get().Next(id, true, true);
}

BMidiProducer* BMidiRoster::NextProducer(int32* id)
{
	RescanAtStart(id);
	return static_cast<BMidiProducer*>(RosterCore::Get().Next(id, true, false));
}

BMidiConsumer* BMidiRoster::NextConsumer(int32* id)
{
	RescanAtStart(id);
	return static_cast<BMidiConsumer*>(RosterCore::Get().Next(id, false, true));
}

BMidiEndpoint* BMidiRoster::FindEndpoint(int32 id, bool localOnly)
{
	return RosterCore::Get().Find(id, localOnly);
}

BMidiProducer* BMidiRoster::FindProducer(int32 id, bool localOnly)
{
	BMidiEndpoint* endpoint = RosterCore::Get().Find(id, localOnly);
	if (endpoint != nullptr && !endpoint->IsProducer()) {
		endpoint->Release();
		return nullptr;
	}
	return static_cast<BMidiProducer*>(endpoint);
}

BMidiConsumer* BMidiRoster::FindConsumer(int32 id, bool localOnly)
{
	BMidiEndpoint* endpoint = RosterCore::Get().Find(id, localOnly);
	if (endpoint != nullptr && !endpoint->IsConsumer()) {
		endpoint->Release();
		return nullptr;
	}
	return static_cast<BMidiConsumer*>(endpoint);
}

BMidiProducer* BMidiRoster::FindProducer(const char* name)
{
	if (name == nullptr)
		return nullptr;
	SystemPorts::Get().Rescan();
	return static_cast<BMidiProducer*>(RosterCore::Get().FindByName(name, true));
}

BMidiConsumer* BMidiRoster::FindConsumer(const char* name)
{
	if (name == nullptr)
		return nullptr;
	SystemPorts::Get().Rescan();
	return static_cast<BMidiConsumer*>(RosterCore::Get().FindByName(name, false));
}

int32 BMidiRoster::CountProducers()
{
	SystemPorts::Get().Rescan();
	return RosterCore::Get().MakeListing(true);
}

int32 BMidiRoster::CountConsumers()
{
	SystemPorts::Get().Rescan();
	return RosterCore::Get().MakeListing(false);
}

BMidiProducer* BMidiRoster::ProducerAt(int32 index)
{
	return static_cast<BMidiProducer*>(RosterCore::Get().ListingAt(index, true));
}

BMidiConsumer* BMidiRoster::ConsumerAt(int32 index)
{
	return static_cast<BMidiConsumer*>(RosterCore::Get().ListingAt(index, false));
}

status_t BMidiRoster::Rescan()
{
	return SystemPorts::Get().Rescan();
}

status_t BMidiRoster::SetClientName(const char* name)
{
	if (name == nullptr)
		return B_BAD_VALUE;
	return SystemPorts::Get().SetClientName(name);
}

const char* BMidiRoster::SystemApiName()
{
	return SystemPorts::Get().ApiName();
}

bool BMidiRoster::NamesMatch(const char* a, const char* b)
{
	return a != nullptr && b != nullptr && PortNamesMatch(a, b);
}
