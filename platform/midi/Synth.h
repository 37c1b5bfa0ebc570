#pragma once
// BSynth: a General MIDI software synthesizer, FluidSynth with one SoundFont.
//
// A synth starts silent: it renders into memory when asked (Render), which is how tests
// and offline work hear it. StartAudio plays it through FluidSynth's own audio driver
// (JACK when a JACK server runs, else PulseAudio, else ALSA, or the one named) on the
// driver's thread until StopAudio; Render is refused meanwhile.
//
// SoundFonts: LoadSynthData loads one file (replacing the one before). Without a
// SoundFont the synth takes MIDI and renders silence. DefaultSoundFont() names the first
// installed of Debian's General MIDI SoundFonts.
//
// Errors: B_ENTRY_NOT_FOUND for a file that is not there, B_BAD_VALUE for one FluidSynth
// will not load (LastError() then says why), B_NO_MEMORY when FluidSynth cannot start,
// B_ERROR when no audio driver opens (LastError() names the ones tried), B_NOT_ALLOWED
// for Render while the audio runs.
//
// Threads: every method may be called from any thread (FluidSynth serialises its calls);
// the audio driver renders on a thread of its own.

#include "midi/MidiDefs.h"

#include <memory>
#include <mutex>
#include <string>

class BMidiSynth;

class BSynth {
public:
	explicit BSynth(int32 samplingRate = 44100);
	~BSynth();
	BSynth(const BSynth&) = delete;
	BSynth& operator=(const BSynth&) = delete;

	// B_OK once FluidSynth runs; everything else fails otherwise.
	status_t InitCheck() const;

	status_t LoadSynthData(const char* path);
	void Unload();
	bool IsLoaded() const;
	// The path of the loaded SoundFont, "" when none.
	std::string SynthDataPath() const;

	int32 SamplingRate() const { return fRate; }

	// driver: "jack", "pulseaudio", "alsa", ... or null for the first that opens.
	// clientName names the synth where the driver shows names (JACK).
	status_t StartAudio(const char* driver = nullptr, const char* clientName = "Synth");
	void StopAudio();
	bool IsPlaying() const;

	// Renders `frames` stereo frames (-1..1) into the two arrays, silent mode only.
	status_t Render(float* left, float* right, int32 frames);

	// What went wrong last, for messages.
	std::string LastError() const;

	// The first of /usr/share/sounds/sf2/default-GM.sf2, TimGM6mb.sf2 and FluidR3_GM.sf2
	// that exists, or "" when none is installed.
	static std::string DefaultSoundFont();

private:
	friend class BMidiSynth;
	struct Fluid;

	// FluidSynth's synthesizer, or null when it did not start.
	struct _fluid_synth_t* Engine() const;

	status_t Fail(status_t status, const std::string& message);

	const int32 fRate;
	mutable std::mutex fLock;    // loading, the driver and the error text
	std::string fError;          // guarded by fLock
	std::string fPath;           // guarded by fLock
	std::unique_ptr<Fluid> fFluid;
};
