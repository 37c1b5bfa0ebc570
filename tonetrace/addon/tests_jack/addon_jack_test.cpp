// Over JACK, as a user would run it: another program plays an A into `mediahost run` of
// tonetrace.so, and the node's MIDI goes out to the JACK MIDI port its preferences name
// ("MidiPort" 1, "MidiPortName"), where note on 69 arrives.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Message.h"
#include "testing/JackAvailable.h"
#include "testing/JackToneClient.h"
#include "testing/ScratchDir.h"

extern char** environ;

namespace {

// Another program's MIDI input: counts note on 69 of channel 1.
class JackListener {
 public:
  explicit JackListener(const char* name) {
    mClient = jack_client_open(name, JackNoStartServer, nullptr);
    if (mClient == nullptr) return;
    mName = jack_get_client_name(mClient);
    mIn = jack_port_register(mClient, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(mClient, Process, this);
    if (mIn == nullptr || jack_activate(mClient) != 0) {
      jack_client_close(mClient);
      mClient = nullptr;
    }
  }
  ~JackListener() {
    if (mClient != nullptr) jack_client_close(mClient);
  }
  bool IsOpen() const { return mClient != nullptr; }
  std::string PortName() const { return mName + ":in"; }
  int NotesOf69() const { return mA.load(); }

 private:
  static int Process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<JackListener*>(arg);
    void* buffer = jack_port_get_buffer(self->mIn, frames);
    const uint32_t count = jack_midi_get_event_count(buffer);
    for (uint32_t i = 0; i < count; ++i) {
      jack_midi_event_t e;
      if (jack_midi_event_get(&e, buffer, i) == 0 && e.size == 3 && e.buffer[0] == 0x90 &&
          e.buffer[1] == 69 && e.buffer[2] > 0)
        self->mA.fetch_add(1);
    }
    return 0;
  }
  jack_client_t* mClient = nullptr;
  jack_port_t* mIn = nullptr;
  std::string mName;
  std::atomic<int> mA{0};
};

void WritePreferences(const std::string& settings, const std::string& port) {
  BMessage preferences('pref');
  preferences.AddInt32("InternalSynth", 0);
  preferences.AddInt32("MidiPort", 1);
  preferences.AddString("MidiPortName", port.c_str());
  std::vector<char> bytes(static_cast<size_t>(preferences.FlattenedSize()));
  ASSERT_EQ(preferences.Flatten(bytes.data(), static_cast<ssize_t>(bytes.size())), B_OK);
  std::filesystem::create_directories(settings);
  std::ofstream(settings + "/Tonetrace", std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(TonetraceAddOnOverJack, ASineIntoTheMediaHostGivesNoteOn69OnTheNamedPort) {
  SKIP_WITHOUT_JACK();
  ScratchDir home("tonetrace-addon-jack");
  ASSERT_TRUE(home.Valid());
  JackListener listener("tonetrace-listener");
  ASSERT_TRUE(listener.IsOpen());
  // Another program playing a sine at -10 dBFS.
  JackToneClient sine("tonetrace-sine", {{440.0, 0.316f}});
  ASSERT_TRUE(sine.Valid());
  WritePreferences(home.UseAsHome(), listener.PortName());
  setenv("SUITE_MIDI_API", "jack", 1);

  const std::string in = sine.Port("out_1");
  const char* argv[] = {MEDIAHOST_PATH, "run", TONETRACE_ADDON, "--flavor", "Tonetrace",
                        "--in", in.c_str(), "--name", "tonetrace-host", nullptr};
  pid_t host = -1;
  ASSERT_EQ(posix_spawn(&host, MEDIAHOST_PATH, nullptr, nullptr, const_cast<char**>(argv),
                        environ), 0);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  int status = 0;
  bool exited = false;
  while (listener.NotesOf69() == 0 && std::chrono::steady_clock::now() < until) {
    if (waitpid(host, &status, WNOHANG) == host) {
      exited = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_FALSE(exited) << "mediahost ended early, status " << status;
  EXPECT_GE(listener.NotesOf69(), 1) << "no note on 69 arrived at " << listener.PortName();
  if (!exited) {
    kill(host, SIGINT);
    ASSERT_EQ(waitpid(host, &status, 0), host);
    EXPECT_TRUE(WIFEXITED(status)) << "mediahost did not end by itself on Ctrl-C";
  }
}

}  // namespace
