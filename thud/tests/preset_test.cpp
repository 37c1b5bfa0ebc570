// The 52-byte preset file: its exact bytes, reading with its checks, atomic writing.

#include "ThudPreset.h"
#include "ThudSound.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace thud;
namespace fs = std::filesystem;

namespace {

class PresetFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fScratch.Valid()); }

    std::string PathOf(const std::string& name) const { return (fDir / name).string(); }
    void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        std::ofstream out(PathOf(name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    std::vector<uint8_t> ReadBytes(const std::string& name) const
    {
        std::ifstream in(PathOf(name), std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    size_t EntryCount() const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(fDir), {}));
    }

    ScratchDir fScratch{"thud-preset"};
    fs::path fDir = fScratch.Path();
};

// The defaults, written out by hand: little-endian floats 1000, 0, 200, 0.95, 1, 1, 1,
// 5000, 1, then oscillator 1 and four switches off.
const std::vector<uint8_t> kDefaultBytes = {
    0x54, 0x48, 0x30, 0x44, 0x00, 0x00, 0x00, 0x00,  // "TH0D", 0, reserved
    0x00, 0x00, 0x7A, 0x44,                          // 1000
    0x00, 0x00, 0x00, 0x00,                          // reserved
    0x00, 0x00, 0x48, 0x43,                          // 200
    0x33, 0x33, 0x73, 0x3F,                          // 0.95
    0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F,  // curves
    0x00, 0x00, 0x80, 0x3F,                          // distortion
    0x00, 0x40, 0x9C, 0x45,                          // 5000
    0x00, 0x00, 0x80, 0x3F,                          // Q
    0x01, 0x00, 0x00, 0x00,                          // sine
    0x00, 0x00, 0x00, 0x00,
};

}  // namespace

TEST_F(PresetFileTest, SavedPresetHasTheExactBytes)
{
    auto defaults = EncodePreset(ThudParams{});
    EXPECT_EQ(std::vector<uint8_t>(defaults.begin(), defaults.end()), kDefaultBytes);

    // Every field in its own place.
    ThudParams p;
    p.startFreq = 55.0f;        // 0x425C0000
    p.reserved = -2.0f;         // 0xC0000000
    p.duration = 0.5f;          // 0x3F000000
    p.amplitude = 2.0f;         // 0x40000000
    p.freqCurve = -8.0f;        // 0xC1000000
    p.ampCurve = 4.0f;          // 0x40800000
    p.distortion = 10.0f;       // 0x41200000
    p.cutoff = 20000.0f;        // 0x469C4000
    p.resonance = 0.25f;        // 0x3E800000
    p.oscType = 0x01020304;
    p.ampEnvOn = 1;
    p.freqEnvOn = 2;
    p.distortionOn = 3;
    p.filterOn = 4;
    std::string error;
    ASSERT_EQ(WritePresetToFile(PathOf("kick.thud"), p, error), 0) << error;
    const std::vector<uint8_t> expected = {
        0x54, 0x48, 0x30, 0x44, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x5C, 0x42,
        0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x40,
        0x00, 0x00, 0x00, 0xC1, 0x00, 0x00, 0x80, 0x40, 0x00, 0x00, 0x20, 0x41,
        0x00, 0x40, 0x9C, 0x46, 0x00, 0x00, 0x80, 0x3E, 0x04, 0x03, 0x02, 0x01,
        0x01, 0x02, 0x03, 0x04,
    };
    EXPECT_EQ(ReadBytes("kick.thud"), expected);
    EXPECT_EQ(EntryCount(), 1u);  // no temporary file left beside it

    PresetReadResult back = ReadPresetFromFile(PathOf("kick.thud"));
    EXPECT_EQ(back.outcome, PresetReadResult::kLoaded);
    EXPECT_TRUE(back.messages.empty());
    EXPECT_EQ(back.params, p);
}

TEST_F(PresetFileTest, FilesThatAreNotPresetsGiveTheDefaults)
{
    ThudParams custom;
    custom.startFreq = 60;
    auto good = EncodePreset(custom);
    std::vector<uint8_t> bytes(good.begin(), good.end());

    // The letter O in place of the digit zero.
    std::vector<uint8_t> letterO = bytes;
    letterO[2] = 'O';
    WriteBytes("letter-o.thud", letterO);
    // No terminating 0 after the magic.
    std::vector<uint8_t> unterminated = bytes;
    unterminated[4] = ' ';
    WriteBytes("unterminated.thud", unterminated);
    // One byte short, and empty.
    WriteBytes("short.thud", std::vector<uint8_t>(bytes.begin(), bytes.end() - 1));
    WriteBytes("empty.thud", {});

    for (const char* name : {"letter-o.thud", "unterminated.thud", "short.thud", "empty.thud"}) {
        PresetReadResult r = ReadPresetFromFile(PathOf(name));
        EXPECT_EQ(r.outcome, PresetReadResult::kNotValid) << name;
        EXPECT_EQ(r.params, ThudParams{}) << name;
        ASSERT_EQ(r.messages.size(), 1u) << name;
        EXPECT_EQ(r.messages[0], "Error: Not a valid Thud file! Loading default parameters...");
    }
    ThudParams defaults;
    EXPECT_EQ(defaults.startFreq, 1000.0f);
    EXPECT_EQ(defaults.duration, 200.0f);
    EXPECT_EQ(defaults.amplitude, 0.95f);
    EXPECT_EQ(defaults.cutoff, 5000.0f);
    EXPECT_EQ(defaults.oscType, 1);

    // Extra bytes after a good block do no harm.
    bytes.push_back(0xEE);
    WriteBytes("long.thud", bytes);
    PresetReadResult r = ReadPresetFromFile(PathOf("long.thud"));
    EXPECT_EQ(r.outcome, PresetReadResult::kLoaded);
    EXPECT_EQ(r.params.startFreq, 60.0f);
}

TEST_F(PresetFileTest, MissingAndUnreadableFilesAreReported)
{
    PresetReadResult missing = ReadPresetFromFile(PathOf("none.thud"));
    EXPECT_EQ(missing.outcome, PresetReadResult::kCannotOpen);
    ASSERT_EQ(missing.messages.size(), 1u);
    EXPECT_EQ(missing.messages[0], "Error: Could not open file!");
    EXPECT_NE(missing.systemError, 0);

    // A folder opens but cannot be read.
    fs::create_directory(fDir / "folder.thud");
    PresetReadResult folder = ReadPresetFromFile(PathOf("folder.thud"));
    EXPECT_EQ(folder.outcome, PresetReadResult::kNotValid);
    ASSERT_EQ(folder.messages.size(), 2u);
    EXPECT_EQ(folder.messages[0], "Error: Could not read from file!");
    EXPECT_EQ(folder.messages[1], "Error: Not a valid Thud file! Loading default parameters...");
}

TEST_F(PresetFileTest, AFailedSaveLeavesTheOldFile)
{
    ThudParams first;
    first.startFreq = 70;
    std::string error;
    ASSERT_EQ(WritePresetToFile(PathOf("p.thud"), first, error), 0);
    ThudParams second;
    second.startFreq = 80;
    ASSERT_EQ(WritePresetToFile(PathOf("p.thud"), second, error), 0);
    EXPECT_EQ(ReadPresetFromFile(PathOf("p.thud")).params.startFreq, 80.0f);

    // Into a folder that does not exist, and over a folder: an error, nothing left behind.
    EXPECT_NE(WritePresetToFile(PathOf("no/such/p.thud"), first, error), 0);
    EXPECT_NE(error.find("no/such/p.thud"), std::string::npos) << error;
    fs::create_directory(fDir / "taken");
    fs::create_directory(fDir / "taken" / "inside");
    EXPECT_NE(WritePresetToFile(PathOf("taken"), first, error), 0);
    EXPECT_TRUE(fs::is_directory(fDir / "taken" / "inside"));
    EXPECT_EQ(EntryCount(), 2u);  // p.thud and the folder
}

TEST_F(PresetFileTest, ApplyingAPresetSetsTheEngineAndItsTables)
{
    ThudParams p;
    p.startFreq = 441;
    p.duration = 10;
    p.amplitude = 1;
    p.oscType = 2;
    p.distortion = 1;
    p.distortionOn = 1;
    ThudSound sound;
    ApplyParams(sound, p);
    EXPECT_EQ(sound.OscType(), 2);
    EXPECT_EQ(sound.GetWaveTable()[100], 1.0f);  // square, rebuilt
    EXPECT_FLOAT_EQ(sound.GetShapeTable()[0], std::tanh(-1.0f));
    EXPECT_TRUE(sound.IsDistortionEnabled());
    ASSERT_EQ(sound.GenerateSound(), ThudSound::kOk);
    EXPECT_EQ(sound.GetSampleLength(), 441);
    // The square's +1 lands on position 2048 of the shape table, its guard entry, which
    // repeats entry 2047 = tanh(drive x (2047/1024 - 1)); with a drive of 1 that floors to
    // 24941, where tanh(1) itself would give 24955.
    const float guard = static_cast<float>(std::tanh(1.0 * (2047 / 1024.0 - 1)));
    EXPECT_EQ(sound.GetSampleAt(1), static_cast<int16_t>(std::floor(guard * 32767.0)));
    EXPECT_EQ(sound.GetSampleAt(1), 24941);
}

TEST(PresetBytesTest, AnyBlockSurvivesARoundTripAndRendersSafely)
{
    // Random blocks behind a good magic: decoding and encoding again gives the same bytes
    // (reserved bytes 5 to 7 are written as 0), and whatever the values, rendering a short
    // piece of it stays within bounds.
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<uint8_t>(seed >> 24);
    };
    for (int round = 0; round < 300; round++) {
        std::vector<uint8_t> bytes(kPresetFileSize);
        for (uint8_t& b : bytes)
            b = next();
        const uint8_t magic[] = {'T', 'H', '0', 'D', 0, 0, 0, 0};
        std::copy(std::begin(magic), std::end(magic), bytes.begin());

        PresetReadResult r = DecodePreset(bytes.data(), bytes.size());
        ASSERT_EQ(r.outcome, PresetReadResult::kLoaded);
        auto again = EncodePreset(r.params);
        ASSERT_TRUE(std::equal(again.begin(), again.end(), bytes.begin())) << "round " << round;

        ThudParams p = r.params;
        p.duration = 2.0f;  // 89 samples: the values, not the length, are under test
        ThudSound sound;
        ApplyParams(sound, p);
        ASSERT_EQ(sound.GenerateSound(), ThudSound::kOk);
        EXPECT_EQ(sound.GetSampleLength(), 89);
    }
}
