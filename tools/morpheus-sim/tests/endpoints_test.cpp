// The simulator inside the process, reached through the MIDI roster like an instrument.
#include "ReplyCollector.h"
#include "SimTestSupport.h"
#include "SimulatorEndpoints.h"

#include "midi/MidiProducer.h"
#include "midi/MidiRoster.h"

#include <cstdlib>
#include <memory>

using namespace morpheus_sim;
using namespace sim_test;

TEST(Endpoints, AnswersOverLocalEndpointsFoundByName)
{
	setenv("SUITE_MIDI_API", "none", 1);   // local endpoints only: no system ports needed
	auto simulator = std::make_shared<MorpheusSimulator>(4);
	std::string name = "Morpheus Simulator " + std::to_string(getpid());
	auto endpoints = std::make_unique<SimulatorEndpoints>(simulator, name.c_str());

	BMidiConsumer* instrumentIn = BMidiRoster::FindConsumer(name.c_str());
	BMidiProducer* instrumentOut = BMidiRoster::FindProducer(name.c_str());
	ASSERT_NE(instrumentIn, nullptr);
	ASSERT_NE(instrumentOut, nullptr);
	auto* toInstrument = new BMidiLocalProducer("librarian out");
	auto* replies = new ReplyCollector("librarian in");
	ASSERT_EQ(toInstrument->Connect(instrumentIn), B_OK);
	ASSERT_EQ(instrumentOut->Connect(replies), B_OK);

	// A bank select and program change, then an edit of the playing preset, then requests.
	toInstrument->SprayControlChange(0, 32, 1);
	toInstrument->SprayProgramChange(0, 9);
	uint8_t edit[] = {0xF0, 0x18, 0x0C, 0x04, 0x03, 0x0C, 0x40, 0x30, 0x00, 0xF7};
	toInstrument->SpraySystemExclusive(edit, sizeof edit);
	uint8_t request[] = {0xF0, 0x18, 0x0C, 0x04, 0x00, 0x09, 0x01, 0xF7};
	toInstrument->SpraySystemExclusive(request, sizeof request);
	uint8_t otherDevice[] = {0xF0, 0x18, 0x0C, 0x05, 0x00, 0x09, 0x01, 0xF7};
	toInstrument->SpraySystemExclusive(otherDevice, sizeof otherDevice);
	Message list = ListRequest(4, 0x56);
	toInstrument->SpraySystemExclusive(list.data(), list.size());   // framing added

	ASSERT_TRUE(replies->WaitFor(2));
	std::vector<Message> got = replies->Replies();
	ASSERT_EQ(got.size(), 2u);
	ASSERT_EQ(got[0].size(), 564u);
	EXPECT_EQ(got[0][5], 9);
	EXPECT_EQ(got[0][6], 1);
	EXPECT_EQ(Name(got[0]), "Sim ROM 009 ");
	EXPECT_EQ(Word(got[0], 31), 0x30) << "the edit reached the playing ROM preset 9";
	EXPECT_TRUE(HasValidChecksum(got[0]));
	EXPECT_EQ(got[1][3], 0x57);
	EXPECT_EQ(simulator->CurrentPreset(), 128 + 9);

	toInstrument->Disconnect(instrumentIn);
	instrumentOut->Disconnect(replies);
	instrumentIn->Release();
	instrumentOut->Release();
	endpoints.reset();
	EXPECT_EQ(BMidiRoster::FindConsumer(name.c_str()), nullptr) << "gone from the roster";
	toInstrument->Release();
	replies->Release();
}
