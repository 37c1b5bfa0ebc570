#include "ThudCommandLine.h"

#include "ThudConstants.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace thud {

namespace {

constexpr char kOptionsHelp[] =
    "Sound options (each over the preset's value, or the default):\n"
    "  -f, --frequency HZ      start frequency, 0 to 22050 (default 1000)\n"
    "  -d, --duration MS       length in milliseconds, above 0 up to 600000 (default 200)\n"
    "  -a, --amplitude GAIN    output gain, 0 to 10 (default 0.95)\n"
    "  -w, --oscillator WAVE   sine, square, saw or triangle (or 1 to 4; default sine)\n"
    "      --freq-env          sweep the frequency down to 0 along the frequency curve\n"
    "      --no-freq-env       keep the frequency steady (default)\n"
    "      --freq-curve K      curvature of the sweep, -100 to 100; below 0 falls fast,\n"
    "                          above 0 holds then falls (default 1; 0 counts as 1)\n"
    "      --amp-env           fade the sound out along the amplitude curve\n"
    "      --no-amp-env        no fade (default)\n"
    "      --amp-curve K       curvature of the fade, -100 to 100 (default 1)\n"
    "      --distort           pass the wave through the tanh distortion\n"
    "      --no-distort        no distortion (default)\n"
    "      --distortion DRIVE  drive of the distortion, 1 to 10 (default 1)\n"
    "      --filter            pass the sound through the resonant low-pass filter\n"
    "      --no-filter         no filter (default)\n"
    "      --cutoff HZ         filter cutoff, 20 to 20000 (default 5000)\n"
    "      --resonance Q       filter resonance, 0.1 to 4 (default 1)\n"
    "  -h, --help              show this help\n";

std::string ProgramHelp()
{
    return "Usage: thud [PRESET...]\n"
           "       thud COMMAND [ARGUMENTS]\n"
           "Designs one-shot percussion sounds (kicks, toms, zaps): an oscillator with a\n"
           "frequency sweep, distortion, an amplitude fade and a resonant filter.\n"
           "\n"
           "Commands:\n"
           "  render [PRESET] -o OUT.wav [OPTIONS]   write the sound as a WAV file\n"
           "                                         (44100 Hz, mono, 16-bit)\n"
           "  play [PRESET] [--repeat BPM] [OPTIONS] play the sound on the default output\n"
           "  preset [PRESET] -o FILE.thud [OPTIONS] write the settings as a preset file\n"
           "\n"
           "Without a command, thud opens a window for each PRESET (.thud file), or an\n"
           "untitled one.\n"
           "\n"
           "Run 'thud COMMAND --help' for the options of a command.\n";
}

std::string CommandHelp(const std::string& command)
{
    std::string text;
    if (command == "render") {
        text = "Usage: thud render [PRESET] -o OUT.wav [OPTIONS]\n"
               "Renders the sound of PRESET (a .thud preset file; without one the default\n"
               "settings), changed by the options, and writes it to OUT.wav (44100 Hz, mono,\n"
               "16-bit). The file is replaced only when the whole sound was written.\n\n"
               "  -o, --output OUT.wav    the file to write (required)\n";
    } else if (command == "play") {
        text = "Usage: thud play [PRESET] [--repeat BPM] [OPTIONS]\n"
               "Plays the sound of PRESET (or of the default settings), changed by the\n"
               "options, on the default audio output (JACK, ALSA or PulseAudio). Without\n"
               "--repeat the sound plays once; with it, it restarts on every beat until\n"
               "interrupted (Ctrl-C).\n\n"
               "      --repeat BPM        restart the sound at this tempo, 1 to 1000 beats\n"
               "                          per minute; a sound longer than a beat is cut\n";
    } else if (command == "preset") {
        text = "Usage: thud preset [PRESET] -o FILE.thud [OPTIONS]\n"
               "Writes a preset file (52 bytes) holding the settings of PRESET (or the\n"
               "default settings) changed by the options.\n\n"
               "  -o, --output FILE.thud  the preset file to write (required)\n";
    } else {
        return ProgramHelp();
    }
    return text + "\n" + kOptionsHelp;
}

// Parses the whole text as a finite number in [low, high].
bool ParseNumber(const std::string& text, double low, double high, double& value)
{
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(v))
        return false;
    if (v < low || v > high)
        return false;
    value = v;
    return true;
}

std::string FormatRange(double low, double high, bool lowExclusive)
{
    std::ostringstream s;
    s << (lowExclusive ? "above " : "from ") << low << (lowExclusive ? " up to " : " to ") << high;
    return s.str();
}

bool ParseOscillator(const std::string& text, int32_t& type)
{
    static const char* const kNames[] = {"sine", "square", "saw", "triangle"};
    for (int i = 0; i < 4; i++) {
        if (text == kNames[i] || text == std::to_string(i + 1)) {
            type = i + 1;
            return true;
        }
    }
    return false;
}

// Each number a sound is made of, with the range its option and a preset file may hold.
struct NumberOption {
    const char* longName;
    char shortName;
    double low, high;
    bool lowExclusive;
    std::optional<float> ParamOverrides::*field;
    float ThudParams::*param;
};

const NumberOption kNumberOptions[] = {
    {"frequency", 'f', 0.0, 22050.0, false, &ParamOverrides::startFreq, &ThudParams::startFreq},
    {"duration", 'd', 0.0, kMaxDurationMs, true, &ParamOverrides::duration, &ThudParams::duration},
    {"amplitude", 'a', 0.0, 10.0, false, &ParamOverrides::amplitude, &ThudParams::amplitude},
    {"freq-curve", 0, -100.0, 100.0, false, &ParamOverrides::freqCurve, &ThudParams::freqCurve},
    {"amp-curve", 0, -100.0, 100.0, false, &ParamOverrides::ampCurve, &ThudParams::ampCurve},
    {"distortion", 0, 1.0, 10.0, false, &ParamOverrides::distortion, &ThudParams::distortion},
    {"cutoff", 0, 20.0, 20000.0, false, &ParamOverrides::cutoff, &ThudParams::cutoff},
    {"resonance", 0, 0.1, 4.0, false, &ParamOverrides::resonance, &ThudParams::resonance},
};

struct SwitchOption {
    const char* onName;
    const char* offName;
    std::optional<bool> ParamOverrides::*field;
};

const SwitchOption kSwitchOptions[] = {
    {"freq-env", "no-freq-env", &ParamOverrides::freqEnvOn},
    {"amp-env", "no-amp-env", &ParamOverrides::ampEnvOn},
    {"distort", "no-distort", &ParamOverrides::distortionOn},
    {"filter", "no-filter", &ParamOverrides::filterOn},
};

}  // namespace

void ParamOverrides::ApplyTo(ThudParams& p) const
{
    auto set = [](const auto& value, auto& target) {
        if (value)
            target = *value;
    };
    set(startFreq, p.startFreq);
    set(duration, p.duration);
    set(amplitude, p.amplitude);
    set(freqCurve, p.freqCurve);
    set(ampCurve, p.ampCurve);
    set(distortion, p.distortion);
    set(cutoff, p.cutoff);
    set(resonance, p.resonance);
    set(oscType, p.oscType);
    auto setSwitch = [](const std::optional<bool>& value, uint8_t& target) {
        if (value)
            target = *value ? 1 : 0;
    };
    setSwitch(ampEnvOn, p.ampEnvOn);
    setSwitch(freqEnvOn, p.freqEnvOn);
    setSwitch(distortionOn, p.distortionOn);
    setSwitch(filterOn, p.filterOn);
}

std::string HelpText(const std::string& topic)
{
    if (topic == "--version")
        return "thud 0.1\n";
    return CommandHelp(topic);
}

ParseResult ParseCommandLine(const std::vector<std::string>& args)
{
    ParseResult result;
    ThudCommand& command = result.command;
    auto fail = [&](const std::string& text) {
        result.ok = false;
        result.error = text;
        return result;
    };

    if (args.empty())
        return fail("no command given\n" + CommandHelp(""));
    const std::string& name = args[0];
    if (name == "--version") {
        command.kind = ThudCommand::kHelp;
        command.helpTopic = "--version";
        result.ok = true;
        return result;
    }
    if (name == "-h" || name == "--help" || name == "help") {
        command.kind = ThudCommand::kHelp;
        if (name == "help" && args.size() > 1)
            command.helpTopic = args[1];
        result.ok = true;
        return result;
    }
    if (name == "render")
        command.kind = ThudCommand::kRender;
    else if (name == "play")
        command.kind = ThudCommand::kPlay;
    else if (name == "preset")
        command.kind = ThudCommand::kPreset;
    else
        return fail("unknown command '" + name + "' (try 'thud --help')");

    bool onlyOperands = false;
    for (size_t i = 1; i < args.size(); i++) {
        const std::string& arg = args[i];
        if (onlyOperands || arg.empty() || arg[0] != '-' || arg == "-") {
            if (!command.presetPath.empty())
                return fail("more than one preset file given ('" + command.presetPath
                            + "' and '" + arg + "')");
            command.presetPath = arg;
            continue;
        }
        if (arg == "--") {
            onlyOperands = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            ThudCommand help;
            help.kind = ThudCommand::kHelp;
            help.helpTopic = name;
            result.command = help;
            result.ok = true;
            return result;
        }

        // The option's name, and its value when written as --name=value.
        std::string option;
        std::optional<std::string> inlineValue;
        char shortName = 0;
        if (arg.size() == 2 && arg[1] != '-') {
            shortName = arg[1];
        } else if (arg.rfind("--", 0) == 0) {
            size_t equals = arg.find('=');
            option = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            if (equals != std::string::npos)
                inlineValue = arg.substr(equals + 1);
        } else {
            return fail("unknown option '" + arg + "' (try 'thud " + name + " --help')");
        }
        auto is = [&](const char* longName, char shortChar) {
            return (!option.empty() && option == longName)
                || (shortName != 0 && shortName == shortChar);
        };
        auto takeValue = [&](std::string& value) {
            if (inlineValue) {
                value = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            return true;
        };
        std::string value;

        if (is("output", 'o') && command.kind != ThudCommand::kPlay) {
            if (!takeValue(value) || value.empty())
                return fail("option '" + arg + "' needs a file name");
            command.outputPath = value;
            continue;
        }
        if (is("repeat", 0) && command.kind == ThudCommand::kPlay) {
            double bpm = 0;
            if (!takeValue(value))
                return fail("option '--repeat' needs a tempo in beats per minute");
            if (!ParseNumber(value, 1.0, 1000.0, bpm))
                return fail("invalid tempo '" + value + "' for --repeat: expected a number of "
                            "beats per minute from 1 to 1000");
            command.repeatBpm = static_cast<float>(bpm);
            continue;
        }
        if (is("oscillator", 'w')) {
            int32_t type = 0;
            if (!takeValue(value))
                return fail("option '" + arg + "' needs a wave name");
            if (!ParseOscillator(value, type))
                return fail("invalid oscillator '" + value
                            + "': expected sine, square, saw or triangle");
            command.overrides.oscType = type;
            continue;
        }
        bool matched = false;
        for (const NumberOption& n : kNumberOptions) {
            if (!is(n.longName, n.shortName))
                continue;
            matched = true;
            double v = 0;
            std::string label = std::string("--") + n.longName;
            if (!takeValue(value))
                return fail("option '" + label + "' needs a number");
            if (!ParseNumber(value, n.low, n.high, v) || (n.lowExclusive && v <= n.low)) {
                std::string range = FormatRange(n.low, n.high, n.lowExclusive);
                return fail("invalid value '" + value + "' for " + label
                            + ": expected a number " + range);
            }
            command.overrides.*n.field = static_cast<float>(v);
            break;
        }
        if (matched)
            continue;
        for (const SwitchOption& s : kSwitchOptions) {
            if (option == s.onName || option == s.offName) {
                if (inlineValue)
                    return fail("option '--" + option + "' takes no value");
                command.overrides.*s.field = option == s.onName;
                matched = true;
                break;
            }
        }
        if (matched)
            continue;
        return fail("unknown option '" + arg + "' (try 'thud " + name + " --help')");
    }

    if (command.kind != ThudCommand::kPlay && command.outputPath.empty())
        return fail("no output file given: use -o FILE (try 'thud " + name + " --help')");
    result.ok = true;
    return result;
}

std::string CheckRenderable(const ThudParams& p)
{
    for (const NumberOption& n : kNumberOptions) {
        double v = p.*n.param;
        // Written so that a value that is not a number fails too.
        bool inside = (n.lowExclusive ? v > n.low : v >= n.low) && v <= n.high;
        if (!inside) {
            std::ostringstream s;
            s << "the " << n.longName << " must be " << FormatRange(n.low, n.high, n.lowExclusive)
              << " (it is " << v << ")";
            return s.str();
        }
    }
    if (p.oscType < 1 || p.oscType > 4)
        return "the oscillator must be 1 (sine), 2 (square), 3 (saw) or 4 (triangle) (it is "
            + std::to_string(p.oscType) + ")";
    return "";
}

}  // namespace thud
