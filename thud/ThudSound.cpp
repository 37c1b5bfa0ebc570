#include "ThudSound.h"

#include "Envelope.h"

#include "media/MediaFileWriter.h"
#include "media/SoundPlayer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

namespace thud {

namespace {

constexpr char kNoBufferText[] = "Could not allocate a sufficient sample buffer in RAM!";

// Runs on the sound player's thread. The player was opened for 16-bit mono.
void SoundBufferProc(void* cookie, void* buffer, size_t size, const SoundPlayer::Format& format)
{
    if (format.format != media_raw_audio_format::B_AUDIO_SHORT || format.channel_count != 1) {
        // Not a format we can fill: silence rather than whatever the buffer held.
        std::memset(buffer, 0, size);
        return;
    }
    static_cast<ThudSound*>(cookie)->FillBuffer(static_cast<int16_t*>(buffer),
                                                size / sizeof(int16_t));
}

}  // namespace

int64_t SampleCountForDuration(double ms)
{
    if (std::isnan(ms))
        return -1;
    if (ms <= 0.0)
        return 0;
    double n = std::ceil(ms * kSampleRate / 1000.0);
    if (!(n <= static_cast<double>(ThudSound::kMaxSamples)))
        return -1;
    return static_cast<int64_t>(n);
}

ThudSound::ThudSound()
{
    GenerateWaveTable();
    GenerateWaveShapeTable();
    fFilter.UpdateFilter(fFilterQ, fFilterCutoff);
}

ThudSound::~ThudSound()
{
    fPlayer.reset();
}

void ThudSound::SetSequencerEnabled(bool on)
{
    std::lock_guard<std::mutex> lock(fLock);
    fSequencerEnabled = on;
}

bool ThudSound::IsSequencerEnabled() const
{
    std::lock_guard<std::mutex> lock(fLock);
    return fSequencerEnabled;
}

bool ThudSound::IsPlaying() const
{
    std::lock_guard<std::mutex> lock(fLock);
    return fPlaying;
}

void ThudSound::SetBeatLength(float bpm)
{
    double length = std::floor(kSampleRate / (static_cast<double>(bpm) / 60.0));
    if (!(bpm > 0.0f) || !(length >= 1.0) || length > kMaxSamples)
        return;
    std::lock_guard<std::mutex> lock(fLock);
    fBeatLength = static_cast<int32_t>(length);
}

int32_t ThudSound::GetBeatLength() const
{
    std::lock_guard<std::mutex> lock(fLock);
    return fBeatLength;
}

int32_t ThudSound::GetPlaySamplePosition() const
{
    std::lock_guard<std::mutex> lock(fLock);
    return fPlayPosition;
}

void ThudSound::SetPlaySamplePosition(int32_t position)
{
    std::lock_guard<std::mutex> lock(fLock);
    fPlayPosition = std::max<int32_t>(position, 0);
}

const int16_t* ThudSound::GetBuffer(int64_t& length) const
{
    length = fSampleCount;
    return fSamples.get();
}

int16_t ThudSound::GetSampleAt(int64_t index) const
{
    if (index < 0 || index >= fSampleCount)
        return 0;
    return fSamples[index];
}

void ThudSound::GenerateWaveTable()
{
    FillWaveTable(fOscType, fWaveTable);
}

void ThudSound::GenerateWaveShapeTable()
{
    FillShapeTable(fDistortion, fShapeTable);
}

void ThudSound::RenderInto(int16_t* out, int64_t count)
{
    const double span = fDuration / 1000.0 * kSampleRate;
    const double toIncrement = kTableSize / kSampleRate;
    EnvelopeRamp freqEnvelope(fFreqCurve, span);
    EnvelopeRamp ampEnvelope(fAmpCurve, span);
    const bool freqEnvEnabled = fFreqEnvEnabled, ampEnvEnabled = fAmpEnvEnabled;
    const bool distortionEnabled = fDistortionEnabled, filterEnabled = fFilterEnabled;
    const float amplitude = fAmplitude;
    const double startFreq = fStartFreq;
    double phase = 0.0;

    // In blocks, so that the filter's recursion runs in a tight loop of its own.
    constexpr int64_t kBlock = 256;
    float block[kBlock];
    for (int64_t first = 0; first < count; first += kBlock) {
        const int64_t n = std::min(kBlock, count - first);
        for (int64_t i = 0; i < n; i++) {
            double frequency = startFreq;
            if (freqEnvEnabled)
                frequency *= freqEnvelope.Next();
            float s = Oscillator(frequency * toIncrement, phase);
            if (distortionEnabled)
                s = Distort(s);
            if (ampEnvEnabled)
                s = static_cast<float>(s * ampEnvelope.Next());
            block[i] = s * amplitude;
        }
        if (filterEnabled)
            fFilter.ProcessBlock(block, static_cast<size_t>(n));
        for (int64_t i = 0; i < n; i++)
            out[first + i] = ToSample(block[i]);
    }
}

int32_t ThudSound::GenerateSound()
{
    int64_t count = SampleCountForDuration(fDuration);
    // Every render starts with a clean filter.
    fFilter.UpdateFilter(fFilterQ, fFilterCutoff);

    std::unique_ptr<int16_t[]> samples;
    if (count > 0)
        samples.reset(new (std::nothrow) int16_t[count]);
    bool failed = count < 0 || (count > 0 && !samples);
    if (failed)
        count = 0;
    else
        RenderInto(samples.get(), count);

    {
        std::lock_guard<std::mutex> lock(fLock);
        fSamples.swap(samples);
        fSampleCount = count;
    }
    // The old buffer is freed here, after the player can no longer see it.
    samples.reset();

    if (failed) {
        ReportError(kNoBufferText);
        return kNoMemory;
    }
    return kOk;
}

void ThudSound::FillBuffer(int16_t* out, size_t count)
{
    std::lock_guard<std::mutex> lock(fLock);
    int64_t position = fPlayPosition;
    for (size_t k = 0; k < count; k++) {
        out[k] = fPlaying && position < fSampleCount ? fSamples[position] : 0;
        position++;
        // Restart exactly on the beat; a sound longer than the beat is cut there.
        if (fSequencerEnabled && position >= fBeatLength)
            position = 0;
    }
    // Without the sequencer the position goes on by every sample pulled, past the end of
    // the sound; after about 13.5 hours it would overflow its 32 bits into a negative
    // index, so it stops at the largest value instead (the output is silence either way).
    // With the sequencer it is always below the beat length.
    fPlayPosition = static_cast<int32_t>(std::min<int64_t>(position, INT32_MAX));
}

int32_t ThudSound::PlaySound()
{
    if (!fPlayer) {
        SoundPlayer::Format format;
        format.frame_rate = static_cast<float>(kSampleRate);
        format.channel_count = 1;
        format.format = media_raw_audio_format::B_AUDIO_SHORT;
        auto player = std::make_unique<SoundPlayer>(format, "ThudPlayer", &SoundBufferProc, this);
        if (player->InitCheck() != B_OK) {
            ReportError("Cannot play the sound - " + player->ErrorText());
            return player->InitCheck();
        }
        fPlayer = std::move(player);
    }
    BeginPlayback();
    fPlayer->SetVolume(1.0f);
    fPlayer->SetHasData(true);
    int32_t status = fPlayer->Start();
    if (status != B_OK) {
        std::lock_guard<std::mutex> lock(fLock);
        fPlaying = false;
    }
    if (status != B_OK)
        ReportError("Cannot play the sound - " + fPlayer->ErrorText());
    return status;
}

void ThudSound::BeginPlayback()
{
    std::lock_guard<std::mutex> lock(fLock);
    fPlayPosition = 0;
    fPlaying = true;
}

void ThudSound::StopSound()
{
    std::lock_guard<std::mutex> lock(fLock);
    fPlaying = false;
    fPlayPosition = 0;
}

double ThudSound::OutputLatency() const
{
    return fPlayer ? fPlayer->Latency() : 0.0;
}

int32_t ThudSound::WriteSoundToFile(const std::string& path)
{
    int32_t status = GenerateSound();
    if (status != kOk)
        return status;

    MediaFileWriter writer;
    if (writer.Create(path, static_cast<int32_t>(kSampleRate), 1) != B_OK) {
        ReportError("Cannot create media file - " + writer.ErrorText());
        return kError;
    }
    if (writer.WriteFrames(fSamples.get(), fSampleCount) != B_OK
        || writer.Commit() != B_OK) {
        ReportError("Unable to write audio track - " + writer.ErrorText());
        return kError;
    }
    return kOk;
}

void ThudSound::SetErrorHandler(std::function<void(const std::string&)> handler)
{
    fErrorHandler = std::move(handler);
}

void ThudSound::ReportError(const std::string& text)
{
    fLastError = text;
    if (fErrorHandler)
        fErrorHandler(text);
}

}  // namespace thud
