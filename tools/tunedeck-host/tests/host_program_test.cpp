// tunedeck-host as its users run it, on test plug-ins and on micfeed itself.
#include "RunProgram.h"
#include "WavReadBack.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class HostProgram : public testing::Test {
protected:
	void SetUp() override { ASSERT_TRUE(fDir.Valid()); }

	ProgramRun Run(const std::vector<std::string>& args, const std::vector<std::string>& env = {})
	{
		return RunProgram(TUNEDECK_HOST_PROGRAM, args, fScratch, env);
	}

	ScratchDir fDir{"tunedeck-host-test"};
	const std::string fScratch = fDir.Path();
};

TEST_F(HostProgram, WritesTheStreamOfTheFirstPluginThatTakesTheLocation)
{
	const std::string out = fScratch + "/tone.wav";
	ProgramRun run = Run({TONE_PLUGIN_PATH, "tone:440", "--seconds", "1.5",
		"--amplification", "50", "-o", out});
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_NE(run.out.find("Plug-in: Test Tone (test-tone 1.0)"), std::string::npos) << run.out;
	EXPECT_NE(run.out.find("test tone, sine (audio/x-raw)"), std::string::npos) << run.out;
	EXPECT_NE(run.out.find("44100 Hz, 2 channels, 16-bit, endless"), std::string::npos);

	WavReadBack wav(out);
	ASSERT_TRUE(wav.ok);
	EXPECT_EQ(wav.rate, 44100);
	EXPECT_EQ(wav.channels, 2);
	EXPECT_EQ(wav.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
	EXPECT_EQ(wav.Frames(), 66150);
	// Amplification 50 reached the plug-in: amplitude 5000, RMS 5000 / sqrt 2.
	EXPECT_NEAR(wav.Rms(0), 5000 / std::sqrt(2.0), 20);
	EXPECT_NEAR(wav.Frequency(0), 440, 2);
	EXPECT_NEAR(wav.Frequency(1), 440, 2);
}

TEST_F(HostProgram, StopsWhereAFiniteStreamEnds)
{
	const std::string out = fScratch + "/short.wav";
	ProgramRun run = Run({TONE_PLUGIN_PATH, "tone:1000:0.25", "--seconds", "5", "-o", out});
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_NE(run.out.find("0.2 s"), std::string::npos) << run.out;
	WavReadBack wav(out);
	ASSERT_TRUE(wav.ok);
	EXPECT_EQ(wav.Frames(), 11025);
	EXPECT_NEAR(wav.Frequency(1), 1000, 8);
}

TEST_F(HostProgram, RefusesFilesThatAreNotPluginsWithAClearMessage)
{
	const std::string text = fScratch + "/notes.txt";
	std::ofstream(text) << "not a library\n";
	const std::string out = fScratch + "/never.wav";
	struct Case {
		std::string plugin, location, message;
	};
	const Case cases[] = {
		{text, "tone:440", "cannot load the plug-in file"},
		{fScratch + "/missing.so", "tone:440", "cannot load the plug-in file"},
		{NO_LIST_PLUGIN_PATH, "tone:440", "does not export get_plugin_list"},
		{BAD_MAGIC_PLUGIN_PATH, "tone:440", "holds no plug-in this player can use"},
		{TONE_PLUGIN_PATH, "input:", "no plug-in takes the location 'input:'"},
	};
	for (const Case& c : cases) {
		ProgramRun run = Run({c.plugin, c.location, "--seconds", "1", "-o", out});
		EXPECT_EQ(run.status, 1) << c.plugin;
		EXPECT_EQ(run.err.rfind("tunedeck-host: ", 0), 0u) << run.err;
		EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
		EXPECT_FALSE(std::filesystem::exists(out));
	}

	ProgramRun usage = Run({TONE_PLUGIN_PATH});
	EXPECT_EQ(usage.status, 2);
	EXPECT_NE(usage.err.find("--help"), std::string::npos);
	ProgramRun help = Run({"--help"});
	EXPECT_EQ(help.status, 0);
	EXPECT_NE(help.out.find("Usage: tunedeck-host PLUGIN LOCATION"), std::string::npos);
}

#ifdef MICFEED_PLUGIN_PATH
TEST_F(HostProgram, MicfeedWithoutAnAudioInputGivesSilenceAndOneError)
{
	const std::string out = fScratch + "/silence.wav";
	// No JACK server of this name, and none started for us.
	ProgramRun run = Run({MICFEED_PLUGIN_PATH, "INPUT:", "--seconds", "1", "-o", out},
		{"JACK_DEFAULT_SERVER=tunedeck-host-test-none", "JACK_NO_START_SERVER=1",
			"SUITE_AUDIO_INPUT="});
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_NE(run.out.find("Plug-in: Audio Input (td-audio-in 1.1)"), std::string::npos);
	EXPECT_NE(run.out.find("audio input (audio/x-raw)"), std::string::npos) << run.out;
	size_t first = run.err.find("micfeed: ");
	ASSERT_NE(first, std::string::npos) << run.err;
	EXPECT_EQ(run.err.find("micfeed: ", first + 1), std::string::npos) << "reported once: "
		<< run.err;
	WavReadBack wav(out);
	ASSERT_TRUE(wav.ok);
	EXPECT_EQ(wav.Frames(), 44100);
	EXPECT_EQ(wav.Rms(0), 0);
	EXPECT_EQ(wav.Rms(1), 0);
}

TEST_F(HostProgram, MicfeedRecordsTheDefaultInputIntoTheFile)
{
	const std::string out = fScratch + "/input.wav";
	// The default audio input is a 440 Hz sine at -12 dBFS on two channels; x2 makes it -6.
	ProgramRun run = Run({MICFEED_PLUGIN_PATH, "input:", "--seconds", "2",
		"--amplification", "20", "-o", out}, {"SUITE_AUDIO_INPUT=tone:440:-12:2"});
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.err.find("micfeed:"), std::string::npos) << run.err;
	WavReadBack wav(out);
	ASSERT_TRUE(wav.ok);
	EXPECT_EQ(wav.Frames(), 88200);
	const double level = 2 * 32767 * std::pow(10.0, -12 / 20.0) / std::sqrt(2.0);
	for (int c = 0; c < 2; c++) {
		EXPECT_NEAR(wav.Frequency(c, 4410), 440, 2) << c;
		EXPECT_NEAR(wav.Rms(c, 4410), level, level * 0.03) << c;
	}
}
#endif

}  // namespace
