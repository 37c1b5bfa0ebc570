// `plugbridge process` as a user runs it: the test plug-ins and Debian's real ones, read
// back with libsndfile; settings, bypass, mute, the progress bar and bad input.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "media/SoundFileReader.h"
#include "testing/ScratchDir.h"
#include "vst/tests/TestPlugIns.h"

namespace {

struct Sound {
	int32 channels = 0;
	int32 rate = 0;
	std::vector<float> samples;
	int64 Frames() const { return channels ? int64(samples.size()) / channels : 0; }
};

class ProcessCommand : public testing::Test {
protected:
	void SetUp() override { ASSERT_TRUE(fScratch.Valid()); }

	struct Result {
		int status;
		std::string out;
		std::string err;
	};
	Result Run(const std::string& arguments, const std::string& wrapper = "")
	{
		const std::string out = fScratch.File("out.txt"), err = fScratch.File("err.txt");
		// Third-party plug-ins keep memory past their end: theirs, not checked here.
		std::string command = "env XDG_CONFIG_HOME='" + fScratch.File("config") + "' HOME='"
			+ fScratch.File("home") + "' ASAN_OPTIONS=detect_leaks=0 '" + PLUGBRIDGE_PROGRAM
			+ "' process " + arguments;
		if (!wrapper.empty())
			command = wrapper + " \"" + command + "\"";
		int status = std::system((command + " >'" + out + "' 2>'" + err + "'").c_str());
		return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(out), Read(err)};
	}
	static std::string Read(const std::string& path)
	{
		std::ifstream in(path, std::ios::binary);
		return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
	}
	// A sound file made by sox: `effect` is sox's synth description.
	std::string MakeInput(const char* name, int channels, const std::string& synth)
	{
		const std::string path = fScratch.File(name);
		const std::string command = "sox -q -n -r 44100 -c " + std::to_string(channels) + " '"
			+ path + "' " + synth;
		EXPECT_EQ(std::system(command.c_str()), 0) << command;
		return path;
	}
	static Sound Load(const std::string& path)
	{
		Sound sound;
		SoundFileReader reader;
		if (reader.Open(path) != B_OK)
			return sound;
		sound.channels = reader.Channels();
		sound.rate = reader.SampleRate();
		sound.samples.resize(size_t(reader.Frames() * reader.Channels()));
		reader.ReadFloat(sound.samples.data(), reader.Frames());
		return sound;
	}
	static double Rms(const Sound& s, int64 from, int64 to)
	{
		double sum = 0;
		for (int64 i = from * s.channels; i < to * s.channels; i++)
			sum += double(s.samples[size_t(i)]) * s.samples[size_t(i)];
		return std::sqrt(sum / double((to - from) * s.channels));
	}

	ScratchDir fScratch{"plugbridge-process"};
};

TEST_F(ProcessCommand, TheGainScalesBypassPassesAndMuteSendsNothing)
{
	const std::string in = MakeInput("in.wav", 2, "synth 1.5 sine 440 sine 660 gain -6");
	const std::string out = fScratch.File("out.wav");
	Result r = Run("'" + TestPlugInPath("gain") + "' '" + in + "' '" + out + "' --param Gain=0.25");
	ASSERT_EQ(r.status, 0) << r.err;
	EXPECT_NE(r.out.find("1.50 s of audio through Test Gain"), std::string::npos) << r.out;
	Sound source = Load(in), result = Load(out);
	ASSERT_EQ(result.channels, 2);
	EXPECT_EQ(result.rate, 44100);
	ASSERT_EQ(result.Frames(), source.Frames());
	for (size_t i = 0; i < source.samples.size(); i += 101)
		ASSERT_NEAR(result.samples[i], 0.5f * source.samples[i], 1.5f / 32767) << i;

	// Bypassed, with the gain at 0: the input unchanged. Other block sizes too.
	r = Run("'" + TestPlugInPath("gain") + "' '" + in + "' '" + out
		+ "' --param 0=0 --bypass --block 300");
	ASSERT_EQ(r.status, 0) << r.err;
	result = Load(out);
	ASSERT_EQ(result.Frames(), source.Frames());
	for (size_t i = 0; i < source.samples.size(); i++)
		ASSERT_NEAR(result.samples[i], source.samples[i], 1.5f / 32767) << i;

	r = Run("'" + TestPlugInPath("gain") + "' '" + in + "' '" + out + "' --mute");
	ASSERT_EQ(r.status, 0) << r.err;
	EXPECT_EQ(Load(out).Frames(), 0);
}

TEST_F(ProcessCommand, SwitchSettingsByNumberOrTextAndPrograms)
{
	const std::string in = MakeInput("mono.wav", 1, "synth 0.5 sine 300 gain -3");
	const std::string out = fScratch.File("out.wav");
	Sound source = Load(in);
	Result r = Run("'" + TestPlugInPath("switch") + "' '" + in + "' '" + out
		+ "' --program 1 --param Mode=Half --float");
	ASSERT_EQ(r.status, 0) << r.err;
	Sound result = Load(out);
	ASSERT_EQ(result.channels, 1);
	ASSERT_EQ(result.Frames(), source.Frames());
	EXPECT_NEAR(Rms(result, 0, result.Frames()), 0.5 * Rms(source, 0, source.Frames()), 1e-4);
	r = Run("'" + TestPlugInPath("switch") + "' '" + in + "' '" + out + "' --param Mode=0");
	ASSERT_EQ(r.status, 0) << r.err;
	EXPECT_EQ(Rms(Load(out), 0, source.Frames()), 0);

	// A mono file into a stereo plug-in that can do mono: both sides carry it.
	r = Run("'" + TestPlugInPath("mono-stereo") + "' '" + in + "' '" + out + "' --float");
	ASSERT_EQ(r.status, 0) << r.err;
	result = Load(out);
	ASSERT_EQ(result.channels, 2);
	EXPECT_NEAR(result.samples[2001], 1.25f * source.samples[1000], 1e-6f);
	EXPECT_NEAR(result.samples[2000], 1.25f * source.samples[1000], 1e-6f);
}

TEST_F(ProcessCommand, ShowsProgressOnATerminal)
{
	const std::string in = MakeInput("in.wav", 2, "synth 2 sine 440");
	// `script` gives the program a terminal of its own.
	Result r = Run("'" + TestPlugInPath("gain") + "' '" + in + "' '" + fScratch.File("out.wav") + "'",
		"script -qec");
	ASSERT_EQ(r.status, 0) << r.err << r.out;
	EXPECT_NE(r.out.find("[########################################] 100%"), std::string::npos)
		<< r.out;
	// Without a terminal, no bar.
	r = Run("'" + TestPlugInPath("gain") + "' '" + in + "' '" + fScratch.File("out.wav") + "'");
	EXPECT_EQ(r.err.find("100%"), std::string::npos);
}

TEST_F(ProcessCommand, BadInputGetsAClearMessage)
{
	const std::string stereo = MakeInput("in.wav", 2, "synth 0.2 sine 440");
	const std::string mono = MakeInput("mono.wav", 1, "synth 0.2 sine 440");
	const std::string out = fScratch.File("out.wav");
	const std::string gain = "'" + TestPlugInPath("gain") + "' ";
	struct Case {
		std::string arguments;
		int status;
		const char* words;
	} cases[] = {
		{gain + stereo + " " + out + " --param Volume=1", 1, "has no parameter 'Volume'"},
		{gain + stereo + " " + out + " --param Gain=1.5", 1, "is not a value of Gain (0 to 1)"},
		{gain + stereo + " " + out + " --param Gain=loud", 1, "is not a value of Gain"},
		{gain + stereo + " " + out + " --param Gain", 1, "needs NAME=VALUE"},
		{"'" + TestPlugInPath("switch") + "' " + mono + " " + out + " --param Mode=Loud", 1,
			"'Loud' is not a setting of Mode (0 to 2, or its text)"},
		{"'" + TestPlugInPath("switch") + "' " + mono + " " + out + " --program 7", 1,
			"there is no program 7"},
		{gain + mono + " " + out, 1, "takes stereo input"},
		{gain + fScratch.File("none.wav") + " " + out, 1, "cannot read"},
		{"'" + TestPlugInPath("not-a-plugin") + "' " + stereo + " " + out, 1,
			"is not a usable VST plug-in"},
		{"'" + TestPlugInPath("null-entry") + "' " + stereo + " " + out, 1, "the entry made no effect"},
		{gain + stereo + " " + out + " --block 5", 2, "--block needs 16 to 8192 frames"},
		{gain + stereo, 2, "process needs PLUGIN IN OUT"},
		{gain + stereo + " " + out + " --loud", 2, "unknown option '--loud'"},
	};
	for (const Case& c : cases) {
		Result r = Run(c.arguments);
		EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.err;
		EXPECT_NE(r.err.find(c.words), std::string::npos) << c.arguments << "\n" << r.err;
	}
	EXPECT_EQ(Run("--help").status, 0);
}

TEST_F(ProcessCommand, RealPlugInsDoWhatTheyShould)
{
	struct stat info;
	if (stat("/usr/lib/vst/lsp-plugins/comp-delay-stereo.so", &info) != 0
		|| stat("/usr/lib/lxvst/DragonflyHallReverb-vst.so", &info) != 0)
		GTEST_SKIP() << "lsp-plugins-vst or dragonfly-reverb-vst is not installed";
	const std::string noise = MakeInput("noise.wav", 2, "synth 2 pinknoise gain -12");
	const std::string out = fScratch.File("out.wav");
	// The delay compensator at its defaults passes the signal; its output gain scales it.
	Result r = Run("/usr/lib/vst/lsp-plugins/comp-delay-stereo.so '" + noise + "' '" + out
		+ "' --float");
	ASSERT_EQ(r.status, 0) << r.err;
	Sound source = Load(noise), plain = Load(out);
	ASSERT_EQ(plain.Frames(), source.Frames());
	EXPECT_NEAR(Rms(plain, 44100, 88200), Rms(source, 44100, 88200), 0.01 * Rms(source, 44100,
		88200));
	r = Run("/usr/lib/vst/lsp-plugins/comp-delay-stereo.so '" + noise + "' '" + out
		+ "' --param g_out=0.3 --float");
	ASSERT_EQ(r.status, 0) << r.err;
	Sound quieter = Load(out);
	EXPECT_LT(Rms(quieter, 44100, 88200), 0.3 * Rms(source, 44100, 88200));
	EXPECT_GT(Rms(quieter, 44100, 88200), 0.0001);

	// A hall reverb: a short burst leaves a tail after the input is silent.
	const std::string burst = MakeInput("burst.wav", 2, "synth 0.05 pinknoise pad 0 2");
	r = Run("/usr/lib/lxvst/DragonflyHallReverb-vst.so '" + burst + "' '" + out + "' --float");
	ASSERT_EQ(r.status, 0) << r.err;
	Sound hall = Load(out), dry = Load(burst);
	ASSERT_EQ(hall.Frames(), dry.Frames());
	EXPECT_EQ(Rms(dry, 22050, 44100), 0);
	EXPECT_GT(Rms(hall, 22050, 44100), 1e-4);
	for (float s : hall.samples)
		ASSERT_TRUE(std::isfinite(s));
}

}  // namespace
