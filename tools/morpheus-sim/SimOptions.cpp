#include "SimOptions.h"

#include <cstdlib>
#include <cstring>

#ifndef MORPHEUS_SIM_FIXTURES_DIR
#define MORPHEUS_SIM_FIXTURES_DIR ""
#endif

namespace morpheus_sim {

namespace {

// A whole decimal number in [low, high].
bool ParseNumber(const std::string& text, int low, int high, int& value)
{
	if (text.empty() || text.size() > 6)
		return false;
	for (char c : text) {
		if (c < '0' || c > '9')
			return false;
	}
	value = std::atoi(text.c_str());
	return value >= low && value <= high;
}

}  // namespace

std::string DefaultInstrumentListPath()
{
	std::string dir = MORPHEUS_SIM_FIXTURES_DIR;
	return dir.empty() ? std::string() : dir + "/morpheus/instrument-list.syx";
}

std::string UsageText(const char* program)
{
	std::string name = program != nullptr ? program : "morpheus-sim";
	return "Usage: " + name + " [options]\n"
		"An E-mu Morpheus simulator on system MIDI ports: answers preset, hyperpreset,\n"
		"midimap and list requests, takes dumps and real-time edits, follows program\n"
		"changes and bank select (control change 32). Serves until interrupted.\n"
		"\n"
		"Options:\n"
		"  --name NAME            client name of the ports (default \"Morpheus Simulator\")\n"
		"  --input NAME           name of the port it listens on (default \"MIDI In\")\n"
		"  --output NAME          name of the port it answers on (default \"MIDI Out\")\n"
		"  --device-id N          System Exclusive device id, 0-15 (default 0)\n"
		"  --channel N|omni       MIDI channel 1-16 for program and bank changes\n"
		"                         (default omni: every channel)\n"
		"  --memory FILE.syx      take the dumps of FILE (e.g. a whole-device dump) as memory\n"
		"  --instrument-list FILE report the instrument list held in FILE\n"
		"                         (default: the suite's test data morpheus/instrument-list.syx\n"
		"                         when it is there)\n"
		"  --own-instrument-list  report the simulator's own instrument list\n"
		"  --api alsa|jack        MIDI system (default: $SUITE_MIDI_API, else ALSA, else JACK)\n"
		"  --verbose              print a line for every message handled\n"
		"  --help                 show this text\n";
}

ParseResult ParseOptions(int argc, const char* const* argv, SimOptions& options,
	std::string& error)
{
	for (int i = 1; i < argc; ++i) {
		std::string arg = argv[i] != nullptr ? argv[i] : "";
		std::string value;
		size_t equals = arg.find('=');
		bool inlineValue = arg.rfind("--", 0) == 0 && equals != std::string::npos;
		if (inlineValue) {
			value = arg.substr(equals + 1);
			arg.resize(equals);
		}
		auto takeValue = [&](std::string& out) {
			if (inlineValue) {
				out = value;
			} else if (i + 1 < argc && argv[i + 1] != nullptr) {
				out = argv[++i];
			} else {
				error = "option " + arg + " needs a value";
				return false;
			}
			if (out.empty()) {
				error = "option " + arg + " needs a non-empty value";
				return false;
			}
			return true;
		};
		if (arg == "--help" || arg == "-h")
			return ParseResult::kHelp;
		if (arg == "--verbose" || arg == "--own-instrument-list") {
			if (inlineValue) {
				error = "option " + arg + " takes no value";
				return ParseResult::kError;
			}
			(arg == "--verbose" ? options.verbose : options.ownInstrumentList) = true;
		} else if (arg == "--name") {
			if (!takeValue(options.clientName))
				return ParseResult::kError;
		} else if (arg == "--input") {
			if (!takeValue(options.inputName))
				return ParseResult::kError;
		} else if (arg == "--output") {
			if (!takeValue(options.outputName))
				return ParseResult::kError;
		} else if (arg == "--memory") {
			if (!takeValue(options.memoryFile))
				return ParseResult::kError;
		} else if (arg == "--instrument-list") {
			if (!takeValue(options.instrumentList))
				return ParseResult::kError;
		} else if (arg == "--device-id") {
			std::string text;
			int id;
			if (!takeValue(text))
				return ParseResult::kError;
			if (!ParseNumber(text, 0, 15, id)) {
				error = "device id \"" + text + "\" is not a number from 0 to 15";
				return ParseResult::kError;
			}
			options.deviceId = static_cast<uint8_t>(id);
		} else if (arg == "--channel") {
			std::string text;
			int channel;
			if (!takeValue(text))
				return ParseResult::kError;
			if (text == "omni") {
				options.channel = -1;
			} else if (ParseNumber(text, 1, 16, channel)) {
				options.channel = channel - 1;
			} else {
				error = "channel \"" + text + "\" is neither 1 to 16 nor omni";
				return ParseResult::kError;
			}
		} else if (arg == "--api") {
			if (!takeValue(options.api))
				return ParseResult::kError;
			if (options.api != "alsa" && options.api != "jack") {
				error = "MIDI system \"" + options.api + "\" is neither alsa nor jack";
				return ParseResult::kError;
			}
		} else {
			error = "unknown argument \"" + arg + "\" (see --help)";
			return ParseResult::kError;
		}
	}
	if (options.ownInstrumentList && !options.instrumentList.empty()) {
		error = "--instrument-list and --own-instrument-list exclude each other";
		return ParseResult::kError;
	}
	return ParseResult::kRun;
}

}  // namespace morpheus_sim
