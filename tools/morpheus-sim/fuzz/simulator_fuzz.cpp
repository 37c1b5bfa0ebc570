// Fuzz target for the simulator's MIDI input (libFuzzer; scripts/fuzz builds and runs it).
// The first byte picks the device id; the rest is taken as wire bytes (split into System
// Exclusive messages), as one raw message, and as channel messages. Every reply must be a
// dump of its exact length with a valid checksum, or a list of the right command.
#include "MorpheusSimulator.h"
#include "SyxFile.h"

#include <cstdint>
#include <cstdlib>

using namespace morpheus_sim;

namespace {

void Check(const std::vector<Message>& replies)
{
	for (const Message& reply : replies) {
		if (reply.size() < 4 || reply[0] != kManufacturerId || reply[1] != kModelId)
			abort();
		size_t expected = reply[3] == kPresetData ? kPresetLayout.length
			: reply[3] == kHyperpresetData ? kHyperpresetLayout.length
			: reply[3] == kMidimapData ? kMidimapLayout.length : 0;
		if (expected != 0 && (reply.size() != expected || !ChecksumValid(reply)))
			abort();
		if (expected == 0 && reply[3] != kInstrumentList && reply[3] != kFilterList
			&& reply[3] != kEffectList)
			abort();
	}
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	static MorpheusSimulator simulator(0);
	if (size == 0)
		return 0;
	uint8_t device = data[0] & 0x0F;
	static MorpheusSimulator* byDevice[16] = {};
	if (byDevice[device] == nullptr)
		byDevice[device] = new MorpheusSimulator(device);
	MorpheusSimulator& sim = *byDevice[device];
	++data;
	--size;
	for (const Message& message : SplitSystemExclusive(data, size))
		Check(sim.SystemExclusive(message.data(), message.size()));
	Check(sim.SystemExclusive(data, size));
	Check(sim.Receive(data, size));
	Check(simulator.Receive(data, size));
	return 0;
}
