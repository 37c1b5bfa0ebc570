// Pictures of the windows at their default sizes, as scripts/screenshot makes them on a
// virtual display, for review: the studio, add-device, about and librarian windows.
#include "app_fixture.h"

#include <QImage>
#include <QSet>

namespace {

TEST_F(AppTest, ScreenshotsShowEveryWindowWhole)
{
    if (Run("command -v xvfb-run >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xvfb-run is missing (scripts/setup installs xvfb)";
    std::string library = MakeLibrary("backup.lib");
    std::string shots = scratch.File("shots");
    std::string command = "SCREENSHOT_DIR='" + shots + "' '" + SUITE_SOURCE_DIR +
        "/scripts/screenshot' '" + PATCHORA_PATH + "' --simulate --open=add-device --open=about " +
        library + " 2>&1";
    std::string output;
    int status = Run(command, &output);
    ASSERT_EQ(status, 0) << output;
    std::vector<std::string> pictures;
    for (const auto& entry : std::filesystem::directory_iterator(shots))
        pictures.push_back(entry.path().string());
    // Studio, add-device and about windows, and the librarian window when there was a
    // library to open.
    EXPECT_EQ(pictures.size(), library.empty() ? 3u : 4u) << output;
    for (const std::string& path : pictures) {
        QImage image(QString::fromStdString(path));
        ASSERT_FALSE(image.isNull()) << path;
        EXPECT_GE(image.width(), 300) << path;
        EXPECT_GE(image.height(), 200) << path;
        // Drawn, not an empty frame: text and controls give many colours.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 2) {
            for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
        }
        EXPECT_GT(colours.size(), 20) << path;
    }
    printf("screenshots in %s (kept while the test runs)\n", shots.c_str());
}

} // namespace
