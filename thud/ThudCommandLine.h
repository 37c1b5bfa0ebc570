#pragma once
// The thud command line: which command, which preset, which output, and the parameter
// values given as options (applied over the preset's or the default values).

#include "ThudPreset.h"

#include <optional>
#include <string>
#include <vector>

namespace thud {

struct ParamOverrides {
    std::optional<float> startFreq, duration, amplitude, freqCurve, ampCurve, distortion,
        cutoff, resonance;
    std::optional<int32_t> oscType;
    std::optional<bool> ampEnvOn, freqEnvOn, distortionOn, filterOn;

    void ApplyTo(ThudParams& params) const;
};

struct ThudCommand {
    enum Kind { kHelp, kRender, kPlay, kPreset };
    Kind kind = kHelp;
    // For kHelp: the command whose help is asked for (empty: the program's).
    std::string helpTopic;
    std::string presetPath;
    std::string outputPath;
    std::optional<float> repeatBpm;
    ParamOverrides overrides;
};

struct ParseResult {
    bool ok = false;
    ThudCommand command;
    std::string error;  // why the command line was refused
};

ParseResult ParseCommandLine(const std::vector<std::string>& args);

// Help text of a command ("render", "play", "preset") or, for "", of the program.
std::string HelpText(const std::string& topic);

// Whether every value lies in the range its option takes (so a duration above 0 that fits
// in memory, a filter cutoff below half the sample rate, no value that is not a number)
// and the oscillator is one of the four. A preset file may hold anything; this is checked
// after the options are applied. Returns the reason naming the value, or "" when the
// block is usable.
std::string CheckRenderable(const ThudParams& params);

// The longest sound the command line makes, in milliseconds (10 minutes).
constexpr float kMaxDurationMs = 600000.0f;

}  // namespace thud
