// The simulator inside a process: a local consumer it listens on and a local producer it
// answers through, registered with the MIDI roster under one name, so that the user finds
// them like the ports of an instrument (FindConsumer(name) takes its requests,
// FindProducer(name) delivers its replies).
#ifndef MORPHEUS_SIM_SIMULATORENDPOINTS_H
#define MORPHEUS_SIM_SIMULATORENDPOINTS_H

#include "MorpheusSimulator.h"

#include <memory>

class BMidiLocalConsumer;
class BMidiLocalProducer;

namespace morpheus_sim {

class SimulatorEndpoints {
public:
	static constexpr const char* kDefaultName = "Morpheus Simulator";

	// Unregistered endpoints are usable directly but not listed by the roster.
	SimulatorEndpoints(std::shared_ptr<MorpheusSimulator> simulator,
		const char* name = kDefaultName, bool registered = true);
	// Disconnects and releases both endpoints; waits for a message being handled.
	~SimulatorEndpoints();

	SimulatorEndpoints(const SimulatorEndpoints&) = delete;
	SimulatorEndpoints& operator=(const SimulatorEndpoints&) = delete;

	// Connect a producer to this to send to the instrument.
	BMidiLocalConsumer* Input() const { return fInput; }
	// Connect this to a consumer to receive the instrument's replies.
	BMidiLocalProducer* Output() const { return fOutput; }
	MorpheusSimulator& Simulator() const { return *fSimulator; }

private:
	std::shared_ptr<MorpheusSimulator> fSimulator;
	BMidiLocalConsumer* fInput = nullptr;
	BMidiLocalProducer* fOutput = nullptr;
};

}  // namespace morpheus_sim

#endif
