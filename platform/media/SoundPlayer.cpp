#include "media/SoundPlayer.h"

#include "media/RtAudioCompat.h"

#include <alsa/error.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

struct SoundPlayer::Device {
    std::unique_ptr<RtAudio> audio;
};

namespace {

int DeviceCallback(void* output, void* /*input*/, unsigned int frames, double /*time*/,
                   RtAudioStreamStatus /*status*/, void* user)
{
    static_cast<SoundPlayer*>(user)->FillBuffer(output, frames);
    return 0;
}

// libasound prints its own lines on standard error when it finds no card; the player's
// error says what matters in one line.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

size_t SampleSize(const SoundPlayer::Format& format)
{
    return media_sample_size(format.format);
}

}  // namespace

SoundPlayer::SoundPlayer(const Format& format, const char* name, BufferProc proc, void* cookie)
    : fDevice(std::make_unique<Device>()), fFormat(format), fProc(proc), fCookie(cookie)
{
    if ((format.format != media_raw_audio_format::B_AUDIO_SHORT
            && format.format != media_raw_audio_format::B_AUDIO_FLOAT)
        || format.channel_count == 0 || format.channel_count > 32
        || !(format.frame_rate >= 1000.0f && format.frame_rate <= 384000.0f)) {
        fStatus = B_MEDIA_BAD_FORMAT;
        fError = "Unsupported audio format for playback";
        return;
    }
    fFormat.byte_order = B_MEDIA_HOST_ENDIAN;

    snd_lib_error_set_handler(&QuietAlsa);
    std::string tried;
    for (RtAudio::Api api : rtaudio_compat::PreferredApis()) {
        std::string reason;
        std::unique_ptr<RtAudio> audio(rtaudio_compat::Make(api, &reason));
        unsigned int device = 0;
        if (audio && !rtaudio_compat::FindDevice(*audio, false, &device))
            reason = "no output device";
        if (audio && reason.empty()) {
            RtAudio::StreamParameters parameters;
            parameters.deviceId = device;
            parameters.nChannels = format.channel_count;
            size_t frameSize = SampleSize(format) * format.channel_count;
            unsigned int bufferFrames
                = format.buffer_size != 0 ? unsigned(format.buffer_size / frameSize) : 512;
            RtAudioFormat sampleFormat = format.format == media_raw_audio_format::B_AUDIO_SHORT
                ? RTAUDIO_SINT16
                : RTAUDIO_FLOAT32;
            reason = rtaudio_compat::Open(*audio, &parameters, nullptr, sampleFormat,
                unsigned(format.frame_rate), &bufferFrames, &DeviceCallback, this,
                name != nullptr ? name : "SoundPlayer");
            if (reason.empty()) {
                fFormat.buffer_size = bufferFrames * frameSize;
                fDevice->audio = std::move(audio);
                fSystem = RtAudio::getApiName(api);
                fStatus = B_OK;
                fError.clear();
                return;
            }
        }
        if (!tried.empty())
            tried += "; ";
        tried += std::string(rtaudio_compat::DisplayName(api)) + ": " + reason;
    }
    fStatus = B_MEDIA_SYSTEM_FAILURE;
    fError = "No audio output device is available";
    if (!tried.empty())
        fError += " (" + tried + ")";
}

SoundPlayer::~SoundPlayer()
{
    Stop();
    if (fDevice->audio)
        rtaudio_compat::Close(*fDevice->audio);
}

status_t SoundPlayer::Start()
{
    if (fStatus != B_OK)
        return fStatus;
    std::string error = rtaudio_compat::Start(*fDevice->audio);
    if (!error.empty()) {
        fError = "Cannot start playback: " + error;
        return B_ERROR;
    }
    return B_OK;
}

void SoundPlayer::Stop()
{
    if (fDevice->audio)
        rtaudio_compat::Stop(*fDevice->audio);
}

bool SoundPlayer::IsPlaying() const
{
    return fDevice->audio && rtaudio_compat::IsRunning(*fDevice->audio);
}

double SoundPlayer::Latency() const
{
    if (!fDevice->audio)
        return 0.0;
    long frames = rtaudio_compat::Latency(*fDevice->audio);
    size_t frameSize = SampleSize(fFormat) * fFormat.channel_count;
    frames = std::max<long>(frames, long(fFormat.buffer_size / frameSize));
    return static_cast<double>(frames) / fFormat.frame_rate;
}

void SoundPlayer::SetVolume(float volume)
{
    fVolume.store(std::isfinite(volume) && volume > 0.0f ? volume : 0.0f);
}

void SoundPlayer::FillBuffer(void* buffer, uint32_t frames)
{
    size_t samples = static_cast<size_t>(frames) * fFormat.channel_count;
    bool isShort = fFormat.format == media_raw_audio_format::B_AUDIO_SHORT;
    size_t bytes = samples * (isShort ? sizeof(int16_t) : sizeof(float));
    if (!fHasData.load() || fProc == nullptr) {
        std::memset(buffer, 0, bytes);
        return;
    }
    fProc(fCookie, buffer, bytes, fFormat);

    float volume = fVolume.load();
    if (volume == 1.0f)
        return;
    if (isShort) {
        auto* out = static_cast<int16_t*>(buffer);
        for (size_t i = 0; i < samples; i++) {
            float v = std::nearbyint(out[i] * volume);
            out[i] = static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f));
        }
    } else {
        auto* out = static_cast<float*>(buffer);
        for (size_t i = 0; i < samples; i++)
            out[i] *= volume;
    }
}
