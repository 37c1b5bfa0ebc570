// The pitch-tracking node's synthesizer as it starts up: with the preference
// "InternalSynth" 1, the General MIDI synth with the preference's SoundFont, else the
// first of Debian's General MIDI SoundFonts installed. No SoundFont file at all: no
// synthesizer (the node still runs). A file that exists but will not load: the alert
// "Synthfile Error" / "No synthfile for synthesizer" / "Ok", and the synthesizer object
// stays (silent). Loaded: input enabled, and with `audible` the sound goes out through
// FluidSynth's audio driver (a driver that does not open leaves the synth silent and says
// so in Problem()).
//
// Lifetime: owns the synth; the node borrows Midi().
#pragma once

#include <memory>
#include <string>

#include "node/SonaraOwnerI.h"

class BMidi;
class BMidiSynth;
class BSynth;

class SonaraSynth {
 public:
  // Alerts go to the owner, or to standard output without one.
  SonaraSynth(const SonaraPreferences& preferences, SonaraOwnerI* owner, bool audible);
  ~SonaraSynth();
  SonaraSynth(const SonaraSynth&) = delete;
  SonaraSynth& operator=(const SonaraSynth&) = delete;

  // The synthesizer to send to, or null when there is none.
  BMidi* Midi() const;
  BSynth* Synth() const { return mSynth.get(); }
  // Why the synth does not sound, "" when it does (or was not wanted).
  const std::string& Problem() const { return mProblem; }

 private:
  std::unique_ptr<BSynth> mSynth;
  std::unique_ptr<BMidiSynth> mMidi;  // last: goes first
  std::string mProblem;
};
