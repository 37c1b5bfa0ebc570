// patchora against the instrument simulator as programs of their own over JACK MIDI, as a
// user would run them: receive everything, send it to another instrument, receive again,
// and the two libraries match. ./test starts the JACK server (dummy driver).
#include "cli/tests/run_program.h"
#include "testing/JackAvailable.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

const bool kUseJack = setenv("SUITE_MIDI_API", "jack", 1) == 0 && setenv("JACK_NO_START_SERVER", "1", 1) == 0;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Where two libraries part: the first line that differs in each, with its number.
std::string FirstDifference(const std::string& a, const std::string& b)
{
    std::istringstream aLines(a), bLines(b);
    std::string aLine, bLine;
    for (int number = 1;; number++) {
        bool aMore = bool(std::getline(aLines, aLine)), bMore = bool(std::getline(bLines, bLine));
        if (!aMore && !bMore) return "no line differs";
        if (!aMore || !bMore || aLine != bLine)
            return "line " + std::to_string(number) + ": sent '" + aLine.substr(0, 200) + "', received '" +
                bLine.substr(0, 200) + "'";
    }
}

// The full names of a simulator's two ports, as 'patchora ports' lists them.
bool FindPorts(const std::string& home, const std::string& client, std::string* in, std::string* out)
{
    for (int attempt = 0; attempt < 100; attempt++) {
        ProgramResult ports = RunProgram(PATCHORA_PATH, {"ports"}, home);
        std::istringstream lines(ports.out);
        std::string line;
        bool inputs = false;
        in->clear();
        out->clear();
        while (std::getline(lines, line)) {
            if (line.rfind("Inputs", 0) == 0) inputs = true;
            if (line.rfind("Outputs", 0) == 0) inputs = false;
            if (line.size() < 3 || line.find(client) == std::string::npos) continue;
            std::string name = line.substr(2);
            if (inputs && name.find("MIDI Out") != std::string::npos) *in = name;
            if (!inputs && name.find("MIDI In") != std::string::npos) *out = name;
        }
        if (!in->empty() && !out->empty()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST(CliJack, LibraryTravelsBetweenInstrumentsUnchanged)
{
    ASSERT_TRUE(kUseJack);
    SKIP_WITHOUT_JACK();
    ScratchDir scratch("patchora-jack");
    ASSERT_TRUE(scratch.Valid());
    std::string dir = scratch.Path(), home = dir + "/config";
    fs::create_directories(home);
    ProgramResult probe = RunProgram(PATCHORA_PATH, {"ports"}, home);
    ASSERT_NE(std::string::npos, probe.out.find("MIDI system: jack")) << probe.out << probe.err;

    std::vector<std::string> source = {"--api", "jack", "--name", "Sim A"};
    fs::path dump = fs::path(SUITE_FIXTURES_DIR) / "morpheus" / "device-dump.syx";
    if (fs::exists(dump)) source.insert(source.end(), {"--memory", dump.string()});
    BackgroundProgram a(MORPHEUS_SIM_PATH, source);
    BackgroundProgram b(MORPHEUS_SIM_PATH, {"--api", "jack", "--name", "Sim B", "--own-instrument-list"});
    std::string aIn, aOut, bIn, bOut;
    ASSERT_TRUE(FindPorts(home, "Sim A", &aIn, &aOut)) << "the first simulator's ports did not appear";
    ASSERT_TRUE(FindPorts(home, "Sim B", &bIn, &bOut)) << "the second simulator's ports did not appear";

    const std::vector<std::string> banks = {"--bank", "Preset - RAM", "--bank", "Hyperpreset - RAM", "--bank",
                                            "Midimap - RAM"};
    auto with = [&](std::vector<std::string> args) {
        args.insert(args.end(), banks.begin(), banks.end());
        return args;
    };
    ProgramResult first = RunProgram(PATCHORA_PATH, with({"receive", "--in", aIn, "--out", aOut, "-o", dir + "/a.lib"}), home);
    ASSERT_EQ(0, first.status) << first.err;
    EXPECT_NE(std::string::npos, first.err.find("272 patches saved"));

    ProgramResult sent = RunProgram(PATCHORA_PATH, {"send", "--in", bIn, "--out", bOut, "--gap", "5", dir + "/a.lib"}, home);
    ASSERT_EQ(0, sent.status) << sent.err;
    EXPECT_NE(std::string::npos, sent.err.find("272 patches sent"));

    ProgramResult second = RunProgram(PATCHORA_PATH, with({"receive", "--in", bIn, "--out", bOut, "-o", dir + "/b.lib"}), home);
    ASSERT_EQ(0, second.status) << second.err;
    std::string aText = ReadAll(dir + "/a.lib"), bText = ReadAll(dir + "/b.lib");
    EXPECT_GT(aText.size(), 200000u);
    EXPECT_TRUE(aText == bText) << "the library received back differs from the one sent: "
                                << FirstDifference(aText, bText) << "\nsend: " << sent.err
                                << "\nsecond receive: " << second.err;

    // An instrument that does not answer (another device id): the alert text, a failure,
    // and no library, since nothing came.
    ProgramResult silent = RunProgram(
        PATCHORA_PATH, {"receive", "--in", bIn, "--out", bOut, "--device-id", "9", "--bank", "Midimap - RAM", "-o", dir + "/c.lib"},
        home);
    EXPECT_EQ(1, silent.status);
    EXPECT_NE(std::string::npos, silent.err.find("E-mu Morpheus did not respond")) << silent.err;
    EXPECT_NE(std::string::npos, silent.err.find("no patch came; nothing was saved")) << silent.err;
    EXPECT_FALSE(fs::exists(dir + "/c.lib"));
}

} // namespace
