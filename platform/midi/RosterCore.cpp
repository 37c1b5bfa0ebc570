#include "midi/RosterCore.h"

#include "midi/PortNames.h"

#include <algorithm>
#include <utility>

namespace midi_internal {

RosterCore& RosterCore::Get()
{
	// Never destroyed: delivery threads and system callbacks may outlive static
	// destruction at exit.
	static RosterCore* core = new RosterCore;
	return *core;
}

int32 RosterCore::Add(BMidiEndpoint* endpoint)
{
	std::lock_guard lock(fLock);
	int32 id = fNextID++;
	fEndpoints[id] = endpoint;
	return id;
}

status_t RosterCore::Acquire(BMidiEndpoint* endpoint)
{
	std::lock_guard lock(fLock);
	if (endpoint->fReferences <= 0)
		return B_ERROR;
	AcquireLocked(endpoint);
	return B_OK;
}

status_t RosterCore::Release(BMidiEndpoint* endpoint)
{
	std::vector<std::pair<BMidiProducer*, BMidiConsumer*>> undone;
	{
		std::lock_guard lock(fLock);
		// System ports keep one reference of the roster's own.
		int32 floor = endpoint->fIsLocal ? 0 : 1;
		if (endpoint->fReferences <= floor)
			return B_ERROR;
		if (--endpoint->fReferences > 0)
			return B_OK;
		fEndpoints.erase(endpoint->fID);
		if (endpoint->fIsProducer) {
			auto* producer = static_cast<BMidiProducer*>(endpoint);
			for (BMidiConsumer* consumer : producer->fConnections) {
				AcquireLocked(consumer);
				undone.emplace_back(producer, consumer);
			}
			producer->fConnections.clear();
		} else {
			auto* consumer = static_cast<BMidiConsumer*>(endpoint);
			for (auto& [id, other] : fEndpoints) {
				if (!other->fIsProducer)
					continue;
				auto* producer = static_cast<BMidiProducer*>(other);
				auto& list = producer->fConnections;
				auto it = std::find(list.begin(), list.end(), consumer);
				if (it != list.end()) {
					list.erase(it);
					AcquireLocked(producer);
					undone.emplace_back(producer, consumer);
				}
			}
		}
	}
	// Close what the connections had opened; the partners were acquired above so they
	// stay alive meanwhile.
	for (auto& [producer, consumer] : undone) {
		Undo(producer, consumer);
		BMidiEndpoint* partner = producer == endpoint
			? static_cast<BMidiEndpoint*>(consumer) : producer;
		Release(partner);
	}
	if (endpoint->RetireEndpoint())
		delete endpoint;
	return B_OK;
}

void RosterCore::Undo(BMidiProducer* producer, BMidiConsumer* consumer)
{
	if (producer->IsLocal())
		consumer->CloseInput();
	else
		producer->DetachTarget(static_cast<BMidiLocalConsumer*>(consumer));
}

status_t RosterCore::SetRegistered(BMidiEndpoint* endpoint, bool registered)
{
	{
		std::lock_guard lock(fLock);
		if (!endpoint->fIsLocal)
			return B_ERROR;
		endpoint->fRegistered = registered;
	}
	endpoint->PublishEndpoint(registered);
	return B_OK;
}

bool RosterCore::IsRegistered(const BMidiEndpoint* endpoint)
{
	std::lock_guard lock(fLock);
	return endpoint->fRegistered;
}

bool RosterCore::IsValid(const BMidiEndpoint* endpoint)
{
	std::lock_guard lock(fLock);
	return endpoint->fValid;
}

void RosterCore::SetValid(BMidiEndpoint* endpoint, bool valid)
{
	std::lock_guard lock(fLock);
	endpoint->fValid = valid;
}

status_t RosterCore::SetName(BMidiEndpoint* endpoint, const char* name)
{
	std::lock_guard lock(fLock);
	if (!endpoint->fIsLocal)
		return B_ERROR;
	endpoint->fName = name != nullptr ? name : "";
	return B_OK;
}

status_t RosterCore::Connect(BMidiProducer* producer, BMidiConsumer* consumer)
{
	if (producer == nullptr || consumer == nullptr)
		return B_BAD_VALUE;
	{
		std::lock_guard lock(fLock);
		if (!producer->fValid || !consumer->fValid)
			return B_ERROR;
		if (!producer->fIsLocal && !consumer->fIsLocal)
			return B_ERROR;
		auto& list = producer->fConnections;
		if (std::find(list.begin(), list.end(), consumer) != list.end())
			return B_OK;
		AcquireLocked(producer);
		AcquireLocked(consumer);
	}
	status_t status = producer->IsLocal() ? consumer->OpenInput()
		: producer->AttachTarget(static_cast<BMidiLocalConsumer*>(consumer));
	if (status == B_OK) {
		bool duplicate = false;
		{
			std::lock_guard lock(fLock);
			auto& list = producer->fConnections;
			duplicate = std::find(list.begin(), list.end(), consumer) != list.end();
			if (!duplicate)
				list.push_back(consumer);
		}
		if (duplicate)  // another thread connected the pair meanwhile
			Undo(producer, consumer);
	}
	Release(consumer);
	Release(producer);
	return status;
}

status_t RosterCore::Disconnect(BMidiProducer* producer, BMidiConsumer* consumer)
{
	if (producer == nullptr || consumer == nullptr)
		return B_BAD_VALUE;
	{
		std::lock_guard lock(fLock);
		auto& list = producer->fConnections;
		auto it = std::find(list.begin(), list.end(), consumer);
		if (it == list.end())
			return B_ERROR;
		list.erase(it);
		AcquireLocked(producer);
		AcquireLocked(consumer);
	}
	Undo(producer, consumer);
	Release(consumer);
	Release(producer);
	return B_OK;
}

bool RosterCore::IsConnected(const BMidiProducer* producer, const BMidiConsumer* consumer)
{
	std::lock_guard lock(fLock);
	auto& list = producer->fConnections;
	return std::find(list.begin(), list.end(), consumer) != list.end();
}

int32 RosterCore::CountConnections(const BMidiProducer* producer)
{
	std::lock_guard lock(fLock);
	return static_cast<int32>(producer->fConnections.size());
}

std::vector<BMidiConsumer*> RosterCore::AcquireConnections(const BMidiProducer* producer)
{
	std::lock_guard lock(fLock);
	for (BMidiConsumer* consumer : producer->fConnections)
		AcquireLocked(consumer);
	return producer->fConnections;
}

bool RosterCore::IsListed(const BMidiEndpoint* endpoint) const
{
	return endpoint->fIsLocal ? endpoint->fRegistered : endpoint->fValid;
}

BMidiEndpoint* RosterCore::Next(int32* id, bool producers, bool consumers)
{
	if (id == nullptr)
		return nullptr;
	std::lock_guard lock(fLock);
	for (auto it = fEndpoints.upper_bound(*id); it != fEndpoints.end(); ++it) {
		BMidiEndpoint* endpoint = it->second;
		bool kind = endpoint->fIsProducer ? producers : consumers;
		if (kind && IsListed(endpoint)) {
			AcquireLocked(endpoint);
			*id = it->first;
			return endpoint;
		}
	}
	return nullptr;
}

BMidiEndpoint* RosterCore::Find(int32 id, bool localOnly)
{
	std::lock_guard lock(fLock);
	auto it = fEndpoints.find(id);
	if (it == fEndpoints.end() || (localOnly && !it->second->fIsLocal))
		return nullptr;
	AcquireLocked(it->second);
	return it->second;
}

BMidiEndpoint* RosterCore::FindByName(const char* name, bool producer)
{
	if (name == nullptr)
		return nullptr;
	std::lock_guard lock(fLock);
	for (auto& [id, endpoint] : fEndpoints) {
		if (endpoint->fIsProducer == producer && IsListed(endpoint)
			&& PortNamesMatch(endpoint->fName, name)) {
			AcquireLocked(endpoint);
			return endpoint;
		}
	}
	return nullptr;
}

int32 RosterCore::MakeListing(bool producer)
{
	std::lock_guard lock(fLock);
	auto& listing = producer ? fProducerListing : fConsumerListing;
	listing.clear();
	for (auto& [id, endpoint] : fEndpoints) {
		if (endpoint->fIsProducer == producer && IsListed(endpoint))
			listing.push_back(id);
	}
	return static_cast<int32>(listing.size());
}

BMidiEndpoint* RosterCore::ListingAt(int32 index, bool producer)
{
	std::lock_guard lock(fLock);
	auto& listing = producer ? fProducerListing : fConsumerListing;
	if (index < 0 || static_cast<size_t>(index) >= listing.size())
		return nullptr;
	auto it = fEndpoints.find(listing[static_cast<size_t>(index)]);
	if (it == fEndpoints.end())
		return nullptr;
	AcquireLocked(it->second);
	return it->second;
}

}  // namespace midi_internal
