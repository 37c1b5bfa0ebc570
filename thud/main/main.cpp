// thud: designs a one-shot percussion sound in a window, or from the command line; plays
// it, and saves it as a WAV file or a preset.

#include "ThudApp.h"
#include "ThudCommandLine.h"
#include "ThudPreset.h"
#include "ThudSound.h"

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

using namespace thud;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintError(const std::string& text)
{
    std::fprintf(stderr, "thud: %s\n", text.c_str());
}

// The settings to work with: the preset's (or the defaults) changed by the options.
bool LoadParams(const ThudCommand& command, ThudParams& params)
{
    if (!command.presetPath.empty()) {
        PresetReadResult read = ReadPresetFromFile(command.presetPath);
        const std::string& path = command.presetPath;
        switch (read.outcome) {
            case PresetReadResult::kLoaded:
                break;
            case PresetReadResult::kCannotOpen:
                PrintError("cannot open the preset file '" + path + "': "
                           + std::strerror(read.systemError));
                return false;
            case PresetReadResult::kNotValid:
                if (read.systemError != 0)
                    PrintError("cannot read the preset file '" + path + "': "
                               + std::strerror(read.systemError));
                else
                    PrintError("'" + path + "' is not a valid thud preset file");
                return false;
        }
        params = read.params;
    }
    command.overrides.ApplyTo(params);
    return true;
}

bool PrepareSound(const ThudCommand& command, ThudSound& sound)
{
    ThudParams params;
    if (!LoadParams(command, params))
        return false;
    std::string problem = CheckRenderable(params);
    if (!problem.empty()) {
        PrintError("cannot make the sound: " + problem);
        return false;
    }
    ApplyParams(sound, params);
    return true;
}

int Render(const ThudCommand& command)
{
    ThudSound sound;
    if (!PrepareSound(command, sound))
        return kExitFailure;
    if (sound.WriteSoundToFile(command.outputPath) != ThudSound::kOk) {
        PrintError(sound.LastError());
        return kExitFailure;
    }
    std::printf("Wrote %s (%lld samples, 44100 Hz, mono, 16-bit)\n", command.outputPath.c_str(),
                static_cast<long long>(sound.GetSampleLength()));
    return 0;
}

int WritePreset(const ThudCommand& command)
{
    ThudParams params;
    if (!LoadParams(command, params))
        return kExitFailure;
    std::string problem = CheckRenderable(params);
    if (!problem.empty()) {
        PrintError("cannot write the preset: " + problem);
        return kExitFailure;
    }
    std::string error;
    if (WritePresetToFile(command.outputPath, params, error) != 0) {
        PrintError(error);
        return kExitFailure;
    }
    std::printf("Wrote %s\n", command.outputPath.c_str());
    return 0;
}

int Play(const ThudCommand& command)
{
    // Interrupts are taken by sigwait below; blocked before the audio threads start so
    // that they inherit the mask and none of them is interrupted instead.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    ThudSound sound;
    if (!PrepareSound(command, sound))
        return kExitFailure;
    if (sound.GenerateSound() != ThudSound::kOk) {
        PrintError(sound.LastError());
        return kExitFailure;
    }
    if (command.repeatBpm) {
        sound.SetBeatLength(*command.repeatBpm);
        sound.SetSequencerEnabled(true);
    }

    if (sound.PlaySound() != ThudSound::kOk) {
        PrintError(sound.LastError());
        return kExitFailure;
    }

    if (command.repeatBpm) {
        std::printf("Playing at %g BPM; press Ctrl-C to stop.\n", *command.repeatBpm);
        std::fflush(stdout);
        int signal = 0;
        sigwait(&stopSignals, &signal);
    } else {
        // Wait until the last sample has been heard, or an interrupt.
        double seconds = static_cast<double>(sound.GetSampleLength()) / kSampleRate
            + sound.OutputLatency() + 0.1;
        timespec timeout{};
        timeout.tv_sec = static_cast<time_t>(seconds);
        timeout.tv_nsec = static_cast<long>((seconds - std::floor(seconds)) * 1e9);
        while (sigtimedwait(&stopSignals, nullptr, &timeout) < 0 && errno == EINTR) {
        }
    }
    sound.StopSound();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    // No command, or only preset files: the desktop application.
    if (WantsWindows(args))
        return RunThudApp(argc, argv);
    ParseResult parsed = ParseCommandLine(args);
    if (!parsed.ok) {
        PrintError(parsed.error);
        return kExitUsage;
    }
    const ThudCommand& command = parsed.command;
    switch (command.kind) {
        case ThudCommand::kHelp:
            std::fputs(HelpText(command.helpTopic).c_str(), stdout);
            return 0;
        case ThudCommand::kRender:
            return Render(command);
        case ThudCommand::kPlay:
            return Play(command);
        case ThudCommand::kPreset:
            return WritePreset(command);
    }
    return kExitFailure;
}
