#pragma once
// Building outgoing MIDI messages, with their arguments checked.

#ifndef PLATFORM_MIDI_PRIVATE
#error "midi/MidiMessages.h is private to platform/midi: use the public MIDI headers"
#endif

#include "midi/MidiDefs.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace midi_internal {

// One framed System Exclusive message (0xF0 payload 0xF7) from a block that may or may
// not carry its framing bytes. B_BAD_VALUE for a null or empty block and for a block with
// a status byte inside its payload.
status_t FrameSystemExclusive(const void* data, size_t length, std::vector<uint8_t>& message);

// A channel message of the given kind (0x80 note off ... 0xE0 pitch bend); data2 is
// ignored for program change and channel pressure. B_BAD_VALUE when the channel is above
// 15 or a data byte above 127.
status_t BuildChannelMessage(uint8_t kind, uint8_t channel, uint8_t data1, uint8_t data2,
	std::vector<uint8_t>& message);

// System common (0xF1-0xF6 but not 0xF4/0xF5) and real-time (0xF8-0xFF defined ones).
status_t BuildSystemMessage(uint8_t status, uint8_t data1, uint8_t data2,
	std::vector<uint8_t>& message);

}  // namespace midi_internal
