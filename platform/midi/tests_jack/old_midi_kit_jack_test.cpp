// The old MIDI kit over a real JACK server: a port sends to another client's JACK MIDI
// input, and the synthesizer plays through FluidSynth's JACK driver. ./test starts the
// server; without one this test skips, or fails where a server was promised.
#include "midi/MidiPort.h"
#include "midi/MidiSynth.h"
#include "midi/Synth.h"
#include "testing/JackAvailable.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

const bool kUseJack = setenv("SUITE_MIDI_API", "jack", 1) == 0
	&& setenv("JACK_NO_START_SERVER", "1", 1) == 0;

// Another program's MIDI input: keeps the first bytes of every event it gets.
class JackMidiInput {
public:
	explicit JackMidiInput(const char* name)
	{
		fClient = jack_client_open(name, JackNoStartServer, nullptr);
		if (fClient == nullptr)
			return;
		fName = jack_get_client_name(fClient);
		fIn = jack_port_register(fClient, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
		jack_set_process_callback(fClient, Process, this);
		if (fIn == nullptr || jack_activate(fClient) != 0) {
			jack_client_close(fClient);
			fClient = nullptr;
		}
	}
	~JackMidiInput()
	{
		if (fClient != nullptr)
			jack_client_close(fClient);
	}
	bool IsOpen() const { return fClient != nullptr; }
	std::string PortName() const { return fName + ":in"; }

	// The events so far, each as up to three bytes.
	std::vector<std::vector<uint8_t>> Events() const
	{
		std::vector<std::vector<uint8_t>> events;
		const int count = std::min(fCount.load(), kCapacity);
		for (int i = 0; i < count; ++i)
			events.emplace_back(fBytes[i], fBytes[i] + fLength[i]);
		return events;
	}

	bool WaitFor(size_t count) const
	{
		for (int i = 0; i < 500 && static_cast<size_t>(fCount.load()) < count; ++i)
			std::this_thread::sleep_for(std::chrono::milliseconds(10));
		return static_cast<size_t>(fCount.load()) >= count;
	}

private:
	static constexpr int kCapacity = 256;

	static int Process(jack_nframes_t frames, void* arg)
	{
		auto* self = static_cast<JackMidiInput*>(arg);
		void* buffer = jack_port_get_buffer(self->fIn, frames);
		const uint32_t count = jack_midi_get_event_count(buffer);
		for (uint32_t i = 0; i < count; ++i) {
			jack_midi_event_t event;
			const int slot = self->fCount.load();
			if (slot >= kCapacity || jack_midi_event_get(&event, buffer, i) != 0)
				continue;
			self->fLength[slot] = static_cast<uint8_t>(std::min<size_t>(event.size, 3));
			for (size_t b = 0; b < self->fLength[slot]; ++b)
				self->fBytes[slot][b] = event.buffer[b];
			self->fCount.store(slot + 1);
		}
		return 0;
	}

	jack_client_t* fClient = nullptr;
	jack_port_t* fIn = nullptr;
	std::string fName;
	uint8_t fBytes[kCapacity][3] = {};
	uint8_t fLength[kCapacity] = {};
	std::atomic<int> fCount{0};
};

TEST(OldMidiKitOverJack, APortSendsToAnotherProgramsMidiInput)
{
	ASSERT_TRUE(kUseJack);
	SKIP_WITHOUT_JACK();
	JackMidiInput input("old-kit-listener");
	ASSERT_TRUE(input.IsOpen());
	BMidiPort port(input.PortName().c_str());
	ASSERT_EQ(port.InitCheck(), B_OK) << port.LastError();
	port.NoteOn(1, 69, 100);
	port.PitchBend(1, 0x00, 0x40);
	port.NoteOff(1, 69, 0);
	ASSERT_EQ(port.Flush(5000000), B_OK);
	ASSERT_TRUE(input.WaitFor(3));
	const auto events = input.Events();
	EXPECT_EQ(events[0], (std::vector<uint8_t>{0x90, 69, 100}));
	EXPECT_EQ(events[1], (std::vector<uint8_t>{0xE0, 0x00, 0x40}));
	EXPECT_EQ(events[2], (std::vector<uint8_t>{0x80, 69, 0}));
}

TEST(OldMidiKitOverJack, TheSynthPlaysThroughJack)
{
	ASSERT_TRUE(kUseJack);
	SKIP_WITHOUT_JACK();
	BSynth synth;
	ASSERT_EQ(synth.InitCheck(), B_OK);
	ASSERT_EQ(synth.StartAudio("jack", "old-kit-synth"), B_OK) << synth.LastError();
	EXPECT_TRUE(synth.IsPlaying());
	float l[16], r[16];
	EXPECT_EQ(synth.Render(l, r, 16), B_NOT_ALLOWED);

	jack_client_t* observer = jack_client_open("old-kit-observer", JackNoStartServer, nullptr);
	ASSERT_NE(observer, nullptr);
	const char** ports = jack_get_ports(observer, "old-kit-synth", JACK_DEFAULT_AUDIO_TYPE,
		JackPortIsOutput);
	int count = 0;
	for (const char** p = ports; p != nullptr && *p != nullptr; ++p)
		++count;
	jack_free(ports);
	EXPECT_EQ(count, 2) << "the synth's left and right outputs";

	BMidiSynth midi(&synth);
	ASSERT_EQ(midi.EnableInput(true, true), B_OK);
	midi.NoteOn(1, 60, 100);
	midi.AllNotesOff(false);
	synth.StopAudio();
	EXPECT_FALSE(synth.IsPlaying());
	ports = jack_get_ports(observer, "old-kit-synth", nullptr, 0);
	EXPECT_TRUE(ports == nullptr || *ports == nullptr) << "the synth's ports are gone";
	jack_free(ports);
	jack_client_close(observer);
}

}  // namespace
