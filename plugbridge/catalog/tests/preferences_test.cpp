// The settings file: first start, unreadable files, one field changed at a time, the
// remembered bad plug-in files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "app/Message.h"
#include "catalog/Preferences.h"
#include "kernel/Geometry.h"
#include "testing/ScratchDir.h"

namespace {

class Settings : public testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_TRUE(fScratch.Valid());
		fPath = fDirectory + "/settings";
	}

	// The file as an independent reader sees it.
	BMessage ReadBack()
	{
		std::ifstream in(fPath, std::ios::binary);
		std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
		BMessage message;
		EXPECT_EQ(message.Unflatten(bytes.data(), ssize_t(bytes.size())), B_OK);
		return message;
	}

	ScratchDir fScratch{"plugbridge-settings"};
	std::string fDirectory = fScratch.Path();
	std::string fPath;
};

TEST_F(Settings, FirstStartWritesTheDefaults)
{
	// The process's own settings live under $XDG_CONFIG_HOME/Media/vst, made on first use.
	setenv("XDG_CONFIG_HOME", (fDirectory + "/config").c_str(), 1);
	setenv("HOME", (fDirectory + "/home").c_str(), 1);
	unsetenv("VST_PATH");
	Preferences* preferences = Preferences::getInstance();
	EXPECT_EQ(preferences->InitCheck(), B_OK);
	EXPECT_EQ(preferences->SettingsPath(), fDirectory + "/config/Media/vst/settings");
	fPath = preferences->SettingsPath();
	BMessage written = ReadBack();
	EXPECT_EQ(written.what, Preferences::kSettingsWhat);
	const char* directory = nullptr;
	ASSERT_EQ(written.FindString("plugins directory", &directory), B_OK);
	EXPECT_STREQ(directory, (fDirectory + "/home/.vst").c_str());
	BRect frame;
	ASSERT_EQ(written.FindRect("window frame", &frame), B_OK);
	EXPECT_EQ(frame.left, 100);
	EXPECT_EQ(frame.top, 100);
	EXPECT_EQ(frame.right, 500);
	EXPECT_EQ(frame.bottom, 400);
	EXPECT_EQ(preferences->getPath(), fDirectory + "/home/.vst");

	setenv("VST_PATH", "/opt/vst one:/usr/lib/vst", 1);
	EXPECT_EQ(Preferences::DefaultPath(), "/opt/vst one");
	setenv("VST_PATH", ":/usr/lib/vst", 1);
	EXPECT_EQ(Preferences::DefaultPath(), fDirectory + "/home/.vst");
	unsetenv("VST_PATH");
}

TEST_F(Settings, AnUnreadableFileIsReplacedByTheDefaults)
{
	for (const std::string& content : {std::string("not a message at all"), std::string()}) {
		std::ofstream(fPath, std::ios::binary) << content;
		Preferences preferences(fPath);
		EXPECT_EQ(preferences.InitCheck(), B_OK);
		EXPECT_EQ(preferences.getPath(), Preferences::DefaultPath());
		BMessage written = ReadBack();
		EXPECT_TRUE(written.HasString("plugins directory"));
		EXPECT_TRUE(written.HasRect("window frame"));
	}
	// A message without our fields is not our settings either.
	BMessage foreign('xxxx');
	foreign.AddInt32("plugins directory", 5);
	std::string bytes(size_t(foreign.FlattenedSize()), '\0');
	foreign.Flatten(bytes.data(), ssize_t(bytes.size()));
	std::ofstream(fPath, std::ios::binary) << bytes;
	Preferences preferences(fPath);
	EXPECT_EQ(ReadBack().what, Preferences::kSettingsWhat);
}

TEST_F(Settings, EachChangeRewritesItsFieldAndKeepsTheRest)
{
	{
		Preferences preferences(fPath);
		EXPECT_EQ(preferences.setPath("/srv/plug-ins"), B_OK);
		EXPECT_EQ(preferences.setFrame(BRect(10, 20, 310, 220)), B_OK);
	}
	// Another program's field survives our changes.
	BMessage withExtra = ReadBack();
	withExtra.AddString("note", "kept");
	std::string bytes(size_t(withExtra.FlattenedSize()), '\0');
	withExtra.Flatten(bytes.data(), ssize_t(bytes.size()));
	std::ofstream(fPath, std::ios::binary) << bytes;

	Preferences reread(fPath);
	EXPECT_EQ(reread.getPath(), "/srv/plug-ins");
	EXPECT_EQ(reread.getFrame().right, 310);
	EXPECT_EQ(reread.setPath("/srv/other"), B_OK);
	BMessage written = ReadBack();
	const char* text = nullptr;
	EXPECT_EQ(written.FindString("note", &text), B_OK);
	written.FindString("plugins directory", &text);
	EXPECT_STREQ(text, "/srv/other");
	type_code type;
	int32 count = 0;
	written.GetInfo("plugins directory", &type, &count);
	EXPECT_EQ(count, 1);
	BRect frame;
	written.FindRect("window frame", &frame);
	EXPECT_EQ(frame.bottom, 220);

	EXPECT_EQ(reread.setDefaults(), B_OK);
	EXPECT_EQ(Preferences(fPath).getPath(), Preferences::DefaultPath());
}

TEST_F(Settings, BadFilesAreRememberedOncePerPathAndForgotten)
{
	Preferences preferences(fPath);
	EXPECT_TRUE(preferences.BadFiles().empty());
	preferences.RememberBadFile({"/p/a.so", 100, 5, "crashed while loading"});
	preferences.RememberBadFile({"/p/b.so", 200, 6, "hung while loading"});
	preferences.RememberBadFile({"/p/a.so", 101, 7, "crashed again"});
	std::vector<Preferences::BadFile> files = Preferences(fPath).BadFiles();
	ASSERT_EQ(files.size(), 2u);
	EXPECT_EQ(files[0].path, "/p/b.so");
	EXPECT_EQ(files[1].path, "/p/a.so");
	EXPECT_EQ(files[1].size, 101);
	EXPECT_EQ(files[1].modified, 7);
	EXPECT_EQ(files[1].reason, "crashed again");
	EXPECT_EQ(preferences.ForgetBadFile("/p/b.so"), B_OK);
	EXPECT_EQ(preferences.ForgetBadFile("/p/unknown.so"), B_OK);
	files = preferences.BadFiles();
	ASSERT_EQ(files.size(), 1u);
	EXPECT_EQ(files[0].path, "/p/a.so");
	// The other settings are untouched.
	EXPECT_TRUE(ReadBack().HasString("plugins directory"));
}

TEST_F(Settings, AFailedWriteKeepsTheOldFile)
{
	Preferences preferences(fPath);
	preferences.setPath("/before");
	// A directory in the way of the temporary file's rename makes the write fail.
	Preferences elsewhere(fDirectory + "/missing/settings");
	EXPECT_NE(elsewhere.InitCheck(), B_OK);
	EXPECT_NE(elsewhere.setPath("/after"), B_OK);
	EXPECT_EQ(elsewhere.getPath(), "/after");  // kept for this run
	EXPECT_EQ(Preferences(fPath).getPath(), "/before");
}

}  // namespace
