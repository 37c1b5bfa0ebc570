// Counts every allocation of the test program to show that analysis allocates nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/PitchTracker.h"
#include "presets/InstrumentPresets.h"
#include "testing/AllocationCounter.h"

namespace {

TEST(PitchTrackerMemory, AnalysisAllocatesNothingAfterSetUp) {
  std::vector<int16_t> samples(44100);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(8000 * std::sin(2 * 3.14159265358979 * 330 * i / 44100.0) *
                                      (i < 30000 ? 1 : 0));
  PitchTracker* t = RebuildEngine(nullptr, FindPreset(1)->fields);
  ASSERT_NE(t, nullptr);
  MidiDecision d;
  int notes = 0;
  AllocationCounter counter;
  for (size_t i = 0; i + 16 <= samples.size(); i += 16) {
    WFETProcess(t, &samples[i], 32);
    WFETCalc(t, &d);
    notes += d.noteOn >= 0;
    WFETSet(t, kSetHoldLevelDb, -40);  // settings do not allocate either
  }
  EXPECT_EQ(counter.Count(), 0);
  EXPECT_EQ(notes, 1);
  WFETEndProcess(t);
}

TEST(PitchTrackerMemory, CreationReportsMemoryRunningOut) {
  PitchTracker* t;
  PitchTracker* rebuilt;
  {
    RefuseAllocations refuse;
    t = WFETBegProcess();
    rebuilt = RebuildEngine(nullptr, FindPreset(2)->fields);
  }
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(rebuilt, nullptr);
}

}  // namespace
