// The note-cleaning stage: turns the engine's note decisions over a whole recording into
// the notes that were played.
//
// The engine decides at once, every 16 samples, so vibrato, attacks and noise re-trigger
// notes, and a period search that locks onto a multiple of the true period (after a
// dropout, say) holds a wrong note for as long as the tone lasts. This stage works on the
// finished decisions and the samples they came from:
//   1. the pitch that sounds every `hopSamples` (note plus bend, as a synthesizer plays
//      it) is checked against the signal: where the signal repeats as well at a half or a
//      third of the period (or does not repeat at the period but at twice or three
//      times it), the pitch is moved by the octave or twelfth the signal shows;
//   2. the pitch track is cut into notes: a gap shorter than `maxGapSeconds` bridges a
//      re-trigger of the same note; a note splits where the pitch settles for
//      `settleSeconds` more than `splitSemitones` away from it; each note takes the
//      median of its pitches; notes shorter than `minNoteSeconds` are dropped;
//   3. each onset moves back to the rise of the signal's level that started it (at most
//      `lookBackSeconds`): the engine needs a few periods of a steady sound to decide,
//      the player started the note before.
// Bends of a cleaned note are relative to its own note number (a pitch further off than a
// split, which did not last, leaves the bend where it was); expression changes are the
// engine's.
//
// Threads: plain functions over values; any thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "cli/NoteTranscriber.h"

struct CleanerSettings {
  int32_t hopSamples = 128;       // one pitch value per hop
  double maxGapSeconds = 0.030;   // shorter silences inside a note are bridged
  double settleSeconds = 0.030;   // a new pitch must hold this long to split a note
  double splitSemitones = 0.6;    // distance from the note's pitch that counts as new
  double minNoteSeconds = 0.060;  // shorter notes are dropped
  double lookBackSeconds = 0.160; // furthest an onset moves back
  double minRiseDb = 2.0;         // level rise over 10 ms that marks an attack
  double harmonicMargin = 0.1;    // periodicity allowed worse than the best candidate
};

// `engineNotes` as NoteTranscriber lists them (bends in 0..16383 for `bendRange`
// semitones), `samples` the mono signal they were decided on at `sampleRate`.
std::vector<TranscribedNote> CleanNotes(const std::vector<TranscribedNote>& engineNotes,
                                        int bendRange, std::span<const int16_t> samples,
                                        double sampleRate,
                                        const CleanerSettings& settings = CleanerSettings());
