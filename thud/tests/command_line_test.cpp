// Reading the thud command line: commands, options over a preset, and refusals.

#include "ThudCommandLine.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace thud;

namespace {

ParseResult Parse(std::vector<std::string> args)
{
    return ParseCommandLine(args);
}

}  // namespace

TEST(CommandLineTest, EveryParameterHasAnOption)
{
    ParseResult r = Parse({"render", "kick.thud", "-o", "out.wav", "-f", "55", "--duration=350",
                           "-a", "0.8", "--freq-curve", "-12", "--amp-curve", "3.5", "--freq-env",
                           "--amp-env", "-w", "triangle", "--distortion", "7", "--distort",
                           "--cutoff", "1200", "--resonance", "2.5", "--filter"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.command.kind, ThudCommand::kRender);
    EXPECT_EQ(r.command.presetPath, "kick.thud");
    EXPECT_EQ(r.command.outputPath, "out.wav");

    ThudParams p;
    r.command.overrides.ApplyTo(p);
    EXPECT_EQ(p.startFreq, 55.0f);
    EXPECT_EQ(p.duration, 350.0f);
    EXPECT_EQ(p.amplitude, 0.8f);
    EXPECT_EQ(p.freqCurve, -12.0f);
    EXPECT_EQ(p.ampCurve, 3.5f);
    EXPECT_EQ(p.oscType, 4);
    EXPECT_EQ(p.distortion, 7.0f);
    EXPECT_EQ(p.cutoff, 1200.0f);
    EXPECT_EQ(p.resonance, 2.5f);
    EXPECT_EQ(p.freqEnvOn, 1);
    EXPECT_EQ(p.ampEnvOn, 1);
    EXPECT_EQ(p.distortionOn, 1);
    EXPECT_EQ(p.filterOn, 1);

    // Options change only what they name; switches turn off as well as on.
    ThudParams preset;
    preset.startFreq = 90;
    preset.filterOn = 1;
    preset.ampEnvOn = 1;
    r = Parse({"preset", "--no-filter", "--oscillator=2", "-o", "x.thud"});
    ASSERT_TRUE(r.ok) << r.error;
    r.command.overrides.ApplyTo(preset);
    EXPECT_EQ(preset.startFreq, 90.0f);
    EXPECT_EQ(preset.filterOn, 0);
    EXPECT_EQ(preset.ampEnvOn, 1);
    EXPECT_EQ(preset.oscType, 2);

    r = Parse({"play", "--repeat", "140"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.command.kind, ThudCommand::kPlay);
    ASSERT_TRUE(r.command.repeatBpm.has_value());
    EXPECT_EQ(*r.command.repeatBpm, 140.0f);
    EXPECT_TRUE(r.command.presetPath.empty());
}

TEST(CommandLineTest, HelpForTheProgramAndEachCommand)
{
    for (std::vector<std::string> args : {std::vector<std::string>{"--help"}, {"-h"}, {"help"}}) {
        ParseResult r = Parse(args);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.command.kind, ThudCommand::kHelp);
        EXPECT_EQ(r.command.helpTopic, "");
    }
    for (const char* command : {"render", "play", "preset"}) {
        ParseResult r = Parse({command, "--help"});
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.command.kind, ThudCommand::kHelp);
        EXPECT_EQ(r.command.helpTopic, command);
        std::string text = HelpText(command);
        EXPECT_NE(text.find(std::string("Usage: thud ") + command), std::string::npos);
        EXPECT_NE(text.find("--resonance"), std::string::npos);
    }
    EXPECT_NE(HelpText("play").find("--repeat"), std::string::npos);
    EXPECT_EQ(HelpText("render").find("--repeat"), std::string::npos);
}

TEST(CommandLineTest, BadCommandLinesAreRefusedWithTheReason)
{
    struct Case {
        std::vector<std::string> args;
        const char* mentions;
    };
    const Case cases[] = {
        {{}, "no command"},
        {{"bounce"}, "unknown command 'bounce'"},
        {{"render"}, "no output file"},
        {{"render", "-o"}, "needs a file name"},
        {{"render", "-o", "x.wav", "-d", "0"}, "'0' for --duration"},
        {{"render", "-o", "x.wav", "-d", "-20"}, "'-20' for --duration"},
        {{"render", "-o", "x.wav", "-d", "abc"}, "'abc' for --duration"},
        {{"render", "-o", "x.wav", "-d", "12ms"}, "'12ms' for --duration"},
        {{"render", "-o", "x.wav", "-d", "nan"}, "'nan'"},
        {{"render", "-o", "x.wav", "-d", "700000"}, "'700000'"},
        {{"render", "-o", "x.wav", "-f", "1e400"}, "'1e400' for --frequency"},
        {{"render", "-o", "x.wav", "-f", ""}, "'' for --frequency"},
        {{"render", "-o", "x.wav", "-f"}, "needs a number"},
        {{"render", "-o", "x.wav", "--cutoff", "22050"}, "--cutoff"},
        {{"render", "-o", "x.wav", "--resonance", "0"}, "--resonance"},
        {{"render", "-o", "x.wav", "--distortion", "0.5"}, "--distortion"},
        {{"render", "-o", "x.wav", "-a", "-1"}, "--amplitude"},
        {{"render", "-o", "x.wav", "-w", "noise"}, "invalid oscillator 'noise'"},
        {{"render", "-o", "x.wav", "--filter=yes"}, "takes no value"},
        {{"render", "-o", "x.wav", "--bogus"}, "unknown option '--bogus'"},
        {{"render", "-o", "x.wav", "a.thud", "b.thud"}, "more than one preset"},
        {{"render", "-o", "x.wav", "--repeat", "120"}, "unknown option '--repeat'"},
        {{"play", "--repeat", "0"}, "invalid tempo '0'"},
        {{"play", "--repeat", "fast"}, "invalid tempo 'fast'"},
        {{"play", "-o", "x.wav"}, "unknown option '-o'"},
    };
    for (const Case& c : cases) {
        ParseResult r = Parse(c.args);
        std::string line;
        for (const std::string& a : c.args)
            line += a + " ";
        EXPECT_FALSE(r.ok) << line;
        EXPECT_NE(r.error.find(c.mentions), std::string::npos) << line << "-> " << r.error;
    }
}

TEST(CommandLineTest, EveryPresetValueOutsideItsRangeIsNamed)
{
    ThudParams p;
    EXPECT_EQ(CheckRenderable(p), "");
    const float kNan = std::numeric_limits<float>::quiet_NaN();
    const float kInf = std::numeric_limits<float>::infinity();
    struct Case {
        float ThudParams::*field;
        float value;
        const char* named;
    };
    const Case cases[] = {
        {&ThudParams::duration, 0, "the duration must be above 0"},
        {&ThudParams::duration, -3, "duration"},
        {&ThudParams::duration, 1e9f, "duration"},
        {&ThudParams::startFreq, 1e30f, "the frequency must be from 0 to 22050 (it is 1e+30)"},
        {&ThudParams::startFreq, -1e30f, "frequency"},
        {&ThudParams::startFreq, 3.4e38f, "frequency"},
        {&ThudParams::startFreq, kInf, "frequency"},
        {&ThudParams::amplitude, kNan, "the amplitude must be from 0 to 10 (it is nan)"},
        {&ThudParams::freqCurve, 101, "freq-curve"},
        {&ThudParams::ampCurve, kNan, "amp-curve"},
        {&ThudParams::distortion, 0.5f, "distortion"},
        {&ThudParams::cutoff, 30000, "cutoff"},   // even with the filter off
        {&ThudParams::resonance, 0, "resonance"},
    };
    for (const Case& c : cases) {
        p = ThudParams{};
        p.*c.field = c.value;
        EXPECT_NE(CheckRenderable(p).find(c.named), std::string::npos) << c.named << ": " << CheckRenderable(p);
    }
    for (int32_t oscillator : {0, 5, -1}) {
        p = ThudParams{};
        p.oscType = oscillator;
        EXPECT_NE(CheckRenderable(p).find("the oscillator must be 1"), std::string::npos) << oscillator;
    }
    p = ThudParams{};
    p.oscType = 4;
    p.resonance = 4;
    p.startFreq = 0;
    EXPECT_EQ(CheckRenderable(p), "");
}
