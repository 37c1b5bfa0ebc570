#include "midi/Midi.h"

BMidi::~BMidi() = default;

void BMidi::NoteOff(uchar, uchar, uchar, uint32) {}
void BMidi::NoteOn(uchar, uchar, uchar, uint32) {}
void BMidi::KeyPressure(uchar, uchar, uchar, uint32) {}
void BMidi::ControlChange(uchar, uchar, uchar, uint32) {}
void BMidi::ProgramChange(uchar, uchar, uint32) {}
void BMidi::ChannelPressure(uchar, uchar, uint32) {}
void BMidi::PitchBend(uchar, uchar, uchar, uint32) {}

void BMidi::AllNotesOff(bool justChannel, uint32 time)
{
	if (!justChannel) {
		// A copy: NoteOff of a derived object clears bits as we go.
		const std::bitset<16 * 128> sounding = fSounding;
		for (size_t i = 0; i < sounding.size(); ++i) {
			if (sounding[i])
				NoteOff(static_cast<uchar>(i / 128 + 1), static_cast<uchar>(i % 128), 0, time);
		}
	}
	for (uchar channel = 1; channel <= 16; ++channel)
		ControlChange(channel, 123, 0, time);
}

bool BMidi::TrackNote(uchar channel, uchar note, uchar velocity, bool noteOn)
{
	if (!midi_internal::ValidChannelMessage(channel, note, velocity))
		return false;
	fSounding.set((channel - 1) * 128u + note, noteOn && velocity > 0);
	return true;
}
