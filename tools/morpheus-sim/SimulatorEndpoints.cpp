#include "SimulatorEndpoints.h"

#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"

namespace morpheus_sim {

namespace {

// Hands every message to the simulator and sprays its replies, on the delivery thread.
class SimulatorConsumer : public BMidiLocalConsumer {
public:
	SimulatorConsumer(const char* name, std::shared_ptr<MorpheusSimulator> simulator,
		BMidiLocalProducer* output)
		:
		BMidiLocalConsumer(name),
		fSimulator(std::move(simulator)),
		fOutput(output)
	{
		fOutput->Acquire();
	}

	void Data(uchar* data, size_t length, bool atomic, bigtime_t time) override
	{
		for (const Message& reply : fSimulator->Receive(data, length))
			fOutput->SpraySystemExclusive(reply.data(), reply.size());
	}

protected:
	~SimulatorConsumer() override { fOutput->Release(); }

private:
	std::shared_ptr<MorpheusSimulator> fSimulator;
	BMidiLocalProducer* fOutput;
};

}  // namespace

SimulatorEndpoints::SimulatorEndpoints(std::shared_ptr<MorpheusSimulator> simulator,
	const char* name, bool registered)
	:
	fSimulator(std::move(simulator))
{
	fOutput = new BMidiLocalProducer(name);
	fInput = new SimulatorConsumer(name, fSimulator, fOutput);
	if (registered) {
		fInput->Register();
		fOutput->Register();
	}
}

SimulatorEndpoints::~SimulatorEndpoints()
{
	fInput->Unregister();
	fOutput->Unregister();
	fInput->Release();
	fOutput->Release();
}

}  // namespace morpheus_sim
