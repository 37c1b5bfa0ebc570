#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "RecordingMidi.h"
#include "midi/Synth.h"
#include "node/SonaraSynth.h"
#include "node/TonetracePreferences.h"
#include "testing/ScratchDir.h"

namespace {

class SettingsDir : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(mScratch.Valid());
    mDir = mScratch.UseAsHome();
  }
  ScratchDir mScratch{"sonara-settings"};
  std::string mDir;
};

TEST_F(SettingsDir, PreferencesRoundTripAndFallBackToTheirDefaults) {
  std::string problem;
  SonaraPreferences p = ReadTonetracePreferences(&problem);
  EXPECT_EQ(p.internalSynth, 1);
  EXPECT_EQ(p.midiPort, 0);
  EXPECT_EQ(p.midiPortName, "");
  EXPECT_EQ(p.midiChannel, 1);
  EXPECT_EQ(problem, "");

  p.internalSynth = 0;
  p.midiPort = 1;
  p.midiPortName = "Synth input";
  p.midiChannel = 9;
  ASSERT_TRUE(WriteTonetracePreferences(p, &problem)) << problem;
  const SonaraPreferences back = ReadTonetracePreferences(&problem);
  EXPECT_EQ(back.internalSynth, 0);
  EXPECT_EQ(back.midiPort, 1);
  EXPECT_EQ(back.midiPortName, "Synth input");
  EXPECT_EQ(back.midiChannel, 9);

  std::ofstream(mDir + "/Tonetrace") << "not a flattened message";
  problem.clear();
  p = ReadTonetracePreferences(&problem);
  EXPECT_EQ(p.internalSynth, 1);
  EXPECT_NE(problem.find("not a preferences file"), std::string::npos) << problem;
}

TEST_F(SettingsDir, TheSynthStartsWhereItCanAndAlertsWhereItCannot) {
  RecordingOwner owner;
  SonaraPreferences p;
  p.internalSynth = 0;
  EXPECT_EQ(SonaraSynth(p, &owner, false).Midi(), nullptr);
  EXPECT_TRUE(owner.mAlerts.empty());

  p.internalSynth = 1;
  p.soundFont = mDir + "/broken.sf2";
  std::ofstream(p.soundFont) << "this is no SoundFont";
  {
    SonaraSynth synth(p, &owner, false);
    EXPECT_NE(synth.Midi(), nullptr) << "the synthesizer object stays";
    ASSERT_EQ(owner.mAlerts.size(), 1u);
    EXPECT_EQ(owner.mAlerts[0], "Synthfile Error: No synthfile for synthesizer");
    EXPECT_NE(synth.Problem().find("broken.sf2"), std::string::npos) << synth.Problem();
  }

  p.soundFont.clear();
  if (BSynth::DefaultSoundFont().empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
  SonaraSynth synth(p, &owner, false);
  ASSERT_NE(synth.Midi(), nullptr);
  EXPECT_EQ(owner.mAlerts.size(), 1u);
  EXPECT_EQ(synth.Problem(), "");
  EXPECT_TRUE(synth.Synth()->IsLoaded());
}

}  // namespace
