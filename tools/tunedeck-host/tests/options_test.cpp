#include "HostOptions.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tunedeck;

namespace {

ParseResult Parse(std::vector<const char*> args, HostOptions& options, std::string& error)
{
	args.insert(args.begin(), "tunedeck-host");
	return ParseOptions(int(args.size()), args.data(), options, error);
}

TEST(HostOptions, ReadsThePluginTheLocationAndEveryOption)
{
	HostOptions options;
	std::string error;
	ASSERT_EQ(Parse({"micfeed.so", "input:", "--seconds", "2.5", "--amplification", "120", "-o",
		"out.wav"}, options, error), ParseResult::kRun) << error;
	EXPECT_EQ(options.plugin, "micfeed.so");
	EXPECT_EQ(options.location, "input:");
	EXPECT_EQ(options.seconds, 2.5);
	EXPECT_EQ(options.amplification, 120);
	EXPECT_EQ(options.output, "out.wav");

	HostOptions defaults;
	ASSERT_EQ(Parse({"--output", "x.wav", "p.so", "tone:440"}, defaults, error),
		ParseResult::kRun);
	EXPECT_EQ(defaults.seconds, 0);
	EXPECT_EQ(defaults.amplification, 0);
	EXPECT_EQ(defaults.output, "x.wav");
	EXPECT_EQ(defaults.location, "tone:440");

	EXPECT_EQ(Parse({"p.so", "--help"}, defaults, error), ParseResult::kHelp);
}

TEST(HostOptions, RefusesWhatItCannotUseWithAReason)
{
	const std::vector<std::vector<const char*>> bad = {
		{},
		{"p.so"},
		{"p.so", "input:", "extra"},
		{"p.so", "input:", "--seconds"},
		{"p.so", "input:", "--seconds", "0"},
		{"p.so", "input:", "--seconds", "-1"},
		{"p.so", "input:", "--seconds", "2s"},
		{"p.so", "input:", "--seconds", "nan"},
		{"p.so", "input:", "--amplification", "5"},
		{"p.so", "input:", "--amplification", "501"},
		{"p.so", "input:", "--amplification", "12.5"},
		{"p.so", "input:", "-o", ""},
		{"p.so", "input:", "--loud"},
	};
	for (const auto& args : bad) {
		HostOptions options;
		std::string error;
		EXPECT_EQ(Parse(args, options, error), ParseResult::kError) << args.size();
		EXPECT_FALSE(error.empty());
	}
	HostOptions options;
	std::string error;
	Parse({"p.so", "input:", "--amplification", "501"}, options, error);
	EXPECT_NE(error.find("10 (x1) to 500 (x50)"), std::string::npos) << error;
}

}  // namespace
