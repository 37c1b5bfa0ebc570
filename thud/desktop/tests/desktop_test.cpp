// The desktop knows thud's presets (and patchora's documents) once the programs are
// installed: a .desktop file and a shared-mime-info package each, with an icon.
#include "ThudPreset.h"
#include "storage/MimeType.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <QMimeDatabase>

namespace fs = std::filesystem;

namespace {

int RunShell(const std::string& command)
{
    return std::system((command + " > /dev/null 2>&1").c_str());
}

void Write(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

TEST(DesktopIntegration, InstalledTypesKnowPresetsByContentAndName)
{
    ScratchDir scratch("thud-desktop");
    ASSERT_TRUE(scratch.Valid());
    fs::path prefix = scratch.Path();
    ASSERT_EQ(RunShell(std::string("'") + CMAKE_COMMAND_PATH + "' --install '" + SUITE_BINARY_DIR
                  + "' --prefix '" + prefix.string() + "' --component desktop"),
              0);
    fs::path share = prefix / "share";
    for (const char* program : {"thud", "patchora"}) {
        fs::path desktop = share / "applications" / (std::string(program) + ".desktop");
        EXPECT_TRUE(fs::exists(desktop)) << desktop;
        EXPECT_TRUE(fs::exists(share / "mime/packages" / (std::string(program) + ".xml")));
        EXPECT_TRUE(fs::exists(share / "icons/hicolor/scalable/apps" / (std::string(program) + ".svg")));
        EXPECT_EQ(RunShell("desktop-file-validate '" + desktop.string() + "'"), 0) << desktop;
    }
    ASSERT_EQ(RunShell("update-mime-database '" + (share / "mime").string() + "'"), 0);

    // Qt reads the freedesktop.org database from XDG_DATA_DIRS on first use.
    setenv("XDG_DATA_DIRS", (share.string() + ":/usr/share").c_str(), 1);
    setenv("XDG_DATA_HOME", (prefix / "home").c_str(), 1);
    auto preset = thud::EncodePreset(thud::ThudParams{});
    std::string bytes(preset.begin(), preset.end());
    Write(prefix / "kick.thud", bytes);
    Write(prefix / "kick.bin", bytes);             // the content alone says it
    Write(prefix / "dump.syx", "\xF0\x18\x0C\xF7");
    QMimeDatabase database;
    EXPECT_EQ(database.mimeTypeForFile(QString::fromStdString((prefix / "kick.thud").string()))
                  .name(),
              "document/thud-preset");
    EXPECT_EQ(database
                  .mimeTypeForFile(QString::fromStdString((prefix / "kick.bin").string()),
                                   QMimeDatabase::MatchContent)
                  .name(),
              "document/thud-preset");
    EXPECT_EQ(database.mimeTypeForFile("other.thud", QMimeDatabase::MatchExtension).name(),
              "document/thud-preset");
    EXPECT_EQ(database.mimeTypeForFile(QString::fromStdString((prefix / "dump.syx").string()))
                  .name(),
              "application/x-syx");
    EXPECT_EQ(database.mimeTypeForFile("library.plib", QMimeDatabase::MatchExtension).name(),
              "text/x-vnd.ORB.PatchesLib");

    // The suite's own guess, where the file system keeps no type, agrees.
    std::string type;
    ASSERT_EQ(guess_mime_type((prefix / "kick.bin").c_str(), &type), B_OK);
    EXPECT_EQ(type, "document/thud-preset");
    ASSERT_EQ(guess_mime_type((prefix / "other.THUD").c_str(), &type), B_OK);
    EXPECT_EQ(type, "document/thud-preset");
}
