// The old MIDI kit: the store and its standard MIDI files (read back by Python's mido),
// the synthesizer rendering into memory, and the port sending to an endpoint.
#include "CollectingConsumer.h"

#include "midi/MidiPort.h"
#include "midi/MidiStore.h"
#include "midi/MidiSynth.h"
#include "midi/Synth.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const bool kNoSystemPorts = setenv("SUITE_MIDI_API", "none", 1) == 0;

// Runs a command; its standard output, or "" when it failed.
std::string Run(const std::string& command, int* exitCode = nullptr)
{
	std::string out;
	FILE* pipe = popen(command.c_str(), "r");
	if (pipe == nullptr)
		return out;
	char buffer[4096];
	size_t got;
	while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
		out.append(buffer, got);
	const int status = pclose(pipe);
	if (exitCode != nullptr)
		*exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
	return out;
}

bool HaveMido()
{
	int code = -1;
	Run("/usr/bin/python3 -c 'import mido' 2>/dev/null", &code);
	return code == 0;
}

// mido's reading of a file: "type <format> tracks <n>", then one line per channel message,
// "<milliseconds> <hex bytes>", times from mido's own tempo arithmetic.
std::string ReadWithMido(const std::string& path)
{
	const std::string script =
		"import mido, sys\n"
		"f = mido.MidiFile(sys.argv[1])\n"
		"print('type', f.type, 'tracks', len(f.tracks))\n"
		"t = 0.0\n"
		"for m in f:\n"
		"    t += m.time\n"
		"    if not m.is_meta:\n"
		"        print(round(t * 1000), m.hex())\n";
	const std::string scriptPath = path + ".py";
	std::ofstream(scriptPath) << script;
	return Run("/usr/bin/python3 " + scriptPath + " " + path + " 2>&1");
}

void RecordPhrase(BMidi& midi)
{
	midi.ProgramChange(1, 73, 0);
	midi.ControlChange(1, 101, 0, 0);
	midi.ControlChange(1, 100, 0, 0);
	midi.ControlChange(1, 6, 6, 0);
	midi.ControlChange(1, 38, 0, 0);
	midi.ControlChange(1, 11, 127, 0);
	midi.NoteOn(3, 69, 100, 250);
	midi.PitchBend(3, 0x00, 0x48, 400);  // 0x2400
	midi.ControlChange(3, 11, 90, 400);
	midi.NoteOff(3, 69, 0, 1000);
	midi.NoteOn(3, 72, 127, 1000);
	midi.NoteOff(3, 72, 0, 123456);
}

const char kPhraseByMido[] =
	"0 C0 49\n"
	"0 B0 65 00\n"
	"0 B0 64 00\n"
	"0 B0 06 06\n"
	"0 B0 26 00\n"
	"0 B0 0B 7F\n"
	"250 92 45 64\n"
	"400 E2 00 48\n"
	"400 B2 0B 5A\n"
	"1000 82 45 00\n"
	"1000 92 48 7F\n"
	"123456 82 48 00\n";

TEST(MidiStore, ExportsStandardMidiFilesThatAnotherReaderReadsBack)
{
	if (!HaveMido())
		GTEST_SKIP() << "/usr/bin/python3 with mido is missing (scripts/setup installs it)";
	ScratchDir dir("old-midi-kit");
	ASSERT_TRUE(dir.Valid());
	BMidiStore store;
	RecordPhrase(store);
	ASSERT_EQ(store.CountEvents(), 12);
	for (int format : {0, 1}) {
		const std::string path = dir.File("phrase" + std::to_string(format) + ".mid");
		ASSERT_EQ(store.Export(path.c_str(), format), B_OK);
		EXPECT_EQ(ReadWithMido(path), "type " + std::to_string(format) + " tracks "
			+ std::to_string(format + 1) + "\n" + kPhraseByMido);
	}

	// Events given out of order come out in time order, equal times as they came.
	BMidiStore late;
	late.NoteOn(1, 60, 100, 500);
	late.ControlChange(1, 11, 64, 20);
	late.ControlChange(1, 11, 65, 20);
	const std::string path = dir.File("sorted.mid");
	ASSERT_EQ(late.Export(path.c_str(), 0), B_OK);
	EXPECT_EQ(ReadWithMido(path), "type 0 tracks 1\n20 B0 0B 40\n20 B0 0B 41\n500 90 3C 64\n");

	// Times beyond what one delta holds (some 74 hours) still arrive at their time.
	BMidiStore longWait;
	longWait.NoteOn(1, 60, 100, 0);
	longWait.NoteOff(1, 60, 0, 0x10000000u + 5);
	const std::string far = dir.File("far.mid");
	ASSERT_EQ(longWait.Export(far.c_str(), 1), B_OK);
	EXPECT_EQ(ReadWithMido(far), "type 1 tracks 2\n0 90 3C 64\n268435461 80 3C 00\n");
}

TEST(MidiStore, WritesTheBytesOfTheFormatByHand)
{
	BMidiStore store;
	store.ProgramChange(2, 5, 0);
	store.NoteOn(2, 60, 64, 200);
	const std::vector<uint8> expected = {
		'M', 'T', 'h', 'd', 0, 0, 0, 6,
		0, 0,        // format 0
		0, 1,        // one track
		0x01, 0xF4,  // 500 ticks per quarter note
		'M', 'T', 'r', 'k', 0, 0, 0, 19,
		0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo: 500 000 us per quarter
		0x00, 0xC1, 0x05,                          // program 5, channel 2
		0x81, 0x48, 0x91, 0x3C, 0x40,              // 200 ms later: note on
		0x00, 0xFF, 0x2F, 0x00,                    // end of track
	};
	EXPECT_EQ(store.StandardMidiFile(0), expected);
	EXPECT_TRUE(store.StandardMidiFile(2).empty());
}

TEST(MidiStore, RefusesBadMessagesAndKeepsItsCapacityWithoutGrowing)
{
	BMidiStore store(4);
	store.NoteOn(0, 60, 100);    // channel 0 does not exist
	store.NoteOn(17, 60, 100);
	store.NoteOn(1, 128, 100);   // not a data byte
	store.ControlChange(1, 7, 200);
	EXPECT_EQ(store.CountEvents(), 0);
	for (int i = 0; i < 6; ++i)
		store.ControlChange(1, 11, static_cast<uchar>(i), static_cast<uint32>(i));
	EXPECT_EQ(store.CountEvents(), 4);
	EXPECT_EQ(store.Dropped(), 2);
	store.Clear();
	EXPECT_EQ(store.CountEvents(), 0);

	// All notes off: controller 123 on every channel, and a Note Off for what still sounds.
	BMidiStore notes;
	notes.NoteOn(1, 60, 100, 0);
	notes.NoteOn(5, 61, 100, 0);
	notes.NoteOff(1, 60, 0, 1);
	notes.AllNotesOff(false, 2);
	const std::vector<BMidiStore::Event> events = notes.Events();
	ASSERT_EQ(events.size(), 3u + 1 + 16);
	EXPECT_EQ(events[3].bytes[0], 0x84);
	EXPECT_EQ(events[3].bytes[1], 61);
	for (int c = 0; c < 16; ++c) {
		EXPECT_EQ(events[4 + static_cast<size_t>(c)].bytes[0], 0xB0 + c);
		EXPECT_EQ(events[4 + static_cast<size_t>(c)].bytes[1], 123);
	}
}

TEST(MidiStore, AFailedExportLeavesWhatWasThere)
{
	ScratchDir dir("old-midi-kit");
	ASSERT_TRUE(dir.Valid());
	BMidiStore store;
	RecordPhrase(store);
	const std::string path = dir.File("old.mid");
	std::ofstream(path) << "the old file";
	EXPECT_EQ(store.Export(dir.File("missing/x.mid").c_str(), 0), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(store.Export(nullptr, 0), B_BAD_VALUE);
	EXPECT_EQ(store.Export(path.c_str(), 3), B_BAD_VALUE);
	if (geteuid() != 0) {
		chmod(dir.Path().c_str(), 0500);
		EXPECT_NE(store.Export(path.c_str(), 0), B_OK);
		chmod(dir.Path().c_str(), 0700);
	}
	std::ifstream in(path);
	std::stringstream text;
	text << in.rdbuf();
	EXPECT_EQ(text.str(), "the old file");
	EXPECT_EQ(std::filesystem::directory_iterator(dir.Path())->path(), path)
		<< "no temporary file stays behind";
}

// The period of the loudest repetition in `x` between the two lags, in samples.
int BestLag(const std::vector<float>& x, int shortest, int longest)
{
	int best = shortest;
	double bestScore = -1e30;
	for (int lag = shortest; lag <= longest; ++lag) {
		double s = 0;
		for (size_t i = 0; i + static_cast<size_t>(lag) < x.size(); ++i)
			s += x[i] * x[i + static_cast<size_t>(lag)];
		if (s > bestScore) {
			bestScore = s;
			best = lag;
		}
	}
	return best;
}

double Peak(const std::vector<float>& x)
{
	double peak = 0;
	for (float v : x)
		peak = std::max(peak, static_cast<double>(std::fabs(v)));
	return peak;
}

std::vector<float> RenderSeconds(BSynth& synth, double seconds)
{
	const auto frames = static_cast<int32>(seconds * synth.SamplingRate());
	std::vector<float> left(static_cast<size_t>(frames)), right(left.size());
	EXPECT_EQ(synth.Render(left.data(), right.data(), frames), B_OK);
	return left;
}

TEST(MidiSynth, PlaysNotesBendsAndProgramsIntoMemory)
{
	const std::string font = BSynth::DefaultSoundFont();
	if (font.empty())
		GTEST_SKIP() << "no General MIDI SoundFont installed";
	BSynth synth(44100);
	ASSERT_EQ(synth.InitCheck(), B_OK);
	ASSERT_EQ(synth.LoadSynthData(font.c_str()), B_OK) << synth.LastError();
	EXPECT_TRUE(synth.IsLoaded());
	BMidiSynth midi(&synth);

	// Input off: nothing sounds.
	midi.NoteOn(1, 69, 100);
	EXPECT_LT(Peak(RenderSeconds(synth, 0.3)), 1e-4);

	ASSERT_EQ(midi.EnableInput(true, true), B_OK);
	midi.ProgramChange(1, 73);  // flute: close to a sine
	midi.NoteOn(1, 69, 110);
	std::vector<float> a = RenderSeconds(synth, 0.5);
	EXPECT_GT(Peak(a), 0.01);
	a.erase(a.begin(), a.begin() + 8820);  // past the attack
	EXPECT_NEAR(44100.0 / BestLag(a, 60, 160), 440, 6);

	// Two semitones up: the General MIDI bend range at full bend.
	midi.PitchBend(1, 0x7F, 0x7F);
	std::vector<float> b = RenderSeconds(synth, 0.3);
	b.erase(b.begin(), b.begin() + 4410);
	EXPECT_NEAR(44100.0 / BestLag(b, 60, 160), 493.9, 7);

	// All notes off: the sound dies away.
	midi.AllNotesOff(false);
	RenderSeconds(synth, 0.5);
	EXPECT_LT(Peak(RenderSeconds(synth, 0.2)), 1e-3);

	// Messages outside the channels and data bytes are ignored, without a fault.
	midi.NoteOn(0, 60, 100);
	midi.NoteOn(17, 60, 100);
	midi.NoteOn(1, 200, 100);
	EXPECT_LT(Peak(RenderSeconds(synth, 0.2)), 1e-3);
}

TEST(MidiSynth, ClearErrorsForSoundFontsThatAreMissingOrBroken)
{
	ScratchDir dir("old-midi-kit");
	ASSERT_TRUE(dir.Valid());
	BSynth synth;
	ASSERT_EQ(synth.InitCheck(), B_OK);
	const std::string missing = dir.File("none.sf2");
	EXPECT_EQ(synth.LoadSynthData(missing.c_str()), B_ENTRY_NOT_FOUND);
	EXPECT_NE(synth.LastError().find("none.sf2"), std::string::npos) << synth.LastError();
	const std::string broken = dir.File("broken.sf2");
	std::ofstream(broken) << "RIFF....sfbk but nothing more";
	EXPECT_EQ(synth.LoadSynthData(broken.c_str()), B_BAD_VALUE);
	EXPECT_NE(synth.LastError().find("not a SoundFont"), std::string::npos) << synth.LastError();
	EXPECT_EQ(synth.LoadSynthData(dir.Path().c_str()), B_ENTRY_NOT_FOUND);
	EXPECT_FALSE(synth.IsLoaded());
	EXPECT_EQ(synth.SynthDataPath(), "");

	// Without a SoundFont the synth takes notes and stays silent.
	BMidiSynth midi(&synth);
	ASSERT_EQ(midi.EnableInput(true, true), B_OK);
	midi.NoteOn(1, 69, 100);
	EXPECT_LT(Peak(RenderSeconds(synth, 0.2)), 1e-6);
	BMidiSynth none(nullptr);
	EXPECT_EQ(none.EnableInput(true, true), B_NO_INIT);
	none.NoteOn(1, 69, 100);
}

TEST(MidiPort, SendsToTheNamedPortInOrderAndListsThePorts)
{
	ASSERT_TRUE(kNoSystemPorts);
	auto* synth = new CollectingConsumer("old kit test synth");
	ASSERT_EQ(synth->Register(), B_OK);

	BMidiPort lister;
	const int32 count = lister.CountDevices();
	bool listed = false;
	char name[B_OS_NAME_LENGTH];
	for (int32 i = 0; i < count; ++i) {
		ASSERT_EQ(lister.GetDeviceName(i, name, sizeof name), B_OK);
		listed = listed || std::string(name) == "old kit test synth";
	}
	EXPECT_TRUE(listed);
	EXPECT_EQ(lister.GetDeviceName(count, name, sizeof name), B_BAD_INDEX);
	EXPECT_EQ(lister.InitCheck(), B_NO_INIT);

	BMidiPort nowhere("no such port");
	EXPECT_EQ(nowhere.InitCheck(), B_NAME_NOT_FOUND);
	EXPECT_NE(nowhere.LastError().find("old kit test synth"), std::string::npos)
		<< "the message names the ports there are: " << nowhere.LastError();
	nowhere.NoteOn(1, 60, 100);  // goes nowhere, no fault

	BMidiPort port("old kit test synth");
	ASSERT_EQ(port.InitCheck(), B_OK);
	EXPECT_EQ(port.PortName(), "old kit test synth");
	port.ProgramChange(1, 40);
	port.NoteOn(2, 69, 100);
	port.PitchBend(2, 0x00, 0x40);
	port.ControlChange(2, 11, 90);
	port.NoteOn(16, 70, 1);
	port.NoteOn(0, 70, 1);  // ignored
	port.AllNotesOff(false);
	ASSERT_EQ(port.Flush(5000000), B_OK);
	ASSERT_TRUE(synth->WaitFor(5 + 2 + 16));
	const auto got = synth->Messages();
	const std::vector<std::vector<uint8_t>> expected = {
		{0xC0, 40}, {0x91, 69, 100}, {0xE1, 0x00, 0x40}, {0xB1, 11, 90}, {0x9F, 70, 1},
	};
	ASSERT_GE(got.size(), 23u);
	for (size_t i = 0; i < expected.size(); ++i)
		EXPECT_EQ(got[i].bytes, expected[i]) << i;
	EXPECT_EQ(got[5].bytes, (std::vector<uint8_t>{0x81, 69, 0}));
	EXPECT_EQ(got[6].bytes, (std::vector<uint8_t>{0x8F, 70, 0}));
	for (size_t c = 0; c < 16; ++c)
		EXPECT_EQ(got[7 + c].bytes, (std::vector<uint8_t>{static_cast<uint8_t>(0xB0 + c), 123, 0}));
	EXPECT_EQ(port.Dropped(), 0);

	port.Close();
	EXPECT_EQ(port.PortName(), "");
	port.NoteOn(1, 60, 100);  // closed: goes nowhere
	synth->Unregister();
	synth->Release();
}

}  // namespace
