#include "PatchFactory.h"

#include "SimLists.h"

#include <cstdio>

namespace morpheus_sim {

namespace {

void Set(Message& dump, size_t index, int value)
{
	Write14(&dump[index], value);
}

// A bank/program word: program in the first byte, bank in the second.
void SetProgram(Message& dump, size_t index, uint8_t bank, uint8_t program)
{
	dump[index] = program & 0x7F;
	dump[index + 1] = bank & 0x7F;
}

void SetOff(Message& dump, size_t index)
{
	Set(dump, index, -1);
}

// Eight segments of 12 bytes from `first`: a rise, a fall, then a hold.
void SetFunctionGenerator(Message& dump, size_t first, int seed)
{
	for (int s = 0; s < 8; ++s) {
		size_t p = first + 12 * static_cast<size_t>(s);
		Set(dump, p, s == 0 ? 127 : (s == 1 ? 40 - seed % 40 : 0));  // level
		Set(dump, p + 2, s < 2 ? 200 + 100 * s + seed % 500 : 0);   // time 0-4095
		Set(dump, p + 4, (seed + s) % 63);                          // shape
		Set(dump, p + 6, s == 7 ? 1 : 0);                           // condition
		Set(dump, p + 8, 0);                                        // condition value
		Set(dump, p + 10, s);                                       // destination segment
	}
}

void SetLayer(Message& dump, size_t o, int seed, int instrument, int filter)
{
	Set(dump, 423 + o, instrument);
	Set(dump, 425 + o, 0);                  // low key
	Set(dump, 427 + o, 127);                // high key
	Set(dump, 429 + o, 127 - seed % 30);    // volume
	Set(dump, 431 + o, seed % 15 - 7);      // pan -7..7
	Set(dump, 433 + o, 0);                  // coarse
	Set(dump, 435 + o, 0);                  // transpose
	Set(dump, 437 + o, seed % 9 - 4);       // fine
	Set(dump, 439 + o, 1);                  // envelope enable
	Set(dump, 441 + o, seed % 20);          // attack
	Set(dump, 443 + o, 0);                  // hold
	Set(dump, 445 + o, 60 + seed % 40);     // decay
	Set(dump, 447 + o, 80);                 // sustain
	Set(dump, 449 + o, 20 + seed % 30);     // release
	Set(dump, 451 + o, 0);                  // loop enable; loop points stay 0
	Set(dump, 461 + o, 0);                  // start
	Set(dump, 463 + o, 0);                  // delay
	Set(dump, 465 + o, 0);                  // solo mode
	Set(dump, 467 + o, 0);                  // solo priority
	Set(dump, 469 + o, 0);                  // portamento rate
	Set(dump, 471 + o, seed % 9);           // portamento shape
	Set(dump, 473 + o, 0);                  // double
	Set(dump, 475 + o, 0);                  // reverse
	Set(dump, 477 + o, 0);                  // non-transpose
	Set(dump, 479 + o, filter);             // filter type
	Set(dump, 481 + o, 0);                  // filter reverse
	Set(dump, 483 + o, 200);                // filter level
	Set(dump, 485 + o, (seed * 37) % 256);  // morph
	Set(dump, 487 + o, 128);                // frequency tracking
	Set(dump, 489 + o, 64);                 // transform 2
}

}  // namespace

Message MakeFactoryPreset(uint8_t deviceId, uint8_t bank, uint8_t number,
	const std::vector<int>& instrumentIds)
{
	Message dump = NewDump(kPresetLayout, deviceId, number & 0x7F, bank);
	char name[16];
	snprintf(name, sizeof name, "Sim %s %03d", bank == kRomBank ? "ROM" : "RAM", number & 0x7F);
	WriteName(dump, name);
	int seed = number + 128 * bank;
	// Common
	Set(dump, 31, 0);             // low key
	Set(dump, 33, 127);           // high key
	Set(dump, 35, 2);             // bend range
	Set(dump, 37, seed % 5);      // velocity curve
	Set(dump, 39, 60);            // key center
	Set(dump, 41, 0);             // tuning
	Set(dump, 43, seed % 2);      // mix bus
	Set(dump, 45, 1 + seed % 5);  // portamento mode
	// Crossfade
	Set(dump, 47, seed % 3);
	Set(dump, 49, 0);
	Set(dump, 51, 64);
	Set(dump, 53, 0);
	Set(dump, 55, 64);
	// Note-on cord 1: velocity to volume; real-time cords 1 and 2: LFO 1 to pitch,
	// control A to morph. The other cords are off.
	Set(dump, 57, 1);
	Set(dump, 59, 4);
	Set(dump, 61, 40);
	Set(dump, 117, 7);
	Set(dump, 119, 1);
	Set(dump, 121, seed % 20);
	Set(dump, 123, 1);
	Set(dump, 125, 34);
	Set(dump, 127, 64);
	// LFOs
	for (size_t o : {size_t{0}, size_t{10}}) {
		Set(dump, 193 + o, (seed + o) % 5);
		Set(dump, 195 + o, 40 + seed % 40);
		Set(dump, 197 + o, 0);
		Set(dump, 199 + o, 0);
		Set(dump, 201 + o, 0);
	}
	// Function generators
	Set(dump, 213, 0);
	SetFunctionGenerator(dump, 215, seed);
	Set(dump, 311, 0);
	SetFunctionGenerator(dump, 313, seed + 1);
	// Auxiliary envelope
	Set(dump, 409, 0);
	Set(dump, 411, 5);
	Set(dump, 413, 0);
	Set(dump, 415, 50);
	Set(dump, 417, 60);
	Set(dump, 419, 20);
	Set(dump, 421, 0);
	// Layers: the secondary plays only in every fourth preset.
	const std::vector<SimFilter>& filters = SimFilters();
	int primary = instrumentIds.empty()
		? kNoInstrumentId : instrumentIds[static_cast<size_t>(seed) % instrumentIds.size()];
	int secondary = (instrumentIds.empty() || seed % 4 != 0)
		? kNoInstrumentId : instrumentIds[static_cast<size_t>(seed + 7) % instrumentIds.size()];
	SetLayer(dump, 0, seed, primary, filters[static_cast<size_t>(seed) % filters.size()].id);
	SetLayer(dump, 70, seed + 3, secondary,
		filters[static_cast<size_t>(seed + 5) % filters.size()].id);
	UpdateChecksum(dump);
	return dump;
}

Message MakeFactoryHyperpreset(uint8_t deviceId, uint8_t number)
{
	Message dump = NewDump(kHyperpresetLayout, deviceId, number & 0x7F, 0);
	char name[16];
	snprintf(name, sizeof name, "Sim Hyp %03d", number & 0x7F);
	WriteName(dump, name);
	Set(dump, 31, 5);  // portamento mode
	SetFunctionGenerator(dump, 33, number);
	for (size_t z = 0; z < 16; ++z) {
		size_t o = 22 * z;
		if (z < 2)
			SetProgram(dump, 129 + o, z == 0 ? kRamBank : kRomBank, number);
		else
			SetOff(dump, 129 + o);
		Set(dump, 131 + o, 127);                 // volume
		Set(dump, 133 + o, z == 0 ? -7 : 7);     // pan -14..14
		Set(dump, 135 + o, 0);                   // low key
		Set(dump, 137 + o, 127);                 // high key
		Set(dump, 139 + o, 0);                   // low velocity
		Set(dump, 141 + o, 127);                 // high velocity
		Set(dump, 143 + o, 0);                   // velocity offset
		Set(dump, 145 + o, 0);                   // transpose
		Set(dump, 147 + o, z == 1 ? 12 : 0);     // coarse
		Set(dump, 149 + o, 0);                   // fine
	}
	UpdateChecksum(dump);
	return dump;
}

Message MakeFactoryMidimap(uint8_t deviceId, uint8_t number)
{
	Message dump = NewDump(kMidimapLayout, deviceId, number & 0x0F, 0);
	char name[16];
	snprintf(name, sizeof name, "Sim Map %02d", number & 0x0F);
	WriteName(dump, name);
	for (size_t c = 0; c < 16; ++c) {
		size_t o = 40 * c;
		SetProgram(dump, 31 + o, kRamBank, static_cast<uint8_t>((16 * number + c) % 128));
		Set(dump, 35 + o, 127);  // volume
		Set(dump, 37 + o, -8);   // pan: the preset's own
		Set(dump, 39 + o, -1);   // mix bus: the preset's own
		for (size_t p = 41; p <= 69; p += 2)
			Set(dump, p + o, 1);  // channel enabled, every controller obeyed
	}
	Set(dump, 671, 0);  // program map 1
	// Effects: list position chosen by the map number; values in the middle of each range.
	const std::vector<SimEffect>* lists[] = {&SimEffectsA(), &SimEffectsB()};
	for (size_t fx = 0; fx < 2; ++fx) {
		const std::vector<SimEffect>& effects = *lists[fx];
		const SimEffect& effect = effects[(number + fx) % effects.size()];
		size_t first = 673 + 22 * fx;
		Set(dump, first, effect.id);
		for (size_t i = 0; i < effect.params.size() && i < 10; ++i) {
			const SimEffectParam& param = effect.params[i];
			Set(dump, first + 2 + 2 * i, (param.low + param.high) / 2);
		}
		Set(dump, 717 + 2 * fx, fx == 0 ? 40 : 25);  // amount 0-100
		Set(dump, 723 + 2 * fx, 0);                  // bus: main
	}
	Set(dump, 721, 0);  // B->A
	UpdateChecksum(dump);
	return dump;
}

}  // namespace morpheus_sim
