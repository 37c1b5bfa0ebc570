#include "testing/PhraseRenderer.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace {

constexpr double kTicksPerSecond = 960;  // 480 per quarter at 120 beats per minute

void PutVariableLength(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t bytes[5];
  int n = 0;
  bytes[n++] = v & 0x7F;
  while ((v >>= 7) != 0) bytes[n++] = static_cast<uint8_t>((v & 0x7F) | 0x80);
  while (n > 0) out.push_back(bytes[--n]);
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace

std::vector<uint8_t> BuildMidiFile(int program, const std::vector<PhraseNote>& notes) {
  // (tick, order, bytes): note offs sort before note ons at the same tick.
  std::vector<std::tuple<uint32_t, int, std::vector<uint8_t>>> events;
  events.push_back({0, 0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}});  // 500000 us per quarter
  events.push_back({0, 1, {0xC0, static_cast<uint8_t>(program & 0x7F)}});
  for (const PhraseNote& n : notes) {
    const auto on = static_cast<uint32_t>(n.start * kTicksPerSecond + 0.5);
    const auto off = static_cast<uint32_t>((n.start + n.duration) * kTicksPerSecond + 0.5);
    const auto key = static_cast<uint8_t>(n.note & 0x7F);
    events.push_back({on, 3, {0x90, key, static_cast<uint8_t>(n.velocity & 0x7F)}});
    events.push_back({off, 2, {0x80, key, 0}});
  }
  std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) {
    return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
  });
  std::vector<uint8_t> track;
  uint32_t now = 0;
  for (const auto& [tick, order, bytes] : events) {
    PutVariableLength(track, tick - now);
    now = tick;
    track.insert(track.end(), bytes.begin(), bytes.end());
  }
  const std::vector<uint8_t> end{0x00, 0xFF, 0x2F, 0x00};
  track.insert(track.end(), end.begin(), end.end());

  std::vector<uint8_t> file{'M', 'T', 'h', 'd'};
  PutBigEndian(file, 6, 4);
  PutBigEndian(file, 0, 2);    // format 0
  PutBigEndian(file, 1, 2);    // one track
  PutBigEndian(file, 480, 2);  // ticks per quarter
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  PutBigEndian(file, static_cast<uint32_t>(track.size()), 4);
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string FindGeneralMidiSoundFont() {
  for (const char* path : {"/usr/share/sounds/sf2/TimGM6mb.sf2",
                           "/usr/share/sounds/sf2/default-GM.sf2",
                           "/usr/share/sounds/sf2/FluidR3_GM.sf2"}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return path;
  }
  return "";
}

bool CanRenderPhrases() {
  return !FindGeneralMidiSoundFont().empty() &&
         std::system("command -v fluidsynth >/dev/null 2>&1") == 0;
}

bool RenderMidiFile(const std::string& midiPath, const std::string& outPath, int sampleRate,
                    double gain) {
  const std::string font = FindGeneralMidiSoundFont();
  if (font.empty()) return false;
  const bool raw = outPath.size() > 4 && outPath.substr(outPath.size() - 4) == ".raw";
  std::string command = "fluidsynth -ni -R 0 -C 0 -g " + std::to_string(gain) +
                        " -r " + std::to_string(sampleRate) + " -F " + Quote(outPath) +
                        (raw ? " -T raw -O s16" : " -T wav -O s16") + " " + Quote(font) +
                        " " + Quote(midiPath) + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return false;
  std::error_code ec;
  return std::filesystem::file_size(outPath, ec) > 0 && !ec;
}

std::vector<int16_t> ReadRawStereoLeft(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<int16_t> left;
  int16_t frame[2];
  while (in.read(reinterpret_cast<char*>(frame), sizeof frame)) left.push_back(frame[0]);
  return left;
}

std::string MakeScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tonetrace.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return "";
  return pattern;
}

void RemoveFolder(const std::string& path) {
  std::error_code ec;
  if (!path.empty()) std::filesystem::remove_all(path, ec);
}

bool HaveMido() { return std::system("/usr/bin/python3 -c 'import mido' >/dev/null 2>&1") == 0; }

std::vector<ReadMidiEvent> ReadMidiWithMido(const std::string& path, bool& ok,
                                            std::string* format) {
  ok = false;
  const std::string script =
      "import mido, sys\n"
      "f = mido.MidiFile(sys.argv[1])\n"
      "print('format', f.type, len(f.tracks))\n"
      "t = 0.0\n"
      "for m in f:\n"
      "    t += m.time\n"
      "    if not m.is_meta:\n"
      "        print(round(t * 1000), *m.bytes())\n";
  const std::string scriptPath = path + ".read.py";
  if (!WriteBytes(scriptPath, std::vector<uint8_t>(script.begin(), script.end()))) return {};
  FILE* pipe = popen(("/usr/bin/python3 " + Quote(scriptPath) + " " + Quote(path) +
                      " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return {};
  std::vector<ReadMidiEvent> events;
  char line[256];
  bool first = true;
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    if (first) {
      if (format != nullptr) *format = line;
      first = false;
      continue;
    }
    ReadMidiEvent e{0, {}};
    char* at = line;
    e.milliseconds = std::strtol(at, &at, 10);
    for (char* next = at;; at = next) {
      const long v = std::strtol(at, &next, 10);
      if (next == at) break;
      e.bytes.push_back(static_cast<int>(v));
    }
    events.push_back(e);
  }
  ok = pclose(pipe) == 0 && !first;
  std::filesystem::remove(scriptPath);
  return events;
}
