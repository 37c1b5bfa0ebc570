// tonetrace.so loaded the way the media host loads it: its one flavor, a node made from it
// that takes a tone and answers for its parameters.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/Message.h"
#include "media/MediaAddOn.h"
#include "media/MediaRoster.h"
#include "media/PlatformNodes.h"
#include "media/TimeSource.h"
#include "testing/ScratchDir.h"

namespace {

// The converter's preferences: no synthesizer (nothing to hear on a test machine).
void WritePreferences(const std::string& settings) {
  BMessage preferences('pref');
  preferences.AddInt32("InternalSynth", 0);
  std::vector<char> bytes(static_cast<size_t>(preferences.FlattenedSize()));
  ASSERT_EQ(preferences.Flatten(bytes.data(), static_cast<ssize_t>(bytes.size())), B_OK);
  std::filesystem::create_directories(settings);
  std::ofstream(settings + "/Tonetrace", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(TonetraceAddOn, OffersOneFlavorWhoseNodeRunsInTheGraph) {
  ScratchDir home("tonetrace-addon");
  ASSERT_TRUE(home.Valid());
  WritePreferences(home.UseAsHome());
  BMediaRoster* roster = BMediaRoster::Roster();
  media_addon_id id = -1;
  ASSERT_EQ(roster->LoadAddOn(TONETRACE_ADDON, &id), B_OK) << roster->LastAddOnError();
  BMediaAddOn* addOn = roster->AddOnFor(id);
  ASSERT_NE(addOn, nullptr);
  ASSERT_EQ(addOn->CountFlavors(), 1);
  const flavor_info* flavor = nullptr;
  ASSERT_EQ(addOn->GetFlavorAt(0, &flavor), B_OK);
  EXPECT_STREQ(flavor->name, "Tonetrace");
  EXPECT_STREQ(flavor->info, "Translate Audio stream into Midi stream");
  EXPECT_EQ(flavor->kinds, uint64(B_BUFFER_CONSUMER | B_CONTROLLABLE));
  EXPECT_EQ(flavor->possible_count, 0);
  ASSERT_EQ(flavor->in_format_count, 1);
  EXPECT_EQ(flavor->in_formats[0].type, B_MEDIA_RAW_AUDIO);
  EXPECT_EQ(flavor->out_format_count, 0);
  EXPECT_NE(addOn->GetFlavorAt(1, &flavor), B_OK);
  EXPECT_FALSE(addOn->WantsAutoStart());

  dormant_node_info info;
  info.addon = id;
  info.flavor_id = 0;
  media_node node;
  ASSERT_EQ(roster->InstantiateDormantNode(info, &node), B_OK);
  auto* tone = new ToneGeneratorNode(440, -10);
  ASSERT_EQ(roster->RegisterNode(tone), B_OK);
  media_output output;
  media_input input;
  int32 count = 0;
  ASSERT_EQ(roster->GetFreeOutputsFor(tone->Node(), &output, 1, &count), B_OK);
  ASSERT_EQ(roster->GetFreeInputsFor(node, &input, 1, &count), B_OK);
  EXPECT_STREQ(input.name, "Tonetrace");
  media_format format = media_format::RawAudioFormat();
  ASSERT_EQ(roster->Connect(output.source, input.destination, &format, &output, &input), B_OK);
  ASSERT_EQ(roster->StartNode(node, tone->TimeSource()->Now()), B_OK);
  ASSERT_EQ(roster->StartNode(tone->Node(), tone->TimeSource()->Now()), B_OK);

  // Preset 17 (Piccolo, notes 74..102) through the node's thread, read back.
  const int32 piccolo = 17;
  ASSERT_EQ(roster->SetParameterValue(node, 45, &piccolo, 4, 0), B_OK);
  float lowest = 0;
  for (int i = 0; i < 100 && lowest != 74; ++i) {
    size_t size = sizeof lowest;
    bigtime_t when = 0;
    ASSERT_EQ(roster->GetParameterValue(node, 47, &lowest, &size, &when), B_OK);
    if (lowest != 74) snooze(20000);
  }
  EXPECT_EQ(lowest, 74);

  roster->StopNode(tone->Node(), 0, true);
  roster->Disconnect(output, input);
  tone->Release();
  roster->ReleaseNode(node);
}

#ifdef MEDIAHOST_PATH
TEST(TonetraceAddOn, TheMediaHostListsItsFlavor) {
  FILE* pipe = popen(MEDIAHOST_PATH " flavors " TONETRACE_ADDON " 2>&1", "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  EXPECT_EQ(pclose(pipe), 0) << out;
  EXPECT_NE(out.find("Tonetrace"), std::string::npos) << out;
  EXPECT_NE(out.find("Translate Audio stream into Midi stream"), std::string::npos) << out;
}
#endif

}  // namespace
