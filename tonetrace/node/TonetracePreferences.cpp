#include "node/TonetracePreferences.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "app/Message.h"
#include "storage/AtomicFileWriter.h"
#include "storage/FindDirectory.h"

namespace {

std::string PreferencesPath() {
  BPath dir;
  if (find_directory(B_USER_SETTINGS_DIRECTORY, &dir) != B_OK) return "";
  return std::string(dir.Path()) + "/" + kTonetracePreferencesFile;
}

// The message in the file; false when there is none or it cannot be read.
bool ReadMessage(const std::string& path, BMessage& message, std::string* problem) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  if (message.Unflatten(bytes.data(), static_cast<ssize_t>(bytes.size())) != B_OK) {
    if (problem != nullptr) *problem = path + ": not a preferences file; the defaults apply";
    message.MakeEmpty();
    return false;
  }
  return true;
}

}  // namespace

SonaraPreferences ReadTonetracePreferences(std::string* problem) {
  SonaraPreferences p;
  BMessage message(kTonetracePreferencesWhat);
  if (!ReadMessage(PreferencesPath(), message, problem)) return p;
  int32 value = 0;
  int8 channel = 0;
  const char* text = nullptr;
  if (message.FindInt32("InternalSynth", &value) == B_OK) p.internalSynth = value;
  if (message.FindInt32("MidiPort", &value) == B_OK) p.midiPort = value;
  if (message.FindString("MidiPortName", &text) == B_OK) p.midiPortName = text;
  if (message.FindInt8("MidiChannel", &channel) == B_OK && channel >= 1 && channel <= 16)
    p.midiChannel = channel;
  if (message.FindString("SynthFile", &text) == B_OK) p.soundFont = text;
  return p;
}

bool WriteTonetracePreferences(const SonaraPreferences& p, std::string* problem) {
  const std::string path = PreferencesPath();
  BMessage message(kTonetracePreferencesWhat);
  ReadMessage(path, message, nullptr);
  auto setInt32 = [&](const char* name, int32 v) {
    if (message.ReplaceInt32(name, v) != B_OK) {
      message.RemoveName(name);
      message.AddInt32(name, v);
    }
  };
  auto setString = [&](const char* name, const std::string& v) {
    if (message.ReplaceString(name, v.c_str()) != B_OK) {
      message.RemoveName(name);
      message.AddString(name, v.c_str());
    }
  };
  setInt32("InternalSynth", p.internalSynth);
  setInt32("MidiPort", p.midiPort);
  setString("MidiPortName", p.midiPortName);
  if (message.ReplaceInt8("MidiChannel", p.midiChannel) != B_OK) {
    message.RemoveName("MidiChannel");
    message.AddInt8("MidiChannel", p.midiChannel);
  }
  setString("SynthFile", p.soundFont);
  std::vector<char> bytes(static_cast<size_t>(message.FlattenedSize()));
  BPath dir;
  if (path.empty() || find_directory(B_USER_SETTINGS_DIRECTORY, &dir, true) != B_OK ||
      message.Flatten(bytes.data(), static_cast<ssize_t>(bytes.size())) != B_OK) {
    if (problem != nullptr) *problem = "no settings directory for " + path;
    return false;
  }
  AtomicFileWriter file(path.c_str(), nullptr);
  const bool ok = file.InitCheck() == B_OK &&
                  file.WriteAt(0, bytes.data(), bytes.size()) ==
                      static_cast<ssize_t>(bytes.size()) &&
                  file.Commit() == B_OK;
  if (!ok && problem != nullptr) *problem = path + ": could not be written";
  return ok;
}
