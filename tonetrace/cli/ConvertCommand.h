// `tonetrace convert IN OUT.mid [--preset N] [--program P] [--transpose T] [--channel C]
// [--engine-only]`: a sound-file reader node feeds the pitch-tracking node through the
// media roster, as fast as they go (offline run mode); the node's MIDI is recorded into
// a MIDI store and written as a standard MIDI file: the set-up events first (program,
// bend range, expression 127), then the notes with their bends and expression. Unless
// --engine-only, the notes pass the cleaning stage (NoteCleaner.h) on the way.
#pragma once

#include <ostream>
#include <string>

struct ConvertRequest {
  std::string input;
  std::string output;
  int preset = 1;
  int program = 0;        // General MIDI, 0-based
  float transpose = 0;    // semitones
  int channel = 1;        // 1..16
  bool engineOnly = false;
};

struct ConvertResult {
  int notes = 0;           // in the file
  double seconds = 0;      // of audio
  double wallSeconds = 0;  // the conversion took
};

// Parses the arguments after "convert"; kExitOk, kExitUsage with a message, or wantsHelp.
int ParseConvertArguments(int argc, const char* const* argv, ConvertRequest& request,
                          bool& wantsHelp, std::string& error);

// Converts; false with a message when it cannot (nothing is written then).
bool ConvertFile(const ConvertRequest& request, ConvertResult& result, std::string& error);

int RunConvertCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

extern const char kConvertUsage[];
