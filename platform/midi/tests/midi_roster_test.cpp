// The roster and endpoints of this process: lookups, connections, delivery on the
// consumer's own thread, System Exclusive framing, timing, bad input and release.
#include "CollectingConsumer.h"

#include "kernel/OS.h"
#include "midi/MidiProducer.h"
#include "midi/MidiRoster.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using Bytes = std::vector<uint8_t>;

namespace {

// These tests are about endpoints of this process; keep the system's ports out.
const bool kNoSystemPorts = setenv("SUITE_MIDI_API", "none", 1) == 0;

// Records handler calls as text, to check the parsing of Data().
class HandlerConsumer : public CollectingConsumer {
public:
	std::vector<std::string> calls;
	Bytes lastSysEx;
	std::mutex lock;

	void NoteOn(uchar ch, uchar note, uchar vel, bigtime_t) override
	{ Add("on " + std::to_string(ch) + " " + std::to_string(note) + " " + std::to_string(vel)); }
	void NoteOff(uchar ch, uchar note, uchar vel, bigtime_t) override
	{ Add("off " + std::to_string(ch) + " " + std::to_string(note) + " " + std::to_string(vel)); }
	void ControlChange(uchar ch, uchar cc, uchar value, bigtime_t) override
	{ Add("cc " + std::to_string(ch) + " " + std::to_string(cc) + " " + std::to_string(value)); }
	void ProgramChange(uchar ch, uchar program, bigtime_t) override
	{ Add("pc " + std::to_string(ch) + " " + std::to_string(program)); }
	void PitchBend(uchar ch, uchar lsb, uchar msb, bigtime_t) override
	{ Add("bend " + std::to_string(ch) + " " + std::to_string(lsb) + " " + std::to_string(msb)); }
	void SystemExclusive(void* data, size_t length, bigtime_t) override
	{
		std::lock_guard l(lock);
		lastSysEx.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + length);
		calls.push_back("sysex " + std::to_string(length));
	}
	void SystemRealTime(uchar status, bigtime_t) override { Add("rt " + std::to_string(status)); }

private:
	void Add(const std::string& call)
	{
		std::lock_guard l(lock);
		calls.push_back(call);
	}
};

}  // namespace

TEST(MidiRoster, NoSystemMeansNoSystemPorts)
{
	ASSERT_TRUE(kNoSystemPorts);
	EXPECT_STREQ(BMidiRoster::SystemApiName(), "none");
	EXPECT_EQ(BMidiRoster::Rescan(), B_OK);
	EXPECT_EQ(BMidiRoster::FindConsumer("Morpheus 20:0"), nullptr);
	EXPECT_EQ(BMidiRoster::FindProducer("Morpheus"), nullptr);
	EXPECT_EQ(BMidiRoster::FindConsumer(static_cast<const char*>(nullptr)), nullptr);
}

TEST(MidiRoster, FindsRegisteredLocalEndpointsByNameIndexAndID)
{
	auto* producer = new BMidiLocalProducer("Sim Out");
	auto* consumer = new CollectingConsumer("Sim In");
	auto* hidden = new CollectingConsumer("Hidden");

	// Unregistered endpoints are usable but not listed.
	EXPECT_EQ(BMidiRoster::FindConsumer("Sim In"), nullptr);
	int32 before = BMidiRoster::CountConsumers();
	ASSERT_EQ(consumer->Register(), B_OK);
	ASSERT_EQ(producer->Register(), B_OK);
	EXPECT_EQ(BMidiRoster::CountConsumers(), before + 1);

	BMidiConsumer* found = BMidiRoster::FindConsumer("Sim In");
	ASSERT_EQ(found, consumer);
	EXPECT_TRUE(found->IsLocal() && found->IsConsumer() && found->IsValid());
	found->Release();
	EXPECT_EQ(BMidiRoster::FindProducer("Sim In"), nullptr);  // wrong kind
	BMidiProducer* foundProducer = BMidiRoster::FindProducer("Sim Out");
	ASSERT_EQ(foundProducer, producer);
	foundProducer->Release();

	// By index: the listing of the last Count call, in ID order.
	int32 count = BMidiRoster::CountConsumers();
	bool seen = false;
	for (int32 i = 0; i < count; ++i) {
		BMidiConsumer* c = BMidiRoster::ConsumerAt(i);
		ASSERT_NE(c, nullptr);
		seen |= c == consumer;
		EXPECT_NE(c, hidden);
		c->Release();
	}
	EXPECT_TRUE(seen);
	EXPECT_EQ(BMidiRoster::ConsumerAt(count), nullptr);
	EXPECT_EQ(BMidiRoster::ConsumerAt(-1), nullptr);

	// By walking IDs.
	int32 id = 0;
	bool walked = false;
	while (BMidiEndpoint* e = BMidiRoster::NextEndpoint(&id)) {
		walked |= e == producer;
		EXPECT_EQ(e->ID(), id);
		e->Release();
	}
	EXPECT_TRUE(walked);

	// By ID, also unregistered ones; the kind must match.
	BMidiConsumer* byID = BMidiRoster::FindConsumer(hidden->ID());
	EXPECT_EQ(byID, hidden);
	byID->Release();
	EXPECT_EQ(BMidiRoster::FindProducer(hidden->ID()), nullptr);

	ASSERT_EQ(consumer->SetName("Renamed"), B_OK);
	EXPECT_EQ(BMidiRoster::FindConsumer("Sim In"), nullptr);
	EXPECT_STREQ(consumer->Name(), "Renamed");
	ASSERT_EQ(consumer->Unregister(), B_OK);
	EXPECT_EQ(BMidiRoster::FindConsumer("Renamed"), nullptr);

	int32 consumerID = consumer->ID();
	EXPECT_EQ(producer->Release(), B_OK);
	EXPECT_EQ(consumer->Release(), B_OK);
	EXPECT_EQ(hidden->Release(), B_OK);
	EXPECT_EQ(BMidiRoster::FindConsumer(consumerID), nullptr);
}

TEST(MidiRoster, DeliversEveryKindOnTheConsumersThreadInOrder)
{
	auto* producer = new BMidiLocalProducer("out");
	auto* consumer = new HandlerConsumer;
	ASSERT_EQ(producer->Connect(consumer), B_OK);
	EXPECT_TRUE(producer->IsConnected(consumer));
	EXPECT_EQ(producer->Connect(consumer), B_OK);  // already connected: still one
	EXPECT_EQ(producer->CountConnections(), 1);

	EXPECT_EQ(producer->SprayNoteOn(2, 60, 100), B_OK);
	EXPECT_EQ(producer->SprayNoteOff(2, 60, 0), B_OK);
	EXPECT_EQ(producer->SprayControlChange(15, 7, 127), B_OK);
	EXPECT_EQ(producer->SprayProgramChange(0, 42), B_OK);
	EXPECT_EQ(producer->SprayPitchBend(1, 0x00, 0x40), B_OK);
	// A stored block without framing and a request with it: both arrive as payload.
	Bytes stored = {0x18, 0x0C, 0x00, 0x01, 0x02};
	Bytes request = {0xF0, 0x18, 0x0C, 0x00, 0x03, 0xF7};
	EXPECT_EQ(producer->SpraySystemExclusive(stored.data(), stored.size()), B_OK);
	EXPECT_EQ(producer->SpraySystemExclusive(request.data(), request.size()), B_OK);
	EXPECT_EQ(producer->SpraySystemRealTime(0xFA), B_OK);
	Bytes raw = {0x90, 61, 1, 62, 2};  // running status: two notes
	EXPECT_EQ(producer->SprayData(raw.data(), raw.size()), B_OK);

	ASSERT_TRUE(consumer->WaitFor(10));
	std::vector<CollectingConsumer::Received> got = consumer->Messages();
	for (auto& r : got)
		EXPECT_NE(r.thread, std::this_thread::get_id());
	EXPECT_EQ(got[5].bytes, (Bytes{0xF0, 0x18, 0x0C, 0x00, 0x01, 0x02, 0xF7}));
	EXPECT_EQ(got[6].bytes, request);
	{
		std::lock_guard l(consumer->lock);
		std::vector<std::string> expected = {"on 2 60 100", "off 2 60 0", "cc 15 7 127",
			"pc 0 42", "bend 1 0 64", "sysex 5", "sysex 4", "rt 250", "on 0 61 1",
			"on 0 62 2"};
		EXPECT_EQ(consumer->calls, expected);
		EXPECT_EQ(consumer->lastSysEx, (Bytes{0x18, 0x0C, 0x00, 0x03}));
	}

	ASSERT_EQ(producer->Disconnect(consumer), B_OK);
	EXPECT_EQ(producer->Disconnect(consumer), B_ERROR);
	EXPECT_EQ(producer->SprayNoteOn(0, 1, 1), B_OK);  // nobody listens: fine
	consumer->Release();
	producer->Release();
}

TEST(MidiRoster, RefusesBadArgumentsAndSendsNothing)
{
	auto* producer = new BMidiLocalProducer;
	auto* consumer = new CollectingConsumer;
	ASSERT_EQ(producer->Connect(consumer), B_OK);
	EXPECT_EQ(producer->Connect(nullptr), B_BAD_VALUE);
	EXPECT_EQ(producer->SprayNoteOn(16, 60, 100), B_BAD_VALUE);
	EXPECT_EQ(producer->SprayNoteOn(0, 128, 100), B_BAD_VALUE);
	EXPECT_EQ(producer->SprayControlChange(0, 7, 200), B_BAD_VALUE);
	EXPECT_EQ(producer->SpraySystemExclusive(nullptr, 4), B_BAD_VALUE);
	Bytes split = {0x18, 0xF7, 0x0C};
	EXPECT_EQ(producer->SpraySystemExclusive(split.data(), split.size()), B_BAD_VALUE);
	Bytes malformed = {0x90, 60, 100, 0x40};  // a note, then a dangling data byte
	EXPECT_EQ(producer->SprayData(malformed.data(), malformed.size()), B_BAD_VALUE);
	Bytes truncated = {0x90, 60};
	EXPECT_EQ(producer->SprayData(truncated.data(), truncated.size()), B_BAD_VALUE);
	EXPECT_EQ(producer->SpraySystemRealTime(0x90), B_BAD_VALUE);
	EXPECT_EQ(producer->SpraySystemCommon(0xF0, 0, 0), B_BAD_VALUE);

	// Only the good message after all the bad ones arrives.
	EXPECT_EQ(producer->SprayProgramChange(3, 9), B_OK);
	ASSERT_TRUE(consumer->WaitFor(1));
	snooze(20000);
	auto got = consumer->Messages();
	ASSERT_EQ(got.size(), 1u);
	EXPECT_EQ(got[0].bytes, (Bytes{0xC3, 9}));

	consumer->Release();
	producer->Release();
}

TEST(MidiRoster, DeliversFutureEventsAtTheirTime)
{
	auto* producer = new BMidiLocalProducer;
	auto* consumer = new CollectingConsumer;
	ASSERT_EQ(producer->Connect(consumer), B_OK);
	bigtime_t start = system_time();
	ASSERT_EQ(producer->SprayNoteOn(0, 70, 1, start + 150000), B_OK);
	ASSERT_EQ(producer->SprayNoteOn(0, 71, 1, start + 60000), B_OK);
	ASSERT_EQ(producer->SprayNoteOn(0, 72, 1), B_OK);  // now
	ASSERT_TRUE(consumer->WaitFor(3));
	auto got = consumer->Messages();
	EXPECT_EQ(got[0].bytes[1], 72);
	EXPECT_EQ(got[1].bytes[1], 71);
	EXPECT_EQ(got[2].bytes[1], 70);
	EXPECT_EQ(got[1].time, start + 60000);
	EXPECT_GE(got[2].time, start + 150000);
	// Handed over no earlier than due.
	EXPECT_GE(system_time(), start + 150000);
	EXPECT_GE(got[0].time, start);
	consumer->Release();
	producer->Release();
}

namespace {

// Releases itself from its own handler, as an owner might on a "goodbye" message.
class SelfReleasingConsumer : public BMidiLocalConsumer {
public:
	explicit SelfReleasingConsumer(std::atomic<int>* destroyed) : fDestroyed(destroyed) {}
	void ProgramChange(uchar, uchar, bigtime_t) override { Release(); }

protected:
	~SelfReleasingConsumer() override { fDestroyed->fetch_add(1); }

private:
	std::atomic<int>* fDestroyed;
};

}  // namespace

TEST(MidiRoster, ReleaseDisconnectsEverywhereAlsoFromTheHandler)
{
	auto* producer = new BMidiLocalProducer;
	auto* first = new CollectingConsumer;
	auto* second = new CollectingConsumer;
	ASSERT_EQ(producer->Connect(first), B_OK);
	ASSERT_EQ(producer->Connect(second), B_OK);
	first->Release();
	EXPECT_EQ(producer->CountConnections(), 1);
	EXPECT_EQ(producer->SprayNoteOn(0, 1, 1), B_OK);
	EXPECT_TRUE(second->WaitFor(1));

	// A consumer with events still queued for later goes without delivering them.
	ASSERT_EQ(producer->SprayNoteOn(0, 2, 2, system_time() + 10000000), B_OK);
	bigtime_t before = system_time();
	second->Release();
	EXPECT_LT(system_time() - before, 5000000);
	EXPECT_EQ(producer->CountConnections(), 0);

	std::atomic<int> destroyed{0};
	auto* self = new SelfReleasingConsumer(&destroyed);
	ASSERT_EQ(producer->Connect(self), B_OK);
	ASSERT_EQ(producer->SprayProgramChange(0, 1), B_OK);
	for (int i = 0; i < 500 && destroyed.load() == 0; ++i)
		snooze(10000);
	EXPECT_EQ(destroyed.load(), 1);
	EXPECT_EQ(producer->CountConnections(), 0);
	EXPECT_EQ(producer->SprayProgramChange(0, 1), B_OK);
	producer->Release();
}

TEST(MidiRoster, ManySendersKeepEachSendersOrder)
{
	auto* consumer = new CollectingConsumer;
	constexpr int kSenders = 4;
	constexpr int kEach = 200;
	std::vector<BMidiLocalProducer*> producers;
	for (int i = 0; i < kSenders; ++i) {
		producers.push_back(new BMidiLocalProducer);
		ASSERT_EQ(producers.back()->Connect(consumer), B_OK);
	}
	std::vector<std::thread> threads;
	for (int s = 0; s < kSenders; ++s) {
		threads.emplace_back([&, s] {
			for (int i = 0; i < kEach; ++i) {
				Bytes block = {uint8_t(s), uint8_t(i & 0x7F), uint8_t(i >> 7)};
				producers[s]->SpraySystemExclusive(block.data(), block.size());
			}
		});
	}
	for (auto& t : threads)
		t.join();
	ASSERT_TRUE(consumer->WaitFor(kSenders * kEach));
	std::vector<int> next(kSenders, 0);
	for (auto& r : consumer->Messages()) {
		ASSERT_EQ(r.bytes.size(), 5u);
		int s = r.bytes[1];
		int i = r.bytes[2] | (r.bytes[3] << 7);
		EXPECT_EQ(i, next[s]++);
	}
	for (auto* p : producers)
		p->Release();
	consumer->Release();
}
