// The command line of the morpheus-sim program.
#pragma once

#include <cstdint>
#include <string>

namespace morpheus_sim {

struct SimOptions {
	std::string clientName = "Morpheus Simulator";
	std::string inputName = "MIDI In";
	std::string outputName = "MIDI Out";
	std::string api;              // "alsa", "jack" or empty: SUITE_MIDI_API, else ALSA, else JACK
	uint8_t deviceId = 0;
	int channel = -1;             // 0-15, or -1 for every channel
	std::string memoryFile;       // a .syx file of dumps taken as memory
	std::string instrumentList;   // a .syx file holding an instrument list
	bool ownInstrumentList = false;
	bool verbose = false;
};

enum class ParseResult { kRun, kHelp, kError };

// Fills `options` from the arguments; kError with a message in `error`.
ParseResult ParseOptions(int argc, const char* const* argv, SimOptions& options,
	std::string& error);

std::string UsageText(const char* program);

// Where the instrument list is looked for when no option names one (may not exist).
std::string DefaultInstrumentListPath();

}  // namespace morpheus_sim
