#pragma once
// BMidi: what the objects of the old MIDI kit (the synthesizer, the store, the port) have
// in common: they take channel messages through the same hooks.
//
// Channels count 1 to 16, as the old kit counts them; a channel outside that range, or a
// data byte above 127, is ignored. Times are milliseconds of system_time() (B_NOW, 0,
// means "now"); what a time means is up to each kind of object (the store keeps it, the
// synthesizer and the port play at once).
//
// AllNotesOff(justChannel): the All Notes Off controller (123) on all 16 channels; without
// justChannel, also a Note Off for every note this object knows to be sounding. The
// default hooks do nothing; AllNotesOff calls the hooks.
//
// Threads: as each kind of object says.

#include "midi/MidiDefs.h"

#include <bitset>

constexpr uint32 B_NOW = 0;

class BMidi {
public:
	BMidi() = default;
	virtual ~BMidi();
	BMidi(const BMidi&) = delete;
	BMidi& operator=(const BMidi&) = delete;

	virtual void NoteOff(uchar channel, uchar note, uchar velocity, uint32 time = B_NOW);
	virtual void NoteOn(uchar channel, uchar note, uchar velocity, uint32 time = B_NOW);
	virtual void KeyPressure(uchar channel, uchar note, uchar pressure, uint32 time = B_NOW);
	virtual void ControlChange(uchar channel, uchar controlNumber, uchar controlValue,
		uint32 time = B_NOW);
	virtual void ProgramChange(uchar channel, uchar programNumber, uint32 time = B_NOW);
	virtual void ChannelPressure(uchar channel, uchar pressure, uint32 time = B_NOW);
	virtual void PitchBend(uchar channel, uchar lsb, uchar msb, uint32 time = B_NOW);
	virtual void AllNotesOff(bool justChannel = true, uint32 time = B_NOW);

protected:
	// Keeps the notes this object saw start and not end (for AllNotesOff), for the hooks
	// of the objects that want it: a Note On of velocity 0 ends a note. False for a
	// message that is not valid (nothing kept). Guarded by the caller of the hooks.
	bool TrackNote(uchar channel, uchar note, uchar velocity, bool noteOn);

private:
	std::bitset<16 * 128> fSounding;
};

namespace midi_internal {

// True for a channel 1-16 and data bytes 0-127.
inline bool ValidChannelMessage(uchar channel, uchar data1 = 0, uchar data2 = 0)
{
	return channel >= 1 && channel <= 16 && data1 < 128 && data2 < 128;
}

}  // namespace midi_internal
