#pragma once
// One percussive sound: a wave-table oscillator with an optional exponential frequency
// sweep, optional tanh distortion, optional exponential amplitude decay, a gain and an
// optional resonant low-pass, rendered into 16-bit mono at 44 100 Hz. The sound can be
// played (once, or restarted on every beat) and written to a WAV file.
//
// Threads: every method is for the owner's thread, except that the sound player's thread
// calls SoundBufferProc / FillBuffer. A render builds the new buffer aside and swaps it in
// under a lock the player also takes, so the player never reads a freed buffer and waits
// at most for a pointer swap.

#include "ThudConstants.h"
#include "LowPassFilter.h"
#include "WaveTables.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class SoundPlayer;

namespace thud {

class ThudSound {
public:
    static constexpr int32_t kOk = 0;
    static constexpr int32_t kError = -1;
    static constexpr int32_t kNoMemory = -2147483647 - 1;  // the platform's out-of-memory code
    // A render never makes more samples than this (the play position is 32-bit).
    static constexpr int64_t kMaxSamples = 0x7fffffff;

    ThudSound();
    ~ThudSound();
    ThudSound(const ThudSound&) = delete;
    ThudSound& operator=(const ThudSound&) = delete;

    // Setters store the value only; the tables are rebuilt by their Generate calls.
    void SetStartFreq(float hz) { fStartFreq = hz; }
    void SetDuration(float ms) { fDuration = ms; }
    void SetAmplitude(float gain) { fAmplitude = gain; }
    void SetAmpEnvelope(float curve) { fAmpCurve = curve; }
    void SetFreqEnvelope(float curve) { fFreqCurve = curve; }
    void SetDistortion(float drive) { fDistortion = drive; }
    void SetOscType(int32_t type) { fOscType = type; }
    void SetFilterCutoff(float hz) { fFilterCutoff = hz; }
    void SetFilterQ(float q) { fFilterQ = q; }

    void SetAmpEnvEnabled(bool on) { fAmpEnvEnabled = on; }
    void SetFreqEnvEnabled(bool on) { fFreqEnvEnabled = on; }
    void SetFilterEnabled(bool on) { fFilterEnabled = on; }
    void SetDistortionEnabled(bool on) { fDistortionEnabled = on; }
    void SetSequencerEnabled(bool on);
    bool IsDistortionEnabled() const { return fDistortionEnabled; }
    bool IsSequencerEnabled() const;
    bool IsPlaying() const;

    float StartFreq() const { return fStartFreq; }
    float Duration() const { return fDuration; }
    float Amplitude() const { return fAmplitude; }
    float AmpCurve() const { return fAmpCurve; }
    float FreqCurve() const { return fFreqCurve; }
    float Distortion() const { return fDistortion; }
    int32_t OscType() const { return fOscType; }
    float FilterCutoff() const { return fFilterCutoff; }
    float FilterQ() const { return fFilterQ; }

    // Repeat period from a tempo: floor(44100 / (bpm / 60)) samples. A tempo that gives
    // no whole sample (0, negative, too fast, not a number) leaves the period unchanged.
    void SetBeatLength(float bpm);
    int32_t GetBeatLength() const;

    int64_t GetSampleLength() const { return fSampleCount; }
    int32_t GetPlaySamplePosition() const;
    void SetPlaySamplePosition(int32_t position);
    const int16_t* GetBuffer(int64_t& length) const;
    // 0 outside the rendered sound.
    int16_t GetSampleAt(int64_t index) const;

    void GenerateWaveTable();
    void GenerateWaveShapeTable();
    const WaveTable& GetWaveTable() const { return fWaveTable; }
    const WaveTable& GetShapeTable() const { return fShapeTable; }

    // Renders the sound from the current settings. kNoMemory when the buffer cannot be had.
    int32_t GenerateSound();

    // Starts the sound from its beginning on the default audio output.
    int32_t PlaySound();
    // Marks the sound as playing from its beginning without touching a device: PlaySound
    // does this once the output runs; a caller that pulls FillBuffer itself uses it alone.
    void BeginPlayback();
    // The output keeps running and delivers silence.
    void StopSound();
    // Seconds between a sample leaving FillBuffer and being heard (0 before PlaySound).
    double OutputLatency() const;

    // Renders, then writes a 44 100 Hz mono 16-bit WAV file whole or not at all.
    int32_t WriteSoundToFile(const std::string& path);

    // What the player's callback delivers. Next `count` output samples: the sound while playing, silence after it and when
    // stopped; with the sequencer on, the sound restarts every beat length samples.
    void FillBuffer(int16_t* out, size_t count);

    // Per-sample stages, exposed for the pictures of the window and for tests.
    // Phase is in table entries, 0 <= phase < 2048; it advances by increment.
    float Oscillator(double increment, double& phase) const;
    float Distort(float x) const;

    // Failures are reported here as well as returned (the window shows them in an alert).
    void SetErrorHandler(std::function<void(const std::string&)> handler);
    const std::string& LastError() const { return fLastError; }

private:
    void ReportError(const std::string& text);
    void RenderInto(int16_t* out, int64_t count);

    float fStartFreq = 1000.0f;
    float fDuration = 200.0f;
    float fAmplitude = 0.95f;
    float fAmpCurve = 1.0f;
    float fFreqCurve = 1.0f;
    float fDistortion = 1.0f;
    int32_t fOscType = kOscSine;
    float fFilterQ = 1.0f;
    float fFilterCutoff = 5000.0f;
    bool fFreqEnvEnabled = false;
    bool fAmpEnvEnabled = false;
    bool fFilterEnabled = false;
    bool fDistortionEnabled = false;

    WaveTable fWaveTable{};
    WaveTable fShapeTable{};
    LowPassFilter fFilter;

    // Shared with the player thread, guarded by fLock.
    mutable std::mutex fLock;
    std::unique_ptr<int16_t[]> fSamples;
    int64_t fSampleCount = 0;
    int32_t fBeatLength = 22050;
    int32_t fPlayPosition = 0;   // on by every sample pulled, at most INT32_MAX
    bool fSequencerEnabled = false;
    bool fPlaying = false;

    std::function<void(const std::string&)> fErrorHandler;
    std::string fLastError;
    // Last member: destroyed first, so its thread stops before anything it reads goes.
    std::unique_ptr<SoundPlayer> fPlayer;
};

// Number of samples a duration in milliseconds renders: ceil(ms × 44.1); 0 for a duration
// of 0 or less; -1 when it is not a number or exceeds ThudSound::kMaxSamples.
int64_t SampleCountForDuration(double ms);

// A rendered value as a 16-bit sample: floor(s × 32767), clamped to -32768..32767
// (resonance and gains above 1 can leave -1..1); not a number gives 0.
inline int16_t ToSample(float s)
{
    // Written without branches: it runs for every sample.
    float scaled = s * 32767.0f;
    scaled = scaled == scaled ? scaled : 0.0f;
    scaled = std::min(std::max(scaled, -32768.0f), 32767.0f);
    auto v = static_cast<int32_t>(scaled);
    v -= static_cast<float>(v) > scaled ? 1 : 0;  // truncation went up for a negative value
    return static_cast<int16_t>(v);
}

// Per-sample stages, inline: they run for every sample of a render.

inline float ThudSound::Oscillator(double increment, double& phase) const
{
    if (!(phase >= 0.0 && phase < kTableSize))
        phase = 0.0;
    auto j = static_cast<int32_t>(phase);
    float frac = static_cast<float>(phase - j);
    float out = fWaveTable[j] + (fWaveTable[j + 1] - fWaveTable[j]) * frac;

    phase += increment;
    if (phase >= kTableSize)
        phase -= kTableSize;
    else if (phase < 0.0)
        phase += kTableSize;
    if (!(phase >= 0.0 && phase < kTableSize)) {
        // More than a period per sample (or not a number): one division instead of a loop
        // that would never end for huge steps.
        phase = std::fmod(phase, static_cast<double>(kTableSize));
        if (phase < 0.0)
            phase += kTableSize;
        if (!(phase >= 0.0 && phase < kTableSize))
            phase = 0.0;
    }
    return out;
}

inline float ThudSound::Distort(float x) const
{
    // The wave tables never leave -1..1; this guards rounding and values not a number.
    if (!(x >= -1.0f))
        x = std::isnan(x) ? 0.0f : -1.0f;
    else if (x > 1.0f)
        x = 1.0f;
    float position = 1024.0f + 1024.0f * x;
    auto j = static_cast<int32_t>(position);
    int32_t next = std::min(j + 1, kTableSize);
    return fShapeTable[j] + (fShapeTable[next] - fShapeTable[j]) * (position - j);
}

}  // namespace thud
