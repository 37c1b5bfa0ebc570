// Media graphs over a real JACK server (./test starts one): another JACK client plays a
// sine into the default audio input and a consumer receives it; `mediahost run` carries a
// sine from one JACK client through a node to another.
#include "../tests/MediaTestNodes.h"

#include "jack/JackService.h"
#include "kernel/OS.h"
#include "media/DeviceNodes.h"
#include "media/TimeSource.h"
#include "testing/JackAvailable.h"

#include <jack/jack.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

	bigtime_t start = system_time_source()->Now() + 20000;
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

TEST(MediaJack, MediaHostRunsANodeBetweenTwoJackClients)
{
	SKIP_WITHOUT_JACK();
	SineClient peer("host-peer", 441.0, 0.8f);
	ASSERT_TRUE(peer.Valid());
	std::string client = "mediahost-test-" + std::to_string(getpid());
	int output[2];
	ASSERT_EQ(pipe(output), 0);
	pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0) {
		dup2(output[1], 1);
		close(output[0]);
		std::string in = peer.Name() + ":out", out = peer.Name() + ":in";
		execl(MEDIAHOST_PATH, "mediahost", "run", MEDIA_TEST_ADDON, "--name", client.c_str(),
			"--in", in.c_str(), "--out", out.c_str(), "--param", "1=0.5", nullptr);
		_exit(127);
	}
	close(output[1]);
	// The host says when it runs, with its ports connected.
	std::string said;
	char c;
	while (said.find('\n') == std::string::npos && read(output[0], &c, 1) == 1)
		said += c;
	EXPECT_NE(said.find("running Pass-through"), std::string::npos) << said;
	snooze(300000);
	peer.StartRecording();
	for (int i = 0; i < 400 && peer.RecordedCount() < 44100; i++)
		snooze(25000);
	kill(child, SIGINT);
	int status = 0;
	waitpid(child, &status, 0);
	close(output[0]);
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

	std::vector<float> got = peer.Recorded();
	ASSERT_GE(got.size(), 44100u);
	EXPECT_NEAR(SignalFrequency(got, peer.Rate()), 441.0, 1.0);
	EXPECT_NEAR(SignalPeak(got), 0.4, 0.01);   // 0.8 through a gain of 0.5
}

}  // namespace
