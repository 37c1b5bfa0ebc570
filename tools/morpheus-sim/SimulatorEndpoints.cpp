#include "SimulatorEndpoints.h"

#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"

namespace morpheus_sim {

namespace {

// Hands every message to the simulator and sprays its replies, on the delivery thread.
class SimulatorConsumer : public BMidiLocalConsumer {
public:
	SimulatorConsumer(const char* name, std::shared_ptr<MorpheusSimulator> simulator,
		BMidiLocalProducer* output, SimulatorEndpoints::Observer observer)
		:
		BMidiLocalConsumer(name),
		fSimulator(std::move(simulator)),
		fOutput(output),
		fObserver(std::move(observer))
	{
		fOutput->Acquire();
	}

	void Data(uchar* data, size_t length, bool atomic, bigtime_t time) override
	{
		std::vector<Message> replies = fSimulator->Receive(data, length);
		if (fObserver)
			fObserver(Message(data, data + length), replies.size());
		for (const Message& reply : replies)
			fOutput->SpraySystemExclusive(reply.data(), reply.size());
	}

protected:
	~SimulatorConsumer() override { fOutput->Release(); }

private:
	std::shared_ptr<MorpheusSimulator> fSimulator;
	BMidiLocalProducer* fOutput;
	SimulatorEndpoints::Observer fObserver;
};

}  // namespace

SimulatorEndpoints::SimulatorEndpoints(std::shared_ptr<MorpheusSimulator> simulator,
	const char* name, bool registered)
	:
	fSimulator(std::move(simulator))
{
	fOutput = new BMidiLocalProducer(name);
	fInput = new SimulatorConsumer(name, fSimulator, fOutput, nullptr);
	if (registered) {
		fInput->Register();
		fOutput->Register();
	}
}

SimulatorEndpoints::SimulatorEndpoints(std::shared_ptr<MorpheusSimulator> simulator,
	const std::string& inputName, const std::string& outputName, Observer observer)
	:
	fSimulator(std::move(simulator))
{
	fOutput = new BMidiLocalProducer(outputName.c_str());
	fInput = new SimulatorConsumer(inputName.c_str(), fSimulator, fOutput,
		std::move(observer));
	// The output first: replies are what a user looks for first.
	fOutput->Register();
	fInput->Register();
}

uint64_t SimulatorEndpoints::DroppedMessages() const
{
	return fInput->DroppedMessages();
}

SimulatorEndpoints::~SimulatorEndpoints()
{
	fInput->Unregister();
	fOutput->Unregister();
	fInput->Release();
	fOutput->Release();
}

}  // namespace morpheus_sim
