// Media graphs over a real JACK server (./test starts one): another JACK client plays a
// sine into the default audio input and a consumer receives it; `mediahost run` carries a
// sine from one JACK client through a node to another and ends when its server goes; the
// media clock counts JACK's frames while the process uses JACK.
#include "../tests/MediaTestNodes.h"

#include "jack/JackService.h"
#include "jack/tests_jack/ProcessThreadAllocations.h"
#include "kernel/OS.h"
#include "media/DeviceNodes.h"
#include "media/SoundPlayer.h"
#include "media/TimeSource.h"
#include "testing/JackAvailable.h"

#include <jack/jack.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;

// An independent JACK client: plays a sine on "out", records "in".
class SineClient {
public:
	SineClient(const char* name, double frequency, float amplitude)
		: fFrequency(frequency), fAmplitude(amplitude)
	{
		fRecorded.assign(44100 * 4, 0.0f);
		fClient = jack_client_open(name, JackNoStartServer, nullptr);
		if (fClient == nullptr)
			return;
		fOut = jack_port_register(fClient, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
		fIn = jack_port_register(fClient, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
		fRate = jack_get_sample_rate(fClient);
		jack_set_process_callback(fClient, &Process, this);
		jack_activate(fClient);
	}
	~SineClient()
	{
		if (fClient != nullptr) {
			jack_deactivate(fClient);
			jack_client_close(fClient);
		}
	}
	bool Valid() const { return fClient != nullptr && fOut != nullptr && fIn != nullptr; }
	std::string Name() const { return jack_get_client_name(fClient); }
	double Rate() const { return fRate; }
	// Records from now on.
	void StartRecording() { fRecording.store(true); }
	size_t RecordedCount() const { return fCount.load(); }
	std::vector<float> Recorded() const
	{
		return std::vector<float>(fRecorded.begin(), fRecorded.begin() + long(fCount.load()));
	}

private:
	static int Process(jack_nframes_t frames, void* self)
	{
		auto* c = static_cast<SineClient*>(self);
		auto* out = static_cast<float*>(jack_port_get_buffer(c->fOut, frames));
		for (jack_nframes_t i = 0; i < frames; i++) {
			out[i] = c->fAmplitude * float(std::sin(c->fPhase));
			c->fPhase += 2 * kPi * c->fFrequency / c->fRate;
			if (c->fPhase > 2 * kPi)
				c->fPhase -= 2 * kPi;
		}
		if (c->fRecording.load()) {
			auto* in = static_cast<const float*>(jack_port_get_buffer(c->fIn, frames));
			size_t at = c->fCount.load();
			size_t n = std::min<size_t>(frames, c->fRecorded.size() - at);
			std::copy(in, in + n, c->fRecorded.begin() + long(at));
			c->fCount.store(at + n);
		}
		return 0;
	}

	jack_client_t* fClient = nullptr;
	jack_port_t* fOut = nullptr;
	jack_port_t* fIn = nullptr;
	double fRate = 44100;
	double fFrequency;
	float fAmplitude;
	double fPhase = 0;
	std::vector<float> fRecorded;
	std::atomic<size_t> fCount{0};
	std::atomic<bool> fRecording{false};
};

TEST(MediaJack, ASineFromAnotherClientReachesAConsumerOfTheDefaultInput)
{
	SKIP_WITHOUT_JACK();
	unsetenv("SUITE_AUDIO_INPUT");
	SineClient player("sine-player", 1000.0, 0.5f);
	ASSERT_TRUE(player.Valid());

	BMediaRoster* roster = BMediaRoster::Roster();
	media_node input;
	ASSERT_EQ(roster->GetAudioInput(&input), B_OK);
	auto* collector = new CollectingConsumer(22050);
	// The consumer takes mono at half the server's rate: the input converts.
	media_raw_audio_format wanted{};
	wanted.frame_rate = float(player.Rate() / 2);
	wanted.channel_count = 1;
	collector->Accept(wanted);
	ASSERT_EQ(roster->RegisterNode(collector), B_OK);
	media_format format = media_format::RawAudioFormat();
	ASSERT_EQ(ConnectNodes(input, collector->Node(), &format), B_OK);
	EXPECT_EQ(format.u.raw_audio.frame_rate, wanted.frame_rate);
	EXPECT_EQ(format.u.raw_audio.channel_count, 1u);

	status_t status;
	JackService* jack = JackService::Acquire("media test", &status);
	ASSERT_NE(jack, nullptr);
	std::string ours = jack->ClientName() + std::string(":capture_");
	ASSERT_EQ(jack->Connect(player.Name() + ":out", ours + "1"), B_OK);
	ASSERT_EQ(jack->Connect(player.Name() + ":out", ours + "2"), B_OK);

	EXPECT_EQ(collector->TimeSource(), media_time_source());
	bigtime_t start = media_time_source()->Now() + 20000;
	roster->StartNode(collector->Node(), start);
	roster->StartNode(input, start);
	ASSERT_TRUE(collector->WaitForSamples(22050));
	roster->StopNode(input, 0, true);
	std::vector<float> got = collector->Samples();
	// Past the converter's first moments: level and frequency as sent.
	std::vector<float> steady(got.begin() + 4410, got.end());
	EXPECT_NEAR(SignalFrequency(steady, wanted.frame_rate), 1000.0, 2.0);
	// Both capture ports carry the sine; the mono mix is its mean.
	EXPECT_NEAR(SignalPeak(steady), 0.5, 0.02);

	jack->Release();
	collector->Release();
	roster->ReleaseNode(input);
}

// `mediahost run` of the test add-on with more arguments, in a process of its own (on the
// server `server` names, when given): its output and errors come through pipes.
struct HostProcess {
	pid_t pid = -1;
	int out = -1;
	int err = -1;

	HostProcess(std::vector<std::string> arguments, const std::string& server = "")
	{
		arguments.insert(arguments.begin(), {"mediahost", "run", MEDIA_TEST_ADDON});
		std::vector<char*> argv;
		for (std::string& argument : arguments)
			argv.push_back(argument.data());
		argv.push_back(nullptr);
		int output[2], errors[2];
		if (pipe(output) != 0 || pipe(errors) != 0)
			return;
		pid = fork();
		if (pid == 0) {
			if (!server.empty())
				setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
			dup2(output[1], 1);
			dup2(errors[1], 2);
			close(output[0]);
			close(errors[0]);
			execv(MEDIAHOST_PATH, argv.data());
			_exit(127);
		}
		close(output[1]);
		close(errors[1]);
		out = output[0];
		err = errors[0];
	}
	~HostProcess()
	{
		close(out);
		close(err);
	}

	// The first line it writes (it says when it runs, with its ports connected).
	std::string FirstLine() const
	{
		std::string said;
		char c;
		while (said.find('\n') == std::string::npos && read(out, &c, 1) == 1)
			said += c;
		return said;
	}
	// Everything it wrote on standard error (once it ended).
	std::string Errors() const
	{
		std::string text;
		char c;
		while (read(err, &c, 1) == 1)
			text += c;
		return text;
	}
};

TEST(MediaJack, MediaHostRunsANodeBetweenTwoJackClients)
{
	SKIP_WITHOUT_JACK();
	SineClient peer("host-peer", 441.0, 0.8f);
	ASSERT_TRUE(peer.Valid());
	std::string client = "mediahost-test-" + std::to_string(getpid());
	HostProcess host({"--name", client, "--in", peer.Name() + ":out", "--out",
		peer.Name() + ":in", "--param", "1=0.5"});
	ASSERT_GT(host.pid, 0);
	std::string said = host.FirstLine();
	EXPECT_NE(said.find("running Pass-through"), std::string::npos) << said;
	snooze(300000);
	peer.StartRecording();
	for (int i = 0; i < 400 && peer.RecordedCount() < 44100; i++)
		snooze(25000);
	// Taken while the host still runs: the silence after it stops is no part of the tone.
	std::vector<float> got = peer.Recorded();
	kill(host.pid, SIGINT);
	int status = 0;
	waitpid(host.pid, &status, 0);
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

	ASSERT_GE(got.size(), 44100u);
	got.resize(44100);
	EXPECT_NEAR(SignalFrequency(got, peer.Rate()), 441.0, 1.0);
	EXPECT_NEAR(SignalPeak(got), 0.4, 0.01);   // 0.8 through a gain of 0.5
}

// What the media clock published, seen at the start of each period right after it
// published (a process hook added after the clock's).
struct ClockRecord {
	static constexpr int kPeriods = 64;
	JackService* service = nullptr;
	uint64 frame[kPeriods] = {};
	bigtime_t performance[kPeriods] = {};
	bigtime_t real[kPeriods] = {};
	float drift[kPeriods] = {};
	std::atomic<int> count{0};

	static void Hook(uint32, void* cookie)
	{
		auto* record = static_cast<ClockRecord*>(cookie);
		int i = record->count.load();
		if (i >= kPeriods)
			return;
		record->frame[i] = record->service->CurrentPeriod().frame;
		media_time_source()->GetTime(&record->performance[i], &record->real[i],
			&record->drift[i]);
		record->count.store(i + 1);
	}
};

TEST(MediaJack, TheMediaClockCountsJacksFramesWhileTheProcessUsesJack)
{
	SKIP_WITHOUT_JACK();
	BTimeSource* clock = media_time_source();
	media_node node;
	ASSERT_EQ(BMediaRoster::Roster()->GetTimeSource(&node), B_OK);
	EXPECT_EQ(node.node, clock->ID());
	BMediaRoster::Roster()->ReleaseNode(node);
	// Nobody uses JACK yet: the system clock.
	float drift = 0;
	bigtime_t performance = 0, real = 0;
	clock->GetTime(&performance, &real, &drift);
	EXPECT_EQ(performance, real);
	EXPECT_EQ(drift, 1.0f);

	status_t status;
	JackService* jack = JackService::Acquire("media clock test", &status);
	ASSERT_NE(jack, nullptr);
	ClockRecord record;
	record.service = jack;
	ASSERT_EQ(jack->AddProcessHook(&ClockRecord::Hook, &record), B_OK);
	ASSERT_EQ(jack->WaitForPeriod(jack->Periods() + ClockRecord::kPeriods + 2, 30000000), B_OK);
	ASSERT_EQ(jack->RemoveProcessHook(&ClockRecord::Hook, &record), B_OK);
	ASSERT_EQ(record.count.load(), ClockRecord::kPeriods);

	// Performance time is JACK's frame count: exactly, period by period, whatever the
	// system clock says (it took over from the system clock without a jump).
	const double rate = jack->SampleRate();
	const int last = ClockRecord::kPeriods - 1;
	EXPECT_NEAR(double(record.performance[0] - record.real[0]), 0.0, 100000.0);
	for (int i = 1; i <= last; i++) {
		double frames = double(record.frame[i] - record.frame[0]);
		EXPECT_NEAR(double(record.performance[i] - record.performance[0]), frames * 1e6 / rate,
			1.0) << "period " << i;
		EXPECT_GT(record.drift[i], 0.5f);
		EXPECT_LT(record.drift[i], 2.0f);
	}
	// The dummy driver keeps time by the system clock: the two agree on the whole.
	double elapsed = double(record.real[last] - record.real[0]);
	EXPECT_NEAR(double(record.performance[last] - record.performance[0]), elapsed,
		elapsed * 0.2);

	// Nobody uses JACK any more: the system clock's pace again, from where JACK left it.
	bigtime_t before = clock->Now();
	jack->Release();
	clock->GetTime(&performance, &real, &drift);
	EXPECT_EQ(drift, 1.0f);
	EXPECT_GE(clock->Now(), before);
	EXPECT_NEAR(double(clock->Now() - system_time()), double(performance - real), 1000.0);
}

TEST(MediaJack, MediaHostEndsWithAClearErrorWhenItsServerGoes)
{
	SKIP_WITHOUT_JACK();
	PrivateJackServer server;
	ASSERT_TRUE(server.Running()) << server.Log();
	HostProcess host({"--name", "gone-host"}, server.Name());
	ASSERT_GT(host.pid, 0);
	std::string said = host.FirstLine();
	ASSERT_NE(said.find("running Pass-through"), std::string::npos) << said;

	server.Stop();
	// It ends by itself: asked for up to a minute (a hang fails here, not the run).
	int status = 0;
	pid_t ended = 0;
	for (int i = 0; i < 1200 && ended == 0; i++) {
		ended = waitpid(host.pid, &status, WNOHANG);
		if (ended == 0)
			snooze(50000);
	}
	if (ended == 0) {
		kill(host.pid, SIGKILL);
		waitpid(host.pid, &status, 0);
	}
	std::string problems = host.Errors();
	ASSERT_NE(ended, 0) << "mediahost still ran a minute after its server went";
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status << "\n" << problems;
	EXPECT_NE(problems.find("mediahost: the JACK server went away; Pass-through stopped"),
		std::string::npos) << problems;
}

// Fills every buffer with one 16-bit value and counts the calls.
struct PlayerSource {
	int16_t value = 1000;
	std::atomic<int> calls{0};

	static void Fill(void* cookie, void* buffer, size_t size, const SoundPlayer::Format&)
	{
		auto* source = static_cast<PlayerSource*>(cookie);
		auto* samples = static_cast<int16_t*>(buffer);
		for (size_t i = 0; i < size / sizeof(int16_t); i++)
			samples[i] = source->value;
		source->calls.fetch_add(1);
	}
};

TEST(MediaJack, TheSoundPlayerPlaysThroughTheProcesssClientWithoutAllocating)
{
	SKIP_WITHOUT_JACK();
	status_t status;
	JackService* jack = JackService::Acquire("player test", &status);
	ASSERT_NE(jack, nullptr);
	ProcessThreadAllocations watch;   // first: it counts what the player's hook does
	ASSERT_EQ(jack->AddProcessHook(CountProcessThreadAllocations, &watch), B_OK);
	SineClient listener("player-listener", 100.0, 0.0f);
	ASSERT_TRUE(listener.Valid());

	SoundPlayer::Format format{};
	format.frame_rate = float(jack->SampleRate());
	format.channel_count = 1;
	format.format = media_raw_audio_format::B_AUDIO_SHORT;
	PlayerSource source;
	SoundPlayer player(format, "PlayerTest", &PlayerSource::Fill, &source);
	ASSERT_EQ(player.InitCheck(), B_OK) << player.ErrorText();
	EXPECT_EQ(player.SystemName(), "jack");
	// Its port is on our one client; a second player of the name gets a port of its own.
	std::string port = jack->ClientName() + std::string(":PlayerTest_1");
	SoundPlayer second(format, "PlayerTest", &PlayerSource::Fill, &source);
	ASSERT_EQ(second.InitCheck(), B_OK) << second.ErrorText();
	std::vector<std::string> ours = jack->FindPorts(JackPortType::Audio,
		JackPortDirection::Output, true);
	EXPECT_NE(std::find(ours.begin(), ours.end(), port), ours.end());
	EXPECT_NE(std::find(ours.begin(), ours.end(), jack->ClientName()
		+ std::string(":PlayerTest 2_1")), ours.end());
	for (const std::string& name : ours)
		EXPECT_EQ(name.rfind("PlayerTest:", 0), std::string::npos) << "a client of its own";

	// What the listener records over the next `samples` samples, from where it is now.
	listener.StartRecording();
	auto record = [&](size_t samples) {
		size_t from = listener.RecordedCount();
		for (int i = 0; i < 200 && listener.RecordedCount() < from + samples; i++)
			EXPECT_EQ(jack->WaitPeriods(1), B_OK);
		std::vector<float> got = listener.Recorded();
		return std::vector<float>(got.begin() + long(from),
			got.begin() + long(std::min(got.size(), from + samples)));
	};

	ASSERT_EQ(jack->Connect(port, listener.Name() + ":in"), B_OK);
	player.SetHasData(true);
	ASSERT_EQ(player.Start(), B_OK) << player.ErrorText();
	EXPECT_TRUE(player.IsPlaying());
	ASSERT_EQ(jack->WaitPeriods(4), B_OK);
	std::vector<float> got = record(22050);
	ASSERT_EQ(got.size(), 22050u);
	for (size_t i = 0; i < got.size(); i++)
		ASSERT_FLOAT_EQ(got[i], 1000.0f / 32768.0f) << "sample " << i;
	player.Stop();
	EXPECT_FALSE(player.IsPlaying());
	int calls = source.calls.load();
	EXPECT_GT(calls, 40);
	ASSERT_EQ(jack->WaitPeriods(3), B_OK);
	EXPECT_EQ(source.calls.load(), calls) << "called after Stop()";
	// A stopped player's port is silent (not its last period again).
	got = record(4096);
	EXPECT_EQ(SignalPeak(got), 0.0f);

	// A player at half the server's rate: converted, at its level, called half as often.
	format.frame_rate = float(jack->SampleRate()) / 2;
	SoundPlayer slow(format, "SlowPlayer", &PlayerSource::Fill, &source);
	ASSERT_EQ(slow.InitCheck(), B_OK) << slow.ErrorText();
	ASSERT_EQ(jack->Connect(jack->ClientName() + std::string(":SlowPlayer_1"),
		listener.Name() + ":in"), B_OK);
	slow.SetHasData(true);
	ASSERT_EQ(slow.Start(), B_OK);
	ASSERT_EQ(jack->WaitPeriods(4), B_OK);
	int slowCalls = source.calls.load();
	got = record(22050);
	slowCalls = source.calls.load() - slowCalls;
	slow.Stop();
	ASSERT_EQ(got.size(), 22050u);
	for (size_t i = 0; i < got.size(); i++)
		ASSERT_NEAR(got[i], 1000.0f / 32768.0f, 0.0005f) << "sample " << i;
	double taken = double(slowCalls) * double(slow.OutputFormat().buffer_size / 2);
	EXPECT_NEAR(taken / 22050.0, 0.5, 0.1) << slowCalls << " calls";
	EXPECT_EQ(watch.count.load(), 0) << "allocations on JACK's process thread";
	jack->RemoveProcessHook(CountProcessThreadAllocations, &watch);
	jack->Release();
}

}  // namespace
