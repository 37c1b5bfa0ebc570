// The media host's commands as a user types them (the program itself, run by popen).
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <string>

namespace {

struct Outcome {
	int status = -1;
	std::string output;   // standard output and error together
};

Outcome RunHost(const std::string& arguments)
{
	Outcome outcome;
	std::string command = std::string(MEDIAHOST_PATH) + " " + arguments + " 2>&1";
	FILE* pipe = popen(command.c_str(), "r");
	if (pipe == nullptr)
		return outcome;
	char buffer[512];
	size_t n;
	while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
		outcome.output.append(buffer, n);
	int status = pclose(pipe);
	outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
	return outcome;
}

TEST(MediaHost, ListsFlavorsAndParameters)
{
	Outcome flavors = RunHost(std::string("flavors ") + MEDIA_TEST_ADDON);
	EXPECT_EQ(flavors.status, 0) << flavors.output;
	EXPECT_NE(flavors.output.find("0: Pass-through"), std::string::npos) << flavors.output;
	EXPECT_NE(flavors.output.find("kinds: producer, consumer, controllable"), std::string::npos);
	EXPECT_NE(flavors.output.find("input: raw audio any rate, any channels, float"),
		std::string::npos) << flavors.output;

	Outcome params = RunHost(std::string("params ") + MEDIA_TEST_ADDON + " --flavor 0");
	EXPECT_EQ(params.status, 0) << params.output;
	EXPECT_NE(params.output.find("1  Gain  continuous 0 .. 4  (now 1)"), std::string::npos)
		<< params.output;
	Outcome byName = RunHost(std::string("params ") + MEDIA_TEST_ADDON + " --flavor Pass-through");
	EXPECT_EQ(byName.output, params.output);

	Outcome help = RunHost("--help");
	EXPECT_EQ(help.status, 0);
	EXPECT_NE(help.output.find("run ADDON.so [--flavor N|NAME]"), std::string::npos);
}

TEST(MediaHost, BadInputGetsAClearMessage)
{
	ScratchDir scratch("mediahost");
	ASSERT_TRUE(scratch.Valid());
	std::ofstream(scratch.File("words.so")) << "not a library\n";
	struct Case {
		std::string arguments;
		int status;
		const char* mentions;
	};
	const Case cases[] = {
		{"", 2, "no command given"},
		{"mix " + std::string(MEDIA_TEST_ADDON), 2, "unknown command 'mix'"},
		{"flavors", 2, "flavors needs an add-on file"},
		{"flavors " + scratch.File("missing.so"), 1, "missing.so"},
		{"flavors " + scratch.File("words.so"), 1, "words.so"},
		{std::string("flavors ") + MEDIA_TEST_PLAIN_LIBRARY, 1, "no make_media_addon"},
		{std::string("params ") + MEDIA_TEST_ADDON + " --flavor 7", 2, "no flavor '7'"},
		{std::string("params ") + MEDIA_TEST_ADDON + " --flavor", 2, "--flavor needs a value"},
		{std::string("run ") + MEDIA_TEST_ADDON + " --param gain", 2, "--param wants ID=VALUE"},
		{std::string("run ") + MEDIA_TEST_ADDON + " --bogus", 2, "unknown option --bogus"},
	};
	for (const Case& c : cases) {
		Outcome run = RunHost(c.arguments);
		EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
		EXPECT_NE(run.output.find(c.mentions), std::string::npos) << c.arguments << "\n"
																   << run.output;
		EXPECT_EQ(run.output.rfind("mediahost: ", 0), 0u) << run.output;
	}
}

TEST(MediaHost, RunWithoutAJackServerSaysSo)
{
	std::string noServer = "JACK_DEFAULT_SERVER=no-such-server-" + std::to_string(getpid())
		+ " ";
	std::string command = std::string("run ") + MEDIA_TEST_ADDON;
	Outcome run;
	{
		std::string full = noServer + MEDIAHOST_PATH + " " + command + " 2>&1";
		FILE* pipe = popen(full.c_str(), "r");
		ASSERT_NE(pipe, nullptr);
		char buffer[512];
		size_t n;
		while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
			run.output.append(buffer, n);
		int status = pclose(pipe);
		run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
	}
	EXPECT_EQ(run.status, 1) << run.output;
	EXPECT_NE(run.output.find("cannot reach a JACK server"), std::string::npos) << run.output;
}

}  // namespace
