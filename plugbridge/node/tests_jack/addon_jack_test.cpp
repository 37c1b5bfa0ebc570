// `mediahost run` on plugbridge's add-on over a real JACK server (./test starts one): the
// gain test plug-in sits between the ports of an independent JACK client, which plays a
// tone on each channel and records what comes back.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "testing/JackAvailable.h"
#include "testing/JackToneClient.h"
#include "testing/ScratchDir.h"
#include "testing/Signal.h"

extern char** environ;

namespace {

// The first line a program writes on its standard output, or what came before it ended or
// `seconds` passed.
std::string FirstLine(int fd, int seconds)
{
	std::string said;
	for (int waited = 0; said.find('\n') == std::string::npos && waited < seconds * 10;) {
		pollfd poller{fd, POLLIN, 0};
		int ready = poll(&poller, 1, 100);
		if (ready == 0) {
			waited++;
			continue;
		}
		char c;
		if (ready < 0 || read(fd, &c, 1) != 1)
			break;
		said += c;
	}
	return said;
}

TEST(PlugBridgeJack, MediaHostPutsTheGainPlugInBetweenJackPorts)
{
	SKIP_WITHOUT_JACK();
	ScratchDir home("plugbridge-jack");
	ASSERT_TRUE(home.Valid());
	home.UseAsHome();
	// The add-on offers the plug-ins of $VST_PATH's first folder.
	setenv("VST_PATH", VST_TEST_PLUGINS_DIR, 1);

	JackToneClient peer("plugbridge-peer", {{441.0, 0.6f}, {1000.0, 0.4f}});
	ASSERT_TRUE(peer.Valid());
	std::string client = "plugbridge-test-" + std::to_string(getpid());
	std::string in1 = peer.Port("out_1"), in2 = peer.Port("out_2");
	std::string out1 = peer.Port("in_1"), out2 = peer.Port("in_2");
	// Parameter 0 is the plug-in's "Gain": 0.25 is a gain of one half.
	std::vector<const char*> argv{"mediahost", "run", PLUGBRIDGE_ADDON, "--flavor", "Test Gain",
		"--name", client.c_str(), "--in", in1.c_str(), "--in", in2.c_str(), "--out",
		out1.c_str(), "--out", out2.c_str(), "--param", "0=0.25", nullptr};
	int output[2];
	ASSERT_EQ(pipe(output), 0);
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_adddup2(&actions, output[1], 1);
	posix_spawn_file_actions_addclose(&actions, output[0]);
	pid_t child = -1;
	int spawned = posix_spawn(&child, MEDIAHOST_PATH, &actions, nullptr,
		const_cast<char* const*>(argv.data()), environ);
	posix_spawn_file_actions_destroy(&actions);
	close(output[1]);
	ASSERT_EQ(spawned, 0);

	// The host says when it runs, with its ports connected (the scan comes first).
	std::string said = FirstLine(output[0], 60);
	bool running = said.find("running Test Gain") != std::string::npos;
	EXPECT_TRUE(running) << said;
	// What came back while the host ran.
	std::vector<float> recorded[2];
	if (running) {
		peer.StartRecording();
		EXPECT_TRUE(peer.WaitForRecorded(size_t(peer.Rate()) * 2, 20000000));
		for (size_t c = 0; c < 2; c++)
			recorded[c] = peer.Recorded(c);
	}
	kill(child, SIGINT);
	int status = 0;
	waitpid(child, &status, 0);
	close(output[0]);
	unsetenv("VST_PATH");
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
	if (!running)
		return;

	// Past the first half second (the ports connect one after another): each channel is
	// its tone at half its level.
	size_t settle = size_t(peer.Rate() / 2);
	struct Expected {
		double frequency;
		double peak;
	};
	const Expected expected[2] = {{441.0, 0.3}, {1000.0, 0.2}};
	for (size_t c = 0; c < 2; c++) {
		std::vector<float>& got = recorded[c];
		ASSERT_GT(got.size(), settle) << c;
		got.erase(got.begin(), got.begin() + long(settle));
		EXPECT_TRUE(SignalFinite(got)) << c;
		EXPECT_NEAR(SignalFrequency(got, peer.Rate()), expected[c].frequency, 1.0) << c;
		EXPECT_NEAR(SignalPeak(got), expected[c].peak, 0.005) << c;
		// No gaps or clicks: the power of a steady sine.
		EXPECT_NEAR(SignalRms(got), expected[c].peak / std::sqrt(2.0), 0.005) << c;
	}
}

}  // namespace
