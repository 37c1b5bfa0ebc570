#pragma once
// Splits a stream of MIDI bytes into complete messages.
//
// Bytes from outside are untrusted: stray data bytes, a System Exclusive message cut off
// by another status byte, an End of Exclusive without a start, undefined status bytes and
// System Exclusive messages longer than the limit are dropped (and counted); everything
// well-formed around them comes through. Running status is understood. Real-time bytes
// (0xF8-0xFF) may appear anywhere, also inside System Exclusive, and come out at once as
// messages of their own. State carries over between Feed calls, so a message may arrive
// in pieces.

#ifndef PLATFORM_MIDI_PRIVATE
#error "midi/MidiParser.h is private to platform/midi: use the public MIDI headers"
#endif

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace midi_internal {

// Length in bytes (status included) of the message a status byte starts; 0 for System
// Exclusive (open length) and for undefined status bytes.
size_t MidiMessageLength(uint8_t status);

class MidiParser {
public:
	using Emit = std::function<void(const uint8_t* message, size_t length)>;

	explicit MidiParser(size_t maxSystemExclusive = 1 << 20);

	void Feed(const uint8_t* bytes, size_t length, const Emit& emit);
	// True when no message is half done.
	bool AtMessageBoundary() const;
	size_t DroppedBytes() const { return fDropped; }
	void Reset();

private:
	void DropPending();

	std::vector<uint8_t> fMessage;   // the message being collected
	size_t fExpected = 0;            // its full length; 0 while collecting System Exclusive
	bool fInSystemExclusive = false;
	bool fDiscarding = false;        // skipping an overlong System Exclusive up to its end
	uint8_t fRunningStatus = 0;
	size_t fMaxSystemExclusive;
	size_t fDropped = 0;
};

}  // namespace midi_internal
