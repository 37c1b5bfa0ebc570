// micfeed.so as a player sees it: loaded with dlopen, reached only through its exports.
#include "TunedeckPlugin.h"
#include "app/Message.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include <cstring>
#include <memory>

namespace {

class PluginFile : public testing::Test {
protected:
	static void SetUpTestSuite()
	{
		sHandle = dlopen(MICFEED_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
		ASSERT_NE(sHandle, nullptr) << dlerror();
	}
	// The file stays loaded, as a player keeps it: what its platform code set up at load
	// time lives as long as the process.
	void SetUp() override
	{
		ASSERT_NE(sHandle, nullptr);
		auto list = reinterpret_cast<get_plugin_list_fn>(dlsym(sHandle, "get_plugin_list"));
		ASSERT_NE(list, nullptr);
		fPlugins = list();
		ASSERT_NE(fPlugins, nullptr);
		ASSERT_NE(fPlugins[0], nullptr);
		fPlugin = fPlugins[0];
	}

	static void* sHandle;
	decoder_plugin** fPlugins = nullptr;
	decoder_plugin* fPlugin = nullptr;
};

void* PluginFile::sHandle = nullptr;

TEST_F(PluginFile, ListsOneDescriptorAndNoFileTypes)
{
	EXPECT_EQ(fPlugins[1], nullptr);
	EXPECT_EQ(fPlugin->magic, 0x64657363u);
	EXPECT_EQ(fPlugin->version, 3u);
	EXPECT_STREQ(fPlugin->id, "td-audio-in");
	EXPECT_EQ(fPlugin->major, 1u);
	EXPECT_EQ(fPlugin->minor, 1u);
	EXPECT_STREQ(fPlugin->name, "Audio Input");
	const char* about = fPlugin->about;
	const char* blank = strstr(about, "\n\n");
	ASSERT_NE(blank, nullptr) << about;
	EXPECT_LT(about, blank) << "an author line first";
	EXPECT_STREQ(blank + 2, "This decoder reads from the\ndefault audio input if you\n"
		"specify an \"input:\" URL");
	EXPECT_NE(fPlugin->aboutplugin, nullptr);
	EXPECT_NE(fPlugin->configure, nullptr);

	auto types = reinterpret_cast<get_supported_types_fn>(dlsym(sHandle,
		"get_supported_types"));
	ASSERT_NE(types, nullptr);
	const supported_type* list = types();
	ASSERT_NE(list, nullptr);
	const supported_type empty = {};
	EXPECT_EQ(memcmp(list, &empty, sizeof(empty)), 0);

	// Nothing else of the plug-in's code is visible to the player.
	EXPECT_EQ(dlsym(sHandle, "create_sem"), nullptr);
	EXPECT_EQ(dlsym(sHandle, "_ZN8RecorderD0Ev"), nullptr);
}

TEST_F(PluginFile, OpensInputLocationsAndDescribesThem)
{
	void* data = nullptr;
	EXPECT_EQ(fPlugin->getplugin(&data, "in:", nullptr, 0, nullptr), nullptr);
	EXPECT_EQ(fPlugin->getplugin(&data, "inputx", nullptr, 0, nullptr), nullptr);
	EXPECT_EQ(data, nullptr);
	decoder_ops* ops = fPlugin->getplugin(&data, "INPUT:", nullptr, 0, nullptr);
	ASSERT_NE(ops, nullptr);
	ASSERT_NE(data, nullptr);
	EXPECT_EQ(ops->magic, 0x696e7074u);

	BMessage config;
	config.AddInt32("amplification", 40);
	EXPECT_EQ(ops->open(data, "INPUT:", nullptr, 0, &config), 0);
	file_info info;
	ASSERT_EQ(ops->info(data, &info), 0);
	EXPECT_STREQ(info.typedesc, "audio input");
	EXPECT_EQ(info.channels, 2);
	EXPECT_EQ(info.frames, TUNEDECK_ENDLESS);

	fPlugin->destroyplugin(ops, data);
	fPlugin->destroyplugin(ops, nullptr);   // harmless
}

TEST_F(PluginFile, ConfigureGivesASettingsViewThatWritesBackTheAmplification)
{
	static int argc = 1;
	static char name[] = "exports_test";
	static char* argv[] = {name, nullptr};
	static QApplication app(argc, argv);

	BMessage config;
	config.AddInt32("amplification", 90);
	{
		std::unique_ptr<QWidget> view(fPlugin->configure(&config));
		ASSERT_NE(view, nullptr);
		EXPECT_NE(view->findChild<QWidget*>(), nullptr);
	}
	int32 stored = 0;
	ASSERT_EQ(config.FindInt32("amplification", &stored), B_OK);
	EXPECT_EQ(stored, 90);
	// The about box comes up without waiting for the user.
	fPlugin->aboutplugin();
	QMessageBox* about = nullptr;
	for (QWidget* window : QApplication::topLevelWidgets())
		if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible())
			about = box;
	ASSERT_NE(about, nullptr);
	EXPECT_NE(about->text().indexOf("micfeed"), -1);
	EXPECT_FALSE(about->isModal());
	ASSERT_EQ(about->buttons().size(), 1);
	EXPECT_EQ(about->buttons()[0]->text().remove('&'), "OK");
	about->close();
	QApplication::processEvents();
}

}  // namespace
