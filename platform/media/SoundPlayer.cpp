#include "media/SoundPlayer.h"

#include <rtaudio/RtAudio.h>

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

// Errors while the stream runs are reported here instead of thrown on the audio thread.
void IgnoreStreamError(RtAudioError::Type, const std::string&) {}

const char* DisplayName(RtAudio::Api api)
{
    switch (api) {
        case RtAudio::UNIX_JACK: return "JACK";
        case RtAudio::LINUX_ALSA: return "ALSA";
        case RtAudio::LINUX_PULSE: return "PulseAudio";
        case RtAudio::LINUX_OSS: return "OSS";
        default: return "audio";
    }
}

// The output device to use: the system's default when it has outputs, else the first that has.
bool FindOutputDevice(RtAudio& audio, unsigned int& device)
{
    unsigned int count = audio.getDeviceCount();
    if (count == 0)
        return false;
    unsigned int preferred = audio.getDefaultOutputDevice();
    if (preferred < count && audio.getDeviceInfo(preferred).outputChannels > 0) {
        device = preferred;
        return true;
    }
    for (unsigned int i = 0; i < count; i++) {
        if (audio.getDeviceInfo(i).outputChannels > 0) {
            device = i;
            return true;
        }
    }
    return false;
}

}  // namespace

SoundPlayer::SoundPlayer(const Format& format, const char* name, BufferProc proc, void* cookie)
    : fDevice(std::make_unique<Device>()), fFormat(format), fProc(proc), fCookie(cookie)
{
    if ((format.sampleFormat != kAudioShort && format.sampleFormat != kAudioFloat)
        || format.channelCount == 0 || format.channelCount > 32
        || !(format.frameRate >= 1000.0f && format.frameRate <= 384000.0f)) {
        fStatus = kBadFormat;
        fError = "Unsupported audio format for playback";
        return;
    }

    std::vector<RtAudio::Api> compiled;
    RtAudio::getCompiledApi(compiled);
    const RtAudio::Api order[] = {RtAudio::UNIX_JACK, RtAudio::LINUX_ALSA, RtAudio::LINUX_PULSE};
    std::string tried;
    for (RtAudio::Api api : order) {
        if (std::find(compiled.begin(), compiled.end(), api) == compiled.end())
            continue;
        std::string reason;
        try {
            auto audio = std::make_unique<RtAudio>(api);
            audio->showWarnings(false);
            unsigned int device = 0;
            if (!FindOutputDevice(*audio, device)) {
                reason = "no output device";
            } else {
                RtAudio::StreamParameters parameters;
                parameters.deviceId = device;
                parameters.nChannels = format.channelCount;
                RtAudio::StreamOptions options;
                options.streamName = name != nullptr ? name : "SoundPlayer";
                unsigned int bufferFrames = format.bufferFrames != 0 ? format.bufferFrames : 512;
                RtAudioFormat sampleFormat
                    = format.sampleFormat == kAudioShort ? RTAUDIO_SINT16 : RTAUDIO_FLOAT32;
                audio->openStream(&parameters, nullptr, sampleFormat,
                                  static_cast<unsigned int>(format.frameRate), &bufferFrames,
                                  &DeviceCallback, this, &options, &IgnoreStreamError);
                fFormat.bufferFrames = bufferFrames;
                fDevice->audio = std::move(audio);
                fSystem = RtAudio::getApiName(api);
                fStatus = kOk;
                fError.clear();
                return;
            }
        } catch (const std::exception& error) {
            reason = error.what();
        }
        if (!tried.empty())
            tried += "; ";
        tried += std::string(DisplayName(api)) + ": " + reason;
    }
    fStatus = kNoDevice;
    fError = "No audio output device is available";
    if (!tried.empty())
        fError += " (" + tried + ")";
}

SoundPlayer::~SoundPlayer()
{
    Stop();
    if (fDevice->audio) {
        try {
            if (fDevice->audio->isStreamOpen())
                fDevice->audio->closeStream();
        } catch (const std::exception&) {
        }
    }
}

int32_t SoundPlayer::Start()
{
    if (fStatus != kOk)
        return fStatus;
    try {
        if (!fDevice->audio->isStreamRunning())
            fDevice->audio->startStream();
    } catch (const std::exception& error) {
        fError = std::string("Cannot start playback: ") + error.what();
        return kError;
    }
    return kOk;
}

void SoundPlayer::Stop()
{
    if (!fDevice->audio)
        return;
    try {
        if (fDevice->audio->isStreamRunning())
            fDevice->audio->stopStream();
    } catch (const std::exception&) {
    }
}

bool SoundPlayer::IsPlaying() const
{
    return fDevice->audio && fDevice->audio->isStreamRunning();
}

double SoundPlayer::Latency() const
{
    if (!fDevice->audio)
        return 0.0;
    long frames = 0;
    try {
        frames = fDevice->audio->getStreamLatency();
    } catch (const std::exception&) {
    }
    frames = std::max<long>(frames, fFormat.bufferFrames);
    return static_cast<double>(frames) / fFormat.frameRate;
}

void SoundPlayer::SetVolume(float volume)
{
    fVolume.store(std::isfinite(volume) && volume > 0.0f ? volume : 0.0f);
}

void SoundPlayer::FillBuffer(void* buffer, uint32_t frames)
{
    size_t samples = static_cast<size_t>(frames) * fFormat.channelCount;
    bool isShort = fFormat.sampleFormat == kAudioShort;
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
