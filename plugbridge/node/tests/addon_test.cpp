// The add-on: flavors of the plug-in directory, nodes made from them, rescans when the
// directory changes, and the library that mediahost loads.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "NodeTestGraph.h"
#include "node/VSTAddOn.h"
#include "testing/ScratchDir.h"

namespace {

class AddOn : public NodeGraph {
protected:
	void SetUp() override
	{
		ASSERT_TRUE(fScratch.Valid());
		fScratch.UseAsHome();
		fDirectory = fScratch.File("plugins");
		mkdir(fDirectory.c_str(), 0700);
	}
	void Copy(const char* plugIn, const std::string& as)
	{
		std::ifstream in(TestPlugInPath(plugIn), std::ios::binary);
		// Written beside and renamed into place, as an installer would.
		std::string temporary = fScratch.File(as + ".part");
		std::ofstream(temporary, std::ios::binary) << in.rdbuf();
		rename(temporary.c_str(), (fDirectory + "/" + as).c_str());
	}
	// Waits (up to 20 s) for the add-on to offer `count` flavors.
	bool WaitForFlavors(BMediaAddOn* addOn, int32 count)
	{
		for (int i = 0; i < 400; i++) {
			if (addOn->CountFlavors() == count)
				return true;
			snooze(50000);
		}
		return false;
	}
	std::string FlavorName(BMediaAddOn* addOn, int32 n)
	{
		const flavor_info* info = nullptr;
		if (addOn->GetFlavorAt(n, &info) != B_OK)
			return "";
		EXPECT_EQ(info->internal_id, n);
		return info->name;
	}

	ScratchDir fScratch{"plugbridge-addon"};
	std::string fDirectory;
};

TEST_F(AddOn, OffersOneFlavorPerUsablePlugInAndMakesNodesOfThem)
{
	auto* addOn = new VSTAddOn(-1, VST_TEST_PLUGINS_DIR, PLUGBRIDGE_PROGRAM);
	media_addon_id id;
	ASSERT_EQ(fRoster->RegisterAddOn(addOn, &id), B_OK);
	EXPECT_EQ(addOn->InitCheck(nullptr), B_OK);
	ASSERT_EQ(addOn->CountFlavors(), 9);
	EXPECT_EQ(addOn->RejectedFiles().size(), 7u);  // crashing, refused and not plug-ins
	const flavor_info* info = nullptr;
	ASSERT_EQ(addOn->GetFlavorAt(3, &info), B_OK);
	EXPECT_STREQ(info->name, "Test Mono Stereo");
	EXPECT_STREQ(info->info, "Mono Stereo\nSuite Tests");
	EXPECT_EQ(info->kinds, uint64(B_CONTROLLABLE | B_BUFFER_CONSUMER | B_BUFFER_PRODUCER));
	EXPECT_EQ(info->internal_id, 3);
	EXPECT_EQ(info->possible_count, 0);
	ASSERT_EQ(info->in_format_count, 2);
	EXPECT_EQ(info->in_formats[0].type, B_MEDIA_RAW_AUDIO);
	EXPECT_EQ(info->in_formats[0].u.raw_audio.channel_count, 1u);
	EXPECT_EQ(info->in_formats[1].u.raw_audio.channel_count, 2u);
	EXPECT_EQ(info->in_formats[1].u.raw_audio.frame_rate, 0);  // a wildcard
	ASSERT_EQ(info->out_format_count, 1);
	EXPECT_EQ(info->out_formats[0].u.raw_audio.channel_count, 2u);
	EXPECT_EQ(addOn->GetFlavorAt(9, &info), B_BAD_INDEX);
	EXPECT_EQ(addOn->GetConfigurationFor(nullptr, nullptr), B_UNSUPPORTED);
	EXPECT_FALSE(addOn->WantsAutoStart());

	status_t error = B_OK;
	flavor_info unknown;
	unknown.internal_id = 42;
	EXPECT_EQ(addOn->InstantiateNodeFor(&unknown, nullptr, &error), nullptr);
	EXPECT_EQ(error, B_BAD_INDEX);
	for (int32 refused : {4, 8}) {  // needs offline processing; an instrument
		addOn->GetFlavorAt(refused, &info);
		EXPECT_EQ(addOn->InstantiateNodeFor(info, nullptr, &error), nullptr) << info->name;
		EXPECT_EQ(error, B_UNSUPPORTED) << info->name;
	}
	addOn->GetFlavorAt(1, &info);
	BMediaNode* node = addOn->InstantiateNodeFor(info, nullptr, &error);
	ASSERT_NE(node, nullptr);
	EXPECT_EQ(error, B_OK);
	EXPECT_STREQ(node->Name(), "Test Gain");
	int32 internalId = -1;
	EXPECT_EQ(node->AddOn(&internalId), addOn);
	EXPECT_EQ(internalId, 0);
	ASSERT_EQ(fRoster->RegisterNode(node), B_OK);
	node->Release();
	EXPECT_EQ(fRoster->UnloadAddOn(id), B_OK);
}

TEST_F(AddOn, AChangedDirectoryIsScannedAgain)
{
	Copy("gain", "b-gain.so");
	Copy("switch", "c-switch.so");
	auto* addOn = new VSTAddOn(-1, fDirectory, PLUGBRIDGE_PROGRAM);
	media_addon_id id;
	ASSERT_EQ(fRoster->RegisterAddOn(addOn, &id), B_OK);
	ASSERT_TRUE(addOn->IsMonitoring());
	ASSERT_EQ(addOn->CountFlavors(), 2);
	const flavor_info* before = nullptr;
	addOn->GetFlavorAt(0, &before);

	Copy("meter", "a-meter.so");
	ASSERT_TRUE(WaitForFlavors(addOn, 3));
	EXPECT_EQ(FlavorName(addOn, 0), "Test Meter");
	EXPECT_EQ(FlavorName(addOn, 1), "Test Gain");
	EXPECT_EQ(FlavorName(addOn, 2), "Test Switch");
	// A record handed out before the rescan is still readable.
	EXPECT_STREQ(before->name, "Test Gain");

	unlink((fDirectory + "/b-gain.so").c_str());
	ASSERT_TRUE(WaitForFlavors(addOn, 2));
	EXPECT_EQ(FlavorName(addOn, 0), "Test Meter");
	EXPECT_EQ(FlavorName(addOn, 1), "Test Switch");  // now at position 1
	EXPECT_EQ(fRoster->UnloadAddOn(id), B_OK);
}

TEST_F(AddOn, TheLibraryLoadsThroughTheRosterAndItsNodesWork)
{
	// The library's add-on scans the directory of the settings: $VST_PATH's first entry.
	setenv("VST_PATH", (std::string(VST_TEST_PLUGINS_DIR) + ":/nowhere").c_str(), 1);
	media_addon_id id = -1;
	ASSERT_EQ(fRoster->LoadAddOn(PLUGBRIDGE_ADDON, &id), B_OK) << fRoster->LastAddOnError();
	unsetenv("VST_PATH");
	dormant_node_info dormant[64];
	int32 count = 64;
	ASSERT_EQ(fRoster->GetDormantNodes(dormant, &count), B_OK);
	const dormant_node_info* gain = nullptr;
	int32 ours = 0;
	for (int32 i = 0; i < count; i++) {
		if (dormant[i].addon != id)
			continue;
		ours++;
		if (strcmp(dormant[i].name, "Test Gain") == 0)
			gain = &dormant[i];
	}
	EXPECT_EQ(ours, 9);
	ASSERT_NE(gain, nullptr);
	media_node node;
	ASSERT_EQ(fRoster->InstantiateDormantNode(*gain, &node), B_OK);
	// The creator's reference, released from this thread at the end.
	BMediaNode* object = fRoster->AcquireNode(node.node);
	ASSERT_NE(object, nullptr);
	object->Release();
	Keep(object);
	float quarter = 0.25f;  // a gain of one half
	fRoster->SetParameterValue(node, 0, &quarter, sizeof(quarter), 0);
	auto* source = Register(new SignalSource(44100, 2, 2048));
	auto* collector = Register(new Collector(1 << 13));
	ASSERT_EQ(Connect(source->Node(), node, Format(media_raw_audio_format::B_AUDIO_FLOAT, 2, 44100,
		512)), B_OK);
	ASSERT_EQ(Connect(node, collector->Node(), Format(media_raw_audio_format::B_AUDIO_FLOAT, 2)),
		B_OK);
	ASSERT_TRUE(RunOffline({source->Node(), node, collector->Node()}, collector));
	std::vector<float> samples = collector->Samples();
	ASSERT_EQ(samples.size(), 4096u);
	EXPECT_NEAR(samples[1001], 0.5f * TestSignal(500, 1), 1e-6f);
	TearDown();
	EXPECT_EQ(fRoster->UnloadAddOn(id), B_OK);
}

}  // namespace
