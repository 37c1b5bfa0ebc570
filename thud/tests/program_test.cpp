// The thud program end to end: WAV files read back by libsndfile and by sox, presets,
// playback, and refusals that leave nothing half-written.

#include "ThudPreset.h"
#include "ThudSound.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <limits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

using namespace thud;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string output;  // stdout and stderr together
};

// Runs a shell command line and collects what it prints.
Outcome RunShell(const std::string& line)
{
    Outcome result;
    std::FILE* pipe = popen((line + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        result.output.append(buffer, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

Outcome RunThud(const std::string& arguments, const std::string& environment = "")
{
    return RunShell("env JACK_NO_START_SERVER=1 " + environment + " " THUD_PROGRAM " "
                    + arguments);
}

// jack_wait -c answers "running" or "not running" (its exit status is 0 either way).
bool JackIsRunning()
{
    std::FILE* pipe = popen("JACK_NO_START_SERVER=1 jack_wait -c 2>/dev/null", "r");
    if (pipe == nullptr)
        return false;
    char answer[64] = {};
    bool running = std::fgets(answer, sizeof(answer), pipe) != nullptr
        && std::string(answer).rfind("running", 0) == 0;
    pclose(pipe);
    return running;
}

std::vector<int16_t> ReadWithLibsndfile(const std::string& path, SF_INFO& info)
{
    info = SF_INFO{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return {};
    std::vector<int16_t> samples(static_cast<size_t>(info.frames * info.channels));
    sf_readf_short(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fScratch.Valid()); }
    std::string PathOf(const std::string& name) const { return (fDir / name).string(); }
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(fDir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    ScratchDir fScratch{"thud-program"};
    fs::path fDir = fScratch.Path();
};

}  // namespace

TEST_F(ProgramTest, RenderedWavIsReadBackByLibsndfileAndSox)
{
    std::string wav = PathOf("sine.wav");
    Outcome run = RunThud("render -o " + wav + " -f 441 -a 1 -d 200");
    ASSERT_EQ(run.status, 0) << run.output;

    SF_INFO info;
    std::vector<int16_t> samples = ReadWithLibsndfile(wav, info);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.frames, 8820);

    // The same samples the engine renders.
    ThudSound sound;
    sound.SetStartFreq(441);
    sound.SetAmplitude(1);
    sound.SetDuration(200);
    ASSERT_EQ(sound.GenerateSound(), ThudSound::kOk);
    int64_t length = 0;
    const int16_t* expected = sound.GetBuffer(length);
    ASSERT_EQ(samples.size(), static_cast<size_t>(length));
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), expected));
    EXPECT_EQ(samples[0], 0);
    EXPECT_GE(samples[25], 32766);

    Outcome soxInfo = RunShell("sox --i " + wav);
    ASSERT_EQ(soxInfo.status, 0) << soxInfo.output;
    EXPECT_NE(soxInfo.output.find("Channels       : 1"), std::string::npos) << soxInfo.output;
    EXPECT_NE(soxInfo.output.find("Sample Rate    : 44100"), std::string::npos);
    EXPECT_NE(soxInfo.output.find("Precision      : 16-bit"), std::string::npos);
    EXPECT_NE(soxInfo.output.find("= 8820 samples"), std::string::npos);
    EXPECT_NE(soxInfo.output.find("16-bit Signed Integer PCM"), std::string::npos);

    Outcome soxStat = RunShell("sox " + wav + " -n stat");
    ASSERT_EQ(soxStat.status, 0) << soxStat.output;
    EXPECT_NE(soxStat.output.find("Samples read:              8820"), std::string::npos)
        << soxStat.output;
    // Peak 32767 (or 32766) of 32768, minimum its mirror.
    auto statValue = [&](const std::string& label) {
        size_t at = soxStat.output.find(label);
        return at == std::string::npos ? 0.0 : std::atof(soxStat.output.c_str() + at + label.size());
    };
    EXPECT_NEAR(statValue("Maximum amplitude:"), 32766.5 / 32768, 0.6 / 32768) << soxStat.output;
    EXPECT_NEAR(statValue("Minimum amplitude:"), -32766.5 / 32768, 0.6 / 32768) << soxStat.output;
    EXPECT_EQ(Entries(), std::vector<std::string>{"sine.wav"});
}

TEST_F(ProgramTest, PresetWrittenByTheProgramRendersLikeItsOptions)
{
    std::string options = "-f 120 -a 0.9 --freq-env --freq-curve -6 --amp-env --amp-curve -2 "
                          "-w saw --distort --distortion 4 --filter --cutoff 900 --resonance 2";
    Outcome saved = RunThud("preset -o " + PathOf("kick.thud") + " " + options);
    ASSERT_EQ(saved.status, 0) << saved.output;
    PresetReadResult preset = ReadPresetFromFile(PathOf("kick.thud"));
    ASSERT_EQ(preset.outcome, PresetReadResult::kLoaded);
    EXPECT_EQ(fs::file_size(PathOf("kick.thud")), 52u);
    EXPECT_EQ(preset.params.startFreq, 120.0f);
    EXPECT_EQ(preset.params.oscType, 3);
    EXPECT_EQ(preset.params.filterOn, 1);

    ASSERT_EQ(RunThud("render " + PathOf("kick.thud") + " -o " + PathOf("a.wav")).status, 0);
    ASSERT_EQ(RunThud("render -o " + PathOf("b.wav") + " " + options).status, 0);
    SF_INFO infoA, infoB;
    std::vector<int16_t> a = ReadWithLibsndfile(PathOf("a.wav"), infoA);
    std::vector<int16_t> b = ReadWithLibsndfile(PathOf("b.wav"), infoB);
    EXPECT_EQ(a.size(), 8820u);
    EXPECT_EQ(a, b);

    // Options override the preset's values.
    ASSERT_EQ(RunThud("render " + PathOf("kick.thud") + " -d 100 -o " + PathOf("c.wav")).status, 0);
    SF_INFO infoC;
    EXPECT_EQ(ReadWithLibsndfile(PathOf("c.wav"), infoC).size(), 4410u);
}

TEST_F(ProgramTest, BadInputIsRefusedAndLeavesNothingHalfWritten)
{
    std::ofstream(PathOf("old.wav")) << "keep me";
    std::vector<uint8_t> letterO = {'T', 'H', 'O', 'D', 0};
    letterO.resize(52);
    std::ofstream(PathOf("letter-o.thud"), std::ios::binary)
        .write(reinterpret_cast<const char*>(letterO.data()), 52);
    ThudParams silent;
    silent.duration = 0;
    std::string error;
    ASSERT_EQ(WritePresetToFile(PathOf("zero.thud"), silent, error), 0);
    ThudParams wild;
    wild.startFreq = std::numeric_limits<float>::quiet_NaN();
    wild.oscType = 5;
    ASSERT_EQ(WritePresetToFile(PathOf("wild.thud"), wild, error), 0);
    fs::create_directory(PathOf("folder.wav"));

    struct Case {
        std::string arguments;
        int status;
        const char* mentions;
    };
    const Case cases[] = {
        {"render " + PathOf("missing.thud") + " -o " + PathOf("old.wav"), 1,
         "cannot open the preset file"},
        {"render " + PathOf("letter-o.thud") + " -o " + PathOf("old.wav"), 1,
         "not a valid thud preset file"},
        {"render " + PathOf("folder.wav") + " -o " + PathOf("old.wav"), 1,
         "cannot read the preset file"},
        {"render " + PathOf("zero.thud") + " -o " + PathOf("old.wav"), 1,
         "the duration must be above 0"},
        {"render -d 0 -o " + PathOf("old.wav"), 2, "for --duration"},
        {"render -f fast -o " + PathOf("old.wav"), 2, "'fast' for --frequency"},
        {"render -o " + PathOf("no/such/dir/x.wav"), 1, "No such file or directory"},
        {"render -o " + PathOf("folder.wav"), 1, "Is a directory"},
        {"preset " + PathOf("missing.thud") + " -o " + PathOf("old.wav"), 1,
         "cannot open the preset file"},
        {"render " + PathOf("wild.thud") + " -o " + PathOf("old.wav"), 1,
         "the frequency must be from 0 to 22050 (it is nan)"},
        {"render " + PathOf("wild.thud") + " -f 100 -o " + PathOf("old.wav"), 1,
         "the oscillator must be 1 (sine)"},
        {"preset " + PathOf("wild.thud") + " -o " + PathOf("copy.thud"), 1,
         "cannot write the preset: the frequency must be"},
        {"preset -o " + PathOf("folder.wav"), 1, "Is a directory"},
        {"mix", 2, "unknown command"},
    };
    for (const Case& c : cases) {
        Outcome run = RunThud(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.mentions), std::string::npos) << c.arguments << "\n"
                                                                   << run.output;
        EXPECT_EQ(run.output.rfind("thud: ", 0), 0u) << run.output;
    }
    // The old file, the folder and the inputs are as they were; no temporary files remain.
    std::ifstream old(PathOf("old.wav"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "keep me");
    EXPECT_TRUE(fs::is_empty(PathOf("folder.wav")));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"folder.wav", "letter-o.thud", "old.wav",
                                                    "wild.thud", "zero.thud"}));
}

TEST_F(ProgramTest, SavingKeepsLinksModesAndPipes)
{
    // A preset saved through a link replaces the file it leads to, with its mode.
    ASSERT_EQ(RunThud("preset -o " + PathOf("kick.thud")).status, 0);
    fs::permissions(PathOf("kick.thud"), fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("kick.thud", PathOf("link.thud"));
    Outcome saved = RunThud("preset -o " + PathOf("link.thud") + " -f 99");
    ASSERT_EQ(saved.status, 0) << saved.output;
    EXPECT_TRUE(fs::is_symlink(PathOf("link.thud")));
    EXPECT_EQ(ReadPresetFromFile(PathOf("kick.thud")).params.startFreq, 99.0f);
    EXPECT_EQ(fs::status(PathOf("kick.thud")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);

    // A sound rendered into a named pipe goes through it; the pipe stays a pipe.
    ASSERT_EQ(mkfifo(PathOf("pipe").c_str(), 0644), 0);
    Outcome piped = RunShell("timeout 60 cat " + PathOf("pipe") + " > " + PathOf("through.wav") + " & "
                             "env JACK_NO_START_SERVER=1 " THUD_PROGRAM " render -d 100 -o "
                             + PathOf("pipe") + "; status=$?; wait; exit $status");
    ASSERT_EQ(piped.status, 0) << piped.output;
    EXPECT_TRUE(fs::is_fifo(PathOf("pipe")));
    SF_INFO info;
    EXPECT_EQ(ReadWithLibsndfile(PathOf("through.wav"), info).size(), 4410u);
    EXPECT_EQ(Entries(),
              (std::vector<std::string>{"kick.thud", "link.thud", "pipe", "through.wav"}));
}

TEST_F(ProgramTest, EveryCommandHasHelp)
{
    for (const char* arguments : {"--help", "render --help", "play --help", "preset -h"}) {
        Outcome run = RunThud(arguments);
        EXPECT_EQ(run.status, 0) << arguments;
        EXPECT_NE(run.output.find("Usage: thud"), std::string::npos) << run.output;
    }
    Outcome version = RunThud("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "thud 0.1\n");
    {
    }
}

TEST_F(ProgramTest, PlayWithoutAnAudioDeviceSaysSo)
{
    if (fs::exists("/dev/snd"))
        GTEST_SKIP() << "this machine has sound cards";
    // A JACK server name nobody runs: no JACK, no ALSA device, no PulseAudio here.
    Outcome run = RunThud("play -d 50", "JACK_DEFAULT_SERVER=thud-test-absent-server");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("thud: Cannot play the sound - No audio output device is available"),
              std::string::npos)
        << run.output;
    // One line: the audio library's own complaints are not printed.
    EXPECT_EQ(run.output.rfind("thud: ", 0), 0u) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
}

TEST_F(ProgramTest, PlaysThroughJack)
{
    if (!JackIsRunning())
        GTEST_SKIP() << "no JACK server running";
    Outcome once = RunThud("play -d 50 -f 200");
    EXPECT_EQ(once.status, 0) << once.output;

    // Repeating runs until interrupted, then ends cleanly. The interrupt comes once the
    // program says it is playing (the JACK server may be slow to take a new client).
    std::string log = PathOf("play.log");
    Outcome repeat = RunShell(
        "JACK_NO_START_SERVER=1 " THUD_PROGRAM " play --repeat 240 -d 30 >" + log + " 2>&1 & "
        "pid=$!; for i in $(seq 1 600); do grep -q 'Playing at' " + log + " && break; "
        "kill -0 $pid 2>/dev/null || break; sleep 0.1; done; sleep 0.3; "
        "kill -INT $pid; wait $pid; status=$?; cat " + log + "; exit $status");
    EXPECT_EQ(repeat.status, 0) << repeat.output;
    EXPECT_NE(repeat.output.find("Playing at 240 BPM"), std::string::npos) << repeat.output;
}
