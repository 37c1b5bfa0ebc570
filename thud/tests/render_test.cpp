// Rendering: lengths, the oscillator tables, the stages and the 16-bit conversion.

#include "Envelope.h"
#include "LowPassFilter.h"
#include "ThudSound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace thud;

namespace {

std::vector<int16_t> Render(ThudSound& sound)
{
    EXPECT_EQ(sound.GenerateSound(), ThudSound::kOk);
    int64_t length = 0;
    const int16_t* buffer = sound.GetBuffer(length);
    return std::vector<int16_t>(buffer, buffer + length);
}

// A sound with every stage off and full gain.
void PlainSound(ThudSound& sound, int32_t oscType, float hz, float ms)
{
    sound.SetOscType(oscType);
    sound.GenerateWaveTable();
    sound.SetStartFreq(hz);
    sound.SetDuration(ms);
    sound.SetAmplitude(1.0f);
}

// Peak gain of the filter for a sine of the given frequency, after it has settled.
double FilterGain(double q, double cutoff, double hz)
{
    LowPassFilter filter;
    filter.UpdateFilter(q, cutoff);
    const int settle = 20000, measure = 20000;
    std::vector<float> signal(settle + measure);
    for (int i = 0; i < settle + measure; i++)
        signal[i] = static_cast<float>(std::sin(2 * M_PI * hz * i / kSampleRate));
    // In uneven pieces: the state carries over from one call to the next.
    filter.ProcessBlock(signal.data(), 1000);
    filter.ProcessBlock(signal.data() + 1000, 1);
    filter.ProcessBlock(signal.data() + 1001, signal.size() - 1001);
    double peak = 0;
    for (int i = settle; i < settle + measure; i++)
        peak = std::max(peak, std::fabs(static_cast<double>(signal[i])));
    return peak;
}

}  // namespace

TEST(RenderTest, LengthIsTheCeilingOfTheDurationInSamples)
{
    EXPECT_EQ(SampleCountForDuration(200), 8820);
    EXPECT_EQ(SampleCountForDuration(0.01), 1);
    EXPECT_EQ(SampleCountForDuration(3000), 132300);
    EXPECT_EQ(SampleCountForDuration(0), 0);
    EXPECT_EQ(SampleCountForDuration(-5), 0);
    EXPECT_EQ(SampleCountForDuration(std::nan("")), -1);
    EXPECT_EQ(SampleCountForDuration(1e12), -1);

    ThudSound sound;
    sound.SetDuration(200);
    EXPECT_EQ(Render(sound).size(), 8820u);
    sound.SetDuration(0.01f);
    EXPECT_EQ(Render(sound).size(), 1u);
    sound.SetDuration(0);
    EXPECT_TRUE(Render(sound).empty());
    EXPECT_EQ(sound.GetSampleLength(), 0);

    // A length that cannot be had is the allocation error, with no samples left behind.
    std::string reported;
    sound.SetErrorHandler([&](const std::string& text) { reported = text; });
    sound.SetDuration(1e12f);
    EXPECT_EQ(sound.GenerateSound(), ThudSound::kNoMemory);
    EXPECT_EQ(reported, "Could not allocate a sufficient sample buffer in RAM!");
    EXPECT_EQ(sound.GetSampleLength(), 0);
    EXPECT_EQ(sound.GetSampleAt(0), 0);
}

TEST(RenderTest, SineAt441HzHasAPeriodOf100Samples)
{
    ThudSound sound;
    PlainSound(sound, kOscSine, 441, 200);
    std::vector<int16_t> s = Render(sound);
    ASSERT_EQ(s.size(), 8820u);
    EXPECT_EQ(s[0], 0);
    int16_t peak = *std::max_element(s.begin(), s.end());
    EXPECT_TRUE(peak == 32766 || peak == 32767) << peak;
    EXPECT_GE(s[25], 32766);            // a quarter period in
    EXPECT_LE(s[75], -32766);           // three quarters
    EXPECT_LE(std::abs(s[50]), 1);      // half way through a period
    for (size_t i = 0; i + 100 < s.size(); i++)
        ASSERT_NEAR(s[i], s[i + 100], 2) << "at " << i;
}

TEST(RenderTest, SquareJumpsBetweenFullScaleWithAtMostOneSampleBetween)
{
    ThudSound sound;
    PlainSound(sound, kOscSquare, 100, 50);  // 441 samples a period, not a whole number of entries
    std::vector<int16_t> s = Render(sound);
    int intermediate = 0;
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] == 32767 || s[i] == -32767)
            continue;
        intermediate++;
        // Between two full-scale neighbours, never two in a row.
        ASSERT_GT(i, 0u);
        ASSERT_LT(i + 1, s.size());
        EXPECT_TRUE(std::abs(s[i - 1]) == 32767 && std::abs(s[i + 1]) == 32767) << i;
        EXPECT_NE(s[i - 1], s[i + 1]) << "a step must lie on a transition, at " << i;
    }
    // Two transitions a period, five periods.
    EXPECT_LE(intermediate, 10);
    EXPECT_EQ(s[0], 32767);
    EXPECT_EQ(s[250], -32767);
}

TEST(RenderTest, SawAndTriangleTablesFollowTheirSteps)
{
    ThudSound sound;
    sound.SetOscType(kOscSaw);
    sound.GenerateWaveTable();
    const WaveTable& saw = sound.GetWaveTable();
    EXPECT_EQ(saw[0], 0.0f);
    EXPECT_EQ(saw[512], 0.5f);
    EXPECT_EQ(saw[1024], 1.0f);
    EXPECT_EQ(saw[1025], -1023.0f / 1024);
    EXPECT_EQ(saw[2047], -1.0f / 1024);
    EXPECT_EQ(saw[2048], saw[0]);

    sound.SetOscType(kOscTriangle);
    sound.GenerateWaveTable();
    const WaveTable& tri = sound.GetWaveTable();
    EXPECT_EQ(tri[0], 0.0f);
    EXPECT_EQ(tri[256], 0.5f);
    EXPECT_EQ(tri[512], 1.0f);
    EXPECT_EQ(tri[513], 1.0f - 1.0f / 512);
    EXPECT_EQ(tri[1536], -1.0f);
    EXPECT_EQ(tri[2047], -1.0f / 512);
    EXPECT_EQ(tri[2048], 0.0f);

    // An unknown type leaves the table as it was.
    sound.SetOscType(7);
    sound.GenerateWaveTable();
    EXPECT_EQ(sound.GetWaveTable()[512], 1.0f);
}

TEST(RenderTest, PhaseStaysInsideThePeriodWhateverTheStep)
{
    ThudSound sound;
    const double steps[] = {20.48, -20.48, 2047.9, 2048.0, -2048.0, 1e9, -1e9, 3e30,
                            std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity(), -1e-9};
    for (double step : steps) {
        double phase = 0.0;
        for (int i = 0; i < 50; i++) {
            float out = sound.Oscillator(step, phase);
            ASSERT_TRUE(phase >= 0.0 && phase < kTableSize) << "step " << step << " phase " << phase;
            ASSERT_TRUE(out >= -1.0f && out <= 1.0f) << "step " << step;
        }
    }
    // The output reads the phase before the step, interpolating between entries.
    double phase = 512.5;
    sound.SetOscType(kOscSaw);
    sound.GenerateWaveTable();
    EXPECT_FLOAT_EQ(sound.Oscillator(100.0, phase), (512.5f) / 1024);
    EXPECT_DOUBLE_EQ(phase, 612.5);
}

TEST(RenderTest, FrequencySweepEndsNearZeroHertz)
{
    EXPECT_DOUBLE_EQ(ExpEnvelope(0.0, 1.0), 1.0);
    EXPECT_NEAR(ExpEnvelope(1.0, 1.0), 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(ExpEnvelope(0.3, 0.0), ExpEnvelope(0.3, 1.0));
    EXPECT_LT(ExpEnvelope(0.2, -10.0), 0.2);  // negative curves fall fast
    EXPECT_GT(ExpEnvelope(0.8, 10.0), 0.5);   // positive ones hold

    // The ramp used while rendering follows the formula.
    EnvelopeRamp ramp(-7.0, 8820.0);
    for (int i = 0; i < 8820; i++)
        ASSERT_NEAR(ramp.Next(), ExpEnvelope(i / 8820.0, -7.0), 1e-9) << i;

    ThudSound sound;
    PlainSound(sound, kOscSine, 1000, 200);
    sound.SetFreqEnvEnabled(true);
    sound.SetFreqEnvelope(1.0f);
    std::vector<int16_t> s = Render(sound);
    ASSERT_EQ(s.size(), 8820u);
    // At the start a 1000 Hz sine moves by thousands per sample; over the last ten samples
    // the frequency is below 2 Hz, a step of at most 32767 × 2π × 2 / 44100 ≈ 9.
    EXPECT_GT(std::abs(s[1] - s[0]), 3000);
    for (size_t i = s.size() - 10; i < s.size(); i++)
        EXPECT_LE(std::abs(s[i] - s[i - 1]), 10) << i;
}

TEST(RenderTest, StrongDistortionMakesASineNearlySquare)
{
    ThudSound sound;
    PlainSound(sound, kOscSine, 441, 200);
    sound.SetDistortion(10);
    sound.GenerateWaveShapeTable();
    sound.SetDistortionEnabled(true);
    std::vector<int16_t> s = Render(sound);
    int16_t peak = *std::max_element(s.begin(), s.end());
    EXPECT_GE(peak, 32766);
    size_t loud = std::count_if(s.begin(), s.end(), [](int16_t v) { return std::abs(v) > 29490; });
    EXPECT_GT(loud, s.size() * 8 / 10);

    // A drive of 1 lowers the level to tanh(1).
    sound.SetDistortion(1);
    sound.GenerateWaveShapeTable();
    s = Render(sound);
    peak = *std::max_element(s.begin(), s.end());
    EXPECT_NEAR(peak, std::tanh(1.0) * 32767, 40);

    EXPECT_FLOAT_EQ(sound.Distort(1.0f), sound.GetShapeTable()[2047]);
    EXPECT_FLOAT_EQ(sound.Distort(5.0f), sound.GetShapeTable()[2047]);
    EXPECT_FLOAT_EQ(sound.Distort(0.0f), 0.0f);
}

TEST(RenderTest, AmplitudeEnvelopeFadesToSilence)
{
    ThudSound sound;
    PlainSound(sound, kOscSquare, 100, 200);
    sound.SetAmpEnvEnabled(true);
    sound.SetAmpEnvelope(-5.0f);
    std::vector<int16_t> s = Render(sound);
    EXPECT_EQ(s[0], 32767);
    EXPECT_LE(std::abs(s.back()), 2);
    // The fade at a quarter of the sound follows the envelope.
    EXPECT_NEAR(std::abs(s[2205]), 32767 * ExpEnvelope(0.25, -5.0), 3);
}

TEST(RenderTest, FilterPassesLowFrequenciesAndResonatesAtTheCutoff)
{
    // A 100 Hz sine through a 20 kHz cutoff comes out at the same level.
    ThudSound sound;
    PlainSound(sound, kOscSine, 100, 500);
    sound.SetAmplitude(0.5f);
    std::vector<int16_t> dry = Render(sound);
    sound.SetFilterCutoff(20000);
    sound.SetFilterQ(1);
    sound.SetFilterEnabled(true);
    std::vector<int16_t> wet = Render(sound);
    ASSERT_EQ(dry.size(), wet.size());
    double dryEnergy = 0, wetEnergy = 0;
    for (size_t i = 4410; i < dry.size(); i++) {
        dryEnergy += double(dry[i]) * dry[i];
        wetEnergy += double(wet[i]) * wet[i];
    }
    EXPECT_NEAR(std::sqrt(wetEnergy / dryEnergy), 1.0, 0.01);

    // Unity gain for steady input; Butterworth: -3 dB at the cutoff, no peak.
    EXPECT_NEAR(FilterGain(1.0, 1000, 5), 1.0, 0.01);
    EXPECT_NEAR(FilterGain(1.0, 1000, 1000), std::sqrt(0.5), 0.02);
    EXPECT_LT(FilterGain(1.0, 1000, 700), 1.01);
    EXPECT_LT(FilterGain(1.0, 1000, 4000), 0.01);

    // Resonance 4: a peak well above unity close to the cutoff, and still low-pass above.
    double best = 0, bestHz = 0;
    for (double hz = 200; hz <= 2000; hz += 20) {
        double g = FilterGain(4.0, 1000, hz);
        if (g > best) {
            best = g;
            bestHz = hz;
        }
    }
    EXPECT_GT(best, 3.0);
    EXPECT_GT(bestHz, 700);
    EXPECT_LE(bestHz, 1050);
    EXPECT_LT(FilterGain(4.0, 1000, 8000), 0.01);
}

TEST(RenderTest, LoudSamplesAreClampedNotWrapped)
{
    EXPECT_EQ(ToSample(0.0f), 0);
    EXPECT_EQ(ToSample(1.0f), 32767);
    EXPECT_EQ(ToSample(-1.0f), -32767);
    EXPECT_EQ(ToSample(-0.00001f), -1);  // floor, not truncation
    EXPECT_EQ(ToSample(0.99999f), 32766);
    EXPECT_EQ(ToSample(1.5f), 32767);
    EXPECT_EQ(ToSample(-1.5f), -32768);
    EXPECT_EQ(ToSample(1e30f), 32767);
    EXPECT_EQ(ToSample(-std::numeric_limits<float>::infinity()), -32768);
    EXPECT_EQ(ToSample(std::numeric_limits<float>::quiet_NaN()), 0);

    // Gain 2 on a sine: flat tops at the limits, the sign never flips.
    ThudSound sound;
    PlainSound(sound, kOscSine, 441, 20);
    sound.SetAmplitude(2.0f);
    std::vector<int16_t> s = Render(sound);
    EXPECT_EQ(*std::max_element(s.begin(), s.end()), 32767);
    EXPECT_EQ(*std::min_element(s.begin(), s.end()), -32768);
    for (size_t i = 1; i < 50; i++)
        EXPECT_GT(s[i], 0) << i;  // the first half period is positive
    for (size_t i = 51; i < 100; i++)
        EXPECT_LT(s[i], 0) << i;

    // Resonance on a square overshoots -1..1; it too stays in range with its sign.
    PlainSound(sound, kOscSquare, 200, 100);
    sound.SetFilterEnabled(true);
    sound.SetFilterCutoff(3000);
    sound.SetFilterQ(4);
    s = Render(sound);
    EXPECT_EQ(*std::max_element(s.begin(), s.end()), 32767);
}

TEST(RenderTest, SettingsThatAreNotNumbersRenderSilenceNotGarbage)
{
    ThudSound sound;
    PlainSound(sound, kOscSine, std::nanf(""), 10);
    for (int16_t v : Render(sound))
        ASSERT_EQ(v, 0);
    PlainSound(sound, kOscSine, 441, 10);
    sound.SetDistortion(std::nanf(""));
    sound.GenerateWaveShapeTable();
    sound.SetDistortionEnabled(true);
    for (int16_t v : Render(sound))
        ASSERT_EQ(v, 0);
}
