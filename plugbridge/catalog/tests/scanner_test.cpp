// Directory scans: files that crash or hang the loading process are left out and
// remembered until they change; the rest load in order with their positions as ids.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "catalog/PlugInDescription.h"
#include "catalog/PlugInScanner.h"
#include "catalog/Preferences.h"
#include "testing/ScratchDir.h"
#include "vst/VSTPlugIn.h"
#include "vst/tests/TestPlugIns.h"

namespace {

class Scan : public testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_TRUE(fScratch.Valid());
		fPreferences = std::make_unique<Preferences>(fDirectory + "/settings");
		mkdir((fDirectory + "/plugins").c_str(), 0700);
	}

	std::string Copy(const std::string& from, const char* name)
	{
		std::string to = fDirectory + "/plugins/" + name;
		std::ifstream in(from, std::ios::binary);
		std::ofstream(to, std::ios::binary) << in.rdbuf();
		return to;
	}

	const PlugInScanner::Rejected* Find(const char* leaf)
	{
		for (const auto& r : fRejected) {
			if (r.path.size() >= strlen(leaf)
				&& r.path.compare(r.path.size() - strlen(leaf), strlen(leaf), leaf) == 0)
				return &r;
		}
		return nullptr;
	}

	status_t Run(const std::string& directory, bigtime_t timeout = 10000000)
	{
		fPlugIns.clear();
		fRejected.clear();
		PlugInScanner scanner(fPreferences.get(), PLUGBRIDGE_PROGRAM, timeout);
		return scanner.Scan(directory, &fPlugIns, &fRejected);
	}

	ScratchDir fScratch{"plugbridge-scan"};
	std::string fDirectory = fScratch.Path();
	std::unique_ptr<Preferences> fPreferences;
	std::vector<std::unique_ptr<VSTPlugIn>> fPlugIns;
	std::vector<PlugInScanner::Rejected> fRejected;
};

TEST_F(Scan, TheTestPlugInsLoadInOrderAndEveryBrokenFileIsNamed)
{
	ASSERT_EQ(Run(VST_TEST_PLUGINS_DIR), B_OK);
	std::vector<std::string> names;
	for (size_t i = 0; i < fPlugIns.size(); i++) {
		names.push_back(fPlugIns[i]->Name());
		EXPECT_EQ(fPlugIns[i]->Flavor()->internalId, int32(i));
	}
	EXPECT_EQ(names, (std::vector<std::string>{"vst-test-chatty.so", "Test Gain", "Test Meter",
		"Test Mono Stereo", "Test Offline", "Test Self Bypass", "Test Splitter", "Test Switch",
		"Test Synth"}));

	const PlugInScanner::Rejected* crash = Find("vst-test-crash-entry.so");
	ASSERT_NE(crash, nullptr);
	EXPECT_EQ(crash->status, B_INTERRUPTED);
	EXPECT_NE(crash->reason.find("crashed while loading"), std::string::npos) << crash->reason;
	EXPECT_FALSE(crash->remembered);
	for (const char* refused : {"vst-test-null-entry.so", "vst-test-bad-magic.so",
			 "vst-test-absurd-channels.so", "vst-test-negative-parameters.so",
			 "vst-test-no-entry.so", "vst-test-not-a-plugin.so"}) {
		const PlugInScanner::Rejected* r = Find(refused);
		ASSERT_NE(r, nullptr) << refused;
		EXPECT_FALSE(r->reason.empty()) << refused;
	}
	EXPECT_EQ(Find("vst-test-null-entry.so")->status, B_ERROR);
	EXPECT_EQ(Find("vst-test-no-entry.so")->status, B_MISSING_SYMBOL);
	EXPECT_EQ(fRejected.size(), 7u);

	// Only the crash is remembered: refusing is no danger.
	std::vector<Preferences::BadFile> bad = fPreferences->BadFiles();
	ASSERT_EQ(bad.size(), 1u);
	EXPECT_EQ(bad[0].path, crash->path);
	struct stat info;
	stat(crash->path.c_str(), &info);
	EXPECT_EQ(bad[0].size, int64(info.st_size));

	// The next scan leaves it out without loading it.
	ASSERT_EQ(Run(VST_TEST_PLUGINS_DIR), B_OK);
	ASSERT_NE(Find("vst-test-crash-entry.so"), nullptr);
	EXPECT_TRUE(Find("vst-test-crash-entry.so")->remembered);
	EXPECT_EQ(fPlugIns.size(), 9u);
}

TEST_F(Scan, ARememberedFileIsTriedAgainOnceItChanges)
{
	std::string crash = Copy(TestPlugInPath("crash-entry"), "crash.so");
	Copy(TestPlugInPath("gain"), "gain.so");
	ASSERT_EQ(Run(fDirectory + "/plugins"), B_OK);
	ASSERT_EQ(fPlugIns.size(), 1u);
	ASSERT_EQ(fRejected.size(), 1u);
	EXPECT_FALSE(fRejected[0].remembered);

	ASSERT_EQ(Run(fDirectory + "/plugins"), B_OK);
	ASSERT_EQ(fRejected.size(), 1u);
	EXPECT_TRUE(fRejected[0].remembered);

	// Replaced by a plug-in that works: loaded, and forgotten.
	unlink(crash.c_str());
	Copy(TestPlugInPath("meter"), "crash.so");
	ASSERT_EQ(Run(fDirectory + "/plugins"), B_OK);
	EXPECT_TRUE(fRejected.empty());
	ASSERT_EQ(fPlugIns.size(), 2u);
	EXPECT_STREQ(fPlugIns[0]->Name(), "Test Meter");
	EXPECT_TRUE(fPreferences->BadFiles().empty());
}

TEST_F(Scan, AHangingFileIsKilledAfterTheTimeOutAndTheScanGoesOn)
{
	Copy(std::string(VST_TEST_HANGING_DIR) + "/vst-test-hang-entry.so", "a-hang.so");
	Copy(TestPlugInPath("switch"), "b-switch.so");
	ASSERT_EQ(Run(fDirectory + "/plugins", 1500000), B_OK);
	ASSERT_EQ(fRejected.size(), 1u);
	EXPECT_EQ(fRejected[0].status, B_TIMED_OUT);
	EXPECT_NE(fRejected[0].reason.find("hung while loading (no answer within 1.5 s)"),
		std::string::npos) << fRejected[0].reason;
	ASSERT_EQ(fPlugIns.size(), 1u);
	EXPECT_STREQ(fPlugIns[0]->Name(), "Test Switch");
	EXPECT_EQ(fPreferences->BadFiles().size(), 1u);
}

TEST_F(Scan, FilesAreListedSortedWithLinksFollowedAndDirectoriesSkipped)
{
	Copy(TestPlugInPath("gain"), "b.so");
	symlink(TestPlugInPath("switch").c_str(), (fDirectory + "/plugins/a-link.so").c_str());
	symlink("/nonexistent/file.so", (fDirectory + "/plugins/dangling.so").c_str());
	mkdir((fDirectory + "/plugins/c-folder.so").c_str(), 0700);
	std::ofstream(fDirectory + "/plugins/.hidden.so") << "x";
	std::vector<std::string> files;
	ASSERT_EQ(PlugInScanner::ListFiles(fDirectory + "/plugins", &files), B_OK);
	EXPECT_EQ(files, (std::vector<std::string>{fDirectory + "/plugins/a-link.so",
		fDirectory + "/plugins/b.so"}));

	EXPECT_EQ(PlugInScanner::ListFiles(fDirectory + "/none", &files), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(Run(fDirectory + "/none"), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(Run(fDirectory + "/settings"), B_NOT_A_DIRECTORY);
}

TEST_F(Scan, WithoutTheProgramFilesLoadInThisProcess)
{
	Copy(TestPlugInPath("gain"), "gain.so");
	Copy(TestPlugInPath("null-entry"), "null.so");
	PlugInScanner scanner(nullptr, "/nonexistent/plugbridge");
	ASSERT_EQ(scanner.Scan(fDirectory + "/plugins", &fPlugIns, &fRejected), B_OK);
	ASSERT_EQ(fPlugIns.size(), 1u);
	ASSERT_EQ(fRejected.size(), 1u);
	EXPECT_EQ(fRejected[0].status, B_ERROR);
}

TEST(Description, NamesKindChannelsAndCounts)
{
	auto describe = [](const char* name) {
		VSTPlugIn plugIn(TestPlugInPath(name).c_str(), 0);
		EXPECT_EQ(plugIn.InitCheck(), B_OK) << name;
		return DescribePlugIn(plugIn);
	};
	PlugInDescription gain = describe("gain");
	EXPECT_EQ(gain.Lines(), (std::vector<std::string>{"VST Effect", "Test Gain", "Suite Tests",
		"Gain", "Uses default user interface", "Stereo input (doesn't accept mono)",
		"Stereo output", "1 parameter, 1 program"}));
	EXPECT_TRUE(gain.enabled);

	PlugInDescription monoStereo = describe("mono-stereo");
	EXPECT_EQ(monoStereo.inputs, "Stereo input (accepts mono)");
	EXPECT_EQ(monoStereo.counts, "0 parameters, 0 programs");
	PlugInDescription switcher = describe("switch");
	EXPECT_EQ(switcher.inputs, "Mono input");
	EXPECT_EQ(switcher.outputs, "Mono output");
	EXPECT_EQ(switcher.counts, "5 parameters, 2 programs");

	PlugInDescription synth = describe("synth");
	EXPECT_EQ(synth.kind, "VST Instrument");
	EXPECT_EQ(synth.warning, "VST Instruments are currently not supported");
	EXPECT_EQ(synth.inputs, "0 inputs");
	EXPECT_FALSE(synth.enabled);
	EXPECT_EQ(synth.Lines()[1], synth.warning);
	PlugInDescription offline = describe("offline");
	EXPECT_EQ(offline.warning, "VST Offline Mode is currently not supported");
	EXPECT_FALSE(offline.enabled);
}

}  // namespace
