#include "Amplification.h"
#include "DecoderPlugin.h"
#include "app/Message.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace micfeed;

namespace {

template <class T>
T At(const file_info& info, size_t offset)
{
	T value;
	memcpy(&value, reinterpret_cast<const char*>(&info) + offset, sizeof(T));
	return value;
}

TEST(DecoderPlugin, TakesInputLocationsInAnyLetterCaseOnly)
{
	EXPECT_TRUE(TakesLocation("input:"));
	EXPECT_TRUE(TakesLocation("INPUT:"));
	EXPECT_TRUE(TakesLocation("InPuT:anything"));
	EXPECT_FALSE(TakesLocation("in:"));
	EXPECT_FALSE(TakesLocation("inputx"));
	EXPECT_FALSE(TakesLocation("input"));
	EXPECT_FALSE(TakesLocation(" input:"));
	EXPECT_FALSE(TakesLocation("file:///input:"));
	EXPECT_FALSE(TakesLocation(""));
	EXPECT_FALSE(TakesLocation(nullptr));
}

TEST(DecoderPlugin, GetPluginCreatesAStreamOnlyForLocationsItTakes)
{
	void* data = reinterpret_cast<void*>(0x1);
	EXPECT_EQ(GetPlugin(&data, "in:", nullptr, 0, nullptr), nullptr);
	EXPECT_EQ(GetPlugin(&data, "inputx", nullptr, 0, nullptr), nullptr);
	EXPECT_EQ(data, reinterpret_cast<void*>(0x1)) << "nothing created for a refused location";
	EXPECT_EQ(GetPlugin(nullptr, "input:", nullptr, 0, nullptr), nullptr);

	data = nullptr;
	decoder_ops* ops = GetPlugin(&data, "Input:", nullptr, 0, nullptr);
	ASSERT_NE(ops, nullptr);
	ASSERT_NE(data, nullptr);
	EXPECT_EQ(ops->magic, 0x696e7074u);
	EXPECT_EQ(ops->version, 3u);
	EXPECT_NE(ops->open, nullptr);
	EXPECT_EQ(ops->unused1, nullptr);
	EXPECT_NE(ops->info, nullptr);
	EXPECT_NE(ops->read, nullptr);
	for (decoder_unused_fn slot : ops->unused2)
		EXPECT_EQ(slot, nullptr);
	// Nothing is recorded until the first read: destroying at once is quick and quiet.
	DestroyPlugin(ops, data);
	DestroyPlugin(ops, nullptr);
	DestroyPlugin(nullptr, nullptr);
}

TEST(DecoderPlugin, InfoDescribesAnEndlessStereoStream)
{
	file_info info;
	memset(&info, 0x7f, sizeof(info));
	ASSERT_EQ(Operations()->info(nullptr, &info), 0);
	EXPECT_EQ(At<char>(info, 0), '\0');
	EXPECT_STREQ(reinterpret_cast<const char*>(&info) + 256, "audio input");
	EXPECT_STREQ(reinterpret_cast<const char*>(&info) + 512, "audio/x-raw");
	EXPECT_EQ(At<float>(info, 768), 44100.0f);
	EXPECT_EQ(At<float>(info, 772), 1411200.0f);
	const int32 ints[] = {2, 1024, 0x7fffffff, 2, 1, 1, 1, 4};
	for (size_t i = 0; i < 8; i++)
		EXPECT_EQ(At<int32>(info, 776 + 4 * i), ints[i]) << "offset " << 776 + 4 * i;
	EXPECT_EQ(Operations()->info(nullptr, nullptr), B_BAD_VALUE);
}

TEST(DecoderPlugin, OpenTakesTheAmplificationOnlyWithinItsRange)
{
	SetMultiplier(20);
	BMessage config;
	config.AddInt32("amplification", 5);
	EXPECT_EQ(Operations()->open(nullptr, "input:", nullptr, 0, &config), 0);
	EXPECT_EQ(Multiplier(), 20);
	config.ReplaceInt32("amplification", 501);
	EXPECT_EQ(Operations()->open(nullptr, "input:", nullptr, 0, &config), 0);
	EXPECT_EQ(Multiplier(), 20);
	BMessage wrongType;
	wrongType.AddFloat("amplification", 250.0f);
	EXPECT_EQ(Operations()->open(nullptr, "input:", nullptr, 0, &wrongType), 0);
	EXPECT_EQ(Multiplier(), 20);
	EXPECT_EQ(Operations()->open(nullptr, "input:", nullptr, 0, nullptr), 0);
	EXPECT_EQ(Multiplier(), 20);
	config.ReplaceInt32("amplification", 500);
	EXPECT_EQ(Operations()->open(nullptr, "input:", nullptr, 0, &config), 0);
	EXPECT_EQ(Multiplier(), 500);
	config.ReplaceInt32("amplification", 10);
	EXPECT_EQ(Operations()->open(nullptr, "input:", nullptr, 0, &config), 0);
	EXPECT_EQ(Multiplier(), 10);
}

TEST(DecoderPlugin, ReadRefusesMissingStreamOrBuffer)
{
	char buffer[16];
	EXPECT_EQ(Operations()->read(nullptr, buffer, 4), -1);
	void* data = nullptr;
	decoder_ops* ops = GetPlugin(&data, "input:", nullptr, 0, nullptr);
	ASSERT_NE(ops, nullptr);
	EXPECT_EQ(ops->read(data, nullptr, 4), -1);
	DestroyPlugin(ops, data);
}

TEST(Amplification, SettingsMessagesCarryItWithinItsRange)
{
	SetMultiplier(10);
	BMessage changed(kAmplificationChanged);
	changed.AddInt32("be:value", 250);
	EXPECT_TRUE(ApplyAmplificationChange(&changed));
	EXPECT_EQ(Multiplier(), 250);
	changed.ReplaceInt32("be:value", 9);
	EXPECT_FALSE(ApplyAmplificationChange(&changed));
	BMessage other('othr');
	other.AddInt32("be:value", 40);
	EXPECT_FALSE(ApplyAmplificationChange(&other));
	EXPECT_EQ(Multiplier(), 250);

	BMessage config;
	config.AddString("left over", "x");
	StoreAmplification(&config);
	int32 stored = 0;
	EXPECT_EQ(config.FindInt32("amplification", &stored), B_OK);
	EXPECT_EQ(stored, 250);
	EXPECT_FALSE(config.HasString("left over"));
	SetMultiplier(10);
}

}  // namespace
