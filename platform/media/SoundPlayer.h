#pragma once
// Plays a stream of audio that a callback fills on the audio device's own thread.
// The callback must not allocate, block for long or do I/O. Construction opens the
// default output of the first sound system that answers (JACK, ALSA, PulseAudio);
// InitCheck() tells whether one did.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class SoundPlayer {
public:
    // Sample kinds, numbered as the media formats number them.
    static constexpr uint32_t kAudioShort = 0x2;   // int16, native byte order
    static constexpr uint32_t kAudioFloat = 0x24;  // float, -1..1

    static constexpr int32_t kOk = 0;
    static constexpr int32_t kError = -1;
    static constexpr int32_t kNoDevice = -2;       // no sound system has an output
    static constexpr int32_t kBadFormat = -3;

    struct Format {
        float frameRate = 44100.0f;
        uint32_t channelCount = 1;
        uint32_t sampleFormat = kAudioShort;
        uint32_t bufferFrames = 0;                  // 0: the device's choice
    };

    // size is in bytes; format is the format of buffer.
    using BufferProc = void (*)(void* cookie, void* buffer, size_t size, const Format& format);

    SoundPlayer(const Format& format, const char* name, BufferProc proc, void* cookie);
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    int32_t InitCheck() const { return fStatus; }
    // Why InitCheck() or Start() failed, for the user.
    const std::string& ErrorText() const { return fError; }
    // The sound system in use ("jack", "alsa", "pulse"), empty when none.
    const std::string& SystemName() const { return fSystem; }
    const Format& OutputFormat() const { return fFormat; }
    // Seconds between the callback filling a buffer and the buffer being heard (estimate).
    double Latency() const;

    int32_t Start();
    void Stop();
    bool IsPlaying() const;

    // Without data the player delivers silence and does not call the callback.
    void SetHasData(bool hasData) { fHasData.store(hasData); }
    bool HasData() const { return fHasData.load(); }
    // Gain applied after the callback; values that are not finite or below 0 mean silence.
    void SetVolume(float volume);
    float Volume() const { return fVolume.load(); }

    // Runs one device period: the callback, then the volume. Public for the device glue.
    void FillBuffer(void* buffer, uint32_t frames);

private:
    struct Device;

    std::unique_ptr<Device> fDevice;
    Format fFormat;
    BufferProc fProc;
    void* fCookie;
    std::atomic<bool> fHasData{false};
    std::atomic<float> fVolume{1.0f};
    int32_t fStatus = kNoDevice;
    std::string fError;
    std::string fSystem;
};
