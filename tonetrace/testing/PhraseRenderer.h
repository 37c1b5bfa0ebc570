// Test and benchmark support: writes small standard MIDI files and renders them with the
// FluidSynth command-line program and a General MIDI SoundFont, so that the analysis can
// be tried on real instrument sounds with a known score.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct PhraseNote {
  int note;         // MIDI note number
  double start;     // seconds
  double duration;  // seconds
  int velocity = 100;
};

// A format-0 standard MIDI file: 480 ticks per quarter note at 120 beats per minute
// (1 tick = 1/960 s), a program change on channel 1, then the notes.
std::vector<uint8_t> BuildMidiFile(int program, const std::vector<PhraseNote>& notes);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// The first General MIDI SoundFont installed, or "" when there is none.
std::string FindGeneralMidiSoundFont();
// True when the fluidsynth program and a SoundFont are there.
bool CanRenderPhrases();

// Renders a MIDI file without reverb and chorus; the output type follows the extension
// (".wav", or ".raw" for headerless 16-bit stereo). Returns false when fluidsynth fails.
bool RenderMidiFile(const std::string& midiPath, const std::string& outPath, int sampleRate,
                    double gain = 0.8);

// The left channel of a headerless 16-bit native-endian stereo file.
std::vector<int16_t> ReadRawStereoLeft(const std::string& path);

// A MIDI file as an independent reader (Python's mido, /usr/bin/python3) sees it: the
// channel messages in playing order, each with its time in milliseconds from mido's own
// tempo arithmetic. `ok` is false when the reader is missing or refuses the file.
struct ReadMidiEvent {
  long milliseconds;
  std::vector<int> bytes;
};
bool HaveMido();
std::vector<ReadMidiEvent> ReadMidiWithMido(const std::string& path, bool& ok,
                                            std::string* format = nullptr);

// A fresh temporary folder for a benchmark (removed by the caller with RemoveFolder);
// tests use testing/ScratchDir.h, which removes its folder also when a test fails.
std::string MakeScratchFolder();
void RemoveFolder(const std::string& path);
