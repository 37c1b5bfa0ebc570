// Fuzz target for the MIDI wire parser (libFuzzer; scripts/fuzz builds and runs it): bytes
// from outside, fed in two pieces, come out as whole messages only.
#include "midi/MidiParser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	using midi_internal::MidiMessageLength;
	midi_internal::MidiParser parser(4096);
	size_t emitted = 0;
	auto check = [&](const uint8_t* message, size_t length) {
		if (message == nullptr || length == 0 || message[0] < 0x80)
			abort();
		if (message[0] == 0xF0) {
			if (length < 2 || message[length - 1] != 0xF7 || length > 4096)
				abort();
		} else if (length != MidiMessageLength(message[0])) {
			abort();
		}
		emitted += length;
	};
	// The first byte says where the stream is cut in two.
	size_t cut = size > 0 ? data[0] % (size + 1) : 0;
	parser.Feed(data, cut, check);
	parser.Feed(data + cut, size - cut, check);
	// Running status may make more bytes than came, but never more than three per byte.
	if (emitted > 3 * size)
		abort();
	return 0;
}
