#include "midi/MidiClock.h"

#include "kernel/OS.h"

namespace midi_internal {

bigtime_t MidiNow()
{
	return system_time();
}

}  // namespace midi_internal
