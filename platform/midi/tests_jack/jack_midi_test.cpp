// End to end over a real JACK server: System Exclusive leaves through a system port,
// passes an echo client and comes back through another system port, complete and in
// order, while the sender is paced by the server's periods; a port that vanishes; and
// registered endpoints as ports that other programs use. ./test starts the server
// (jackd, dummy driver); without one this test skips, or fails where a server was
// promised (SUITE_JACK_RUNNING or CI set).
#include "../tests/CollectingConsumer.h"

#include "jack/JackService.h"
#include "jack/tests_jack/ProcessThreadAllocations.h"
#include "kernel/OS.h"
#include "testing/AllocationCounter.h"
#include "testing/JackAvailable.h"
#include "midi/MidiProducer.h"
#include "midi/MidiRoster.h"

#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

using Bytes = std::vector<uint8_t>;

namespace {

// The roster must take JACK even on a desktop where ALSA is there. All our ports belong
// to one client of this name.
const std::string kClientName = "midi jack test " + std::to_string(getpid());
const bool kUseJack = setenv("SUITE_MIDI_API", "jack", 1) == 0
	&& setenv("JACK_NO_START_SERVER", "1", 1) == 0
	&& BMidiRoster::SetClientName(kClientName.c_str()) == B_OK;

// Skips, or fails when a server was promised, unless a JACK server answers.
#define REQUIRE_JACK_SERVER() \
	do {                      \
		ASSERT_TRUE(kUseJack);  \
		SKIP_WITHOUT_JACK();    \
	} while (false)

// A JACK client with a MIDI input and output that copies every event from one to the
// other in the same period.
class JackEcho {
public:
	explicit JackEcho(const std::string& name) : fName(name)
	{
		fClient = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
		if (fClient == nullptr)
			return;
		fName = jack_get_client_name(fClient);
		fIn = jack_port_register(fClient, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
		fOut = jack_port_register(fClient, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
		jack_set_process_callback(fClient, Process, this);
		jack_set_xrun_callback(fClient, XRun, this);
		jack_on_shutdown(fClient, Shutdown, this);
		if (fIn == nullptr || fOut == nullptr || jack_activate(fClient) != 0)
			Close();
	}
	~JackEcho() { Close(); }

	void Close()
	{
		// A client the server threw out is left alone: closing it can crash libjack.
		if (fClient != nullptr && !fShutDown.load())
			jack_client_close(fClient);
		fClient = nullptr;
	}

	bool IsOpen() const { return fClient != nullptr; }
	std::string PortName(const char* port) const { return fName + ":" + port; }
	int Lost() const { return fLost.load(); }
	// Periods the server reported missed: MIDI in them is lost by the server itself.
	int XRuns() const { return fXRuns.load(); }

private:
	static int Process(jack_nframes_t frames, void* arg)
	{
		auto* self = static_cast<JackEcho*>(arg);
		void* in = jack_port_get_buffer(self->fIn, frames);
		void* out = jack_port_get_buffer(self->fOut, frames);
		jack_midi_clear_buffer(out);
		uint32_t count = jack_midi_get_event_count(in);
		for (uint32_t i = 0; i < count; ++i) {
			jack_midi_event_t event;
			if (jack_midi_event_get(&event, in, i) != 0
				|| jack_midi_event_write(out, event.time, event.buffer, event.size) != 0)
				self->fLost.fetch_add(1);
		}
		return 0;
	}

	static int XRun(void* arg)
	{
		static_cast<JackEcho*>(arg)->fXRuns.fetch_add(1);
		return 0;
	}

	static void Shutdown(void* arg)
	{
		static_cast<JackEcho*>(arg)->fShutDown.store(true);
	}

	std::string fName;
	jack_client_t* fClient = nullptr;
	std::atomic<int> fXRuns{0};
	std::atomic<bool> fShutDown{false};
	jack_port_t* fIn = nullptr;
	jack_port_t* fOut = nullptr;
	std::atomic<int> fLost{0};
};

// A framed System Exclusive message of `size` bytes that carries its sequence number.
Bytes Numbered(int number, size_t size)
{
	Bytes message(size);
	message[0] = 0xF0;
	for (size_t i = 1; i + 1 < size; ++i)
		message[i] = static_cast<uint8_t>((i * 7 + number) & 0x7F);
	message[1] = static_cast<uint8_t>(number & 0x7F);
	message[2] = static_cast<uint8_t>((number >> 7) & 0x7F);
	message[size - 1] = 0xF7;
	return message;
}

std::string Describe(const Bytes& m)
{
	std::string text = std::to_string(m.size()) + " bytes";
	if (m.size() > 3)
		text += ", number " + std::to_string(m[1] | (m[2] << 7));
	if (!m.empty())
		text += ", last byte " + std::to_string(m.back());
	return text;
}

struct Transfer {
	bool complete = false;  // all arrived, in order
	size_t arrived = 0;
	int xruns = 0;
	std::string problem;  // damage, disorder without missed periods, or a failed call
};

// Sends every message through the echo and checks what comes back: an in-order run of
// the sent messages, each byte for byte.
Transfer RunTransfer(BMidiLocalProducer* sender, BMidiProducer* echoOut,
	const std::vector<Bytes>& sent, const JackEcho& echo)
{
	Transfer result;
	auto* receiver = new CollectingConsumer("jack test in");
	if (echoOut->Connect(receiver) != B_OK) {
		receiver->Release();
		result.problem = "cannot connect the echo's output";
		return result;
	}
	int xrunsBefore = echo.XRuns();
	bigtime_t start = system_time();
	for (size_t i = 0; i < sent.size() && result.problem.empty(); ++i) {
		// Every other block leaves without its framing bytes: same result on the wire.
		const Bytes& m = sent[i];
		status_t status = i % 2 == 0
			? sender->SpraySystemExclusive(m.data(), m.size())
			: sender->SpraySystemExclusive(m.data() + 1, m.size() - 2);
		if (status != B_OK)
			result.problem = "sending message " + std::to_string(i) + " failed";
	}
	bigtime_t sending = system_time() - start;
	// Wait while messages keep coming.
	size_t seen = 0;
	while (!receiver->WaitFor(sent.size(), std::chrono::seconds(3)) && receiver->Count() > seen)
		seen = receiver->Count();
	auto got = receiver->Messages();
	result.xruns = echo.XRuns() - xrunsBefore;
	result.arrived = got.size();
	// Every message that arrives is one that was sent, byte for byte. Without missed
	// periods they are all there, in order; a missed period may lose or repeat messages.
	for (size_t i = 0; i < got.size() && result.problem.empty(); ++i) {
		if (std::find(sent.begin(), sent.end(), got[i].bytes) == sent.end())
			result.problem = "message " + std::to_string(i) + " that arrived is damaged ("
				+ Describe(got[i].bytes) + ")";
	}
	if (result.problem.empty() && result.xruns == 0) {
		for (size_t i = 0; i < got.size() && i < sent.size(); ++i) {
			if (got[i].bytes != sent[i]) {
				result.problem = "message " + std::to_string(i) + " is out of order";
				break;
			}
		}
	}
	result.complete = result.xruns == 0 ? got.size() == sent.size() && result.problem.empty()
		: std::equal(got.begin(), got.end(), sent.begin(), sent.end(),
			[](const CollectingConsumer::Received& r, const Bytes& b) { return r.bytes == b; });
	size_t bytes = 0;
	for (auto& m : sent)
		bytes += m.size();
	std::printf("sent %zu messages, %zu bytes in %.1f ms (%.0f KB/s)\n", sent.size(), bytes,
		sending / 1000.0, bytes / 1024.0 / (sending / 1e6));
	echoOut->Disconnect(receiver);
	receiver->Release();
	return result;
}

std::string UniqueName(const char* stem)
{
	return std::string(stem) + "-" + std::to_string(getpid());
}

// An echo client's ports as endpoints, a sender connected to its input and a receiver
// connected to its output; released at the end.
struct EchoPath {
	BMidiConsumer* echoIn = nullptr;
	BMidiProducer* echoOut = nullptr;
	BMidiLocalProducer* sender = new BMidiLocalProducer;
	CollectingConsumer* receiver = new CollectingConsumer;

	EchoPath() = default;
	EchoPath(const EchoPath&) = delete;
	EchoPath& operator=(const EchoPath&) = delete;
	~EchoPath()
	{
		sender->Release();
		receiver->Release();
		if (echoIn != nullptr)
			echoIn->Release();
		if (echoOut != nullptr)
			echoOut->Release();
	}
};

void ConnectThroughEcho(const JackEcho& echo, EchoPath& path)
{
	path.echoIn = BMidiRoster::FindConsumer(echo.PortName("in").c_str());
	path.echoOut = BMidiRoster::FindProducer(echo.PortName("out").c_str());
	ASSERT_NE(path.echoIn, nullptr);
	ASSERT_NE(path.echoOut, nullptr);
	ASSERT_EQ(path.sender->Connect(path.echoIn), B_OK);
	ASSERT_EQ(path.echoOut->Connect(path.receiver), B_OK);
}

}  // namespace

TEST(JackMidi, SystemExclusiveRoundTripIsCompleteInOrderAndPaced)
{
	REQUIRE_JACK_SERVER();
	JackEcho echo(UniqueName("midi-echo"));
	ASSERT_TRUE(echo.IsOpen());
	ASSERT_STREQ(BMidiRoster::SystemApiName(), "jack");

	EXPECT_EQ(BMidiRoster::FindConsumer("no such client:in"), nullptr);
	BMidiConsumer* echoIn = BMidiRoster::FindConsumer(echo.PortName("in").c_str());
	BMidiProducer* echoOut = BMidiRoster::FindProducer(echo.PortName("out").c_str());
	ASSERT_NE(echoIn, nullptr);
	ASSERT_NE(echoOut, nullptr);
	EXPECT_TRUE(echoIn->IsRemote());
	EXPECT_STREQ(echoIn->Name(), echo.PortName("in").c_str());

	auto* sender = new BMidiLocalProducer("jack test out");
	ASSERT_EQ(sender->Connect(echoIn), B_OK);
	// A system producer cannot feed a system port directly.
	EXPECT_EQ(echoOut->Connect(echoIn), B_ERROR);

	// Many dump-sized messages with large ones among them, sent as fast as the
	// producer lets us: far more than one JACK period carries.
	std::vector<Bytes> sent;
	for (int i = 0; i < 400; ++i)
		sent.push_back(Numbered(i, 564));
	for (size_t size : {4000u, 8000u, 12000u, 16000u, 16000u})
		sent.push_back(Numbered(static_cast<int>(sent.size()), size));
	for (int i = 0; i < 200; ++i)
		sent.push_back(Numbered(static_cast<int>(sent.size()), 564));

	Bytes tooLarge = Numbered(0, 20000);
	EXPECT_EQ(sender->SpraySystemExclusive(tooLarge.data(), tooLarge.size()), B_BAD_VALUE);

	// JACK's process thread moves all of it without allocating.
	JackService* jack = JackService::Acquire("unused");
	ASSERT_NE(jack, nullptr);
	ProcessThreadAllocations watch;
	ASSERT_EQ(jack->AddProcessHook(CountProcessThreadAllocations, &watch), B_OK);
	ASSERT_EQ(jack->WaitPeriods(2), B_OK);

	// A period the server itself misses (an xrun, on an overloaded machine) loses that
	// period's MIDI for every client; the transfer is then repeated. Loss without an
	// xrun, or damaged or reordered messages, fail at once.
	bool complete = false;
	for (int attempt = 1; attempt <= 3 && !complete; ++attempt) {
		Transfer result = RunTransfer(sender, echoOut, sent, echo);
		ASSERT_TRUE(result.problem.empty()) << result.problem;
		complete = result.complete;
		if (!complete) {
			ASSERT_GT(result.xruns, 0) << result.arrived << " of " << sent.size()
				<< " messages arrived, and the server reported no missed period";
			std::printf("attempt %d: the server missed %d periods; %zu messages for %zu sent\n",
				attempt, result.xruns, result.arrived, sent.size());
		}
	}
	EXPECT_TRUE(complete) << "the JACK server kept missing periods (xruns); the machine is "
		"too loaded for a non-real-time JACK server";
	EXPECT_EQ(echo.Lost(), 0);
	ASSERT_EQ(jack->WaitPeriods(2), B_OK);
	jack->RemoveProcessHook(CountProcessThreadAllocations, &watch);
	EXPECT_EQ(watch.count.load(), 0) << "allocations on JACK's process thread";
	EXPECT_STREQ(jack->ClientName(), kClientName.c_str()) << "the MIDI kit named the client";
	jack->Release();

	EXPECT_EQ(sender->Disconnect(echoIn), B_OK);
	sender->Release();
	echoIn->Release();
	echoOut->Release();
}

TEST(JackMidi, VanishedPortGivesAClearStatus)
{
	REQUIRE_JACK_SERVER();
	auto echo = std::make_unique<JackEcho>(UniqueName("midi-gone"));
	ASSERT_TRUE(echo->IsOpen());
	std::string inName = echo->PortName("in");
	EchoPath path;
	ASSERT_NO_FATAL_FAILURE(ConnectThroughEcho(*echo, path));
	auto& [echoIn, echoOut, sender, receiver] = path;
	Bytes block = {0x18, 0x0C, 0x00, 0x01};
	// Sent again only when the server missed a period meanwhile (see above).
	bool echoed = false;
	for (int attempt = 1; attempt <= 3 && !echoed; ++attempt) {
		int xruns = echo->XRuns();
		ASSERT_EQ(sender->SpraySystemExclusive(block.data(), block.size()), B_OK);
		echoed = receiver->WaitFor(1, std::chrono::seconds(5));
		if (!echoed) {
			ASSERT_GT(echo->XRuns(), xruns) << "lost without a missed period";
		}
	}
	EXPECT_TRUE(echoed);

	echo.reset();  // the device goes away
	ASSERT_EQ(BMidiRoster::Rescan(), B_OK);
	EXPECT_FALSE(echoIn->IsValid());
	EXPECT_FALSE(echoOut->IsValid());
	EXPECT_EQ(BMidiRoster::FindConsumer(inName.c_str()), nullptr);
	EXPECT_EQ(sender->SpraySystemExclusive(block.data(), block.size()), B_ERROR);
	auto* late = new CollectingConsumer;
	EXPECT_EQ(echoOut->Connect(late), B_ERROR);
	late->Release();

	// Coming back under the same name revives the same endpoint.
	JackEcho again(UniqueName("midi-gone"));
	ASSERT_TRUE(again.IsOpen());
	BMidiConsumer* revived = BMidiRoster::FindConsumer(inName.c_str());
	EXPECT_EQ(revived, echoIn);
	if (revived != nullptr)
		revived->Release();
}

namespace {

// The index of the port whose name ends with `suffix`, or -1.
int PortEndingWith(RtMidi& api, const std::string& suffix)
{
	for (unsigned i = 0; i < api.getPortCount(); ++i) {
		std::string name = api.getPortName(i);
		if (name.size() > suffix.size()
			&& name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
			return static_cast<int>(i);
	}
	return -1;
}

struct ExternalInput {
	std::mutex lock;
	std::condition_variable arrived;
	std::vector<Bytes> messages;

	static void Receive(double, std::vector<unsigned char>* message, void* self)
	{
		auto* input = static_cast<ExternalInput*>(self);
		std::lock_guard l(input->lock);
		input->messages.emplace_back(message->begin(), message->end());
		input->arrived.notify_all();
	}
	bool WaitFor(size_t count)
	{
		std::unique_lock l(lock);
		return arrived.wait_for(l, std::chrono::seconds(5), [&] { return messages.size() >= count; });
	}
};

}  // namespace

TEST(JackMidi, RegisteredEndpointsArePortsOtherProgramsUse)
{
	REQUIRE_JACK_SERVER();
	std::string inName = UniqueName("sim in");
	std::string outName = UniqueName("sim out");
	auto* consumer = new CollectingConsumer(inName.c_str());
	auto* producer = new BMidiLocalProducer(outName.c_str());
	ASSERT_EQ(consumer->Register(), B_OK);
	ASSERT_EQ(producer->Register(), B_OK);

	// Inside this process they are found as themselves, never again as system ports.
	BMidiConsumer* found = BMidiRoster::FindConsumer(inName.c_str());
	EXPECT_EQ(found, consumer);
	if (found != nullptr)
		found->Release();
	int32 count = BMidiRoster::CountConsumers();
	for (int32 i = 0; i < count; ++i) {
		BMidiConsumer* c = BMidiRoster::ConsumerAt(i);
		ASSERT_NE(c, nullptr);
		if (c->IsRemote()) {
			EXPECT_EQ(std::string(c->Name()).find(inName), std::string::npos) << c->Name();
		}
		c->Release();
	}

	// Another program (a plain RtMidi client here) sends to the consumer's port and
	// listens to the producer's port.
	RtMidiOut externalOut(RtMidi::UNIX_JACK, UniqueName("midi-ext-out"));
	int inPort = PortEndingWith(externalOut, ":" + inName);
	ASSERT_GE(inPort, 0);
	externalOut.openPort(static_cast<unsigned>(inPort));
	ExternalInput received;
	RtMidiIn externalIn(RtMidi::UNIX_JACK, UniqueName("midi-ext-in"));
	externalIn.ignoreTypes(false, false, false);
	externalIn.setCallback(&ExternalInput::Receive, &received);
	int outPort = PortEndingWith(externalIn, ":" + outName);
	ASSERT_GE(outPort, 0);
	externalIn.openPort(static_cast<unsigned>(outPort));
	snooze(200000);  // new JACK connections carry data only from a later period on

	// Malformed bytes from outside (stray data, an unterminated System Exclusive, an
	// undefined status) are dropped; the good messages among them arrive.
	Bytes request = Numbered(7, 564);
	Bytes stray = {0x40, 0x41};
	Bytes unterminated = {0xF0, 0x18, 0x0C};
	Bytes undefined = {0xF4};
	Bytes note = {0x91, 60, 100};
	for (const Bytes* m : {&stray, &unterminated, &request, &undefined, &note})
		externalOut.sendMessage(m->data(), m->size());
	ASSERT_TRUE(consumer->WaitFor(2));
	snooze(100000);
	auto got = consumer->Messages();
	ASSERT_EQ(got.size(), 2u);
	EXPECT_EQ(got[0].bytes, request);
	EXPECT_EQ(got[1].bytes, note);

	Bytes reply = Numbered(8, 564);
	ASSERT_EQ(producer->SpraySystemExclusive(reply.data() + 1, reply.size() - 2), B_OK);
	ASSERT_TRUE(received.WaitFor(1));
	EXPECT_EQ(received.messages[0], reply);

	// Unregistered, the ports are gone for other programs.
	ASSERT_EQ(consumer->Unregister(), B_OK);
	ASSERT_EQ(producer->Unregister(), B_OK);
	EXPECT_LT(PortEndingWith(externalOut, ":" + inName), 0);
	EXPECT_LT(PortEndingWith(externalIn, ":" + outName), 0);
	ASSERT_EQ(producer->SpraySystemExclusive(reply.data(), reply.size()), B_OK);

	producer->Release();
	consumer->Release();
}

namespace {

// Holds every message in its handler until Open(): what arrives meanwhile queues.
class BlockedConsumer : public CollectingConsumer {
public:
	explicit BlockedConsumer(const char* name) : CollectingConsumer(name) {}

	void Data(uchar* data, size_t length, bool atomic, bigtime_t time) override
	{
		{
			std::unique_lock lock(fGateLock);
			fGate.wait(lock, [&] { return fOpen; });
		}
		CollectingConsumer::Data(data, length, atomic, time);
	}
	void Open()
	{
		std::lock_guard lock(fGateLock);
		fOpen = true;
		fGate.notify_all();
	}

private:
	std::mutex fGateLock;
	std::condition_variable fGate;
	bool fOpen = false;
};

// The full names of the JACK ports of one client, as another program sees them.
std::vector<std::string> PortsOfClient(const std::string& client)
{
	std::vector<std::string> names;
	jack_client_t* probe = jack_client_open("midi-test-lister", JackNoStartServer, nullptr);
	if (probe == nullptr)
		return names;
	const char** ports = jack_get_ports(probe, nullptr, JACK_DEFAULT_MIDI_TYPE, 0);
	for (const char** p = ports; p != nullptr && *p != nullptr; ++p) {
		std::string name = *p;
		if (name.rfind(client + ":", 0) == 0)
			names.push_back(name);
	}
	jack_free(ports);
	jack_client_close(probe);
	return names;
}

// A producer of ours to an echo client's input, its output back to a consumer of ours
// (taking over the receiver's reference); undone and released when it goes.
struct EchoLoop {
	BMidiConsumer* echoIn;
	BMidiProducer* echoOut;
	BMidiLocalProducer* sender = new BMidiLocalProducer("loop out");
	CollectingConsumer* receiver;

	EchoLoop(const JackEcho& echo, CollectingConsumer* receiver)
		:
		echoIn(BMidiRoster::FindConsumer(echo.PortName("in").c_str())),
		echoOut(BMidiRoster::FindProducer(echo.PortName("out").c_str())),
		receiver(receiver)
	{
	}
	~EchoLoop()
	{
		if (echoIn != nullptr) {
			sender->Disconnect(echoIn);
			echoIn->Release();
		}
		if (echoOut != nullptr) {
			echoOut->Disconnect(receiver);
			echoOut->Release();
		}
		sender->Release();
		receiver->Release();
	}
	status_t Connect()
	{
		if (echoIn == nullptr || echoOut == nullptr)
			return B_NAME_NOT_FOUND;
		status_t status = echoOut->Connect(receiver);
		return status != B_OK ? status : sender->Connect(echoIn);
	}
};

}  // namespace

TEST(JackMidi, TheFirstMessageAfterConnectingArrives)
{
	REQUIRE_JACK_SERVER();
	// A fresh device each round, spoken to at once: nothing sent right after Connect()
	// returns may vanish because JACK did not carry the connection yet.
	for (int round = 0; round < 8; ++round) {
		JackEcho echo(UniqueName("midi-first") + "-" + std::to_string(round));
		ASSERT_TRUE(echo.IsOpen());
		EchoLoop loop(echo, new CollectingConsumer("first in"));
		int xruns = echo.XRuns();
		ASSERT_EQ(loop.Connect(), B_OK);
		Bytes request = {0xF0, 0x18, 0x0C, 0x00, 0x00, 0x05, 0x00, 0xF7};
		ASSERT_EQ(loop.sender->SpraySystemExclusive(request.data(), request.size()), B_OK);
		bool arrived = loop.receiver->WaitFor(1, std::chrono::seconds(5));
		if (!arrived && echo.XRuns() == xruns)
			ADD_FAILURE() << "round " << round << ": the first message was lost";
		if (arrived) {
			EXPECT_EQ(loop.receiver->Messages()[0].bytes, request);
		}

		// Our side of both connections is a port of our one client.
		std::vector<std::string> ours = PortsOfClient(kClientName);
		std::string toEcho = kClientName + ":to " + echo.PortName("in");
		std::replace(toEcho.begin() + long(kClientName.size()) + 1, toEcho.end(), ':', ' ');
		EXPECT_NE(std::find(ours.begin(), ours.end(), toEcho), ours.end()) << toEcho;
	}
}

TEST(JackMidi, AFloodFromOutsideIsBoundedAndCounted)
{
	REQUIRE_JACK_SERVER();
	JackEcho echo(UniqueName("midi-flood"));
	ASSERT_TRUE(echo.IsOpen());
	auto* receiver = new BlockedConsumer("flood in");
	EchoLoop loop(echo, receiver);
	ASSERT_EQ(loop.Connect(), B_OK);

	// Far more than a consumer keeps waiting, while its handler is stuck.
	constexpr int kSent = 10000;
	for (int i = 0; i < kSent; ++i)
		ASSERT_EQ(loop.sender->SprayNoteOn(0, uint8_t(i % 128), 64), B_OK);
	// At most 8192 wait (and one is in the handler): the rest is dropped, and counted.
	constexpr uint64 kMostKept = 8192 + 1;
	for (int i = 0; i < 400 && receiver->DroppedMessages() < kSent - kMostKept; ++i)
		snooze(50000);
	uint64 dropped = receiver->DroppedMessages();
	EXPECT_GE(dropped, kSent - kMostKept);
	receiver->Open();
	// Every message either waited or was counted (unless the server itself missed a
	// period, which loses MIDI for every client).
	size_t kept = kSent - size_t(dropped);
	if (echo.XRuns() == 0) {
		EXPECT_TRUE(receiver->WaitFor(kept, std::chrono::seconds(20)));
		snooze(100000);
		EXPECT_EQ(receiver->Count(), kept);
		EXPECT_EQ(receiver->DroppedMessages(), dropped) << "nothing dropped once it flowed";
	}
}

TEST(JackMidi, AnInputAndOutputOfOneNameAreBothPublished)
{
	REQUIRE_JACK_SERVER();
	// An instrument's pair often shares a name; in our one client the second port gets
	// a number, and neither goes missing.
	std::string name = UniqueName("pair");
	auto* consumer = new CollectingConsumer(name.c_str());
	auto* producer = new BMidiLocalProducer(name.c_str());
	ASSERT_EQ(consumer->Register(), B_OK);
	ASSERT_EQ(producer->Register(), B_OK);
	std::vector<std::string> ours = PortsOfClient(kClientName);
	std::string first = kClientName + ":" + name;
	std::string second = first + " 2";
	EXPECT_NE(std::find(ours.begin(), ours.end(), first), ours.end()) << first;
	EXPECT_NE(std::find(ours.begin(), ours.end(), second), ours.end()) << second;
	producer->Release();
	consumer->Release();
	ours = PortsOfClient(kClientName);
	EXPECT_EQ(std::find(ours.begin(), ours.end(), first), ours.end()) << "gone with them";
}

TEST(JackMidi, AServerThatGoesMidSessionEndsSendingWithAnErrorAndNoHang)
{
	REQUIRE_JACK_SERVER();
	// A server of the test's own, stopped under the session; this program has not used
	// JACK yet, so its client opens there.
	PrivateJackServer server;
	ASSERT_TRUE(server.Running()) << server.Log();
	server.UseAsDefault();
	auto echo = std::make_unique<JackEcho>(UniqueName("midi-server-gone"));
	ASSERT_TRUE(echo->IsOpen());
	ASSERT_EQ(BMidiRoster::Rescan(), B_OK);
	EchoPath path;
	ASSERT_NO_FATAL_FAILURE(ConnectThroughEcho(*echo, path));
	auto& [echoIn, echoOut, sender, receiver] = path;
	Bytes block = {0x18, 0x0C, 0x00, 0x01};
	ASSERT_EQ(sender->SpraySystemExclusive(block.data(), block.size()), B_OK);

	server.Stop();
	// Sending learns of it at once, also a burst that would fill the port's ring.
	Bytes large(8000, 0x11);
	bigtime_t before = system_time();
	EXPECT_EQ(sender->SpraySystemExclusive(block.data(), block.size()), B_ERROR);
	status_t burst = B_OK;
	for (int i = 0; i < 64 && burst == B_OK; i++)
		burst = sender->SpraySystemExclusive(large.data(), large.size());
	EXPECT_EQ(burst, B_ERROR);
	EXPECT_LT(system_time() - before, 5000000) << "sending waited for a server that is gone";
	// The next look at the system's ports finds the server's ports gone.
	BMidiRoster::Rescan();
	EXPECT_FALSE(echoIn->IsValid());
	EXPECT_FALSE(echoOut->IsValid());
}
