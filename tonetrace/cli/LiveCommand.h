// `tonetrace live [--preset N] [--program P] [--channel C] [--midi-out PORT] [--no-synth]
// [--print-notes] [--seconds S]`: the default audio input through the pitch-tracking node
// to the General MIDI synthesizer and/or a system MIDI port, until interrupted (Ctrl-C)
// or for S seconds. The notes are printed as they come when standard output is a
// terminal (or with --print-notes).
#pragma once

#include <ostream>
#include <string>

struct LiveRequest {
  int preset = 1;
  int program = 0;
  int channel = 1;
  std::string midiOut;    // "" for none
  bool synth = true;
  bool printNotes = false;
  double seconds = 0;     // 0: until interrupted
};

int ParseLiveArguments(int argc, const char* const* argv, LiveRequest& request,
                       bool& wantsHelp, std::string& error);
int RunLiveCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

extern const char kLiveUsage[];
