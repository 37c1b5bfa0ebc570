// `tonetrace notes FILE [--preset N] [--format tsv|json] [--engine-only]`: the notes of a
// sound file, cleaned (NoteCleaner.h) unless the engine's own decisions are asked for.
#pragma once

#include <ostream>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/NoteTranscriber.h"

enum class NotesFormat { kTsv, kJson };

struct NotesRequest {
  std::string path;
  int preset = 1;
  NotesFormat format = NotesFormat::kTsv;
  bool engineOnly = false;  // the engine's decisions without the cleaning stage
};

// Exit codes of the command line.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the file could not be analysed
constexpr int kExitUsage = 2;    // the command line was wrong

// Parses the arguments after "notes". Returns kExitOk with `request` filled, kExitUsage with
// a message in `error`, or kExitOk with `wantsHelp` set.
int ParseNotesArguments(int argc, const char* const* argv, NotesRequest& request,
                        bool& wantsHelp, std::string& error);

// Reads the file's first channel and runs the engine with the preset's settings at the
// file's own sample rate. Returns false with a message in `error` when it cannot. With
// `keep`, the samples analysed are appended to it.
bool TranscribeFile(const NotesRequest& request, NoteTranscriber& transcriber,
                    double& sampleRate, std::string& error,
                    std::vector<int16_t>* keep = nullptr);

// The notes the command lists: the engine's, or with the cleaning stage unless the
// request is engine-only.
std::vector<TranscribedNote> ListNotes(const NotesRequest& request, double& sampleRate,
                                       std::string& error, bool& ok);

// The whole command: parse, analyse, print. Notes go to `out`, messages to `err`.
int RunNotesCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

extern const char kNotesUsage[];
