#include "midi/MidiEndpoint.h"

#include "midi/RosterCore.h"

using midi_internal::RosterCore;

BMidiEndpoint::BMidiEndpoint(const char* name, bool isProducer, bool isLocal)
	:
	fName(name != nullptr ? name : ""),
	fIsProducer(isProducer),
	fIsLocal(isLocal)
{
	fID = RosterCore::Get().Add(this);
}

BMidiEndpoint::~BMidiEndpoint() = default;

const char* BMidiEndpoint::Name() const { return fName.c_str(); }

status_t BMidiEndpoint::SetName(const char* name)
{
	return RosterCore::Get().SetName(this, name);
}

bool BMidiEndpoint::IsValid() const { return RosterCore::Get().IsValid(this); }

status_t BMidiEndpoint::Acquire() { return RosterCore::Get().Acquire(this); }

status_t BMidiEndpoint::Release() { return RosterCore::Get().Release(this); }

status_t BMidiEndpoint::Register() { return RosterCore::Get().SetRegistered(this, true); }

status_t BMidiEndpoint::Unregister() { return RosterCore::Get().SetRegistered(this, false); }

bool BMidiEndpoint::IsRegistered() const { return RosterCore::Get().IsRegistered(this); }
