// The simulator as a program of its own: its input and output registered with the MIDI
// roster under one client name, so other programs find two system ports (under JACK
// "Client:MIDI In" and "Client:MIDI Out" of one client). The MIDI kit splits incoming
// bytes into messages, runs the simulator on the input's delivery thread and paces the
// replies so that the MIDI system loses none.
#pragma once

#include "MorpheusSimulator.h"

#include <memory>
#include <string>

namespace morpheus_sim {

struct VirtualPortSettings {
	std::string api;          // "alsa", "jack", or empty: $SUITE_MIDI_API, else ALSA, else JACK
	std::string clientName;
	std::string inputName;
	std::string outputName;
	bool verbose = false;     // one line on standard output per message handled
};

class VirtualPortHost {
public:
	explicit VirtualPortHost(std::shared_ptr<MorpheusSimulator> simulator);
	~VirtualPortHost();

	VirtualPortHost(const VirtualPortHost&) = delete;
	VirtualPortHost& operator=(const VirtualPortHost&) = delete;

	// Opens the ports and starts serving; false with a message in `error`.
	bool Open(const VirtualPortSettings& settings, std::string& error);
	// Stops serving and closes the ports (also done by the destructor).
	void Close();
	// "alsa" or "jack" once open, else "none".
	const char* ApiName() const;

private:
	class Impl;
	std::unique_ptr<Impl> fImpl;
};

}  // namespace morpheus_sim
