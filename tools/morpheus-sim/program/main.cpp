// morpheus-sim: an E-mu Morpheus simulator on system MIDI ports.
#include "MorpheusSimulator.h"
#include "SimLists.h"
#include "SimOptions.h"
#include "SyxFile.h"
#include "VirtualPortHost.h"

#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <memory>

using namespace morpheus_sim;

namespace {

bool LoadInstrumentList(MorpheusSimulator& simulator, const SimOptions& options)
{
	if (options.ownInstrumentList)
		return true;
	std::string path = options.instrumentList;
	bool named = !path.empty();
	if (!named) {
		path = DefaultInstrumentListPath();
		std::error_code ignored;
		if (path.empty() || !std::filesystem::exists(path, ignored))
			return true;   // the simulator's own list then
	}
	std::vector<Message> messages;
	std::string error;
	if (!ReadSyxFile(path, messages, error)) {
		fprintf(stderr, "morpheus-sim: %s\n", error.c_str());
		return !named;
	}
	for (const Message& message : messages) {
		if (simulator.SetInstrumentList(message)) {
			printf("Instrument list: %s\n", path.c_str());
			return true;
		}
	}
	fprintf(stderr, "morpheus-sim: \"%s\" holds no complete instrument list\n", path.c_str());
	return !named;
}

bool LoadMemory(MorpheusSimulator& simulator, const SimOptions& options)
{
	if (options.memoryFile.empty())
		return true;
	std::vector<Message> messages;
	std::string error;
	if (!ReadSyxFile(options.memoryFile, messages, error)) {
		fprintf(stderr, "morpheus-sim: %s\n", error.c_str());
		return false;
	}
	MorpheusSimulator::LoadResult result = simulator.LoadMemory(messages);
	if (result.presets + result.hyperpresets + result.midimaps == 0) {
		fprintf(stderr, "morpheus-sim: \"%s\" holds no preset, hyperpreset or midimap dump\n",
			options.memoryFile.c_str());
		return false;
	}
	printf("Memory from %s: %d presets, %d hyperpresets, %d midimaps (%d other messages "
		"skipped)\n", options.memoryFile.c_str(), result.presets, result.hyperpresets,
		result.midimaps, result.skipped);
	return true;
}

}  // namespace

int main(int argc, char** argv)
{
	SimOptions options;
	std::string error;
	switch (ParseOptions(argc, argv, options, error)) {
		case ParseResult::kHelp:
			fputs(UsageText("morpheus-sim").c_str(), stdout);
			return 0;
		case ParseResult::kError:
			fprintf(stderr, "morpheus-sim: %s\n", error.c_str());
			return 2;
		case ParseResult::kRun:
			break;
	}

	// Every thread started from here on leaves these signals to the wait below.
	sigset_t stopSignals;
	sigemptyset(&stopSignals);
	sigaddset(&stopSignals, SIGINT);
	sigaddset(&stopSignals, SIGTERM);
	sigaddset(&stopSignals, SIGHUP);
	pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

	auto simulator = std::make_shared<MorpheusSimulator>(options.deviceId);
	simulator->SetChannel(options.channel);
	if (!LoadInstrumentList(*simulator, options) || !LoadMemory(*simulator, options))
		return 1;

	VirtualPortHost host(simulator);
	VirtualPortSettings settings{options.api, options.clientName, options.inputName,
		options.outputName, options.verbose};
	if (!host.Open(settings, error)) {
		fprintf(stderr, "morpheus-sim: %s\n", error.c_str());
		return 1;
	}
	printf("morpheus-sim: device id %d, serving on %s ports \"%s\" (input \"%s\", "
		"output \"%s\"); interrupt to stop\n", options.deviceId, host.ApiName(),
		options.clientName.c_str(), options.inputName.c_str(), options.outputName.c_str());
	fflush(stdout);

	int signal = 0;
	sigwait(&stopSignals, &signal);
	host.Close();
	MorpheusSimulator::Counters counters = simulator->Statistics();
	printf("morpheus-sim: stopped; %d requests answered, %d dumps stored, %d parameter "
		"edits, %d messages ignored\n", counters.requestsAnswered, counters.dumpsStored,
		counters.parameterEdits, counters.ignored);
	return 0;
}
