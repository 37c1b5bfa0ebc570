// Test helpers: a BMidi that records what it is sent, and an owner that records what the
// node shows and gives a store while "recording".
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "midi/Midi.h"
#include "midi/MidiStore.h"
#include "node/SonaraOwnerI.h"

struct SentMessage {
  std::string kind;  // "on", "off", "cc", "program", "bend", "all"
  int channel, data1, data2;
  uint32 time;
  bool operator==(const SentMessage& o) const {
    return kind == o.kind && channel == o.channel && data1 == o.data1 && data2 == o.data2;
  }
};

inline std::ostream& operator<<(std::ostream& out, const SentMessage& m) {
  return out << m.kind << " ch" << m.channel << " " << m.data1 << " " << m.data2 << " @" << m.time;
}

class RecordingMidi : public BMidi {
 public:
  void NoteOff(uchar c, uchar n, uchar v, uint32 t) override { Add("off", c, n, v, t); }
  void NoteOn(uchar c, uchar n, uchar v, uint32 t) override { Add("on", c, n, v, t); }
  void ControlChange(uchar c, uchar n, uchar v, uint32 t) override { Add("cc", c, n, v, t); }
  void ProgramChange(uchar c, uchar p, uint32 t) override { Add("program", c, p, 0, t); }
  void PitchBend(uchar c, uchar l, uchar m, uint32 t) override { Add("bend", c, l, m, t); }
  void AllNotesOff(bool justChannel, uint32 t) override { Add("all", 0, justChannel, 0, t); }

  std::vector<SentMessage> Take() {
    std::lock_guard<std::mutex> g(mLock);
    std::vector<SentMessage> out;
    out.swap(mSent);
    return out;
  }

 private:
  void Add(const char* kind, int c, int a, int b, uint32 t) {
    std::lock_guard<std::mutex> g(mLock);
    mSent.push_back({kind, c, a, b, t});
  }
  std::mutex mLock;
  std::vector<SentMessage> mSent;
};

class RecordingOwner : public SonaraOwnerI {
 public:
  RecordingOwner() { mNotesShown.reserve(100000); }  // showing allocates nothing
  void ShowNote(int16_t note, int16_t velocity) override {
    {
      std::lock_guard<std::mutex> g(mLock);
      if (mNotesShown.size() < mNotesShown.capacity()) mNotesShown.push_back(note);
    }
    mNote = note;
    mVelocity = velocity;
    mChanged.notify_all();
  }
  void ShowExpression(int16_t e) override { mExpression = e; }
  void ShowBend(int16_t b) override { mBend = b; }
  void SetTranspose(float t) override {
    mTranspose = t;
    mChanged.notify_all();
  }
  void SetBendRange(float r) override { mBendRange = r; }
  void SetMidiMin(int32_t n) override {
    mMin = n;
    mChanged.notify_all();
  }
  void SetMidiMax(int32_t n) override { mMax = n; }
  void SetScopeBuffer(const int16_t* s) override { mScope = s; }
  BMidiStore* RecordingStore() override { return mRecording.load() ? &mStore : nullptr; }
  SonaraPreferences Preferences() override { return mPreferences; }
  void Alert(const char* title, const char* text, const char*) override {
    mAlerts.push_back(std::string(title) + ": " + text);
  }
  void StreamEnded() override {
    mEnded = true;
    mChanged.notify_all();
  }

  // Waits (10 s at most) until `done` holds; it is checked whenever the node shows a note,
  // a note range or the end of its stream.
  template <typename Condition>
  bool WaitUntil(Condition done) {
    std::unique_lock<std::mutex> lock(mLock);
    return mChanged.wait_for(lock, std::chrono::seconds(10), [&] { return done(*this); });
  }
  std::vector<int> NotesShown() {
    std::lock_guard<std::mutex> g(mLock);
    return mNotesShown;
  }

  std::atomic<int> mNote{-1}, mVelocity{-1}, mExpression{-1}, mBend{-1}, mMin{-1}, mMax{-1};
  std::atomic<float> mTranspose{-100}, mBendRange{-100};
  std::atomic<const int16_t*> mScope{nullptr};
  std::atomic<bool> mRecording{false};
  BMidiStore mStore;
  SonaraPreferences mPreferences;
  std::vector<std::string> mAlerts;
  std::atomic<bool> mEnded{false};

 private:
  std::mutex mLock;
  std::condition_variable mChanged;
  std::vector<int> mNotesShown;  // guarded by mLock
};
