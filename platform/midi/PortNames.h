#pragma once
// Names of system MIDI ports, made stable across runs.
//
// ALSA names ports "Client:Port 20:0"; the numbers change when a device is plugged in
// elsewhere or programs start in another order, so names are compared without them.
// Bridges of ALSA ports into JACK carry the client number too: a2jmidid's
// "a2j:Client [20] (capture): Port" and PipeWire's "Midi-Bridge:Client 20:(capture_0) Port"
// lose it the same way.

#ifndef PLATFORM_MIDI_PRIVATE
#error "midi/PortNames.h is private to platform/midi: use the public MIDI headers"
#endif

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace midi_internal {

// The name without a trailing " <client>:<port>" number pair, bridge client numbers and
// trailing blanks.
std::string StablePortName(std::string_view name);
bool PortNamesMatch(std::string_view a, std::string_view b);
// Whether a system port belongs to one of this process's clients, all named after
// clientBase (JACK renames duplicates "base-01", so a '-' suffix belongs to us too).
bool IsOwnPort(std::string_view portName, std::string_view clientBase);

// (stable name, full name) of each port of a system listing, leaving out this process's
// own ports; a second port with the same stable name is called "<name> #2", and so on.
std::vector<std::pair<std::string, std::string>> UniquePortNames(
	const std::vector<std::string>& names, std::string_view ownClient);

}  // namespace midi_internal
