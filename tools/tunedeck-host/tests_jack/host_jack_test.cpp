// tunedeck-host with micfeed on the JACK server of the run: another JACK client plays a
// 440 Hz sine into the default audio input (the server's capture ports, as micfeed's
// media layer connects them), and the WAV written is read back with libsndfile.
#include "JackSource.h"
#include "RunProgram.h"
#include "WavReadBack.h"
#include "testing/JackAvailable.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(HostJack, RecordsASinePlayedIntoTheDefaultInput)
{
	SKIP_WITHOUT_JACK();
	ScratchDir dir("tunedeck-host-jack");
	ASSERT_TRUE(dir.Valid());
	JackSource sine(440.0, 0.25f);
	ASSERT_TRUE(sine.Open("tunedeck-host test sine"));

	const std::string out = dir.File("out.wav");
	StartedProgram host = StartProgram(TUNEDECK_HOST_PROGRAM,
		{MICFEED_PLUGIN_PATH, "input:", "--seconds", "4", "-o", out}, dir.Path(),
		{"SUITE_AUDIO_INPUT="});
	ASSERT_GE(host.pid, 0);
	bool connected = sine.WaitAndConnect();
	ProgramRun run = FinishProgram(host);
	ASSERT_TRUE(connected) << "micfeed's input never appeared on the JACK server: " << run.err;
	ASSERT_EQ(run.status, 0) << run.err;

	WavReadBack wav(out);
	ASSERT_TRUE(wav.ok);
	EXPECT_EQ(wav.Frames(), 4 * 44100);
	// The last two seconds: the sine is connected by then.
	const int64_t from = 2 * 44100;
	for (int c = 0; c < 2; c++) {
		EXPECT_NEAR(wav.Frequency(c, from), 440, 2) << c;
		EXPECT_NEAR(wav.Rms(c, from), 0.25 * 32767 / std::sqrt(2.0), 200) << c;
	}
}

}  // namespace
