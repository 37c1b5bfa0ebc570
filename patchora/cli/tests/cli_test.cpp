// patchora's command line as a user runs it: the program itself, its own settings folder,
// the built-in simulator, and the real instrument data of the fixtures.
#include "run_program.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class Cli : public testing::Test {
protected:
    void SetUp() override
    {
        dir = mScratch.Path();
        home = dir + "/config";
        fs::create_directories(home);
    }
    ProgramResult Run(const std::vector<std::string>& args) { return RunProgram(PATCHORA_PATH, args, home); }
    std::string Fixture(const char* name)
    {
        fs::path path = fs::path(SUITE_FIXTURES_DIR) / "morpheus" / name;
        return fs::exists(path) ? path.string() : "";
    }

    ScratchDir mScratch{"patchora-cli"};
    std::string dir, home;
};

TEST_F(Cli, HelpForEveryCommandAndClearErrorsForBadUse)
{
    for (const char* command : {"ports", "receive", "send", "import", "export", "show", "studio"}) {
        for (const char* help : {"--help", "-h"}) {
            ProgramResult shown = Run({command, help});
            EXPECT_EQ(0, shown.status) << command << " " << help;
            EXPECT_NE(std::string::npos, shown.out.find("usage: patchora")) << command << " " << help;
        }
    }
    // Without a command patchora opens its windows; with no display to show them on, it
    // gives the help instead.
    std::vector<std::pair<std::string, std::string>> display;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (const char* value = getenv(name)) display.emplace_back(name, value);
        unsetenv(name);
    }
    ProgramResult bare = Run({});
    ProgramResult documentOnly = Run({dir + "/backup.lib"});
    for (const auto& [name, value] : display) setenv(name.c_str(), value.c_str(), 1);
    EXPECT_EQ(2, bare.status);
    EXPECT_NE(std::string::npos, bare.err.find("usage: patchora"));
    EXPECT_EQ(2, documentOnly.status);
    EXPECT_NE(std::string::npos, documentOnly.err.find("no display")) << documentOnly.err;
    EXPECT_EQ("patchora 0.1\n", Run({"--version"}).out);
    ProgramResult noNumber = Run({"studio", "remove"});
    EXPECT_EQ(2, noNumber.status);
    EXPECT_NE(std::string::npos, noNumber.err.find("name the instrument to remove")) << noNumber.err;
    ProgramResult noId = Run({"receive", "--simulate", "--device-id", "-o", dir + "/x.lib"});
    EXPECT_EQ(2, noId.status);
    EXPECT_NE(std::string::npos, noId.err.find("option --device-id needs a value")) << noId.err;
    ProgramResult unknown = Run({"frobnicate"});
    EXPECT_EQ(2, unknown.status);
    EXPECT_NE(std::string::npos, unknown.err.find("unknown command 'frobnicate'"));

    ProgramResult badId = Run({"receive", "--simulate", "--device-id", "16", "-o", dir + "/x.lib"});
    EXPECT_EQ(2, badId.status);
    EXPECT_NE(std::string::npos, badId.err.find("0 to 15"));
    EXPECT_FALSE(fs::exists(dir + "/x.lib"));

    ProgramResult noPort = Run({"receive", "--in", "Nowhere", "--out", "Nothing", "-o", dir + "/x.lib"});
    EXPECT_EQ(2, noPort.status);
    EXPECT_NE(std::string::npos, noPort.err.find("no MIDI input port named 'Nowhere'"));
    EXPECT_EQ(2, Run({"receive", "--simulate"}).status);   // no -o
    EXPECT_EQ(2, Run({"show", "--bogus", "x"}).status);
    EXPECT_EQ(2, Run({"studio", "remove", "3"}).status);
}

TEST_F(Cli, ReceiveFromTheSimulatorAndSendBack)
{
    std::string library = dir + "/all.lib";
    ProgramResult received = Run({"receive", "--simulate", "-o", library});
    ASSERT_EQ(0, received.status) << received.err;
    EXPECT_NE(std::string::npos, received.err.find("400 patches saved"));
    ProgramResult shown = Run({"show", library});
    ASSERT_EQ(0, shown.status) << shown.err;
    for (const char* line : {"Preset - RAM: 128 patches", "Preset - ROM: 128 patches", "Hyperpreset - RAM: 128 patches",
                             "Midimap - RAM: 16 patches"})
        EXPECT_NE(std::string::npos, shown.out.find(line)) << line;

    // The simulator's tables are kept apart from a real instrument's: its made-up names
    // never label patches offline. Values with fixed names show them.
    EXPECT_TRUE(fs::exists(home + "/OrbWorks/MidiDevices/E-mu Morpheus (simulator).data"));
    EXPECT_FALSE(fs::exists(home + "/OrbWorks/MidiDevices/E-mu Morpheus.data"));
    ProgramResult params = Run({"show", library, "--bank", "Preset - RAM", "--params"});
    ASSERT_EQ(0, params.status) << params.err;
    size_t key = params.out.find("Low key = ");
    ASSERT_NE(std::string::npos, key);
    EXPECT_EQ(" (C-2)", params.out.substr(params.out.find(" (", key), 6));
    EXPECT_EQ(std::string::npos, params.out.find("(Sim ")) << params.out.substr(0, 2000);

    ProgramResult sent = Run({"send", "--simulate", "--bank", "Preset - RAM", "--numbers", "0-3,7", "--gap", "0", library});
    ASSERT_EQ(0, sent.status) << sent.err;
    EXPECT_NE(std::string::npos, sent.err.find("5 patches sent"));
    ProgramResult rom = Run({"send", "--simulate", "--bank", "Preset - ROM", "--gap", "0", library});
    EXPECT_EQ(1, rom.status);
    EXPECT_NE(std::string::npos, rom.err.find("the bank 'Preset - ROM' is read-only on the instrument")) << rom.err;

    // Repeated groups and values are told apart by their place; a bank named twice counts once.
    EXPECT_NE(std::string::npos, params.out.find("[Pitch 2]")) << params.out.substr(0, 3000);
    EXPECT_NE(std::string::npos, params.out.find("SegLevel 3 = "));
    ProgramResult twice = Run({"receive", "--simulate", "--bank", "Midimap - RAM", "--bank", "Midimap - RAM",
                               "-o", dir + "/twice.lib"});
    EXPECT_EQ(0, twice.status) << twice.err;
    EXPECT_NE(std::string::npos, twice.err.find("Requesting 16 patches")) << twice.err;
    // The built-in simulator needs no MIDI system and says nothing about one.
    EXPECT_EQ(std::string::npos, twice.err.find("MIDI")) << twice.err;

    ProgramResult wrongBank = Run({"receive", "--simulate", "--bank", "Preset - Card", "-o", dir + "/card.lib"});
    EXPECT_EQ(2, wrongBank.status);
    EXPECT_NE(std::string::npos, wrongBank.err.find("no bank named 'Preset - Card'"));
    EXPECT_FALSE(fs::exists(dir + "/card.lib"));
}

TEST_F(Cli, ReceiveNeverReplacesALibraryWithFewerPatches)
{
    std::string library = dir + "/backup.lib";
    ASSERT_EQ(0, Run({"receive", "--simulate", "--bank", "Preset - RAM", "--bank", "Midimap - RAM", "-o", library}).status);
    std::string backup = ReadAll(library);

    // Fewer patches come than the library holds (a bank left out, as when the instrument
    // stops answering): the library stays, what came is beside it, the user is told where.
    ProgramResult fewer = Run({"receive", "--simulate", "--bank", "Midimap - RAM", "-o", library});
    EXPECT_EQ(1, fewer.status);
    EXPECT_NE(std::string::npos, fewer.err.find("16 patches came, fewer than the 144 in " + library)) << fewer.err;
    EXPECT_NE(std::string::npos, fewer.err.find("saved in " + dir + "/backup.received.lib")) << fewer.err;
    EXPECT_EQ(backup, ReadAll(library));
    ProgramResult aside = Run({"show", dir + "/backup.received.lib"});
    EXPECT_NE(std::string::npos, aside.out.find("Midimap - RAM: 16 patches")) << aside.out;
    ASSERT_EQ(1, Run({"receive", "--simulate", "--bank", "Midimap - RAM", "-o", library}).status);
    EXPECT_TRUE(fs::exists(dir + "/backup.received-2.lib"));
    EXPECT_EQ(backup, ReadAll(library));

    // The simulator's tables stay its own through all this.
    EXPECT_FALSE(fs::exists(home + "/OrbWorks/MidiDevices/E-mu Morpheus.data"));

    // Asked to, it replaces the library.
    ProgramResult forced = Run({"receive", "--simulate", "--bank", "Midimap - RAM", "--force", "-o", library});
    EXPECT_EQ(0, forced.status) << forced.err;
    EXPECT_NE(std::string::npos, forced.err.find("16 patches saved in " + library));
    EXPECT_NE(std::string::npos, Run({"show", library}).out.find("Preset - RAM: 0 patches"));
}

TEST_F(Cli, AnExportedDeviceImportsIntoTheBanksItCameFrom)
{
    std::string library = dir + "/all.lib", syx = dir + "/all.syx", again = dir + "/again.lib";
    ASSERT_EQ(0, Run({"receive", "--simulate", "-o", library}).status);
    ASSERT_EQ(0, Run({"export", library, "-o", syx}).status);
    ProgramResult imported = Run({"import", syx, "-o", again});
    ASSERT_EQ(0, imported.status) << imported.err;
    EXPECT_NE(std::string::npos, imported.err.find("400 patches imported into " + again + " from 400 messages\n"))
        << imported.err;
    // ROM presets stay ROM presets: the libraries list the same patches in the same banks.
    ProgramResult before = Run({"show", library}), after = Run({"show", again});
    EXPECT_NE(std::string::npos, after.out.find("Preset - ROM: 128 patches")) << after.out;
    EXPECT_EQ(before.out, after.out);
}

TEST_F(Cli, ImportCountsWhatItKeptAndLeavesOutWhatNoBankHolds)
{
    std::string preset = Fixture("init-preset.syx");
    if (preset.empty()) GTEST_SKIP() << "the instrument fixtures are not here (" << SUITE_FIXTURES_DIR << ")";
    std::string one = ReadAll(preset), card = one;
    card[1 + 6] = 2;   // byte 6 of the dump (after F0): the preset is on a card
    std::string syx = dir + "/copies.syx";
    std::ofstream(syx, std::ios::binary) << one << one << one << card;
    ProgramResult imported = Run({"import", syx, "-o", dir + "/one.lib"});
    ASSERT_EQ(0, imported.status) << imported.err;
    EXPECT_NE(std::string::npos,
              imported.err.find("1 patch imported into " + dir + "/one.lib from 4 messages; 2 had the bank and "
                                "number of another and replaced it; 1 patch left out: no bank of the "
                                "instrument holds their numbers")) << imported.err;
}

TEST_F(Cli, RealDeviceDumpImportsWholeAndExportsBack)
{
    std::string dump = Fixture("device-dump.syx");
    if (dump.empty()) GTEST_SKIP() << "the instrument fixtures are not here (" << SUITE_FIXTURES_DIR << ")";
    std::string library = dir + "/device.lib";
    ProgramResult imported = Run({"import", dump, "-o", library});
    ASSERT_EQ(0, imported.status) << imported.err;
    EXPECT_NE(std::string::npos, imported.err.find("272 patches imported into " + library + " from 279 messages"))
        << imported.err;
    ProgramResult shown = Run({"show", library});
    ASSERT_EQ(0, shown.status) << shown.err;
    EXPECT_NE(std::string::npos, shown.out.find("Preset - RAM: 128 patches"));
    EXPECT_NE(std::string::npos, shown.out.find("Hyperpreset - RAM: 128 patches"));
    EXPECT_NE(std::string::npos, shown.out.find("Midimap - RAM: 16 patches"));
    EXPECT_NE(std::string::npos, shown.out.find("    1 Real:PnoVibe"));
    EXPECT_NE(std::string::npos, shown.out.find("   15 Dry         "));

    // Export writes the dumps as they came (nobody changed them): every byte is the
    // fixture's, in bank and number order.
    std::string syx = dir + "/back.syx";
    ProgramResult exported = Run({"export", library, "-o", syx});
    ASSERT_EQ(0, exported.status) << exported.err;
    std::string original = ReadAll(dump), back = ReadAll(syx);
    EXPECT_EQ(272u * 2 + 128 * 564 + 128 * 482 + 16 * 728, back.size());
    size_t at = 0, found = 0;
    while (at < back.size()) {
        size_t end = back.find('\xF7', at);
        ASSERT_NE(std::string::npos, end);
        if (original.find(back.substr(at, end - at + 1)) != std::string::npos) found++;
        at = end + 1;
    }
    EXPECT_EQ(272u, found);
    // And the round trip gives the same library.
    std::string again = dir + "/again.lib";
    ASSERT_EQ(0, Run({"import", syx, "-o", again}).status);
    EXPECT_EQ(ReadAll(library), ReadAll(again));
}

TEST_F(Cli, BadFilesGiveMessagesAndNeverDamageTheUsersFiles)
{
    std::string text = dir + "/notes.txt", library = dir + "/keep.lib";
    std::ofstream(text) << "no sysex here";
    std::ofstream(library) << "precious";
    ProgramResult nothing = Run({"import", text, "-o", library});
    EXPECT_EQ(1, nothing.status);
    EXPECT_NE(std::string::npos, nothing.err.find("holds no patch"));
    EXPECT_EQ("precious", ReadAll(library));

    EXPECT_EQ(1, Run({"show", dir + "/missing.lib"}).status);
    ProgramResult notLibrary = Run({"show", text});
    EXPECT_EQ(1, notLibrary.status);
    EXPECT_NE(std::string::npos, notLibrary.err.find("is not a patch library"));
    std::string foreign = dir + "/foreign.lib";
    std::ofstream(foreign) << "<LbDevice mfg_id = 41 mod_id = 10>\n</LbDevice>\n";
    ProgramResult other = Run({"show", foreign});
    EXPECT_EQ(1, other.status);
    EXPECT_NE(std::string::npos, other.err.find("another instrument model"));

    // Broken hex and a document cut short: nothing readable, and said so.
    std::string broken = dir + "/broken.lib";
    std::ofstream(broken) << "<LbDevice mfg_id = 18 mod_id = 0C>\n<LbBank name = \"Preset - RAM\">\n<LbPatch>\n"
                             "<data>ZZ";
    ProgramResult partial = Run({"show", broken});
    EXPECT_EQ(1, partial.status) << partial.err;
    EXPECT_NE(std::string::npos, partial.out.find("Preset - RAM: 0 patches"));
    EXPECT_NE(std::string::npos, partial.err.find(broken + ": line 4, data: no </data> ends its text")) << partial.err;

    ProgramResult unwritable = Run({"receive", "--simulate", "--bank", "Midimap - RAM", "-o", dir + "/no/such/dir/x.lib"});
    EXPECT_EQ(1, unwritable.status);
    EXPECT_NE(std::string::npos, unwritable.err.find("cannot write"));
}

TEST_F(Cli, DamagedLibrariesKeepWhatCanBeReadAndSayWhereTheyAreDamaged)
{
    std::string library = dir + "/good.lib";
    ASSERT_EQ(0, Run({"receive", "--simulate", "--bank", "Preset - RAM", "--bank", "Midimap - RAM", "-o", library}).status);
    const std::string good = ReadAll(library);
    const std::string midimapTag = "<LbBank name = \"Midimap - RAM\">";
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        size_t at = text.find(from);
        return at == std::string::npos ? std::string() : text.replace(at, from.size(), to);
    };
    auto lineOf = [](const std::string& text, const std::string& what) {
        return std::to_string(1 + std::count(text.begin(), text.begin() + long(text.find(what)), '\n'));
    };
    struct Damage {
        const char* name;
        std::string text;
        std::vector<std::string> shown;   // lines of standard output
        std::string said;                 // on standard error, after "FILE: "
    };
    std::string noBankEnd = replaced("\t</LbBank>\n", "");   // the first bank's
    std::string unknown = replaced("\"Preset - RAM\"", "\"Preset - Moon\"");
    std::string angle = replaced("\"Preset - RAM\"", "\"Preset<RAM\"");
    std::string huge = replaced(midimapTag, "<LbBank name = \"Midimap - RAM\" note = " + std::string(10 << 20, 'x') + ">");
    std::string cut = good.substr(0, good.find(midimapTag) + midimapTag.size() + 3000);
    size_t whole = 0;   // midimaps whose data is complete before the cut
    for (size_t at = cut.find("</data>", cut.find(midimapTag)); at != std::string::npos; at = cut.find("</data>", at + 1))
        whole++;
    const Damage damages[] = {
        {"no bank end", noBankEnd, {"Preset - RAM: 128 patches", "Midimap - RAM: 16 patches"},
         "line " + lineOf(noBankEnd, "<LbBank name = \"Preset - ROM\"") + ", LbBank 'Preset - RAM': no </LbBank> ends it"},
        {"unknown bank", unknown, {"Preset - RAM: 0 patches", "Midimap - RAM: 16 patches"},
         "line 2, LbBank 'Preset - Moon': the instrument has no bank of this name; its patches are left out"},
        {"angle bracket", angle, {"Midimap - RAM: 16 patches"}, "line 2, LbBank 'Preset<RAM': the instrument"},
        {"huge attribute", huge, {"Preset - RAM: 128 patches", "Midimap - RAM: 0 patches"},
         "line " + lineOf(huge, "<LbBank name = \"Midimap") + ", document: a tag is cut off by the end of the "
         "document or longer than 1 MB"},
        {"cut short", cut, {"Preset - RAM: 128 patches", "Midimap - RAM: " + std::to_string(whole) + " patches"},
         "line " + std::to_string(1 + std::count(cut.begin(), cut.begin() + long(cut.rfind('<')), '\n')) +
             ", LbBank 'Midimap - RAM': the document ends inside it"},
    };
    for (const Damage& damage : damages) {
        ASSERT_FALSE(damage.text.empty()) << damage.name;
        std::string path = dir + "/damaged.lib";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << damage.text;
        ProgramResult shown = Run({"show", path});
        EXPECT_EQ(1, shown.status) << damage.name;
        for (const std::string& line : damage.shown)
            EXPECT_NE(std::string::npos, shown.out.find(line)) << damage.name << ": " << line << "\n" << shown.out;
        EXPECT_NE(std::string::npos, shown.err.find("patchora: " + path + ": " + damage.said))
            << damage.name << "\n" << shown.err.substr(0, 2000);
        EXPECT_NE(std::string::npos, shown.err.find(path + " is damaged")) << damage.name;
        ProgramResult exported = Run({"export", path, "-o", dir + "/damaged.syx"});
        EXPECT_EQ(1, exported.status) << damage.name;
    }
}

TEST_F(Cli, StudioRemembersInstruments)
{
    ProgramResult empty = Run({"studio", "list"});
    EXPECT_EQ(0, empty.status);
    EXPECT_NE(std::string::npos, empty.out.find("The studio is empty"));
    ProgramResult added = Run({"studio", "add", "--in", "Synth Out", "--out", "Synth In", "--device-id", "3"});
    ASSERT_EQ(0, added.status) << added.err;
    ASSERT_EQ(0, Run({"studio", "add", "--in", "Other Out", "--out", "Other In"}).status);
    ProgramResult listed = Run({"studio", "list"});
    EXPECT_NE(std::string::npos, listed.out.find("1  E-mu Morpheus  device id 3"));
    EXPECT_NE(std::string::npos, listed.out.find("2  E-mu Morpheus  device id 0"));
    EXPECT_TRUE(fs::exists(home + "/OrbWorks/Patchora/studio"));
    ASSERT_EQ(0, Run({"studio", "remove", "1"}).status);
    listed = Run({"studio", "list"});
    EXPECT_EQ(std::string::npos, listed.out.find("device id 3"));
    EXPECT_NE(std::string::npos, listed.out.find("1  E-mu Morpheus  device id 0"));

    // Its ports are not on this computer: said plainly, and the names are kept for later.
    EXPECT_NE(std::string::npos, listed.out.find("--in 'Other Out'  --out 'Other In'  (ports not found)"));
    ProgramResult absent = Run({"receive", "--studio", "1", "-o", dir + "/absent.lib"});
    EXPECT_EQ(2, absent.status);
    EXPECT_NE(std::string::npos, absent.err.find("are not all on this computer"));
    EXPECT_FALSE(fs::exists(dir + "/absent.lib"));

    // Ports not there now are said and kept; the same instrument twice is refused.
    ProgramResult unplugged = Run({"studio", "add", "--in", "Later Out", "--out", "Later In", "--device-id", "2"});
    EXPECT_EQ(0, unplugged.status) << unplugged.err;
    EXPECT_NE(std::string::npos, unplugged.err.find("there is no MIDI input port named 'Later Out' now"));
    EXPECT_NE(std::string::npos, unplugged.err.find("there is no MIDI output port named 'Later In' now"));
    ProgramResult twice = Run({"studio", "add", "--in", "Later Out", "--out", "Later In", "--device-id", "2"});
    EXPECT_EQ(1, twice.status);
    EXPECT_NE(std::string::npos, twice.err.find("instrument 2 already has these ports and device id")) << twice.err;
}

TEST_F(Cli, StudioKeepsEntriesWhoseDeviceIdIsUnusable)
{
    std::string studio = home + "/OrbWorks/Patchora/studio";
    fs::create_directories(home + "/OrbWorks/Patchora");
    std::string entries;
    for (const char* id : {"99", "-5", "16", "abc", "3"})
        entries += std::string("\t<LbDevice mfg_id = 18 mod_id = 0C>\n\t\t<midi_out>Out ") + id +
                   "</midi_out>\n\t\t<midi_in>In " + id + "</midi_in>\n\t\t<device_id>" + id +
                   "</device_id>\n\t</LbDevice>\n";
    std::ofstream(studio) << "<Studio version = 1.0>\n" << entries << "</Studio>\n";

    // Listed and flagged, never used; the instrument with a good id starts with progress shown.
    ProgramResult listed = Run({"studio", "list"});
    EXPECT_EQ(0, listed.status) << listed.err;
    EXPECT_NE(std::string::npos, listed.out.find("1  E-mu Morpheus  --in 'In 99'  --out 'Out 99'  (kept but not used: "
                                                 "its device id '99' is not a number from 0 to 15)")) << listed.out;
    for (const char* id : {"'-5'", "'16'", "'abc'"})
        EXPECT_NE(std::string::npos, listed.out.find(std::string("its device id ") + id)) << id;
    EXPECT_NE(std::string::npos, listed.out.find("5  E-mu Morpheus  device id 3"));
    EXPECT_NE(std::string::npos, listed.err.find("patchora: Initializing E-mu Morpheus - instruments...")) << listed.err;
    ProgramResult refused = Run({"receive", "--studio", "1", "-o", dir + "/x.lib"});
    EXPECT_EQ(2, refused.status);
    EXPECT_NE(std::string::npos, refused.err.find("instrument 1 cannot be used: its device id '99'")) << refused.err;

    // Saving the studio (a change elsewhere) writes every entry back as it was.
    ASSERT_EQ(0, Run({"studio", "remove", "5"}).status);
    EXPECT_EQ("<Studio version = 1.0>\n" + entries.substr(0, entries.rfind("\t<LbDevice")) + "</Studio>\n",
              ReadAll(studio));
}

} // namespace
