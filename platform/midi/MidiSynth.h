#pragma once
// BMidiSynth: plays channel messages on a BSynth.
//
// Input is off until EnableInput(true, ...): messages before that are dropped, as the
// old kit's synth did before its instruments were loaded. (FluidSynth loads instruments
// as they are first played, so loadInstruments changes nothing.) AllNotesOff releases
// every note; without justChannel it also silences what still rings (sound off).
// Pitch bend takes the 14-bit value as LSB and MSB, 0x2000 in the centre.
//
// Lifetime: the BSynth must outlive the BMidiSynth.
// Threads: every method may be called from any thread; calls are short (FluidSynth takes
// the event under its own lock and renders on the driver's thread).

#include "midi/Midi.h"

#include <atomic>

class BSynth;

class BMidiSynth : public BMidi {
public:
	explicit BMidiSynth(BSynth* synth);
	~BMidiSynth() override;

	status_t EnableInput(bool enable, bool loadInstruments);
	bool IsInputEnabled() const { return fEnabled.load(); }

	void NoteOff(uchar channel, uchar note, uchar velocity, uint32 time = B_NOW) override;
	void NoteOn(uchar channel, uchar note, uchar velocity, uint32 time = B_NOW) override;
	void KeyPressure(uchar channel, uchar note, uchar pressure, uint32 time = B_NOW) override;
	void ControlChange(uchar channel, uchar controlNumber, uchar controlValue,
		uint32 time = B_NOW) override;
	void ProgramChange(uchar channel, uchar programNumber, uint32 time = B_NOW) override;
	void ChannelPressure(uchar channel, uchar pressure, uint32 time = B_NOW) override;
	void PitchBend(uchar channel, uchar lsb, uchar msb, uint32 time = B_NOW) override;
	void AllNotesOff(bool justChannel = true, uint32 time = B_NOW) override;

private:
	// The FluidSynth synthesizer when input is on and the synth runs, else null.
	struct _fluid_synth_t* Target() const;

	BSynth* fSynth;
	std::atomic<bool> fEnabled{false};
};
