// The instrument, filter and effect lists the simulator reports, and the patches they
// name. All names here are the simulator's own inventions.
//
// List messages: 18 0C dd command, then a 14-bit count and the entries.
//   instrument list (0x0F): entries of 14 bytes: id, 11 name bytes, one spare byte;
//   filter list (0x57):     entries of 16 bytes: id, 11 name bytes, a 14-bit value, a spare;
//   effect list (0x55):     list A then list B, each a count and its effects: id, 12 name
//                           bytes, parameter count, parameters of 17 bytes (11 name
//                           bytes, low, high, limit).
#pragma once

#include "MorpheusSysex.h"

#include <vector>

namespace morpheus_sim {

constexpr int kNoInstrumentId = 1792;   // "None": a layer that plays nothing
constexpr size_t kInstrumentEntryLength = 14;
constexpr size_t kFilterEntryLength = 16;

struct SimEffectParam {
	const char* name;  // at most 11 characters
	int low;
	int high;
	int limit;
};

struct SimEffect {
	int id;
	const char* name;  // at most 12 characters
	std::vector<SimEffectParam> params;
};

struct SimFilter {
	int id;
	const char* name;  // at most 11 characters
	int value;
};

const std::vector<SimEffect>& SimEffectsA();
const std::vector<SimEffect>& SimEffectsB();
const std::vector<SimFilter>& SimFilters();

Message MakeInstrumentList(uint8_t deviceId);
Message MakeFilterList(uint8_t deviceId);
Message MakeEffectList(uint8_t deviceId);

// Whether the message is a complete instrument list: header, command 0x0F, and as many
// entries as its count says.
bool IsInstrumentList(const Message& list);
// The ids of a complete instrument list, in list order (empty when it is not one).
std::vector<int> InstrumentIds(const Message& list);

}  // namespace morpheus_sim
