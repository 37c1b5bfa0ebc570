// The simulator's factory-like patches: well-formed dumps with names of their own and
// values inside the ranges the instrument's parameters have.
#pragma once

#include "MorpheusSysex.h"

#include <vector>

namespace morpheus_sim {

constexpr uint8_t kRamBank = 0;
constexpr uint8_t kRomBank = 1;

// Preset `number` (0-127) of `bank` (RAM or ROM), named "Sim RAM 000" / "Sim ROM 000";
// its layers play instruments of `instrumentIds` (none given: "None").
Message MakeFactoryPreset(uint8_t deviceId, uint8_t bank, uint8_t number,
	const std::vector<int>& instrumentIds);
// Hyperpreset `number` (0-127), "Sim Hyp 000": zone 1 plays RAM preset `number`, zone 2
// the ROM preset of that number, the other zones are off.
Message MakeFactoryHyperpreset(uint8_t deviceId, uint8_t number);
// Midimap `number` (0-15), "Sim Map 00": channel c plays RAM preset 16 * number + c.
Message MakeFactoryMidimap(uint8_t deviceId, uint8_t number);

}  // namespace morpheus_sim
