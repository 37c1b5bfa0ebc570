#include "cli/NotesOutput.h"

#include <cstdio>

namespace {

// printf-style "%f": the same digits aubionotes prints, independent of the stream's locale.
void Fixed(std::ostream& out, double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%f", v);
  out << text;
}

void WriteChanges(std::ostream& out, const std::vector<TimedValue>& changes) {
  out << '[';
  for (size_t i = 0; i < changes.size(); ++i) {
    if (i > 0) out << ", ";
    out << '[';
    Fixed(out, changes[i].time);
    out << ", " << changes[i].value << ']';
  }
  out << ']';
}

}  // namespace

void WriteNotesTsv(std::ostream& out, const std::vector<TranscribedNote>& notes) {
  for (const TranscribedNote& n : notes) {
    out << n.note << '\t';
    Fixed(out, n.onset);
    out << '\t';
    Fixed(out, n.offset);
    out << '\n';
  }
}

void WriteNotesJson(std::ostream& out, const std::vector<TranscribedNote>& notes,
                    double sampleRate, int preset) {
  out << "{\n  \"sampleRate\": ";
  Fixed(out, sampleRate);
  out << ",\n  \"preset\": " << preset << ",\n  \"notes\": [";
  for (size_t i = 0; i < notes.size(); ++i) {
    const TranscribedNote& n = notes[i];
    out << (i > 0 ? ",\n" : "\n") << "    {\"note\": " << n.note << ", \"onset\": ";
    Fixed(out, n.onset);
    out << ", \"offset\": ";
    Fixed(out, n.offset);
    out << ", \"velocity\": " << n.velocity << ",\n     \"bend\": ";
    WriteChanges(out, n.bends);
    out << ",\n     \"expression\": ";
    WriteChanges(out, n.expressions);
    out << '}';
  }
  out << (notes.empty() ? "]\n}\n" : "\n  ]\n}\n");
}
