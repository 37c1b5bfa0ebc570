// Note lists as text: tab-separated lines as aubionotes prints them, or JSON with details.
#pragma once

#include <ostream>
#include <vector>

#include "cli/NoteTranscriber.h"

// One line per note: MIDI note, onset and offset in seconds, tab-separated.
void WriteNotesTsv(std::ostream& out, const std::vector<TranscribedNote>& notes);
// One object: sample rate, preset and the notes with velocity, bend and expression changes.
void WriteNotesJson(std::ostream& out, const std::vector<TranscribedNote>& notes,
                    double sampleRate, int preset);
