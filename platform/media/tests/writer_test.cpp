// The WAV writer: what it writes is what libsndfile reads back, and a file is replaced
// only by a finished one.

#include "media/MediaDefs.h"
#include "media/MediaFileWriter.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class WriterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fScratch.Valid()); }
    std::string PathOf(const std::string& name) const { return (fDir / name).string(); }
    size_t EntryCount() const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(fDir), {}));
    }
    std::string Contents(const std::string& name) const
    {
        std::ifstream in(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    ScratchDir fScratch{"media-writer"};
    fs::path fDir = fScratch.Path();
};

}  // namespace

TEST_F(WriterTest, WritesPcm16WavThatLibsndfileReadsBack)
{
    for (int32_t channels : {1, 2}) {
        std::vector<int16_t> frames;
        for (int i = 0; i < 1000 * channels; i++)
            frames.push_back(static_cast<int16_t>(i * 37 - 32768));
        frames[0] = 32767;
        frames[1] = -32768;

        std::string path = PathOf("out" + std::to_string(channels) + ".wav");
        MediaFileWriter writer;
        ASSERT_EQ(writer.Create(path, 44100, channels), B_OK) << writer.ErrorText();
        EXPECT_FALSE(fs::exists(path));  // nothing at the destination until committed
        ASSERT_EQ(writer.WriteFrames(frames.data(), 600), B_OK);
        ASSERT_EQ(writer.WriteFrames(frames.data() + 600 * channels, 400), B_OK);
        ASSERT_EQ(writer.Commit(), B_OK) << writer.ErrorText();

        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
        EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        EXPECT_EQ(info.samplerate, 44100);
        EXPECT_EQ(info.channels, channels);
        EXPECT_EQ(info.frames, 1000);
        std::vector<int16_t> back(frames.size());
        EXPECT_EQ(sf_readf_short(file, back.data(), 1000), 1000);
        sf_close(file);
        EXPECT_EQ(back, frames);
        // Little-endian RIFF, 44-byte header and the data.
        std::string bytes = Contents("out" + std::to_string(channels) + ".wav");
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        EXPECT_EQ(bytes.substr(8, 4), "WAVE");
        EXPECT_GE(bytes.size(), 44u + 2000u * channels);
    }
    EXPECT_EQ(EntryCount(), 2u);
}

TEST_F(WriterTest, AnUnfinishedFileNeverReplacesTheOldOne)
{
    std::ofstream(PathOf("keep.wav")) << "old";
    std::vector<int16_t> frames(100, 5);
    {
        MediaFileWriter writer;
        ASSERT_EQ(writer.Create(PathOf("keep.wav"), 44100, 1), B_OK);
        ASSERT_EQ(writer.WriteFrames(frames.data(), 100), B_OK);
        // Destroyed without Commit.
    }
    EXPECT_EQ(Contents("keep.wav"), "old");
    {
        MediaFileWriter writer;
        ASSERT_EQ(writer.Create(PathOf("keep.wav"), 44100, 1), B_OK);
        writer.Abort();
        EXPECT_FALSE(writer.IsOpen());
        EXPECT_EQ(writer.Commit(), B_NO_INIT);
    }
    EXPECT_EQ(Contents("keep.wav"), "old");
    EXPECT_EQ(EntryCount(), 1u);

    // Committing replaces it.
    MediaFileWriter writer;
    ASSERT_EQ(writer.Create(PathOf("keep.wav"), 22050, 1), B_OK);
    ASSERT_EQ(writer.WriteFrames(frames.data(), 100), B_OK);
    ASSERT_EQ(writer.Commit(), B_OK);
    EXPECT_EQ(Contents("keep.wav").substr(0, 4), "RIFF");
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(WriterTest, FailuresSayWhy)
{
    MediaFileWriter writer;
    int16_t frame = 0;
    EXPECT_EQ(writer.WriteFrames(&frame, 1), B_NO_INIT);
    EXPECT_EQ(writer.Create(PathOf("x.wav"), 0, 1), B_BAD_VALUE);
    EXPECT_EQ(writer.Create(PathOf("x.wav"), 44100, 0), B_BAD_VALUE);
    EXPECT_EQ(writer.Create("", 44100, 1), B_BAD_VALUE);

    EXPECT_EQ(writer.Create(PathOf("missing/x.wav"), 44100, 1), B_ENTRY_NOT_FOUND);
    EXPECT_NE(writer.ErrorText().find("missing/x.wav"), std::string::npos)
        << writer.ErrorText();

    // A folder in the way: refused at once, the folder stays, no temporary file remains.
    fs::create_directory(PathOf("folder.wav"));
    EXPECT_EQ(writer.Create(PathOf("folder.wav"), 44100, 1), B_IS_A_DIRECTORY);
    EXPECT_NE(writer.ErrorText().find("folder.wav"), std::string::npos) << writer.ErrorText();
    ASSERT_EQ(writer.Create(PathOf("fine.wav"), 44100, 1), B_OK);
    EXPECT_EQ(writer.WriteFrames(static_cast<const int16*>(nullptr), 5), B_BAD_VALUE);
    writer.Abort();
    EXPECT_TRUE(fs::is_directory(PathOf("folder.wav")));
    EXPECT_EQ(EntryCount(), 1u);
}
