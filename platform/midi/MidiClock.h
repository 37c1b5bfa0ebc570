#pragma once
// The MIDI kit's clock: microseconds on the monotonic clock, as system_time().

#ifndef PLATFORM_MIDI_PRIVATE
#error "midi/MidiClock.h is private to platform/midi: use the public MIDI headers"
#endif

#include "midi/MidiDefs.h"

namespace midi_internal {

bigtime_t MidiNow();

}  // namespace midi_internal
