// The simulator as a program of its own: two system MIDI ports (ALSA sequencer or JACK,
// through RtMidi virtual ports) that other programs connect to. Incoming bytes are
// split into messages on the MIDI system's thread and handed to a worker thread, which
// runs the simulator and sends its replies, paced so that the MIDI system loses none.
#ifndef MORPHEUS_SIM_VIRTUALPORTHOST_H
#define MORPHEUS_SIM_VIRTUALPORTHOST_H

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

#endif
