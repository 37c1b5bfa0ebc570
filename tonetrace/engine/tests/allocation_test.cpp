// Counts every allocation of the test program to show that analysis allocates nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "engine/PitchTracker.h"
#include "presets/InstrumentPresets.h"

namespace {
std::atomic<long> gAllocations{0};
std::atomic<bool> gRefuseAllocations{false};
}  // namespace

void* operator new(std::size_t size) {
  ++gAllocations;
  if (gRefuseAllocations) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

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
  const long before = gAllocations;
  for (size_t i = 0; i + 16 <= samples.size(); i += 16) {
    WFETProcess(t, &samples[i], 32);
    WFETCalc(t, &d);
    notes += d.noteOn >= 0;
    WFETSet(t, kSetHoldLevelDb, -40);  // settings do not allocate either
  }
  EXPECT_EQ(gAllocations - before, 0);
  EXPECT_EQ(notes, 1);
  WFETEndProcess(t);
}

TEST(PitchTrackerMemory, CreationReportsMemoryRunningOut) {
  gRefuseAllocations = true;
  PitchTracker* t = WFETBegProcess();
  PitchTracker* rebuilt = RebuildEngine(nullptr, FindPreset(2)->fields);
  gRefuseAllocations = false;
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(rebuilt, nullptr);
}

}  // namespace
