// `plugbridge list` as a user runs it: the test plug-ins, Debian's real ones, bad input.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "testing/ScratchDir.h"

namespace {

struct Result {
	int status;
	std::string out;
	std::string err;
};

class ListCommand : public testing::Test {
protected:
	void SetUp() override { ASSERT_TRUE(fScratch.Valid()); }

	// Runs plugbridge with its settings in the scratch folder. `environment` is put before
	// the command (NAME=value ...).
	Result Run(const std::string& arguments, const std::string& environment = "")
	{
		const std::string out = fDirectory + "/out", err = fDirectory + "/err";
		const std::string command = "env XDG_CONFIG_HOME='" + fDirectory + "/config' HOME='"
			+ fDirectory + "/home' " + environment + " '" + PLUGBRIDGE_PROGRAM + "' "
			+ arguments + " >'" + out + "' 2>'" + err + "'";
		int status = std::system(command.c_str());
		return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(out), Read(err)};
	}
	static std::string Read(const std::string& path)
	{
		std::ifstream in(path, std::ios::binary);
		return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
	}
	// True when python's json module reads the text.
	bool IsJson(const std::string& text)
	{
		std::ofstream(fDirectory + "/doc.json") << text;
		return std::system(("/usr/bin/python3 -c 'import json,sys; json.load(open(sys.argv[1]))' '"
			+ fDirectory + "/doc.json'").c_str()) == 0;
	}
	static size_t Count(const std::string& text, const std::string& what)
	{
		size_t n = 0;
		for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
			n++;
		return n;
	}

	ScratchDir fScratch{"plugbridge-list"};
	std::string fDirectory = fScratch.Path();
};

TEST_F(ListCommand, DescribesEachTestPlugInWithItsParametersAndNamesTheBadFiles)
{
	Result r = Run(std::string("list ") + VST_TEST_PLUGINS_DIR);
	ASSERT_EQ(r.status, 0) << r.err;
	EXPECT_NE(r.out.find(": 9 plug-ins\n"), std::string::npos) << r.out;
	EXPECT_NE(r.out.find("vst-test-switch.so\n    VST Effect\n    Test Switch\n    Suite Tests\n"
						 "    Switch\n    Uses default user interface\n    Mono input\n"
						 "    Mono output\n    5 parameters, 2 programs\n"
						 "    0. Mode: Full  [Off | Half | Full]\n    1. Level: 0.000 dB\n"),
		std::string::npos) << r.out;
	EXPECT_NE(r.out.find("    program 1: Second\n"), std::string::npos);
	EXPECT_NE(r.out.find("vst-test-synth.so  (disabled)\n    VST Instrument\n"
						 "    VST Instruments are currently not supported\n"),
		std::string::npos);
	EXPECT_NE(r.out.find("vst-test-crash-entry.so: crashed while loading"), std::string::npos);
	EXPECT_NE(r.out.find("vst-test-null-entry.so: the entry made no effect"), std::string::npos);
	EXPECT_NE(r.out.find("vst-test-not-a-plugin.so: not a loadable shared object"),
		std::string::npos);

	// The crash is remembered in the settings and named so the next time.
	r = Run(std::string("list ") + VST_TEST_PLUGINS_DIR);
	EXPECT_NE(r.out.find("vst-test-crash-entry.so: crashed while loading"), std::string::npos);
	EXPECT_NE(r.out.find("(remembered from an earlier scan"), std::string::npos) << r.out;
}

TEST_F(ListCommand, JsonCarriesTheSameFacts)
{
	Result r = Run(std::string("list --json ") + VST_TEST_PLUGINS_DIR);
	ASSERT_EQ(r.status, 0) << r.err;
	EXPECT_TRUE(IsJson(r.out)) << r.out;
	EXPECT_EQ(Count(r.out, "{\"id\": "), 9u);
	EXPECT_NE(r.out.find("\"name\": \"Mode\", \"display\": \"Full\", \"label\": \"\", "
						 "\"discrete\": true, \"minimum\": 0, \"maximum\": 2, "
						 "\"items\": [\"Off\", \"Half\", \"Full\"]"),
		std::string::npos) << r.out;
	EXPECT_NE(r.out.find("\"programs\": [\"First\", \"Second\"]"), std::string::npos);
	EXPECT_NE(r.out.find("\"inputs\": \"Stereo input (accepts mono)\""), std::string::npos);
	EXPECT_EQ(Count(r.out, "\"remembered\": false"), 7u);
}

TEST_F(ListCommand, ListsDebiansRealPlugIns)
{
	struct stat info;
	if (stat("/usr/lib/vst/lsp-plugins", &info) != 0 || stat("/usr/lib/lxvst", &info) != 0)
		GTEST_SKIP() << "lsp-plugins-vst or dragonfly-reverb-vst is not installed";
	// What these plug-ins leave allocated at exit is theirs; the program's own memory is
	// checked by the tests that run the test plug-ins.
	const std::string foreign = "ASAN_OPTIONS=detect_leaks=0";
	Result dragonfly = Run("list --json /usr/lib/lxvst", foreign);
	ASSERT_EQ(dragonfly.status, 0) << dragonfly.err;
	EXPECT_TRUE(IsJson(dragonfly.out));
	EXPECT_EQ(Count(dragonfly.out, "{\"id\": "), 4u);
	EXPECT_NE(dragonfly.out.find("\"name\": \"Dragonfly Room Reverb\""), std::string::npos);
	EXPECT_NE(dragonfly.out.find("\"vendor\": \"Michael Willis"), std::string::npos);
	EXPECT_NE(dragonfly.out.find("\"editor\": \"Uses custom editor interface\""),
		std::string::npos);

	Result lsp = Run("list /usr/lib/vst/lsp-plugins", foreign);
	ASSERT_EQ(lsp.status, 0) << lsp.err;
	EXPECT_GE(Count(lsp.out, "\n    VST "), 100u);
	EXPECT_NE(lsp.out.find("Delay Compensator Stereo\n    LSP VST\n"), std::string::npos);
	// The shared library beside the plug-ins has no entry; it is named, not fatal.
	EXPECT_NE(lsp.out.find("lsp-plugins-vst2-1.2.5.so: no VST entry"), std::string::npos);
}

TEST_F(ListCommand, BadInputGetsAClearMessage)
{
	Result r = Run("list " + fDirectory + "/none");
	EXPECT_EQ(r.status, 1);
	EXPECT_NE(r.err.find("plugbridge: cannot read the plug-in directory"), std::string::npos);
	r = Run("list --bogus");
	EXPECT_EQ(r.status, 2);
	EXPECT_NE(r.err.find("unknown option '--bogus'"), std::string::npos);
	r = Run("list a b");
	EXPECT_EQ(r.status, 2);
	r = Run("list --timeout soon");
	EXPECT_EQ(r.status, 2);
	r = Run("frobnicate");
	EXPECT_EQ(r.status, 2);
	EXPECT_NE(r.err.find("unknown command 'frobnicate'"), std::string::npos);
	r = Run("list --help");
	EXPECT_EQ(r.status, 0);
	EXPECT_NE(r.out.find("usage: plugbridge list"), std::string::npos);
	r = Run("--help");
	EXPECT_EQ(r.status, 0);

	// Without a directory: the settings' one, here the default ~/.vst, still empty.
	mkdir((fDirectory + "/home").c_str(), 0700);
	mkdir((fDirectory + "/home/.vst").c_str(), 0700);
	r = Run("list");
	EXPECT_EQ(r.status, 0) << r.err;
	EXPECT_NE(r.out.find(fDirectory + "/home/.vst: 0 plug-ins"), std::string::npos) << r.out;
	// An unreadable settings file falls back to the defaults and is written back.
	std::ofstream(fDirectory + "/config/Media/vst/settings") << "garbage";
	r = Run("list");
	EXPECT_EQ(r.status, 0) << r.err;
	EXPECT_NE(Read(fDirectory + "/config/Media/vst/settings"), "garbage");
}

}  // namespace
