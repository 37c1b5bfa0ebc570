// tonetrace: real-time audio-to-MIDI conversion. Commands that need neither a window nor an
// audio device run from the command line.
#include <iostream>

#include "cli/CommandLine.h"

int main(int argc, char** argv) {
  // Without the converter window in this build, everything is a command line.
  return RunCommandLine(argc, argv, std::cout, std::cerr);
}
