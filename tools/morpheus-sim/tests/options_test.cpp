// The program's command line.
#include "SimOptions.h"

#include <gtest/gtest.h>

#include <vector>

using namespace morpheus_sim;

namespace {

ParseResult Parse(std::vector<const char*> args, SimOptions& options, std::string& error)
{
	args.insert(args.begin(), "morpheus-sim");
	return ParseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

}  // namespace

TEST(Options, ParsesEveryOptionAndRefusesBadValues)
{
	SimOptions options;
	std::string error;
	EXPECT_EQ(Parse({}, options, error), ParseResult::kRun);
	EXPECT_EQ(options.deviceId, 0);
	EXPECT_EQ(options.channel, -1);

	EXPECT_EQ(Parse({"--name", "Sim A", "--input=in", "--output", "out", "--device-id", "15",
		"--channel", "16", "--memory", "m.syx", "--instrument-list", "i.syx", "--api", "jack",
		"--verbose"}, options, error), ParseResult::kRun) << error;
	EXPECT_EQ(options.clientName, "Sim A");
	EXPECT_EQ(options.inputName, "in");
	EXPECT_EQ(options.outputName, "out");
	EXPECT_EQ(options.deviceId, 15);
	EXPECT_EQ(options.channel, 15);
	EXPECT_EQ(options.memoryFile, "m.syx");
	EXPECT_EQ(options.instrumentList, "i.syx");
	EXPECT_EQ(options.api, "jack");
	EXPECT_TRUE(options.verbose);

	SimOptions fresh;
	EXPECT_EQ(Parse({"--help"}, fresh, error), ParseResult::kHelp);
	for (std::vector<const char*> bad : std::vector<std::vector<const char*>>{
			{"--device-id", "16"}, {"--device-id", "-1"}, {"--device-id", "x"},
			{"--device-id"}, {"--channel", "0"}, {"--channel", "17"}, {"--api", "oss"},
			{"--name="}, {"--bogus"}, {"extra"}, {"--verbose=yes"},
			{"--own-instrument-list", "--instrument-list", "f.syx"}}) {
		SimOptions o;
		error.clear();
		EXPECT_EQ(Parse(bad, o, error), ParseResult::kError) << bad[0];
		EXPECT_FALSE(error.empty());
	}
	EXPECT_NE(UsageText("morpheus-sim").find("--device-id"), std::string::npos);
}
