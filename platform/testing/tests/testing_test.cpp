// The shared test support: allocations counted per thread and for all, refusals, scratch
// folders that go away whatever they hold, a JACK probe that asks the run's own server, and
// the measures of a recorded tone.
#include "testing/AllocationCounter.h"
#include "testing/JackAvailable.h"
#include "testing/ScratchDir.h"
#include "testing/Signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Where allocated blocks go, so the compiler cannot drop an allocation as unused.
void* volatile gSink;

TEST(AllocationCounter, CountsNewAndMallocOnTheCallingThread)
{
	AllocationCounter counter;
	EXPECT_EQ(counter.Count(), 0);

	auto* number = new int(3);
	gSink = number;
	EXPECT_EQ(counter.Count(), 1);
	delete number;

	void* block = malloc(40);
	gSink = block;
	void* grown = realloc(block, 4000);
	gSink = grown;
	free(grown);
	void* zeroed = calloc(4, 8);
	gSink = zeroed;
	free(zeroed);
	EXPECT_EQ(counter.Count(), 4);

	std::vector<int> values;
	for (int i = 0; i < 100; ++i)
		values.push_back(i);
	EXPECT_GT(counter.Count(), 4);

	counter.Restart();
	int onStack[16] = {};
	gSink = onStack;
	EXPECT_EQ(counter.Count(), 0) << "a restart starts from nothing; the stack is no allocation";
}

TEST(AllocationCounter, SeesOtherThreadsOnlyWhenCountingAll)
{
	AllocationCounter mine;
	AllocationCounter all(AllocationCounter::kAllThreads);
	std::thread other([] {
		for (int i = 0; i < 10; ++i) {
			auto block = std::make_unique<char[]>(64);
			gSink = block.get();
		}
	});
	const long afterStart = mine.Count();	// starting a thread allocates on this one
	other.join();
	EXPECT_EQ(mine.Count(), afterStart) << "the other thread's allocations counted here";
	EXPECT_GE(all.Count(), 10);
}

TEST(AllocationCounter, RefusalFailsNewUntilItEnds)
{
	{
		RefuseAllocations refuse;
		EXPECT_THROW(gSink = new int(1), std::bad_alloc);
		EXPECT_EQ(new (std::nothrow) int(1), nullptr);
		EXPECT_THROW(gSink = new std::string(100, 'x'), std::bad_alloc);
	}
	auto* number = new int(5);
	EXPECT_EQ(*number, 5);
	delete number;
}

TEST(ScratchDir, IsOwnFolderAndGoesAwayWithEverythingInIt)
{
	std::string path;
	{
		ScratchDir dir("testing-test");
		ASSERT_TRUE(dir.Valid());
		ScratchDir other("testing-test");
		ASSERT_TRUE(other.Valid());
		EXPECT_NE(dir.Path(), other.Path());
		path = dir.Path();
		EXPECT_TRUE(fs::is_directory(path));
		EXPECT_EQ(dir.File("a.txt"), path + "/a.txt");

		fs::create_directories(dir.File("locked/inner"));
		std::ofstream(dir.File("locked/inner/file")) << "kept";
		fs::permissions(dir.File("locked/inner"), fs::perms::none);
		fs::permissions(dir.File("locked"), fs::perms::owner_read);
	}
	EXPECT_FALSE(fs::exists(path));
}

TEST(ScratchDir, HomeIsBorrowedAndGivenBack)
{
	const char* before = getenv("XDG_CONFIG_HOME");
	const std::string oldConfig = before != nullptr ? before : "";
	const bool hadConfig = before != nullptr;
	const std::string oldHome = getenv("HOME") != nullptr ? getenv("HOME") : "";
	{
		ScratchDir dir("testing-test");
		const std::string config = dir.UseAsHome();
		EXPECT_EQ(config, dir.Path() + "/config");
		EXPECT_EQ(std::string(getenv("XDG_CONFIG_HOME")), config);
		EXPECT_EQ(std::string(getenv("HOME")), dir.Path() + "/home");
	}
	EXPECT_EQ(getenv("XDG_CONFIG_HOME") != nullptr, hadConfig);
	if (hadConfig) {
		EXPECT_EQ(std::string(getenv("XDG_CONFIG_HOME")), oldConfig);
	}
	EXPECT_EQ(std::string(getenv("HOME") != nullptr ? getenv("HOME") : ""), oldHome);
}

TEST(JackAvailable, AsksTheServerThisRunNames)
{
	const char* name = getenv("JACK_DEFAULT_SERVER");
	const std::string runServer = name != nullptr ? name : "";
	setenv("JACK_NO_START_SERVER", "1", 1);

	// A name no server carries: nothing answers, and the skip message says which.
	const std::string nobody = "suite-nobody-" + std::to_string(getpid());
	setenv("JACK_DEFAULT_SERVER", nobody.c_str(), 1);
	EXPECT_FALSE(JackAvailable());
	EXPECT_NE(JackSkipMessage().find("'" + nobody + "'"), std::string::npos) << JackSkipMessage();

	if (name != nullptr)
		setenv("JACK_DEFAULT_SERVER", runServer.c_str(), 1);
	else
		unsetenv("JACK_DEFAULT_SERVER");
	if (JackPromised()) {
		EXPECT_TRUE(JackAvailable()) << "the run's own server does not answer";
	}
}

}	// namespace

TEST(Signal, MeasuresATonesFrequencyLevelAndPower)
{
	// 0.25 s of a 441 Hz sine of peak 0.5 at 44100 Hz, starting just below zero.
	std::vector<float> tone(11025);
	for (size_t i = 0; i < tone.size(); i++)
		tone[i] = 0.5f * float(std::sin(2 * 3.141592653589793 * 441.0 * double(i) / 44100 - 0.1));
	EXPECT_NEAR(SignalFrequency(tone, 44100), 441.0, 0.5);
	EXPECT_NEAR(SignalPeak(tone), 0.5, 1e-3);
	EXPECT_NEAR(SignalRms(tone), 0.5 / std::sqrt(2.0), 1e-3);
	EXPECT_TRUE(SignalFinite(tone));
	tone[100] = std::nanf("");
	EXPECT_FALSE(SignalFinite(tone));
	tone[100] = -INFINITY;
	EXPECT_FALSE(SignalFinite(tone));
	EXPECT_EQ(SignalFrequency({0.1f, -0.1f, 0.1f}, 44100), 0.0);  // one crossing
	EXPECT_EQ(SignalRms({}), 0.0);
}
