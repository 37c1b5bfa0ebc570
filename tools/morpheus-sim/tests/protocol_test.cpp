// The simulator's answers to what a librarian sends: requests, dumps, real-time edits,
// program and bank changes, and everything it must ignore.
#include "SimTestSupport.h"

#include <random>

using morpheus_sim::MorpheusSimulator;
using namespace sim_test;

namespace {

Message Edit(uint8_t device, int parameter, int value)
{
	unsigned v = static_cast<unsigned>(value) & 0x3FFF;
	return Message{0x18, 0x0C, device, 0x03, uint8_t(parameter & 0x7F),
		uint8_t((parameter >> 7) & 0x7F), uint8_t(v & 0x7F), uint8_t(v >> 7)};
}

Message Framed(const Message& body)
{
	Message framed{0xF0};
	framed.insert(framed.end(), body.begin(), body.end());
	framed.push_back(0xF7);
	return framed;
}

// The bytes in which two dumps differ.
std::vector<size_t> Differences(const Message& a, const Message& b)
{
	std::vector<size_t> at;
	for (size_t i = 0; i < a.size() && i < b.size(); ++i)
		if (a[i] != b[i])
			at.push_back(i);
	return at;
}

}  // namespace

TEST(Protocol, RequestsNameRamAndRomPresetsLikeTheInstrument)
{
	MorpheusSimulator sim(2);
	// ROM preset 5 is requested as 5 + 128: F0 18 0C dd 00 05 01 F7.
	std::vector<Message> rom = Send(sim, Message{0x18, 0x0C, 2, 0x00, 0x05, 0x01});
	ASSERT_EQ(rom.size(), 1u);
	EXPECT_EQ(rom[0][5], 5);
	EXPECT_EQ(rom[0][6], 1);
	EXPECT_EQ(Name(rom[0]), "Sim ROM 005 ");
	std::vector<Message> ram = Send(sim, Message{0x18, 0x0C, 2, 0x00, 0x7F, 0x00});
	ASSERT_EQ(ram.size(), 1u);
	EXPECT_EQ(ram[0][5], 127);
	EXPECT_EQ(ram[0][6], 0);
	EXPECT_EQ(Name(ram[0]), "Sim RAM 127 ");
	EXPECT_EQ(ram[0][2], 2) << "replies carry the device id";

	// Numbers beyond the memory (the card, hyperpreset 128, midimap 16) get no answer.
	EXPECT_TRUE(Send(sim, PatchRequest(2, 0x00, 256)).empty());
	EXPECT_TRUE(Send(sim, PatchRequest(2, 0x44, 128)).empty());
	EXPECT_TRUE(Send(sim, PatchRequest(2, 0x46, 16)).empty());
	EXPECT_EQ(Send(sim, PatchRequest(2, 0x46, 15)).size(), 1u);
}

TEST(Protocol, TakesDumpsSentToIt)
{
	MorpheusSimulator sim(0);
	Message preset = Send(sim, PatchRequest(0, 0x00, 3)).at(0);
	preset[5] = 40;   // store it at RAM 40, renamed
	const char* name = "Sent Preset!";
	for (size_t i = 0; i < 12; ++i)
		preset[7 + 2 * i] = static_cast<uint8_t>(name[i]);
	preset[31] = 0x24;
	FixChecksum(preset);
	EXPECT_TRUE(Send(sim, preset).empty()) << "a dump gets no reply";
	Message back = Send(sim, PatchRequest(0, 0x00, 40)).at(0);
	EXPECT_EQ(back, preset);

	Message hyper = Send(sim, PatchRequest(0, 0x44, 0)).at(0);
	hyper[5] = 99;
	hyper[7] = 'H';
	FixChecksum(hyper);
	Send(sim, hyper);
	EXPECT_EQ(Send(sim, PatchRequest(0, 0x44, 99)).at(0), hyper);

	Message map = Send(sim, PatchRequest(0, 0x46, 0)).at(0);
	map[5] = 15;
	map[7] = 'M';
	FixChecksum(map);
	Send(sim, map);
	EXPECT_EQ(Send(sim, PatchRequest(0, 0x46, 15)).at(0), map);
	EXPECT_EQ(sim.Statistics().dumpsStored, 3);

	// Refused: a bad checksum, a wrong length, the ROM, the card, another device.
	Message before = Send(sim, PatchRequest(0, 0x00, 41)).at(0);
	Message bad = preset;
	bad[5] = 41;
	bad[9] ^= 0x01;   // the checksum no longer matches
	Send(sim, bad);
	Message shortDump = preset;
	shortDump[5] = 41;
	shortDump.erase(shortDump.begin() + 100);
	FixChecksum(shortDump);
	Send(sim, shortDump);
	Message longDump = preset;
	longDump[5] = 41;
	longDump.insert(longDump.begin() + 100, 0);
	FixChecksum(longDump);
	Send(sim, longDump);
	Message other = preset;
	other[5] = 41;
	other[2] = 1;
	Send(sim, other);
	EXPECT_EQ(Send(sim, PatchRequest(0, 0x00, 41)).at(0), before);

	Message romBefore = Send(sim, PatchRequest(0, 0x00, 128 + 41)).at(0);
	Message rom = preset;
	rom[5] = 41;
	rom[6] = 1;
	Send(sim, rom);
	rom[6] = 2;
	Send(sim, rom);
	EXPECT_EQ(Send(sim, PatchRequest(0, 0x00, 128 + 41)).at(0), romBefore);
	EXPECT_EQ(sim.Statistics().dumpsStored, 3);
}

TEST(Protocol, RealtimeEditsChangeThePlayingPresetOnly)
{
	MorpheusSimulator sim(2);
	sim.ProgramChange(0, 5);
	ASSERT_EQ(sim.CurrentPreset(), 5);
	Message before = sim.Preset(5);
	Message neighbour = sim.Preset(6);

	// Parameter 8204 (low key, index 31) to -1 on device 2: F0 18 0C 02 03 0C 40 7F 7F F7.
	Message edit{0x18, 0x0C, 0x02, 0x03, 0x0C, 0x40, 0x7F, 0x7F};
	EXPECT_TRUE(Send(sim, edit).empty());
	Message after = Send(sim, PatchRequest(2, 0x00, 5)).at(0);
	EXPECT_EQ(Differences(before, after), (std::vector<size_t>{31, 32, 563}));
	EXPECT_EQ(after[31], 0x7F);
	EXPECT_EQ(after[32], 0x7F);
	EXPECT_TRUE(HasValidChecksum(after));
	EXPECT_EQ(sim.Preset(6), neighbour);

	// The amount of the second note-on cord (8222, index 67), the secondary layer's
	// transform 2 (8468, index 559), and the name's first letter (8192, index 7), all in
	// one message of three pairs.
	Message three = Edit(2, 8222, -100);
	for (const Message& pair : {Edit(2, 8468, 200), Edit(2, 8192, 'Z')})
		three.insert(three.end(), pair.begin() + 4, pair.end());
	Send(sim, three);
	Message edited = sim.Preset(5);
	EXPECT_EQ(Word(edited, 67), -100);
	EXPECT_EQ(Word(edited, 559), 200);
	EXPECT_EQ(edited[7], 'Z');
	EXPECT_TRUE(HasValidChecksum(edited));
	EXPECT_EQ(sim.Statistics().parameterEdits, 4);

	// Not for this instrument or not a word of a preset: nothing changes. 8470 would be
	// the checksum byte; a half pair is a truncated message.
	Send(sim, Edit(3, 8204, 5));
	Send(sim, Edit(2, 8470, 5));
	Message half = Edit(2, 8204, 5);
	half.pop_back();
	Send(sim, half);
	EXPECT_EQ(sim.Preset(5), edited);

	// A program change reloads the stored preset: the edits were never saved.
	sim.ProgramChange(0, 6);
	sim.ProgramChange(0, 5);
	EXPECT_EQ(sim.Preset(5), before);

	// Hyperpreset (8940: zone 16 fine, index 479) and midimap (2379: channel 16 foot 3,
	// index 669) words reach the current hyperpreset and midimap.
	sim.ControlChange(0, 32, 2);
	sim.ProgramChange(0, 9);
	Send(sim, Edit(2, 8940, -33));
	EXPECT_EQ(Word(sim.Hyperpreset(9), 479), -33);
	EXPECT_TRUE(HasValidChecksum(sim.Hyperpreset(9)));
	EXPECT_EQ(sim.Hyperpreset(8), Send(sim, PatchRequest(2, 0x44, 8)).at(0));
	sim.SetCurrentMidimap(4);
	Send(sim, Edit(2, 2379, 0));
	EXPECT_EQ(Word(sim.Midimap(4), 669), 0);
	EXPECT_TRUE(HasValidChecksum(sim.Midimap(4)));
}

TEST(Protocol, FollowsProgramChangesAndBankSelect)
{
	MorpheusSimulator sim(0);
	uint8_t rom[] = {0xB3, 32, 1};
	uint8_t program[] = {0xC3, 17};
	sim.Receive(rom, sizeof rom);
	sim.Receive(program, sizeof program);
	EXPECT_EQ(sim.CurrentPreset(), 128 + 17);
	EXPECT_EQ(sim.Playing().bank, 1);
	EXPECT_EQ(sim.Playing().program, 17);
	Send(sim, Edit(0, 8204, 12));
	EXPECT_EQ(Word(sim.Preset(128 + 17), 31), 12) << "edits reach the playing ROM preset";

	sim.ControlChange(0, 32, 0);
	sim.ProgramChange(0, 3);
	EXPECT_EQ(sim.CurrentPreset(), 3);
	// A dump for the playing preset replaces what it plays.
	Message dump = sim.Preset(3);
	dump[41] = 4;
	FixChecksum(dump);
	Send(sim, dump);
	EXPECT_EQ(sim.Preset(3), dump);

	// The card banks (3, 4) hold nothing: a program change there changes nothing.
	sim.ControlChange(0, 32, 3);
	sim.ProgramChange(0, 50);
	EXPECT_EQ(sim.CurrentPreset(), 3);
	sim.ControlChange(0, 32, 90);   // no such bank: the last one stays
	EXPECT_EQ(sim.Playing().bank, 3);

	// On one channel it hears only that channel.
	sim.SetChannel(4);
	sim.ControlChange(0, 32, 0);
	sim.ProgramChange(4, 60);
	EXPECT_EQ(sim.CurrentPreset(), 3) << "bank 3 was kept: the bank select came on channel 1";
	sim.ControlChange(4, 32, 0);
	sim.ProgramChange(5, 61);
	sim.ProgramChange(4, 62);
	EXPECT_EQ(sim.CurrentPreset(), 62);
}

TEST(Protocol, IgnoresWhatIsNotForItWithoutHarm)
{
	MorpheusSimulator sim(5);
	Message reference = sim.Preset(0);
	for (int device = 0; device < 128; ++device) {
		if (device != 5) {
			EXPECT_TRUE(Send(sim, PatchRequest(uint8_t(device), 0x00, 0)).empty()) << device;
		}
	}
	std::vector<Message> bad{
		{},                                      // nothing
		{0x18},                                  // cut short
		{0x18, 0x0C, 5},                         // no command
		{0x18, 0x0C, 5, 0x00, 0x00},             // request without its number's high part
		{0x18, 0x0C, 5, 0x00, 0x00, 0x00, 0x00}, // one byte too many
		{0x18, 0x0C, 5, 0x0E, 0x00},             // list request with a stray byte
		{0x18, 0x0D, 5, 0x00, 0x00, 0x00},       // another model
		{0x41, 0x0C, 5, 0x00, 0x00, 0x00},       // another manufacturer
		{0x18, 0x0C, 5, 0x22, 0x00, 0x00},       // unknown command
		{0x18, 0x0C, 5, 0x00, 0x80, 0x00},       // a status byte inside
		{0x18, 0x0C, 5, 0x03},                   // an edit without pairs
		{0x18, 0x0C, 5, 0x01, 0x01, 0x00},       // a dump cut short
	};
	for (const Message& m : bad)
		EXPECT_TRUE(Send(sim, m).empty());
	EXPECT_TRUE(sim.SystemExclusive(nullptr, 6).empty());
	EXPECT_EQ(sim.Statistics().requestsAnswered, 0);
	EXPECT_EQ(sim.Statistics().ignored, 127 + static_cast<int>(bad.size()) + 1);

	// Every prefix of a good dump, and framed messages cut off, are dropped.
	Message dump = sim.Preset(0);
	dump[7] = 'X';
	FixChecksum(dump);
	for (size_t length = 0; length < dump.size(); ++length)
		sim.SystemExclusive(dump.data(), length);
	Message framed = Framed(dump);
	for (size_t length = 0; length < framed.size(); ++length)
		sim.Receive(framed.data(), length);
	EXPECT_EQ(sim.Preset(0), reference);

	// Random bytes, framed or not, with the right header or not: never a crash, and the
	// memory stays as it was unless a message happens to be a valid one.
	std::mt19937 random(1234);
	for (int i = 0; i < 20000; ++i) {
		Message m(random() % 40);
		for (uint8_t& b : m)
			b = static_cast<uint8_t>(random() % (i % 2 ? 0x80 : 0x100));
		if (i % 3 == 0 && m.size() >= 4) {
			m[0] = 0x18;
			m[1] = 0x0C;
			m[2] = 5;
		}
		sim.SystemExclusive(m.data(), m.size());
		sim.Receive(m.data(), m.size());
	}
	EXPECT_EQ(sim.Preset(0).size(), 564u);
	EXPECT_TRUE(HasValidChecksum(sim.Preset(0)));
}

TEST(Protocol, DeviceIdsOutsideTheRangeFallBackToZero)
{
	MorpheusSimulator sim(16);
	EXPECT_EQ(sim.DeviceId(), 0);
	EXPECT_EQ(Send(sim, PatchRequest(0, 0x00, 0)).size(), 1u);
}
