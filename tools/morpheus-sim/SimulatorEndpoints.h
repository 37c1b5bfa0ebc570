// The simulator inside a process: a local consumer it listens on and a local producer it
// answers through, registered with the MIDI roster under one name, so that the user finds
// them like the ports of an instrument (FindConsumer(name) takes its requests,
// FindProducer(name) delivers its replies).
#pragma once

#include "MorpheusSimulator.h"

#include <functional>
#include <memory>
#include <string>

class BMidiLocalConsumer;
class BMidiLocalProducer;

namespace morpheus_sim {

class SimulatorEndpoints {
public:
	static constexpr const char* kDefaultName = "Morpheus Simulator";

	// Called on the input's delivery thread after each message, with its reply count.
	using Observer = std::function<void(const Message& message, size_t replies)>;

	// Unregistered endpoints are usable directly but not listed by the roster.
	SimulatorEndpoints(std::shared_ptr<MorpheusSimulator> simulator,
		const char* name = kDefaultName, bool registered = true);
	// Input and output of their own names (system ports "Client:MIDI In" and
	// "Client:MIDI Out"), registered, with an observer that may be empty.
	SimulatorEndpoints(std::shared_ptr<MorpheusSimulator> simulator,
		const std::string& inputName, const std::string& outputName, Observer observer);
	// Disconnects and releases both endpoints; waits for a message being handled.
	~SimulatorEndpoints();

	SimulatorEndpoints(const SimulatorEndpoints&) = delete;
	SimulatorEndpoints& operator=(const SimulatorEndpoints&) = delete;

	// Connect a producer to this to send to the instrument.
	BMidiLocalConsumer* Input() const { return fInput; }
	// Connect this to a consumer to receive the instrument's replies.
	BMidiLocalProducer* Output() const { return fOutput; }
	MorpheusSimulator& Simulator() const { return *fSimulator; }
	// Messages from system ports dropped while the simulator was busy.
	uint64_t DroppedMessages() const;

private:
	std::shared_ptr<MorpheusSimulator> fSimulator;
	BMidiLocalConsumer* fInput = nullptr;
	BMidiLocalProducer* fOutput = nullptr;
};

}  // namespace morpheus_sim
