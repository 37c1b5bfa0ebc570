#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/LbSettingsFile.h"
#include "app/LbXmlStream.h"
#include "testing/ScratchDir.h"

namespace {

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(SettingsFile, StateDocumentSavedWholeUnderOrbWorksPatchora)
{
    ScratchDir scratch("lb-settings");
    const std::string config = scratch.UseAsHome();
    EXPECT_EQ(SettingsFile(B_READ_ONLY, "state", "text/plain"), nullptr);  // first start

    std::unique_ptr<AtomicFileWriter> writer(SettingsFileWriter("state", "text/plain"));
    ASSERT_TRUE(writer);
    {
        LbXmlStream out(writer.get());
        LbXmlStreamI::ConstStringList keys{"version"}, values{"1.0"};
        out.WriteStartTag("State", &keys, &values);
        out.WriteCR();
        out.WriteEndTag("State");
    }
    ASSERT_EQ(writer->Commit(), B_OK);
    std::string path = config + "/OrbWorks/Patchora/state";
    EXPECT_EQ(ReadWhole(path), "<State version = 1.0>\n</State>\n");

    // A save abandoned half-way leaves the saved state.
    {
        std::unique_ptr<AtomicFileWriter> abandoned(SettingsFileWriter("state", "text/plain"));
        ASSERT_TRUE(abandoned);
        LbXmlStream out(abandoned.get());
        out.WriteStartTag("Sta");
    }
    EXPECT_EQ(ReadWhole(path), "<State version = 1.0>\n</State>\n");

    std::unique_ptr<BFile> file(SettingsFile(B_READ_ONLY, "state", "text/plain"));
    ASSERT_TRUE(file);
    LbXmlStream in(file.get());
    char* tag = in.ReadNextTag();
    ASSERT_NE(tag, nullptr);
    EXPECT_STREQ(tag, "State");
    free(tag);
    EXPECT_EQ(SettingsFile(B_READ_ONLY, "../escape", "text/plain"), nullptr);
}
