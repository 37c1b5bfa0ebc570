#include "VirtualPortHost.h"

#include "SimulatorEndpoints.h"

#include "midi/MidiRoster.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace morpheus_sim {

namespace {

const char* CommandName(const Message& message)
{
	if (message.size() < 4)
		return "short message";
	switch (message[3]) {
		case kPresetRequest: return "preset request";
		case kPresetData: return "preset dump";
		case kParameterEdit: return "parameter edit";
		case kInstrumentListRequest: return "instrument list request";
		case kInstrumentList: return "instrument list";
		case kHyperpresetRequest: return "hyperpreset request";
		case kHyperpresetData: return "hyperpreset dump";
		case kMidimapRequest: return "midimap request";
		case kMidimapData: return "midimap dump";
		case kEffectListRequest: return "effect list request";
		case kEffectList: return "effect list";
		case kFilterListRequest: return "filter list request";
		case kFilterList: return "filter list";
		default: return "unknown command";
	}
}

void Log(const Message& message, size_t replies)
{
	if (!message.empty() && message[0] == 0xF0) {
		Message body(message.begin() + 1, message.end() - (message.back() == 0xF7));
		printf("received %s (%zu bytes), %zu %s\n", CommandName(body), message.size(),
			replies, replies == 1 ? "reply" : "replies");
	} else if (!message.empty()) {
		printf("received status %02X (%zu bytes)\n", message[0], message.size());
	}
	fflush(stdout);
}

}  // namespace

class VirtualPortHost::Impl {
public:
	explicit Impl(std::shared_ptr<MorpheusSimulator> simulator)
		: fSimulator(std::move(simulator))
	{
	}

	~Impl() { Close(); }

	bool Open(const VirtualPortSettings& settings, std::string& error)
	{
		Close();
		// The MIDI kit chooses its system by this variable, once, at its first use.
		if (!settings.api.empty())
			setenv("SUITE_MIDI_API", settings.api.c_str(), 1);
		if (BMidiRoster::SetClientName(settings.clientName.c_str()) != B_OK) {
			error = "cannot name the MIDI client \"" + settings.clientName + "\"";
			return false;
		}
		std::string api = BMidiRoster::SystemApiName();
		if (api == "none") {
			error = settings.api.empty() ? "no MIDI system: neither the ALSA sequencer nor "
				"a JACK server answers" : "no " + settings.api + " MIDI system answers";
			return false;
		}
		SimulatorEndpoints::Observer observer;
		if (settings.verbose)
			observer = &Log;
		fEndpoints = std::make_unique<SimulatorEndpoints>(fSimulator, settings.inputName,
			settings.outputName, observer);
		fApi = api == "alsa" ? "alsa" : "jack";
		return true;
	}

	void Close()
	{
		if (fEndpoints == nullptr)
			return;
		uint64_t dropped = fEndpoints->DroppedMessages();
		fEndpoints.reset();   // waits for a message being handled
		fApi = nullptr;
		if (dropped > 0)
			fprintf(stderr, "morpheus-sim: dropped %llu messages arriving faster than "
				"they could be answered\n", (unsigned long long)dropped);
	}

	const char* ApiName() const { return fApi != nullptr ? fApi : "none"; }

private:
	std::shared_ptr<MorpheusSimulator> fSimulator;
	std::unique_ptr<SimulatorEndpoints> fEndpoints;
	const char* fApi = nullptr;
};

VirtualPortHost::VirtualPortHost(std::shared_ptr<MorpheusSimulator> simulator)
	:
	fImpl(std::make_unique<Impl>(std::move(simulator)))
{
}

VirtualPortHost::~VirtualPortHost() = default;

bool VirtualPortHost::Open(const VirtualPortSettings& settings, std::string& error)
{
	return fImpl->Open(settings, error);
}

void VirtualPortHost::Close()
{
	fImpl->Close();
}

const char* VirtualPortHost::ApiName() const
{
	return fImpl->ApiName();
}

}  // namespace morpheus_sim
