#include "node/SonaraSynth.h"

#include <cstdio>

#include "midi/MidiSynth.h"
#include "midi/Synth.h"

SonaraSynth::SonaraSynth(const SonaraPreferences& preferences, SonaraOwnerI* owner,
                         bool audible) {
  if (preferences.internalSynth != 1) return;
  const std::string file =
      preferences.soundFont.empty() ? BSynth::DefaultSoundFont() : preferences.soundFont;
  if (file.empty()) {
    mProblem = "no General MIDI SoundFont is installed (Debian's timgm6mb-soundfont or "
               "fluid-soundfont-gm has one): no synthesizer";
    return;
  }
  mSynth = std::make_unique<BSynth>();
  mMidi = std::make_unique<BMidiSynth>(mSynth.get());
  if (mSynth->LoadSynthData(file.c_str()) != B_OK) {
    mProblem = mSynth->LastError();
    if (owner != nullptr)
      owner->Alert("Synthfile Error", "No synthfile for synthesizer", "Ok");
    else
      std::printf("Synthfile Error: No synthfile for synthesizer (%s)\n", mProblem.c_str());
    return;
  }
  mMidi->EnableInput(true, true);
  if (audible && mSynth->StartAudio(nullptr, "Tonetrace synth") != B_OK)
    mProblem = mSynth->LastError();
}

SonaraSynth::~SonaraSynth() {
  mMidi.reset();
  if (mSynth != nullptr) mSynth->StopAudio();
}

BMidi* SonaraSynth::Midi() const { return mMidi.get(); }
