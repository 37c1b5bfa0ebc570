#pragma once
// Plays a stream of audio that a callback fills on the audio device's own thread.
// The callback must not allocate, block for long or do I/O. Construction opens the
// default output of the first sound system that answers: JACK through the process's one
// JACK client (jack/JackService.h; ports "<name>_1".. connected to the system's playback
// ports; libsamplerate converts when the server runs at another frame rate), else ALSA or
// PulseAudio through RtAudio. InitCheck() tells whether one did.
//
// Errors: B_MEDIA_BAD_FORMAT for a format it cannot play (int16 and float, 1..32
// channels, 1 000..384 000 frames a second), B_MEDIA_SYSTEM_FAILURE when no sound system
// has an output, B_ERROR when the device refuses to start; ErrorText() says why.

#include "media/MediaDefs.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class SoundPlayer {
public:
    // The format of the buffers: frame_rate, channel_count, format (B_AUDIO_SHORT or
    // B_AUDIO_FLOAT, native byte order); buffer_size in bytes, 0 for the device's choice.
    using Format = media_raw_audio_format;

    // size is in bytes; format is the format of buffer.
    using BufferProc = void (*)(void* cookie, void* buffer, size_t size, const Format& format);

    SoundPlayer(const Format& format, const char* name, BufferProc proc, void* cookie);
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    status_t InitCheck() const { return fStatus; }
    // Why InitCheck() or Start() failed, for the user.
    const std::string& ErrorText() const { return fError; }
    // The sound system in use ("jack", "alsa", "pulse"), empty when none.
    const std::string& SystemName() const { return fSystem; }
    const Format& OutputFormat() const { return fFormat; }
    // Seconds between the callback filling a buffer and the buffer being heard (estimate).
    double Latency() const;

    status_t Start();
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
    status_t fStatus = B_MEDIA_SYSTEM_FAILURE;
    std::string fError;
    std::string fSystem;
};
