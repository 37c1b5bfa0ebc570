// What the sound player's thread is fed: the sound once, silence after it, restarts on the
// beat, and never a freed buffer while the owner renders again.

#include "ThudSound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <cmath>
#include <thread>
#include <vector>

using namespace thud;

namespace {

// Pulls `total` samples in device-sized buffers.
std::vector<int16_t> Pull(ThudSound& sound, size_t total, size_t bufferSize = 512)
{
    std::vector<int16_t> out(total);
    for (size_t done = 0; done < total; done += bufferSize)
        sound.FillBuffer(out.data() + done, std::min(bufferSize, total - done));
    return out;
}

std::vector<int16_t> Rendered(ThudSound& sound)
{
    int64_t length = 0;
    const int16_t* buffer = sound.GetBuffer(length);
    return std::vector<int16_t>(buffer, buffer + length);
}

void MakeTone(ThudSound& sound, float ms)
{
    sound.SetOscType(kOscSquare);  // no zero samples, so silence is easy to tell apart
    sound.GenerateWaveTable();
    sound.SetStartFreq(100);
    sound.SetAmplitude(1.0f);
    sound.SetDuration(ms);
    ASSERT_EQ(sound.GenerateSound(), ThudSound::kOk);
}

}  // namespace

TEST(PlaybackTest, PlaysOnceThenSilence)
{
    ThudSound sound;
    MakeTone(sound, 200);
    std::vector<int16_t> tone = Rendered(sound);

    // Not started: silence.
    for (int16_t v : Pull(sound, 2048))
        ASSERT_EQ(v, 0);

    sound.BeginPlayback();
    EXPECT_TRUE(sound.IsPlaying());
    std::vector<int16_t> out = Pull(sound, 20000, 441);
    for (size_t i = 0; i < out.size(); i++)
        ASSERT_EQ(out[i], i < tone.size() ? tone[i] : 0) << i;
    EXPECT_EQ(sound.GetPlaySamplePosition(), 20000);  // on by every sample pulled

    // Stop: silence and back to the start.
    sound.BeginPlayback();
    Pull(sound, 1000);
    sound.StopSound();
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_EQ(sound.GetPlaySamplePosition(), 0);
    for (int16_t v : Pull(sound, 1000))
        ASSERT_EQ(v, 0);
}

TEST(PlaybackTest, PositionGoesOnPastTheEndAndStopsShortOfOverflowing)
{
    ThudSound sound;
    MakeTone(sound, 10);  // 441 samples
    sound.BeginPlayback();
    Pull(sound, 441 + 512 * 3, 512);
    EXPECT_EQ(sound.GetPlaySamplePosition(), 441 + 512 * 3);

    // Near the end of the 32-bit range: silence, and the position stays at its largest.
    sound.SetPlaySamplePosition(INT32_MAX - 100);
    for (int16_t v : Pull(sound, 512))
        ASSERT_EQ(v, 0);
    EXPECT_EQ(sound.GetPlaySamplePosition(), INT32_MAX);
    for (int16_t v : Pull(sound, 512))
        ASSERT_EQ(v, 0);
    EXPECT_EQ(sound.GetPlaySamplePosition(), INT32_MAX);
}

TEST(PlaybackTest, RepeatRestartsExactlyOnEveryBeat)
{
    ThudSound sound;
    sound.SetBeatLength(120);
    EXPECT_EQ(sound.GetBeatLength(), 22050);
    sound.SetBeatLength(90);
    EXPECT_EQ(sound.GetBeatLength(), 29400);
    // Tempos that give no whole sample leave the beat as it was.
    for (float bad : {0.0f, -60.0f, 1e9f, std::nanf("")}) {
        sound.SetBeatLength(bad);
        EXPECT_EQ(sound.GetBeatLength(), 29400) << bad;
    }
    sound.SetBeatLength(120);

    MakeTone(sound, 200);
    std::vector<int16_t> tone = Rendered(sound);
    sound.SetSequencerEnabled(true);
    sound.BeginPlayback();
    // Buffers that do not divide the beat, so a restart falls inside one.
    std::vector<int16_t> out = Pull(sound, 3 * 22050 + 100, 500);
    for (size_t i = 0; i < out.size(); i++) {
        size_t inBeat = i % 22050;
        ASSERT_EQ(out[i], inBeat < tone.size() ? tone[inBeat] : 0) << i;
    }

    // A sound longer than the beat is cut at the beat.
    MakeTone(sound, 1000);
    std::vector<int16_t> longTone = Rendered(sound);
    sound.BeginPlayback();
    out = Pull(sound, 2 * 22050, 512);
    for (size_t i = 0; i < out.size(); i++)
        ASSERT_EQ(out[i], longTone[i % 22050]) << i;

    // Switching repeat off lets the sound run to its end once more.
    sound.SetSequencerEnabled(false);
    sound.BeginPlayback();
    out = Pull(sound, 50000);
    EXPECT_EQ(out[30000], longTone[30000]);
    EXPECT_EQ(out[44099], longTone[44099]);
    EXPECT_EQ(out[44100], 0);
}

TEST(PlaybackTest, RenderingWhilePlayingNeverHandsThePlayerAFreedBuffer)
{
    // The player thread pulls without pause while the owner renders sounds of other
    // lengths; a read of a freed or short buffer shows up under the address sanitizer.
    ThudSound sound;
    MakeTone(sound, 50);
    sound.SetSequencerEnabled(true);
    sound.SetBeatLength(600);
    sound.BeginPlayback();

    std::atomic<bool> done{false};
    std::atomic<long> nonSilent{0};
    std::thread player([&] {
        std::vector<int16_t> buffer(64);
        while (!done.load()) {
            sound.FillBuffer(buffer.data(), buffer.size());
            for (int16_t v : buffer)
                if (v != 0)
                    nonSilent++;
        }
    });
    for (int i = 0; i < 300; i++) {
        sound.SetDuration(static_cast<float>(1 + (i * 37) % 120));
        ASSERT_EQ(sound.GenerateSound(), ThudSound::kOk);
    }
    done = true;
    player.join();
    EXPECT_GT(nonSilent.load(), 0);
}

namespace {

// jack_wait -c answers "running" or "not running" (its exit status is 0 either way).
bool JackIsRunning()
{
    std::FILE* pipe = popen("JACK_NO_START_SERVER=1 jack_wait -c 2>/dev/null", "r");
    if (pipe == nullptr)
        return false;
    char answer[64] = {};
    bool running = std::fgets(answer, sizeof(answer), pipe) != nullptr
        && std::string(answer).rfind("running", 0) == 0;
    pclose(pipe);
    return running;
}

}  // namespace

TEST(PlaybackTest, TheDevicePullsTheSoundOnItsOwnThread)
{
    if (!JackIsRunning())
        GTEST_SKIP() << "no JACK server running";
    setenv("JACK_NO_START_SERVER", "1", 1);
    ThudSound sound;
    MakeTone(sound, 3000);
    ASSERT_EQ(sound.PlaySound(), ThudSound::kOk) << sound.LastError();
    EXPECT_TRUE(sound.IsPlaying());
    EXPECT_GT(sound.OutputLatency(), 0.0);
    // The position moves only when the device thread takes samples.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (sound.GetPlaySamplePosition() < 4096 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(sound.GetPlaySamplePosition(), 4096);
    sound.StopSound();
    EXPECT_FALSE(sound.IsPlaying());
}
