#include "midi/MidiSynth.h"

#include "midi/Synth.h"

#include <fluidsynth.h>

using midi_internal::ValidChannelMessage;

BMidiSynth::BMidiSynth(BSynth* synth)
	:
	fSynth(synth)
{
}

BMidiSynth::~BMidiSynth() = default;

status_t BMidiSynth::EnableInput(bool enable, bool /*loadInstruments*/)
{
	if (enable && (fSynth == nullptr || fSynth->InitCheck() != B_OK))
		return B_NO_INIT;
	fEnabled.store(enable);
	return B_OK;
}

fluid_synth_t* BMidiSynth::Target() const
{
	if (!fEnabled.load() || fSynth == nullptr)
		return nullptr;
	return fSynth->Engine();
}

void BMidiSynth::NoteOff(uchar channel, uchar note, uchar, uint32)
{
	if (fluid_synth_t* s = Target(); s != nullptr && ValidChannelMessage(channel, note))
		fluid_synth_noteoff(s, channel - 1, note);
}

void BMidiSynth::NoteOn(uchar channel, uchar note, uchar velocity, uint32)
{
	if (fluid_synth_t* s = Target(); s != nullptr && ValidChannelMessage(channel, note, velocity))
		fluid_synth_noteon(s, channel - 1, note, velocity);
}

void BMidiSynth::KeyPressure(uchar channel, uchar note, uchar pressure, uint32)
{
	if (fluid_synth_t* s = Target(); s != nullptr && ValidChannelMessage(channel, note, pressure))
		fluid_synth_key_pressure(s, channel - 1, note, pressure);
}

void BMidiSynth::ControlChange(uchar channel, uchar controlNumber, uchar controlValue, uint32)
{
	fluid_synth_t* s = Target();
	if (s != nullptr && ValidChannelMessage(channel, controlNumber, controlValue))
		fluid_synth_cc(s, channel - 1, controlNumber, controlValue);
}

void BMidiSynth::ProgramChange(uchar channel, uchar programNumber, uint32)
{
	if (fluid_synth_t* s = Target(); s != nullptr && ValidChannelMessage(channel, programNumber))
		fluid_synth_program_change(s, channel - 1, programNumber);
}

void BMidiSynth::ChannelPressure(uchar channel, uchar pressure, uint32)
{
	if (fluid_synth_t* s = Target(); s != nullptr && ValidChannelMessage(channel, pressure))
		fluid_synth_channel_pressure(s, channel - 1, pressure);
}

void BMidiSynth::PitchBend(uchar channel, uchar lsb, uchar msb, uint32)
{
	if (fluid_synth_t* s = Target(); s != nullptr && ValidChannelMessage(channel, lsb, msb))
		fluid_synth_pitch_bend(s, channel - 1, (msb << 7) | lsb);
}

void BMidiSynth::AllNotesOff(bool justChannel, uint32)
{
	if (fluid_synth_t* s = Target(); s != nullptr) {
		for (int channel = 0; channel < 16; ++channel) {
			fluid_synth_all_notes_off(s, channel);
			if (!justChannel)
				fluid_synth_all_sounds_off(s, channel);
		}
	}
}
