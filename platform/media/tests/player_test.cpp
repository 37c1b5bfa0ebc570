// The sound player: its callback runs on the device's thread with the format asked for,
// silence without data, the volume applied, and a clear status without a device.

#include "media/SoundPlayer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Probe {
    std::mutex lock;
    std::condition_variable changed;
    int calls = 0;
    size_t lastSize = 0;
    SoundPlayer::Format lastFormat;
    std::thread::id thread;
    int16_t value = 1000;
};

void FillWithValue(void* cookie, void* buffer, size_t size, const SoundPlayer::Format& format)
{
    auto* probe = static_cast<Probe*>(cookie);
    auto* out = static_cast<int16_t*>(buffer);
    for (size_t i = 0; i < size / sizeof(int16_t); i++)
        out[i] = probe->value;
    std::lock_guard<std::mutex> guard(probe->lock);
    probe->calls++;
    probe->lastSize = size;
    probe->lastFormat = format;
    probe->thread = std::this_thread::get_id();
    probe->changed.notify_all();
}

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

SoundPlayer::Format MonoShort()
{
    SoundPlayer::Format format;
    format.frame_rate = 44100;
    format.channel_count = 1;
    format.format = media_raw_audio_format::B_AUDIO_SHORT;
    return format;
}

}  // namespace

TEST(PlayerTest, FillsBuffersThroughTheCallbackWithVolumeAndSilence)
{
    // FillBuffer is what the device thread runs; it works the same with or without one.
    Probe probe;
    SoundPlayer player(MonoShort(), "test", &FillWithValue, &probe);
    std::vector<int16_t> buffer(256, 77);

    player.FillBuffer(buffer.data(), 256);
    for (int16_t v : buffer)
        ASSERT_EQ(v, 0);  // no data yet: silence, callback not called
    EXPECT_EQ(probe.calls, 0);

    player.SetHasData(true);
    player.FillBuffer(buffer.data(), 256);
    EXPECT_EQ(probe.calls, 1);
    EXPECT_EQ(probe.lastSize, 512u);
    EXPECT_EQ(buffer[255], 1000);

    player.SetVolume(0.5f);
    player.FillBuffer(buffer.data(), 256);
    EXPECT_EQ(buffer[0], 500);
    probe.value = 30000;
    player.SetVolume(2.0f);
    player.FillBuffer(buffer.data(), 256);
    EXPECT_EQ(buffer[0], 32767);  // clamped, not wrapped
    player.SetVolume(std::nanf(""));
    player.FillBuffer(buffer.data(), 256);
    EXPECT_EQ(buffer[0], 0);
}

TEST(PlayerTest, RefusesFormatsItCannotPlay)
{
    SoundPlayer::Format format = MonoShort();
    format.format = 0x11;
    SoundPlayer player(format, "test", &FillWithValue, nullptr);
    EXPECT_EQ(player.InitCheck(), B_MEDIA_BAD_FORMAT);
    EXPECT_EQ(player.Start(), B_MEDIA_BAD_FORMAT);
    format = MonoShort();
    format.channel_count = 0;
    EXPECT_EQ(SoundPlayer(format, "test", &FillWithValue, nullptr).InitCheck(),
              B_MEDIA_BAD_FORMAT);
}

TEST(PlayerTest, WithoutAnAudioDeviceTheStatusSaysSo)
{
    if (std::filesystem::exists("/dev/snd"))
        GTEST_SKIP() << "this machine has sound cards";
    // A JACK server name nobody runs; this machine has no ALSA device nor PulseAudio.
    const char* previous = std::getenv("JACK_DEFAULT_SERVER");
    std::string saved = previous != nullptr ? previous : "";
    setenv("JACK_DEFAULT_SERVER", "media-test-absent-server", 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    Probe probe;
    {
        SoundPlayer player(MonoShort(), "test", &FillWithValue, &probe);
        EXPECT_EQ(player.InitCheck(), B_MEDIA_SYSTEM_FAILURE);
        EXPECT_NE(player.ErrorText().find("No audio output device is available"), std::string::npos)
            << player.ErrorText();
        EXPECT_EQ(player.Start(), B_MEDIA_SYSTEM_FAILURE);
        EXPECT_FALSE(player.IsPlaying());
        player.Stop();
    }
    if (previous != nullptr)
        setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1);
    else
        unsetenv("JACK_DEFAULT_SERVER");
    EXPECT_EQ(probe.calls, 0);
}

TEST(PlayerTest, PlaysThroughJackOnItsOwnThread)
{
    if (!JackIsRunning())
        GTEST_SKIP() << "no JACK server running";
    Probe probe;
    SoundPlayer player(MonoShort(), "PlayerTest", &FillWithValue, &probe);
    ASSERT_EQ(player.InitCheck(), B_OK) << player.ErrorText();
    EXPECT_EQ(player.SystemName(), "jack");
    player.SetHasData(true);
    ASSERT_EQ(player.Start(), B_OK) << player.ErrorText();
    EXPECT_TRUE(player.IsPlaying());
    {
        std::unique_lock<std::mutex> guard(probe.lock);
        ASSERT_TRUE(probe.changed.wait_for(guard, std::chrono::seconds(60),
                                           [&] { return probe.calls >= 5; }));
        EXPECT_NE(probe.thread, std::this_thread::get_id());
        EXPECT_EQ(probe.lastFormat.format, media_raw_audio_format::B_AUDIO_SHORT);
        EXPECT_EQ(probe.lastFormat.channel_count, 1u);
        EXPECT_EQ(probe.lastFormat.frame_rate, 44100.0f);
        EXPECT_EQ(probe.lastSize, probe.lastFormat.buffer_size);
    }
    EXPECT_GT(player.Latency(), 0.0);
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
    int callsAfterStop;
    {
        std::lock_guard<std::mutex> guard(probe.lock);
        callsAfterStop = probe.calls;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::lock_guard<std::mutex> guard(probe.lock);
    EXPECT_EQ(probe.calls, callsAfterStop);
}
