// SonaraOwnerI: what the pitch-tracking node needs of the program that owns it (the
// converter window, the convert and live commands, a test): somewhere to show its values,
// the MIDI store while recording, the preferences, and alerts.
//
// Threads: the node calls the Show and Set methods, RecordingStore(), Started() and
// StreamEnded() on its event-loop thread, a real-time thread: an implementation stores the values (atomics that drawing
// threads read without locks) or posts a message, and never blocks or allocates there.
// Preferences() and Alert() are called while the node is built, on the thread that
// builds it.
//
// Lifetime: the owner outlives the node (the node forgets it first: SetOwner(nullptr)).
// The store RecordingStore() returns stays valid until recording stops and the node has
// been told so (the owner swaps the store only while the node is stopped, or keeps the
// old one alive).
#pragma once

#include <cstdint>
#include <string>

class BMidiStore;

// The preferences the node reads (the converter's "Tonetrace" settings).
struct SonaraPreferences {
  int32_t internalSynth = 1;     // "InternalSynth": 1 plays on the General MIDI synth
  int32_t midiPort = 0;          // "MidiPort": 1 also sends to the port below
  std::string midiPortName;      // "MidiPortName": a system MIDI port
  int8_t midiChannel = 1;        // "MidiChannel": 1..16
  std::string soundFont;         // a SoundFont file; "" for the first installed
};

class SonaraOwnerI {
 public:
  virtual ~SonaraOwnerI() = default;

  // Display values.
  virtual void ShowNote(int16_t note, int16_t velocity) = 0;  // note 0 after a note off
  virtual void ShowExpression(int16_t expression) = 0;        // 0..127
  virtual void ShowBend(int16_t bend) = 0;                    // 0..16383, 8192 centre
  virtual void SetTranspose(float semitones) = 0;
  virtual void SetBendRange(float semitones) = 0;
  virtual void SetMidiMin(int32_t note) = 0;
  virtual void SetMidiMax(int32_t note) = 0;
  // The node's copy of the first 128 samples of each buffer, or null when it goes away.
  virtual void SetScopeBuffer(const int16_t* samples) = 0;

  // The store that records the node's MIDI now, or null when not recording.
  virtual BMidiStore* RecordingStore() = 0;

  // The node has started (its clock runs from now) / the producer has no more data (the
  // end of a file), on the node's thread.
  virtual void Started() {}
  virtual void StreamEnded() {}

  virtual SonaraPreferences Preferences() = 0;
  virtual void Alert(const char* title, const char* text, const char* button) = 0;
};
