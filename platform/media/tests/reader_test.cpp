#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/MediaDefs.h"
#include "media/SoundFileReader.h"
#include "testing/ScratchDir.h"

namespace {

class SoundFileReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(mScratch.Valid()); }

  std::string Path(const char* name) const { return (std::filesystem::path(mDir) / name).string(); }

  // Writes through libsndfile, independently of the reader.
  template <typename T>
  void Write(const std::string& path, int format, int channels, int rate,
             const std::vector<T>& interleaved) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    const sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels;
    if constexpr (std::is_same_v<T, float>) {
      sf_command(f, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);
      ASSERT_EQ(sf_writef_float(f, interleaved.data(), frames), frames);
    } else {
      ASSERT_EQ(sf_writef_short(f, interleaved.data(), frames), frames);
    }
    sf_close(f);
  }

  ScratchDir mScratch{"reader"};
  std::string mDir = mScratch.Path();
};

TEST_F(SoundFileReaderTest, ReadsStereoWaveAndFlacExactly) {
  std::vector<int16_t> frames;
  for (int i = 0; i < 3000; ++i) {
    frames.push_back(static_cast<int16_t>(i * 21 - 32768));
    frames.push_back(static_cast<int16_t>(-i));
  }
  for (const auto& [name, format] : {std::pair{"a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                                     std::pair{"a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16}}) {
    const std::string path = Path(name);
    Write(path, format, 2, 22050, frames);
    SoundFileReader reader;
    ASSERT_EQ(reader.Open(path), B_OK) << reader.ErrorText();
    EXPECT_EQ(reader.Channels(), 2);
    EXPECT_EQ(reader.SampleRate(), 22050);
    EXPECT_EQ(reader.Frames(), 3000);
    std::vector<int16_t> got(6000 + 20);
    // In two reads, the second running past the end.
    EXPECT_EQ(reader.ReadInt16(got.data(), 1000), 1000);
    EXPECT_EQ(reader.ReadInt16(got.data() + 2000, 2010), 2000);
    EXPECT_EQ(reader.ReadInt16(got.data(), 10), 0);
    got.resize(6000);
    got[0] = frames[0];  // overwritten by the last read
    got[1] = frames[1];
    EXPECT_EQ(got, frames) << name;
  }
  // Float frames of the same file: the 16-bit values over 32768.
  SoundFileReader reader;
  ASSERT_EQ(reader.Open(Path("a.wav")), B_OK);
  float f[4];
  ASSERT_EQ(reader.ReadFloat(f, 2), 2);
  EXPECT_FLOAT_EQ(f[0], -1.0f);
  EXPECT_FLOAT_EQ(f[2], (21 - 32768) / 32768.0f);
  EXPECT_FLOAT_EQ(f[3], -1 / 32768.0f);
}

TEST_F(SoundFileReaderTest, FloatSamplesBeyondFullScaleClampInsteadOfWrapping) {
  const std::string path = Path("loud.wav");
  Write(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 48000,
        std::vector<float>{0.5f, 1.5f, -3.0f, 1.0f, -1.0f, NAN, 0.25f});
  SoundFileReader reader;
  ASSERT_EQ(reader.Open(path), B_OK) << reader.ErrorText();
  int16_t got[7];
  ASSERT_EQ(reader.ReadInt16(got, 7), 7);
  const int16_t expected[] = {16384, 32767, -32768, 32767, -32768, 0, 8192};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(got[i], expected[i]) << i;
}

TEST_F(SoundFileReaderTest, ReportsWhatIsWrongWithAFile) {
  SoundFileReader reader;
  int16_t buffer[4];
  EXPECT_EQ(reader.ReadInt16(buffer, 2), B_NO_INIT);
  EXPECT_EQ(reader.ReadFloat(nullptr, 2), B_NO_INIT);

  EXPECT_EQ(reader.Open(Path("missing.wav")), B_ENTRY_NOT_FOUND);
  EXPECT_NE(reader.ErrorText().find("missing.wav"), std::string::npos);
  EXPECT_EQ(reader.Open(mDir), B_ENTRY_NOT_FOUND);

  std::ofstream(Path("empty.wav")).close();
  EXPECT_EQ(reader.Open(Path("empty.wav")), B_MEDIA_NO_HANDLER);
  EXPECT_NE(reader.ErrorText().find("empty"), std::string::npos);

  std::ofstream(Path("text.wav")) << "this is not a sound file at all, only some words\n";
  EXPECT_EQ(reader.Open(Path("text.wav")), B_MEDIA_NO_HANDLER);
  EXPECT_FALSE(reader.IsOpen());

  // A header that promises more than the file holds: what is there is read, then the end.
  Write(Path("cut.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100,
        std::vector<int16_t>(1000, 7));
  std::filesystem::resize_file(Path("cut.wav"), std::filesystem::file_size(Path("cut.wav")) - 1000);
  ASSERT_EQ(reader.Open(Path("cut.wav")), B_OK);
  std::vector<int16_t> all(2000);
  const int64_t got = reader.ReadInt16(all.data(), 2000);
  EXPECT_GE(got, 400);
  EXPECT_LE(got, 600);
  EXPECT_EQ(all[static_cast<size_t>(got - 1)], 7);

  // A sound file with no frames opens and reads nothing.
  Write(Path("none.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, std::vector<int16_t>{});
  ASSERT_EQ(reader.Open(Path("none.wav")), B_OK);
  EXPECT_EQ(reader.Frames(), 0);
  EXPECT_EQ(reader.ReadInt16(buffer, 4), 0);
  reader.Close();
  EXPECT_FALSE(reader.IsOpen());
}

}  // namespace

TEST_F(SoundFileReaderTest, SeeksToAnyFrameAndRefusesBeyondTheEnd) {
  std::vector<int16_t> ramp(1000);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 16);
  Write(Path("ramp.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000, ramp);
  SoundFileReader reader;
  ASSERT_EQ(reader.Open(Path("ramp.wav")), B_OK);
  EXPECT_EQ(reader.MimeType(), "audio/x-wav");
  int16_t got[3];
  EXPECT_EQ(reader.Seek(500), 500);
  ASSERT_EQ(reader.ReadInt16(got, 3), 3);
  EXPECT_EQ(got[0], 500 * 16);
  EXPECT_EQ(reader.Seek(10), 10);
  ASSERT_EQ(reader.ReadInt16(got, 1), 1);
  EXPECT_EQ(got[0], 10 * 16);
  EXPECT_EQ(reader.Seek(1000), 1000);
  EXPECT_EQ(reader.ReadInt16(got, 1), 0);
  EXPECT_EQ(reader.Seek(1001), B_BAD_VALUE);
  EXPECT_EQ(reader.Seek(-1), B_BAD_VALUE);
}
