// tonetrace: real-time audio-to-MIDI conversion. Commands that need neither a window nor an
// audio device run from the command line.
#include <iostream>

#include "cli/CommandLine.h"

int main(int argc, char** argv) {
  if (IsCommandLineRequest(argc, argv)) return RunCommandLine(argc, argv, std::cout, std::cerr);
  std::cerr << "tonetrace: the converter window is not part of this build; "
               "see 'tonetrace --help' for the commands\n";
  return 1;
}
