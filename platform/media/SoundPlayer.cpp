#include "media/SoundPlayer.h"

#include "media/DeviceNodes.h"
#include "media/RtAudioCompat.h"
#if SUITE_HAVE_JACK_SERVICE
#include "jack/JackService.h"
#endif

#include <alsa/error.h>
#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

// The stream: ports on the process's JACK service, or an RtAudio stream.
struct SoundPlayer::Device {
    std::unique_ptr<AudioDevice> jack;
    std::unique_ptr<RtAudio> audio;
    SoundPlayer* player = nullptr;
    std::atomic<bool> running{false};   // the JACK stream's
    // JACK at another rate than the format's: the callback's frames go through this
    // converter, which asks for kConvertFrames at a time.
    static constexpr size_t kConvertFrames = 256;
    SRC_STATE* converter = nullptr;
    double ratio = 1.0;                 // JACK's rate / the format's
    // Made up front: a block of the callback's frames, and the same as floats.
    std::vector<int16_t> shorts;
    std::vector<float> floats;

    ~Device()
    {
        jack.reset();   // its hook is gone before the converter
        if (converter != nullptr)
            src_delete(converter);
    }

    // The callback's next `count` frames (at most a block) as floats; the block's start.
    float* Render(size_t count)
    {
        if (player->fFormat.format == media_raw_audio_format::B_AUDIO_FLOAT) {
            player->FillBuffer(floats.data(), uint32_t(count));
            return floats.data();
        }
        player->FillBuffer(shorts.data(), uint32_t(count));
        size_t samples = count * player->fFormat.channel_count;
        for (size_t i = 0; i < samples; i++)
            floats[i] = float(shorts[i]) * (1.0f / 32768.0f);
        return floats.data();
    }

    // The converter asks for the callback's frames.
    static long ConverterInput(void* cookie, float** data)
    {
        *data = static_cast<Device*>(cookie)->Render(kConvertFrames);
        return long(kConvertFrames);
    }

    // JACK's process thread: the callback's frames, as floats for the ports.
    static void FillJack(void* cookie, float* frames, size_t count)
    {
        auto* device = static_cast<Device*>(cookie);
        size_t samples = count * device->player->fFormat.channel_count;
        if (device->converter != nullptr) {
            long made = src_callback_read(device->converter, device->ratio, long(count), frames);
            size_t done = made > 0 ? size_t(made) * device->player->fFormat.channel_count : 0;
            std::fill(frames + std::min(done, samples), frames + samples, 0.0f);
            return;
        }
        std::copy_n(device->Render(count), samples, frames);
    }

    // Ports "<name>_1".. on the JACK service (another player of the name in this
    // program: "<name> 2_1"..), converting the rate when the server runs at another.
    // False with the reason.
    bool OpenJack(const char* name, std::string* reason);
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

#if SUITE_HAVE_JACK_SERVICE
bool SoundPlayer::Device::OpenJack(const char* name, std::string* reason)
{
    status_t status;
    JackService* service = JackService::Acquire(name, &status, reason);
    if (service == nullptr)
        return false;
    const Format& format = player->fFormat;
    uint32 rate = service->SampleRate();
    std::string prefix = name;
    std::vector<std::string> ours = service->FindPorts(JackPortType::Audio,
        JackPortDirection::Output, true);
    for (int n = 2; std::find(ours.begin(), ours.end(), std::string(service->ClientName())
            + ":" + prefix + "_1") != ours.end(); n++)
        prefix = std::string(name) + " " + std::to_string(n);
    ratio = double(rate) / double(format.frame_rate);
    if (ratio != 1.0) {
        int error = 0;
        if (src_is_valid_ratio(ratio) == 0
            || (converter = src_callback_new(&ConverterInput, SRC_SINC_FASTEST,
                    int(format.channel_count), &error, this)) == nullptr) {
            service->Release();
            *reason = "cannot convert " + std::to_string(int(format.frame_rate))
                + " frames a second to the server's " + std::to_string(rate);
            return false;
        }
    }
    jack = open_jack_playback(prefix.c_str(), format.channel_count, true, &FillJack, this,
        reason);
    service->Release();   // after the device took its own: the client stays open
    if (!jack)
        return false;
    size_t block = ratio != 1.0 ? kConvertFrames : jack->MaxBlockFrames();
    try {
        shorts.assign(block * format.channel_count, 0);
        floats.assign(block * format.channel_count, 0.0f);
    } catch (const std::bad_alloc&) {
        jack.reset();
        *reason = "out of memory";
        return false;
    }
    return true;
}
#else
bool SoundPlayer::Device::OpenJack(const char*, std::string* reason)
{
    *reason = "this build has no JACK service";
    return false;
}
#endif

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

    if (name == nullptr || name[0] == '\0')
        name = "SoundPlayer";
    fDevice->player = this;
    std::string tried;
    // JACK through the process's one client; RtAudio for ALSA and PulseAudio.
    {
        std::string reason;
        if (fDevice->OpenJack(name, &reason)) {
            size_t frameSize = SampleSize(format) * format.channel_count;
            fFormat.buffer_size = fDevice->floats.size() / format.channel_count * frameSize;
            fSystem = "jack";
            fStatus = B_OK;
            return;
        }
        tried = "JACK: " + reason;
    }
    snd_lib_error_set_handler(&QuietAlsa);
    for (RtAudio::Api api : rtaudio_compat::PreferredApis()) {
        if (api == RtAudio::UNIX_JACK)
            continue;
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
                unsigned(format.frame_rate), &bufferFrames, &DeviceCallback, this, name);
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
    if (fDevice->jack) {
        status_t status = fDevice->jack->Lost() ? B_ERROR : fDevice->jack->Start();
        if (status != B_OK) {
            fError = "Cannot start playback: the JACK server went away";
            return B_ERROR;
        }
        fDevice->running = true;
        return B_OK;
    }
    std::string error = rtaudio_compat::Start(*fDevice->audio);
    if (!error.empty()) {
        fError = "Cannot start playback: " + error;
        return B_ERROR;
    }
    return B_OK;
}

void SoundPlayer::Stop()
{
    if (fDevice->jack) {
        fDevice->jack->Stop();
        fDevice->running = false;
    }
    if (fDevice->audio)
        rtaudio_compat::Stop(*fDevice->audio);
}

bool SoundPlayer::IsPlaying() const
{
    if (fDevice->jack)
        return fDevice->running && !fDevice->jack->Lost();
    return fDevice->audio && rtaudio_compat::IsRunning(*fDevice->audio);
}

double SoundPlayer::Latency() const
{
    if (!fDevice->jack && !fDevice->audio)
        return 0.0;
    long frames = fDevice->audio ? rtaudio_compat::Latency(*fDevice->audio) : 0;
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
