#include "cli/LbCliCommands.h"

#include "cli/LbCliArgs.h"
#include "cli/LbCliContext.h"
#include "cli/LbCliRequest.h"
#include "cli/LbCliShow.h"
#include "cli/LbProgressBar.h"
#include "librarian/LbBankI.h"
#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbData.h"
#include "librarian/LbDeviceSnapshot.h"
#include "librarian/LbIterators.h"
#include "librarian/LbLibrarian.h"
#include "librarian/LbPatchI.h"
#include "librarian/LbStatus.h"
#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiServiceI.h"
#include "midi/LbMidiStudio.h"
#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"
#include "midi/MidiRoster.h"
#include "storage/AtomicFileWriter.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <thread>

namespace {

const char kUsage[] =
    "usage: patchora COMMAND [options]\n"
    "\n"
    "A MIDI System Exclusive librarian. Commands:\n"
    "  ports     list the MIDI inputs and outputs of this computer\n"
    "  receive   fetch patches from an instrument into a patch library\n"
    "  send      send the patches of a patch library to an instrument\n"
    "  import    turn a raw System Exclusive (.syx) file into a patch library\n"
    "  export    turn a patch library into a raw System Exclusive (.syx) file\n"
    "  show      list the banks, patches and parameters of a patch library\n"
    "  studio    add, list and remove the instruments patchora remembers\n"
    "\n"
    "'patchora COMMAND --help' tells more about each command.\n"
    "\n"
    "Without a command patchora opens its windows (on a display):\n"
    "  patchora [--simulate] [--open=studio|add-device|about] [LIBRARY.lib|FILE.syx...]\n"
    "  --simulate            also offer the built-in E-mu Morpheus simulator's ports, and\n"
    "                        set one up when the studio has no instrument (not saved)\n";

const char kConnectionHelp[] =
    "The instrument is named by one of:\n"
    "  --in PORT --out PORT  the port patchora receives from (the instrument's MIDI out)\n"
    "                        and the port it sends to (the instrument's MIDI in)\n"
    "  --device-id N         the instrument's device id, 0 to 15 (default 0)\n"
    "  --studio N            instrument N of 'patchora studio list'\n"
    "  --simulate            the built-in E-mu Morpheus simulator instead of an instrument\n";

const std::vector<std::string> kConnectionOptions = {"--in", "--out", "--device-id", "--studio"};

int Usage(const char* text)
{
    fputs(text, stdout);
    return 0;
}

int Fail(const std::string& message, int status = 1)
{
    fprintf(stderr, "patchora: %s\n", message.c_str());
    return status;
}

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The bank snapshots the --bank options name (all when none); false with a message for a
// name the device lacks.
bool SelectBanks(LbDeviceSnapshotI* snapshot, const LbCliArgs& args, std::vector<LbBankSnapshotI*>* banks,
                 std::string* error)
{
    std::vector<std::string> names;
    for (const std::string& name : args.Values("--bank"))
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    if (names.empty()) {
        *banks = snapshot->Snapshots();
        return true;
    }
    for (const std::string& name : names) {
        LbBankSnapshotI* bank = snapshot->SnapshotNamed(name.c_str());
        if (bank == nullptr) {
            *error = "the instrument has no bank named '" + name + "'; its banks are:";
            for (LbBankSnapshotI* b : snapshot->Snapshots()) *error += std::string(" '") + b->Bank()->Name() + "'";
            return false;
        }
        banks->push_back(bank);
    }
    return true;
}

// Reads a library for a command. What was wrong in a damaged one is told on stderr and
// makes `damaged` true: the command goes on with what could be read, then fails.
LbDeviceSnapshotI* ReadLibrary(LbCliContext& context, const std::string& path, LbDeviceI* device,
                               std::string* error, bool* damaged)
{
    std::vector<std::string> problems;
    LbDeviceSnapshotI* snapshot = context.ReadDocument(path, device, error, &problems);
    for (const std::string& problem : problems) fprintf(stderr, "patchora: %s\n", problem.c_str());
    *damaged = !problems.empty();
    return snapshot;
}

bool ReadyDevice(LbDeviceI* device, std::string* error)
{
    if (device->InitCheck() == B_OK) return true;
    *error = "the instrument did not answer; check the ports, the cable and the device id";
    return false;
}

template <typename Endpoint>
void ListPorts(const char* title, int32 (*count)(), Endpoint* (*at)(int32))
{
    printf("%s:\n", title);
    int32 n = count();
    for (int32 i = 0; i < n; i++) {
        if (Endpoint* endpoint = at(i)) {
            printf("  %s\n", endpoint->Name());
            endpoint->Release();
        }
    }
    if (n == 0) printf("  (none)\n");
}

int Ports(const std::vector<std::string>& argv)
{
    LbCliArgs args(argv, {}, {"--help"});
    if (args.Has("--help"))
        return Usage("usage: patchora ports\n\nLists the MIDI ports of this computer: the inputs patchora can\n"
                     "receive from (give one to --in) and the outputs it can send to (--out).\n");
    if (!args.Ok() || !args.Words().empty()) return Fail(args.Ok() ? "ports takes no arguments" : args.Error(), 2);
    printf("MIDI system: %s\n", BMidiRoster::SystemApiName());
    ListPorts("Inputs (--in)", BMidiRoster::CountProducers, BMidiRoster::ProducerAt);
    ListPorts("Outputs (--out)", BMidiRoster::CountConsumers, BMidiRoster::ConsumerAt);
    return 0;
}

// The patches of a snapshot that hold data.
int32 CountPatches(LbDeviceSnapshotI* snapshot)
{
    int32 count = 0;
    for (LbBankSnapshotI* bank : snapshot->Snapshots())
        for (LbPatchI* patch : bank->Patches()) count += patch->Data()->Length() > 0;
    return count;
}

// A name beside `path` that is not taken: "backup.lib" gives "backup.received.lib", then
// "backup.received-2.lib"...
std::string FreeNameBeside(const std::string& path)
{
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        dot = path.size();
    for (int n = 1;; n++) {
        std::string name = path.substr(0, dot) + ".received" + (n > 1 ? "-" + std::to_string(n) : "") +
                           path.substr(dot);
        struct stat info;
        if (lstat(name.c_str(), &info) != 0) return name;
    }
}

std::string Count(long count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Patches(long count)
{
    return Count(count, "patch", "patches");
}

int Receive(const std::vector<std::string>& argv)
{
    LbCliArgs args(argv, With(kConnectionOptions, {"--bank", "--retries", "-o", "--output"}),
                   {"--help", "--simulate", "--force"});
    if (args.Has("--help"))
        return Usage((std::string("usage: patchora receive (--in PORT --out PORT | --studio N | --simulate)\n"
                                  "                        [--device-id N] [--bank NAME]... [--retries N] [--force] -o FILE\n\n"
                                  "Requests every patch of every bank (or of the banks named) and saves them\n"
                                  "as a patch library. A patch that does not come is asked for again, up to\n"
                                  "--retries times (default 2). What came is saved even when the instrument\n"
                                  "stops answering; the command then fails. An existing library that holds more\n"
                                  "patches than came is kept: what came goes to a new file beside it, unless\n"
                                  "--force says to replace it.\n\n") +
                      kConnectionHelp)
                         .c_str());
    if (!args.Ok()) return Fail(args.Error(), 2);
    std::string output = args.Value("-o", args.Value("--output"));
    if (output.empty() || !args.Words().empty()) return Fail("name the library to write with -o FILE", 2);
    long retries = 2;
    if (args.Has("--retries") && !LbParseInt(args.Value("--retries"), 0, 10, &retries))
        return Fail("--retries takes a number from 0 to 10", 2);

    LbCliContext context;
    std::string error;
    LbDeviceI* device = context.ConnectedDevice(args, &error);
    if (device == nullptr) return Fail(error, 2);
    if (!ReadyDevice(device, &error)) return Fail(error);
    LbProgressBar progress;
    LbLibrarian librarian(nullptr, &progress);
    librarian.SetDeviceSnapshot(new LbDeviceSnapshot(device));
    std::vector<LbBankSnapshotI*> banks;
    if (!SelectBanks(librarian.DeviceSnapshot(), args, &banks, &error)) return Fail(error, 2);
    status_t status = LbRequestBanks(banks, retries, &progress);

    int32 received = CountPatches(librarian.DeviceSnapshot());
    // What the file there now holds; a file that is no library of this model holds none.
    // (Read with the instrument's own device: another device would keep the tables it
    // learned in the cache file, a simulator's too.)
    int32 held = 0;
    struct stat info;
    if (stat(output.c_str(), &info) == 0) {
        std::string ignored;
        std::unique_ptr<LbDeviceSnapshotI> old(context.ReadDocument(output, device, &ignored));
        if (old) held = CountPatches(old.get());
    }
    if (received == 0)
        return Fail(std::string("no patch came; nothing was saved") + (held > 0 ? " and " + output + " is kept" : ""));
    std::string target = output;
    bool keepOld = held > received && !args.Has("--force");
    if (keepOld) target = FreeNameBeside(output);
    status_t saved = librarian.SaveTo(target.c_str());
    if (saved != B_OK) return Fail("cannot write " + target + ": " + strerror_status(saved));
    if (keepOld) {
        return Fail(Patches(received) + " came, fewer than the " + std::to_string(held) + " in " + output +
                    ", which is kept; what came is saved in " + target + " (--force replaces the library)");
    }
    fprintf(stderr, "%s saved in %s\n", Patches(received).c_str(), target.c_str());
    return status == B_OK ? 0 : 1;
}

int Send(const std::vector<std::string>& argv)
{
    LbCliArgs args(argv, With(kConnectionOptions, {"--bank", "--numbers", "--gap"}), {"--help", "--simulate"});
    if (args.Has("--help"))
        return Usage((std::string("usage: patchora send (--in PORT --out PORT | --studio N | --simulate)\n"
                                  "                     [--device-id N] [--bank NAME] [--numbers LIST] [--gap MS] FILE\n\n"
                                  "Sends the patches of a patch library to the instrument: all of them, those\n"
                                  "of one bank, or the numbers listed (\"0,5,10-19\", with --bank). Read-only\n"
                                  "banks are left out. --gap waits between patches for slow instruments\n"
                                  "(default 20 ms).\n\n") +
                      kConnectionHelp)
                         .c_str());
    if (!args.Ok()) return Fail(args.Error(), 2);
    if (args.Words().size() != 1) return Fail("name one patch library to send", 2);
    long gap = 20;
    if (args.Has("--gap") && !LbParseInt(args.Value("--gap"), 0, 10000, &gap))
        return Fail("--gap takes milliseconds from 0 to 10000", 2);
    std::vector<int> numbers;
    if (args.Has("--numbers")) {
        if (args.Values("--bank").size() != 1) return Fail("--numbers goes with one --bank", 2);
        if (!LbParseNumberList(args.Value("--numbers"), 0, 100000, &numbers))
            return Fail("--numbers takes a list such as 0,5,10-19", 2);
    }

    LbCliContext context;
    std::string error;
    LbDeviceI* device = context.ConnectedDevice(args, &error);
    if (device == nullptr) return Fail(error, 2);
    bool damaged = false;
    std::unique_ptr<LbDeviceSnapshotI> snapshot(ReadLibrary(context, args.Words()[0], device, &error, &damaged));
    if (!snapshot) return Fail(error);
    std::vector<LbBankSnapshotI*> banks;
    if (!SelectBanks(snapshot.get(), args, &banks, &error)) return Fail(error, 2);

    std::vector<LbPatchI*> patches;
    for (LbBankSnapshotI* bank : banks) {
        if (bank->Bank()->IsReadOnly() && !args.Values("--bank").empty())
            return Fail(std::string("the bank '") + bank->Bank()->Name() + "' is read-only on the instrument; nothing was sent");
        if (bank->Bank()->IsReadOnly()) continue;
        for (LbPatchI* patch : bank->Patches()) {
            bool listed = numbers.empty() || std::find(numbers.begin(), numbers.end(), patch->Number()) != numbers.end();
            if (listed && patch->Data()->Length() > 0) patches.push_back(patch);
        }
    }
    if (patches.empty()) return Fail("nothing to send: no patch of the library matches");
    LbProgressBar progress;
    char text[64];
    snprintf(text, sizeof text, "Sending %s...", Patches(long(patches.size())).c_str());
    progress.BeginStatus(text);
    progress.BeginProgress(float(patches.size()));
    status_t result = B_OK;
    for (LbPatchI* patch : patches) {
        LbPatchListIt one({patch});
        status_t status = patch->Snapshot()->Send(&one, &progress);
        if (result == B_OK) result = status;
        std::this_thread::sleep_for(std::chrono::milliseconds(gap));
    }
    progress.EndProgress();
    // What was handed to the MIDI system may still be on its way: give it time to leave.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (result != B_OK) return Fail("the instrument's port did not take the patches: " + std::string(strerror_status(result)));
    fprintf(stderr, "%s sent\n", Patches(long(patches.size())).c_str());
    if (damaged) return Fail(args.Words()[0] + " is damaged; what could be read was sent");
    return 0;
}

int Import(const std::vector<std::string>& argv)
{
    LbCliArgs args(argv, {"-o", "--output"}, {"--help"});
    if (args.Has("--help"))
        return Usage("usage: patchora import FILE.syx -o FILE\n\n"
                     "Reads a raw System Exclusive file (one or many messages) and saves the patches\n"
                     "in it as a patch library. Messages that are no patch are left out.\n");
    if (!args.Ok()) return Fail(args.Error(), 2);
    std::string output = args.Value("-o", args.Value("--output"));
    if (args.Words().size() != 1 || output.empty()) return Fail("usage: patchora import FILE.syx -o FILE", 2);
    LbCliContext context;
    LbLibrarian librarian(nullptr, nullptr);
    librarian.SetDeviceSnapshot(new LbDeviceSnapshot(context.OfflineDevice()));
    LbImportCounts counts;
    status_t status = librarian.Import(args.Words()[0].c_str(), &counts);
    if (status != B_OK) return Fail("cannot read " + args.Words()[0] + ": " + strerror_status(status));
    std::string unplaced = counts.unplaced == 0 ? "" :
        "; " + Patches(counts.unplaced) + " left out: no bank of the instrument holds their numbers";
    if (counts.taken == 0)
        return Fail(args.Words()[0] + " holds no patch of an " +
                    std::string(librarian.DeviceSnapshot()->Device()->Addon()->Name()) + " (" +
                    std::to_string(counts.offered) + " messages read)" + unplaced);
    status = librarian.SaveTo(output.c_str());
    if (status != B_OK) return Fail("cannot write " + output + ": " + strerror_status(status));
    fprintf(stderr, "%s imported into %s from %s", Patches(counts.taken - counts.replaced).c_str(), output.c_str(),
            Count(counts.offered, "message", "messages").c_str());
    if (counts.replaced > 0)
        fprintf(stderr, "; %ld had the bank and number of another and replaced it", long(counts.replaced));
    fprintf(stderr, "%s\n", unplaced.c_str());
    return 0;
}

int Export(const std::vector<std::string>& argv)
{
    LbCliArgs args(argv, {"-o", "--output", "--bank"}, {"--help"});
    if (args.Has("--help"))
        return Usage("usage: patchora export FILE [--bank NAME]... -o FILE.syx\n\n"
                     "Writes the patches of a patch library as a raw System Exclusive file, one\n"
                     "message per patch, bank by bank in number order.\n");
    if (!args.Ok()) return Fail(args.Error(), 2);
    std::string output = args.Value("-o", args.Value("--output"));
    if (args.Words().size() != 1 || output.empty()) return Fail("usage: patchora export FILE -o FILE.syx", 2);
    LbCliContext context;
    std::string error;
    bool damaged = false;
    std::unique_ptr<LbDeviceSnapshotI> snapshot(
        ReadLibrary(context, args.Words()[0], context.OfflineDevice(), &error, &damaged));
    if (!snapshot) return Fail(error);
    std::vector<LbBankSnapshotI*> banks;
    if (!SelectBanks(snapshot.get(), args, &banks, &error)) return Fail(error, 2);
    std::string bytes;
    int32 count = 0;
    for (LbBankSnapshotI* bank : banks) {
        for (LbPatchI* patch : bank->Patches()) {
            if (patch->Data()->Length() == 0) continue;
            LbData outgoing;
            LbOutgoingData(patch, &outgoing);
            bytes.push_back(char(0xF0));
            bytes.append(reinterpret_cast<const char*>(outgoing.Bits()), outgoing.Length());
            bytes.push_back(char(0xF7));
            count++;
        }
    }
    AtomicFileWriter file(output.c_str(), LB_SYX_MIME_TYPE);
    if (file.InitCheck() != B_OK || file.Write(bytes.data(), bytes.size()) != ssize_t(bytes.size()) ||
        file.Commit() != B_OK)
        return Fail("cannot write " + output);
    fprintf(stderr, "%s exported to %s\n", Patches(count).c_str(), output.c_str());
    if (damaged) return Fail(args.Words()[0] + " is damaged; what could be read was exported");
    return 0;
}

int Show(const std::vector<std::string>& argv)
{
    LbCliArgs args(argv, {"--bank"}, {"--help", "--params"});
    if (args.Has("--help"))
        return Usage("usage: patchora show FILE [--bank NAME]... [--params]\n\n"
                     "Lists the banks and patches of a patch library; with --params, every\n"
                     "parameter of each patch with its value (and the value's name where it has one).\n");
    if (!args.Ok()) return Fail(args.Error(), 2);
    if (args.Words().size() != 1) return Fail("name one patch library to show", 2);
    LbCliContext context;
    std::string error;
    bool damaged = false;
    std::unique_ptr<LbDeviceSnapshotI> snapshot(
        ReadLibrary(context, args.Words()[0], context.OfflineDevice(), &error, &damaged));
    if (!snapshot) return Fail(error);
    std::vector<LbBankSnapshotI*> banks;
    if (!SelectBanks(snapshot.get(), args, &banks, &error)) return Fail(error, 2);
    LbShowBanks(stdout, banks, args.Has("--params"));
    fflush(stdout);
    if (damaged) return Fail(args.Words()[0] + " is damaged; what could be read is shown");
    return 0;
}

int Studio(const std::vector<std::string>& argv)
{
    LbCliArgs args(argv, {"--in", "--out", "--device-id"}, {"--help"});
    const char* help = "usage: patchora studio list\n"
                       "       patchora studio add --in PORT --out PORT [--device-id N]\n"
                       "       patchora studio remove N\n\n"
                       "The instruments patchora remembers: their model, MIDI ports and device id.\n"
                       "Other commands name them with --studio N. Adding an instrument asks it for\n"
                       "its tables, so it should be switched on and connected.\n";
    if (args.Has("--help")) return Usage(help);
    if (!args.Ok()) return Fail(args.Error(), 2);
    if (args.Words().empty()) return Fail(std::string("which studio command?\n") + help, 2);
    const std::string& verb = args.Words()[0];
    LbCliContext context;
    LbMidiStudio& studio = context.Studio();
    if (verb == "list" && args.Words().size() == 1) {
        if (studio.CountDevices() == 0) printf("The studio is empty; add an instrument with 'patchora studio add'.\n");
        for (int32 i = 0; i < studio.CountDevices(); i++) {
            LbDeviceI* device = studio.DeviceAt(i);
            LbMidiServiceI* service = device->MidiService();
            bool connected = strcmp(service->MidiProducerName(), "<none>") != 0 &&
                             strcmp(service->MidiConsumerName(), "<none>") != 0;
            std::string problem = studio.DeviceIdProblem(device);
            if (!problem.empty()) {
                printf("%ld  %s  --in '%s'  --out '%s'  (kept but not used: its %s)\n", long(i + 1),
                       device->Addon()->Name(), studio.ProducerName(device).c_str(),
                       studio.ConsumerName(device).c_str(), problem.c_str());
                continue;
            }
            printf("%ld  %s  device id %d  --in '%s'  --out '%s'%s\n", long(i + 1), device->Addon()->Name(),
                   int(device->DeviceId()), studio.ProducerName(device).c_str(), studio.ConsumerName(device).c_str(),
                   !connected ? "  (ports not found)" : device->InitCheck() == B_OK ? "" : "  (not answering)");
        }
        return 0;
    }
    if (verb == "add" && args.Words().size() == 1) {
        long id = 0;
        if (args.Has("--device-id") && !LbParseInt(args.Value("--device-id"), 0, 15, &id))
            return Fail("--device-id takes a number from 0 to 15", 2);
        std::string in = args.Value("--in"), out = args.Value("--out");
        if (in.empty() || out.empty())
            return Fail("name the instrument's ports with --in PORT and --out PORT (see 'patchora ports')", 2);
        for (int32 i = 0; i < studio.CountDevices(); i++) {
            LbDeviceI* other = studio.DeviceAt(i);
            if (studio.ProducerName(other) == in && studio.ConsumerName(other) == out && other->DeviceId() == id &&
                studio.DeviceIdProblem(other).empty())
                return Fail("instrument " + std::to_string(i + 1) + " already has these ports and device id");
        }
        // The interface may be unplugged now: a port not found is said, and kept all the same.
        BMidiProducer* producer = BMidiRoster::FindProducer(in.c_str());
        BMidiConsumer* consumer = BMidiRoster::FindConsumer(out.c_str());
        if (producer == nullptr)
            fprintf(stderr, "patchora: there is no MIDI input port named '%s' now (see 'patchora ports')\n", in.c_str());
        if (consumer == nullptr)
            fprintf(stderr, "patchora: there is no MIDI output port named '%s' now (see 'patchora ports')\n", out.c_str());
        if (producer) producer->Release();
        if (consumer) consumer->Release();
        LbDeviceI* device = context.Addons().AddonAt(0)->NewDevice();
        device->SetDeviceId(int16(id));
        studio.AddDevice(device, out.c_str(), in.c_str());
        if (!context.SaveStudio()) return 1;
        printf("Added instrument %ld: %s, device id %ld\n", long(studio.CountDevices()), device->Addon()->Name(), id);
        if (device->InitCheck() != B_OK)
            fprintf(stderr, "patchora: the instrument did not answer yet; it is remembered all the same\n");
        return 0;
    }
    if (verb == "remove" && args.Words().size() == 1)
        return Fail("name the instrument to remove: patchora studio remove N (N as 'patchora studio list' shows it)", 2);
    if (verb == "remove" && args.Words().size() == 2) {
        long index;
        if (!LbParseInt(args.Words()[1], 1, 1000000, &index) || studio.DeviceAt(int32(index - 1)) == nullptr)
            return Fail("the studio has no instrument " + args.Words()[1] + " (see 'patchora studio list')", 2);
        studio.RemoveDevice(studio.DeviceAt(int32(index - 1)));
        if (!context.SaveStudio()) return 1;
        printf("Removed instrument %ld\n", index);
        return 0;
    }
    return Fail(std::string("unknown studio command\n") + help, 2);
}

} // namespace

namespace {
const std::map<std::string, std::function<int(const std::vector<std::string>&)>>& Commands()
{
    static const std::map<std::string, std::function<int(const std::vector<std::string>&)>> commands = {
        {"ports", Ports},   {"receive", Receive}, {"send", Send},   {"import", Import},
        {"export", Export}, {"show", Show},       {"studio", Studio},
    };
    return commands;
}
} // namespace

bool LbIsCommand(const std::string& word)
{
    return Commands().count(word) > 0 || word == "--help" || word == "-h" || word == "help" ||
        word == "--version";
}

const char* LbUsageText()
{
    return kUsage;
}

int LbRunCommand(const std::vector<std::string>& args)
{
    const auto& commands = Commands();
    if (args.empty()) {
        fputs(kUsage, stderr);
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") return Usage(kUsage);
    if (args[0] == "--version") return Usage("patchora 0.1\n");
    auto it = commands.find(args[0]);
    if (it == commands.end()) return Fail("unknown command '" + args[0] + "'\n" + kUsage, 2);
    LbInstallFileTypes();
    return it->second(std::vector<std::string>(args.begin() + 1, args.end()));
}
