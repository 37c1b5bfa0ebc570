// Real instrument data as the simulator's memory and instrument list.
#include "SimTestSupport.h"

#include "SimLists.h"

using morpheus_sim::MorpheusSimulator;
using namespace sim_test;

TEST(FixtureMemory, AWholeDeviceDumpAnswersEveryRequestWithItsOwnBytes)
{
	std::vector<Message> dump = ReadFixture("device-dump.syx");
	if (dump.empty())
		GTEST_SKIP() << "no fixtures at " << SUITE_FIXTURES_DIR;
	ASSERT_EQ(dump.size(), 279u);
	MorpheusSimulator sim(0);
	MorpheusSimulator::LoadResult result = sim.LoadMemory(dump);
	EXPECT_EQ(result.presets, 128);
	EXPECT_EQ(result.hyperpresets, 128);
	EXPECT_EQ(result.midimaps, 16);
	EXPECT_EQ(result.skipped, 279 - 272);

	for (const Message& m : dump) {
		uint8_t request = m[3] == 0x01 ? 0x00 : m[3] == 0x45 ? 0x44 : m[3] == 0x47 ? 0x46 : 0xFF;
		if (request == 0xFF)
			continue;
		std::vector<Message> replies = Send(sim, PatchRequest(0, request, m[5]));
		ASSERT_EQ(replies.size(), 1u);
		EXPECT_EQ(replies[0], m) << "command " << int(m[3]) << " number " << int(m[5]);
	}
	EXPECT_EQ(Name(sim.Preset(1)), "Real:PnoVibe");
	EXPECT_EQ(Name(sim.Hyperpreset(0)), "Hyp:HootTube");
	EXPECT_EQ(Name(sim.Midimap(15)), "Dry         ");
	// The ROM is not in the dump: it keeps the simulator's own presets.
	EXPECT_EQ(Name(sim.Preset(128)), "Sim ROM 000 ");

	// A real dump sent over MIDI is taken too: the init preset goes to RAM 127.
	std::vector<Message> init = ReadFixture("init-preset.syx");
	ASSERT_EQ(init.size(), 1u);
	EXPECT_TRUE(Send(sim, init[0]).empty());
	EXPECT_EQ(sim.Preset(127), init[0]);
	std::vector<Message> map = ReadFixture("init-midimap.syx");
	ASSERT_EQ(map.size(), 1u);
	Send(sim, map[0]);
	EXPECT_EQ(sim.Midimap(map[0][5]), map[0]);
}

TEST(FixtureMemory, TheRealInstrumentListIsReportedAsItStands)
{
	std::vector<Message> list = ReadFixture("instrument-list.syx");
	if (list.empty())
		GTEST_SKIP() << "no fixtures at " << SUITE_FIXTURES_DIR;
	ASSERT_EQ(list.size(), 1u);
	MorpheusSimulator sim(0);
	ASSERT_TRUE(sim.SetInstrumentList(list[0]));
	EXPECT_EQ(Send(sim, ListRequest(0, 0x0E)).at(0), list[0]);

	MorpheusSimulator other(7);
	ASSERT_TRUE(other.SetInstrumentList(list[0]));
	Message reply = Send(other, ListRequest(7, 0x0E)).at(0);
	EXPECT_EQ(reply[2], 7) << "the list goes out under the simulator's device id";
	EXPECT_TRUE(std::equal(reply.begin() + 3, reply.end(), list[0].begin() + 3));

	// A list cut short, or another message, is not taken.
	Message cut(list[0].begin(), list[0].end() - 14);
	EXPECT_FALSE(sim.SetInstrumentList(cut));
	EXPECT_FALSE(sim.SetInstrumentList(ReadFixture("init-preset.syx").at(0)));
	EXPECT_EQ(Send(sim, ListRequest(0, 0x0E)).at(0), list[0]);
}

TEST(SyxFile, SplitsFramedMessagesAndDropsBrokenOnes)
{
	std::vector<uint8_t> bytes{
		0x00, 0xF0, 0x18, 0x0C, 0xF7,          // one message after a stray byte
		0xF0, 0x01, 0xF8, 0x02, 0xF7,          // a clock byte inside is no part of it
		0xF0, 0x05, 0x90, 0x40, 0x7F,          // cut off by a note on
		0xF0, 0x06, 0xF0, 0x07, 0xF7,          // a new start restarts
		0xF0, 0xF7,                            // empty
		0xF0, 0x09, 0x0A};                     // cut off by the end
	std::vector<Message> messages = morpheus_sim::SplitSystemExclusive(bytes.data(),
		bytes.size());
	EXPECT_EQ(messages, (std::vector<Message>{{0x18, 0x0C}, {0x01, 0x02}, {0x07}}));

	std::vector<Message> none;
	std::string error;
	EXPECT_FALSE(morpheus_sim::ReadSyxFile("/nonexistent/file.syx", none, error));
	EXPECT_NE(error.find("/nonexistent/file.syx"), std::string::npos);
}
