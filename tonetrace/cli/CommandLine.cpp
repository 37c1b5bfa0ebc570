#include "cli/CommandLine.h"

#include <string>

#include "cli/ConvertCommand.h"
#include "cli/LiveCommand.h"
#include "cli/NotesCommand.h"

namespace {

const char kUsage[] =
    "usage: tonetrace COMMAND [ARGUMENTS]\n"
    "\n"
    "Audio-to-MIDI conversion of a monophonic voice.\n"
    "\n"
    "commands:\n"
    "  notes FILE [--preset N] [--format tsv|json]   list the notes of a sound file\n"
    "  convert IN OUT.mid [--preset N] ...          write a sound file's notes as MIDI\n"
    "  live [--preset N] [--midi-out PORT] ...      play the audio input as MIDI\n"
    "\n"
    "'tonetrace COMMAND --help' describes a command.\n";

}  // namespace

bool IsCommandLineRequest(int argc, const char* const* argv) {
  if (argc < 2) return false;
  const std::string first = argv[1];
  return first == "notes" || first == "convert" || first == "live" || first == "-h" ||
         first == "--help" || first == "help" || first == "--version" ||
         (!first.empty() && first[0] != '-' && first.find('=') == std::string::npos);
}

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  if (argc < 2) {
    err << kUsage;
    return kExitUsage;
  }
  const std::string command = argv[1];
  if (command == "-h" || command == "--help" || command == "help") {
    out << kUsage;
    return kExitOk;
  }
  if (command == "--version") {
    out << "tonetrace 0.1\n";
    return kExitOk;
  }
  if (command == "notes") return RunNotesCommand(argc - 2, argv + 2, out, err);
  if (command == "convert") return RunConvertCommand(argc - 2, argv + 2, out, err);
  if (command == "live") return RunLiveCommand(argc - 2, argv + 2, out, err);
  err << "tonetrace: unknown command '" << command << "'\n" << kUsage;
  return kExitUsage;
}
