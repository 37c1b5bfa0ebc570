// The shared JACK client over the test run's JACK server (dummy driver).
#include "jack/JackService.h"
#include "jack/tests_jack/ProcessThreadAllocations.h"

#include "kernel/OS.h"
#include "testing/AllocationCounter.h"
#include "testing/JackAvailable.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

namespace {

#define REQUIRE_JACK() SKIP_WITHOUT_JACK()

struct Counter {
	std::atomic<int64> calls{0};
	Counter* before = nullptr;      // a hook that must run before this one each period
	std::atomic<int64> outOfOrder{0};
};

void CountingHook(uint32, void* cookie)
{
	auto* counter = static_cast<Counter*>(cookie);
	int64 calls = counter->calls.fetch_add(1) + 1;
	if (counter->before != nullptr && counter->before->calls.load() < calls)
		counter->outOfOrder.fetch_add(1);
}

// A JACK client of its own (not the service), as another program would be: an audio
// input port that records the frame time of the first period carrying a non-zero sample.
class ProbeClient {
public:
	ProbeClient()
	{
		fClient = jack_client_open("service test probe", JackNoStartServer, nullptr);
		if (fClient == nullptr)
			return;
		fIn = jack_port_register(fClient, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
		jack_set_process_callback(fClient, Process, this);
		jack_set_xrun_callback(fClient, XRun, this);
		jack_activate(fClient);
	}
	~ProbeClient()
	{
		if (fClient != nullptr) {
			jack_deactivate(fClient);
			jack_client_close(fClient);
		}
	}
	bool Ok() const { return fClient != nullptr && fIn != nullptr; }
	std::string InName() const { return jack_port_name(fIn); }
	// Frame time of the first period that heard the sound; 0 before.
	uint64 HeardAt() const { return fHeardAt.load(); }
	// Periods the server reported missed: the probe may not have run in them.
	int XRuns() const { return fXRuns.load(); }

private:
	static int XRun(void* self)
	{
		static_cast<ProbeClient*>(self)->fXRuns.fetch_add(1);
		return 0;
	}

	static int Process(jack_nframes_t frames, void* self)
	{
		auto* probe = static_cast<ProbeClient*>(self);
		auto* samples = static_cast<float*>(jack_port_get_buffer(probe->fIn, frames));
		if (probe->fHeardAt.load() == 0 && samples[0] != 0.0f)
			probe->fHeardAt.store(jack_last_frame_time(probe->fClient) | (uint64(1) << 40));
		return 0;
	}

	jack_client_t* fClient = nullptr;
	jack_port_t* fIn = nullptr;
	std::atomic<uint64> fHeardAt{0};
	std::atomic<int> fXRuns{0};
};

struct Tone {
	jack_port_t* out = nullptr;
};

void ToneHook(uint32 frames, void* cookie)
{
	float* samples = JackService::AudioBuffer(static_cast<Tone*>(cookie)->out, frames);
	for (uint32 i = 0; i < frames; i++)
		samples[i] = 0.5f;
}

}  // namespace

TEST(JackService, WithoutAServerSaysSoAndOpensNothing)
{
	// Nobody holds the service yet in this program: it opens now, on a server that is
	// not there.
	const char* saved = getenv("JACK_DEFAULT_SERVER");
	std::string previous = saved != nullptr ? saved : "";
	setenv("JACK_DEFAULT_SERVER", "suite-no-such-server", 1);
	setenv("JACK_NO_START_SERVER", "1", 1);
	status_t status = B_OK;
	std::string message;
	JackService* service = JackService::Acquire("nobody", &status, &message);
	if (saved != nullptr)
		setenv("JACK_DEFAULT_SERVER", previous.c_str(), 1);
	else
		unsetenv("JACK_DEFAULT_SERVER");
	EXPECT_EQ(service, nullptr);
	EXPECT_EQ(status, B_NO_INIT);
	EXPECT_NE(message.find("suite-no-such-server"), std::string::npos) << message;
}

TEST(JackService, IsSharedByItsUsersAndNamedByTheFirst)
{
	REQUIRE_JACK();
	status_t status;
	JackService* first = JackService::Acquire("service test", &status);
	ASSERT_NE(first, nullptr) << strerror_status(status);
	JackService* second = JackService::Acquire("another name");
	ASSERT_EQ(second, first);
	EXPECT_EQ(std::string(first->ClientName()).rfind("service test", 0), 0u)
		<< first->ClientName();
	EXPECT_GT(first->SampleRate(), 0u);
	EXPECT_GT(first->BufferSize(), 0u);

	// The clock runs: periods follow one another, frames advance by the period length.
	ASSERT_EQ(first->WaitPeriods(2), B_OK);
	JackPeriod a = first->CurrentPeriod();
	ASSERT_EQ(first->WaitForPeriod(a.period + 3), B_OK);
	JackPeriod b = first->CurrentPeriod();
	EXPECT_GE(b.period, a.period + 3);
	// A period the server skipped for us (a missed period on a loaded machine) moves the
	// frame time but not our count.
	EXPECT_EQ((b.frame - a.frame) % a.frames, 0u);
	EXPECT_GE(b.frame - a.frame, (b.period - a.period) * a.frames);
	EXPECT_GT(b.startTime, a.startTime);
	EXPECT_LE(b.startTime, system_time());
	EXPECT_EQ(first->WaitForPeriod(first->Periods() + 1000000, 20000), B_TIMED_OUT);

	second->Release();
	// Still open for the first user: its own port can be made.
	jack_port_t* port = first->RegisterPort("still here", JackPortType::Midi,
		JackPortDirection::Input, &status);
	EXPECT_NE(port, nullptr) << strerror_status(status);
	first->Release();

	// The last user closed it: the next user opens a client of its own name.
	JackService* third = JackService::Acquire("service test again");
	ASSERT_NE(third, nullptr);
	EXPECT_EQ(std::string(third->ClientName()).rfind("service test again", 0), 0u);
	third->Release();
}

TEST(JackService, RegistersPortsByNameAndListsThem)
{
	REQUIRE_JACK();
	JackService* jack = JackService::Acquire("service test ports");
	ASSERT_NE(jack, nullptr);
	status_t status;
	jack_port_t* midiIn = jack->RegisterPort("MIDI In", JackPortType::Midi,
		JackPortDirection::Input, &status);
	ASSERT_NE(midiIn, nullptr);
	jack_port_t* audioOut = jack->RegisterPort("out_1", JackPortType::Audio,
		JackPortDirection::Output, &status);
	ASSERT_NE(audioOut, nullptr);
	EXPECT_EQ(jack->RegisterPort("MIDI In", JackPortType::Midi, JackPortDirection::Output,
		&status), nullptr);
	EXPECT_EQ(status, B_NAME_IN_USE);
	EXPECT_EQ(jack->RegisterPort("", JackPortType::Midi, JackPortDirection::Output,
		&status), nullptr);
	EXPECT_EQ(status, B_BAD_VALUE);
	EXPECT_EQ(jack->RegisterPort(std::string(400, 'x').c_str(), JackPortType::Audio,
		JackPortDirection::Output, &status), nullptr);
	EXPECT_EQ(status, B_BAD_VALUE);

	std::string midiName = JackService::PortName(midiIn);
	EXPECT_EQ(midiName, std::string(jack->ClientName()) + ":MIDI In");
	auto contains = [](const std::vector<std::string>& names, const std::string& name) {
		return std::find(names.begin(), names.end(), name) != names.end();
	};
	EXPECT_TRUE(contains(jack->FindPorts(JackPortType::Midi, JackPortDirection::Input, true),
		midiName));
	EXPECT_FALSE(contains(jack->FindPorts(JackPortType::Midi, JackPortDirection::Input),
		midiName));
	EXPECT_FALSE(contains(jack->FindPorts(JackPortType::Audio, JackPortDirection::Input,
		true), midiName));
	EXPECT_TRUE(contains(jack->FindPorts(JackPortType::Audio, JackPortDirection::Output,
		true), JackService::PortName(audioOut)));

	EXPECT_EQ(jack->UnregisterPort(midiIn), B_OK);
	EXPECT_EQ(jack->UnregisterPort(midiIn), B_BAD_VALUE);
	EXPECT_FALSE(contains(jack->FindPorts(JackPortType::Midi, JackPortDirection::Input, true),
		midiName));
	jack->Release();  // unregisters out_1
}

TEST(JackService, HooksComeAndGoWithoutAllocatingOnTheProcessThread)
{
	REQUIRE_JACK();
	JackService* jack = JackService::Acquire("service test hooks");
	ASSERT_NE(jack, nullptr);
	ProcessThreadAllocations watch;
	ASSERT_EQ(jack->AddProcessHook(CountProcessThreadAllocations, &watch), B_OK);
	Counter a, b;
	b.before = &a;
	EXPECT_EQ(jack->AddProcessHook(nullptr, &a), B_BAD_VALUE);
	ASSERT_EQ(jack->AddProcessHook(CountingHook, &a), B_OK);
	EXPECT_EQ(jack->AddProcessHook(CountingHook, &a), B_NAME_IN_USE);
	ASSERT_EQ(jack->AddProcessHook(CountingHook, &b), B_OK);
	ASSERT_EQ(jack->WaitPeriods(4), B_OK);
	long before = watch.count.load();
	EXPECT_GE(before, 0);

	// Hooks of a third counter come and go many times while the process thread runs.
	for (int i = 0; i < 200; i++) {
		Counter transient;
		ASSERT_EQ(jack->AddProcessHook(CountingHook, &transient), B_OK);
		ASSERT_EQ(jack->RemoveProcessHook(CountingHook, &transient), B_OK);
		// Once removed it is never called again: `transient` goes now.
	}
	ASSERT_EQ(jack->WaitPeriods(4), B_OK);
	EXPECT_GT(a.calls.load(), 6);
	// b runs after a in every period.
	EXPECT_EQ(b.outOfOrder.load(), 0);

	EXPECT_EQ(jack->RemoveProcessHook(CountingHook, &a), B_OK);
	EXPECT_EQ(jack->RemoveProcessHook(CountingHook, &a), B_NAME_NOT_FOUND);
	int64 callsOfA = a.calls.load();
	ASSERT_EQ(jack->WaitPeriods(3), B_OK);
	EXPECT_EQ(a.calls.load(), callsOfA);
	EXPECT_GE(b.calls.load(), callsOfA + 2);
	EXPECT_EQ(watch.count.load() - before, 0) << "allocations on JACK's process thread";

	std::vector<Counter> many(JackService::kMaxProcessHooks);
	int added = 1;  // b
	for (Counter& counter : many) {
		status_t status = jack->AddProcessHook(CountingHook, &counter);
		if (status != B_OK) {
			EXPECT_EQ(status, B_NO_MORE_PORTS);
			break;
		}
		added++;
	}
	EXPECT_EQ(added, JackService::kMaxProcessHooks - 1);  // the allocation watch is one
	for (Counter& counter : many)
		jack->RemoveProcessHook(CountingHook, &counter);
	jack->RemoveProcessHook(CountingHook, &b);
	jack->RemoveProcessHook(CountProcessThreadAllocations, &watch);
	jack->Release();
}

TEST(JackService, ConnectReturnsOnceTheConnectionCarries)
{
	REQUIRE_JACK();
	JackService* jack = JackService::Acquire("service test connect");
	ASSERT_NE(jack, nullptr);
	Tone tone;
	tone.out = jack->RegisterPort("out", JackPortType::Audio, JackPortDirection::Output);
	ASSERT_NE(tone.out, nullptr);
	ASSERT_EQ(jack->AddProcessHook(ToneHook, &tone), B_OK);
	EXPECT_EQ(jack->Connect(JackService::PortName(tone.out), "nobody:nothing"),
		B_NAME_NOT_FOUND);

	for (int round = 0; round < 5; round++) {
		ProbeClient probe;
		ASSERT_TRUE(probe.Ok());
		ASSERT_EQ(jack->Connect(JackService::PortName(tone.out), probe.InName()), B_OK);
		// The probe heard the tone in a period that had begun by the time Connect
		// returned: what is sent from now on travels the connection. (The probe, another
		// process, may report a little later; unless the server skipped it meanwhile.)
		JackPeriod now = jack->CurrentPeriod();
		for (int i = 0; i < 500 && probe.HeardAt() == 0; i++)
			snooze(10000);
		uint64 heard = probe.HeardAt();
		ASSERT_NE(heard, 0u) << "round " << round << ": connected, but nothing arrived";
		if (probe.XRuns() == 0) {
			EXPECT_LE(heard & 0xffffffffu, now.frame & 0xffffffffu) << "round " << round;
		}
		// Connecting again is no error and confirms at once.
		EXPECT_EQ(jack->Connect(JackService::PortName(tone.out), probe.InName()), B_OK);
		EXPECT_EQ(jack->Disconnect(JackService::PortName(tone.out), probe.InName()), B_OK);
	}
	EXPECT_EQ(jack->RemoveProcessHook(ToneHook, &tone), B_OK);
	EXPECT_EQ(jack->UnregisterPort(tone.out), B_OK);
	jack->Release();
}

namespace {

struct ShutdownSeen {
	std::atomic<int> calls{0};
};

void SeeShutdown(void* cookie)
{
	static_cast<ShutdownSeen*>(cookie)->calls.fetch_add(1);
}

}  // namespace

TEST(JackService, AServerThatGoesWakesWaitersAndTellsTheShutdownHooks)
{
	REQUIRE_JACK();
	// A server of the test's own: it is stopped under a running client.
	PrivateJackServer server;
	ASSERT_TRUE(server.Running()) << server.Log();
	server.UseAsDefault();
	status_t status;
	JackService* service = JackService::Acquire("service gone test", &status);
	ASSERT_NE(service, nullptr) << strerror_status(status);
	ASSERT_EQ(service->WaitPeriods(2), B_OK);
	jack_port_t* port = service->RegisterPort("out", JackPortType::Audio,
		JackPortDirection::Output, &status);
	ASSERT_NE(port, nullptr);
	Counter counter;
	ASSERT_EQ(service->AddProcessHook(CountingHook, &counter), B_OK);
	ShutdownSeen seen;
	ASSERT_EQ(service->AddShutdownHook(SeeShutdown, &seen), B_OK);

	// A waiter for a period that never comes learns that the server went, at once.
	std::atomic<status_t> waited{B_OK};
	std::atomic<bigtime_t> wokeAt{0};
	std::thread waiter([&] {
		waited = service->WaitPeriods(1000000, 60000000);
		wokeAt = system_time();
	});
	snooze(100000);
	bigtime_t stopped = system_time();
	server.Stop();
	bigtime_t gone = system_time();
	waiter.join();
	EXPECT_EQ(waited.load(), B_ERROR);
	// Woken by the shutdown, not by the minute's time-out (and not long after it).
	EXPECT_LT(wokeAt.load() - gone, 5000000) << "stopping took " << gone - stopped << " µs";
	EXPECT_FALSE(service->IsRunning());
	EXPECT_EQ(seen.calls.load(), 1);

	// Everything after it answers B_ERROR without waiting; letting go does not hang.
	EXPECT_EQ(service->WaitPeriods(1, 60000000), B_ERROR);
	EXPECT_EQ(service->AddShutdownHook(SeeShutdown, &counter), B_ERROR);
	EXPECT_EQ(service->RegisterPort("late", JackPortType::Midi, JackPortDirection::Input,
		&status), nullptr);
	EXPECT_EQ(status, B_ERROR);
	EXPECT_EQ(service->Connect(JackService::PortName(port), "system:playback_1", 60000000),
		B_ERROR);
	EXPECT_EQ(service->RemoveProcessHook(CountingHook, &counter), B_OK);
	service->RemoveShutdownHook(SeeShutdown, &seen);
	EXPECT_EQ(service->UnregisterPort(port), B_OK);
	service->Release();
	EXPECT_EQ(seen.calls.load(), 1);

	// With no server, the next user hears so; a new server is found by the next Acquire.
	JackService* none = JackService::Acquire("service gone test", &status);
	EXPECT_EQ(none, nullptr);
	EXPECT_EQ(status, B_NO_INIT);
	PrivateJackServer again;
	ASSERT_TRUE(again.Running()) << again.Log();
	again.UseAsDefault();
	JackService* fresh = JackService::Acquire("service gone test", &status);
	ASSERT_NE(fresh, nullptr);
	EXPECT_EQ(fresh->WaitPeriods(2), B_OK);
	fresh->Release();
}

namespace {

// Another program's client that keeps changing the graph: each connection it makes or
// breaks has the server send every client a latency notification, which libjack
// handles on its own thread by walking the client's list of ports.
class GraphChurn {
public:
	GraphChurn()
	{
		fClient = jack_client_open("service test churn", JackNoStartServer, nullptr);
		if (fClient == nullptr)
			return;
		fOut = jack_port_register(fClient, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
		fIn = jack_port_register(fClient, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
		jack_set_process_callback(fClient, Process, this);
		if (fOut == nullptr || fIn == nullptr || jack_activate(fClient) != 0)
			return;
		fThread = std::thread([this] {
			std::string out = jack_port_name(fOut), in = jack_port_name(fIn);
			while (!fStop.load()) {
				jack_connect(fClient, out.c_str(), in.c_str());
				jack_disconnect(fClient, out.c_str(), in.c_str());
				fChanges.fetch_add(1);
			}
		});
	}
	~GraphChurn()
	{
		Stop();
		if (fClient != nullptr) {
			jack_deactivate(fClient);
			jack_client_close(fClient);
		}
	}
	// The JACK server writes each graph change to every client and blocks when a client
	// no longer reads: one that is closing. Changing the graph without pause while another
	// client closes therefore hangs the server itself, whatever that client does.
	void Stop()
	{
		fStop.store(true);
		if (fThread.joinable())
			fThread.join();
	}
	bool Ok() const { return !fStop.load() && fThread.joinable(); }
	std::string OutName() const { return jack_port_name(fOut); }
	int64 Changes() const { return fChanges.load(); }

private:
	static int Process(jack_nframes_t frames, void* self)
	{
		jack_midi_clear_buffer(jack_port_get_buffer(static_cast<GraphChurn*>(self)->fOut,
			frames));
		return 0;
	}

	jack_client_t* fClient = nullptr;
	jack_port_t* fOut = nullptr;
	jack_port_t* fIn = nullptr;
	std::thread fThread;
	std::atomic<bool> fStop{false};
	std::atomic<int64> fChanges{0};
};

}  // namespace

// A program opens and closes MIDI ports while others change the graph (as a command
// line program does at its end, when it closes its ports one after the other): libjack
// must never find its list of our ports changed under the walk it makes for a latency
// notification, which crashed programs as they ended.
TEST(JackService, PortsComeAndGoWhileOtherClientsChangeTheGraph)
{
	REQUIRE_JACK();
	GraphChurn churn;
	ASSERT_TRUE(churn.Ok());
	JackService* jack = JackService::Acquire("service test churned");
	ASSERT_NE(jack, nullptr);
	auto own = [&](JackPortDirection direction) {
		return jack->FindPorts(JackPortType::Midi, direction, true);
	};
	size_t inputsBefore = own(JackPortDirection::Input).size();
	for (int round = 0; round < 500; round++) {
		status_t status;
		std::string name = "from churn " + std::to_string(round);
		jack_port_t* in = jack->RegisterPort(name.c_str(), JackPortType::Midi,
			JackPortDirection::Input, &status);
		ASSERT_NE(in, nullptr) << "round " << round << ": " << strerror_status(status);
		jack_port_t* out = jack->RegisterPort(("to churn " + std::to_string(round)).c_str(),
			JackPortType::Midi, JackPortDirection::Output, &status);
		ASSERT_NE(out, nullptr) << "round " << round << ": " << strerror_status(status);
		EXPECT_EQ(JackService::PortName(in), std::string(jack->ClientName()) + ":" + name);
		if (round % 10 == 0) {
			ASSERT_EQ(jack->Connect(churn.OutName(), JackService::PortName(in)), B_OK);
		}
		EXPECT_EQ(jack->UnregisterPort(in), B_OK);
		EXPECT_EQ(jack->UnregisterPort(out), B_OK);
	}
	// What was unregistered is gone from the listings.
	EXPECT_EQ(own(JackPortDirection::Input).size(), inputsBefore);
	EXPECT_GT(churn.Changes(), 0);
	churn.Stop();   // see GraphChurn::Stop
	jack->Release();
}

TEST(JackService, APortGivenBackIsDisconnectedAndTakenBackUnderTheNextName)
{
	REQUIRE_JACK();
	JackService* jack = JackService::Acquire("service test reuse");
	ASSERT_NE(jack, nullptr);
	ProbeClient probe;
	ASSERT_TRUE(probe.Ok());
	Tone tone;
	tone.out = jack->RegisterPort("tone", JackPortType::Audio, JackPortDirection::Output);
	ASSERT_NE(tone.out, nullptr);
	ASSERT_EQ(jack->AddProcessHook(ToneHook, &tone), B_OK);
	ASSERT_EQ(jack->Connect(JackService::PortName(tone.out), probe.InName()), B_OK);
	ASSERT_EQ(jack->RemoveProcessHook(ToneHook, &tone), B_OK);
	ASSERT_EQ(jack->UnregisterPort(tone.out), B_OK);

	// Gone from the listings and from the probe's connections.
	auto audioOutputs = jack->FindPorts(JackPortType::Audio, JackPortDirection::Output, true);
	EXPECT_EQ(std::count(audioOutputs.begin(), audioOutputs.end(),
		std::string(jack->ClientName()) + ":tone"), 0);
	for (const std::string& name : audioOutputs)
		EXPECT_EQ(name.rfind(std::string(jack->ClientName()) + ":", 0), std::string::npos)
			<< name << " is listed after it was given back";
	jack_port_t* probeIn = jack_port_by_name(jack->Client(), probe.InName().c_str());
	ASSERT_NE(probeIn, nullptr);
	EXPECT_EQ(jack_port_connected(probeIn), 0);

	// A port of another type or direction is a new one; one of the same is taken back.
	jack_port_t* midi = jack->RegisterPort("midi", JackPortType::Midi,
		JackPortDirection::Output);
	ASSERT_NE(midi, nullptr);
	EXPECT_NE(midi, tone.out);
	jack_port_t* again = jack->RegisterPort("again", JackPortType::Audio,
		JackPortDirection::Output);
	ASSERT_NE(again, nullptr);
	EXPECT_EQ(again, tone.out);
	EXPECT_EQ(JackService::PortName(again), std::string(jack->ClientName()) + ":again");
	EXPECT_EQ(jack_port_connected(again), 0);
	EXPECT_EQ(jack->Connect(JackService::PortName(again), probe.InName()), B_OK);
	EXPECT_EQ(jack->UnregisterPort(again), B_OK);
	EXPECT_EQ(jack->UnregisterPort(midi), B_OK);
	jack->Release();
}
