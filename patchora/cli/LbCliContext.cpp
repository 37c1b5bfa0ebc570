#include "cli/LbCliContext.h"

#include "app/LbSettingsFile.h"
#include "app/LbXmlStream.h"
#include "cli/LbCliArgs.h"
#include "devices/morpheus/LbEmuMorpheusAddon.h"
#include "librarian/LbData.h"
#include "librarian/LbDeviceSnapshot.h"
#include "librarian/LbDeviceTag.h"
#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiServiceI.h"
#include "midi/LbMidiStudio.h"
#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"
#include "midi/MidiRoster.h"
#include "storage/BufferIO.h"
#include "storage/File.h"

#include "MorpheusSimulator.h"
#include "SimulatorEndpoints.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr char kStudioFile[] = "studio";
constexpr char kSettingsType[] = "text/plain";
} // namespace

LbCliContext::LbCliContext() : mAddons(new LbDeviceAddons)
{
    mAddons->AddAddon(new LbEmuMorpheusAddon);
    mScratch.reset(new LbMidiStudio(mAddons.get()));
}

LbCliContext::~LbCliContext()
{
    // Devices go first (their services hold the simulator's endpoints), keeping what their
    // models learned in their cache files.
    mScratch.reset();
    mSimulated.reset();
    mStudio.reset();
    mSimulator.reset();
}

LbMidiStudio& LbCliContext::Studio()
{
    if (mStudio) return *mStudio;
    mStudio.reset(new LbMidiStudio(mAddons.get()));
    // Asking a silent instrument for its tables takes seconds: say what is going on.
    mStudio->SetStatusListener([](const char* text) { fprintf(stderr, "patchora: %s\n", text); });
    std::unique_ptr<BFile> file(SettingsFile(B_READ_ONLY, kStudioFile, kSettingsType));
    if (file) {
        BBufferIO buffered(file.get(), 65536, false);
        LbXmlStream stream(&buffered);
        mStudio->ReadFrom(&stream);
    }
    return *mStudio;
}

bool LbCliContext::SaveStudio()
{
    std::unique_ptr<AtomicFileWriter> file(SettingsFileWriter(kStudioFile, kSettingsType));
    if (!file || file->InitCheck() != B_OK) {
        fprintf(stderr, "patchora: cannot write the studio settings\n");
        return false;
    }
    ssize_t written;
    {
        LbXmlStream stream(file.get());
        written = Studio().WriteTo(&stream);
    }
    if (written < 1 || file->Commit() != B_OK) {
        fprintf(stderr, "patchora: cannot write the studio settings; the old ones are kept\n");
        return false;
    }
    return true;
}

LbDeviceI* LbCliContext::ConnectedDevice(const LbCliArgs& args, std::string* error)
{
    if (args.Has("--studio")) {
        long index;
        if (!LbParseInt(args.Value("--studio"), 1, 1000000, &index)) {
            *error = "--studio takes the number 'patchora studio list' shows";
            return nullptr;
        }
        LbDeviceI* device = Studio().DeviceAt(int32(index - 1));
        if (device == nullptr) {
            *error = "the studio has no instrument " + args.Value("--studio") + " (see 'patchora studio list')";
            return nullptr;
        }
        std::string problem = Studio().DeviceIdProblem(device);
        if (!problem.empty()) {
            *error = "instrument " + args.Value("--studio") + " cannot be used: its " + problem +
                     " (remove it and add it again with 'patchora studio')";
            return nullptr;
        }
        LbMidiServiceI* service = device->MidiService();
        if (strcmp(service->MidiProducerName(), "<none>") == 0 || strcmp(service->MidiConsumerName(), "<none>") == 0) {
            *error = "the ports of instrument " + args.Value("--studio") + " ('" + Studio().ProducerName(device) +
                     "', '" + Studio().ConsumerName(device) + "') are not all on this computer (see 'patchora ports')";
            return nullptr;
        }
        return device;
    }

    long id = 0;
    if (args.Has("--device-id") && !LbParseInt(args.Value("--device-id"), 0, 15, &id)) {
        *error = "--device-id takes a number from 0 to 15";
        return nullptr;
    }
    std::string in = args.Value("--in"), out = args.Value("--out");
    if (args.Has("--simulate")) {
        // The simulator runs in this process: no MIDI system is asked for, so none is missed.
        setenv("SUITE_MIDI_API", "none", 1);
        if (!mSimulator) {
            auto simulator = std::make_shared<morpheus_sim::MorpheusSimulator>(uint8_t(id));
            mSimulator.reset(new morpheus_sim::SimulatorEndpoints(simulator));
        }
        in = out = morpheus_sim::SimulatorEndpoints::kDefaultName;
    } else {
        if (in.empty() || out.empty()) {
            *error = "name the instrument's ports with --in PORT and --out PORT (see 'patchora ports'), "
                     "or use --studio N or --simulate";
            return nullptr;
        }
        BMidiProducer* producer = BMidiRoster::FindProducer(in.c_str());
        BMidiConsumer* consumer = BMidiRoster::FindConsumer(out.c_str());
        bool found = producer && consumer;
        if (producer) producer->Release();
        if (consumer) consumer->Release();
        if (!found) {
            *error = std::string("no MIDI ") + (producer ? "output" : "input") + " port named '" +
                     (producer ? out : in) + "' (see 'patchora ports')";
            return nullptr;
        }
    }
    LbMidiStudio* studio = mScratch.get();
    if (args.Has("--simulate")) {
        // What the simulator tells about itself (its made-up instrument names) stays its own.
        if (!mSimulated) {
            mSimulated.reset(new LbMidiStudio(mAddons.get()));
            mSimulated->SetCacheVariant("simulator");
        }
        studio = mSimulated.get();
    }
    LbDeviceI* device = mAddons->AddonAt(0)->NewDevice();
    device->SetDeviceId(int16(id));
    studio->AddDevice(device, out.c_str(), in.c_str());
    return device;
}

LbDeviceI* LbCliContext::OfflineDevice()
{
    LbDeviceI* device = mAddons->AddonAt(0)->NewDevice();
    mScratch->AddDevice(device, nullptr, nullptr);
    return device;
}

LbDeviceSnapshotI* LbCliContext::ReadDocument(const std::string& path, LbDeviceI* device, std::string* error,
                                              std::vector<std::string>* problems)
{
    BFile file(path.c_str(), B_READ_ONLY);
    if (file.InitCheck() != B_OK) {
        *error = "cannot open " + path + ": " + strerror_status(file.InitCheck());
        return nullptr;
    }
    BBufferIO buffered(&file, 65536, false);
    LbXmlStream stream(&buffered);
    LbData maker, model;
    if (LbReadDeviceTag(&stream, &maker, &model) != LB_DEVICE_TAG) {
        *error = path + " is not a patch library";
        return nullptr;
    }
    if (!LbIsAddonsModel(device->Addon(), maker, model)) {
        *error = path + " holds patches of another instrument model";
        return nullptr;
    }
    auto* snapshot = new LbDeviceSnapshot(device);
    snapshot->ReadFrom(&stream, nullptr, nullptr);
    if (problems != nullptr) {
        for (const LbXmlProblem& problem : stream.Problems())
            problems->push_back(path + ": line " + std::to_string(problem.line) + ", " + problem.element + ": " +
                                problem.what);
        if (stream.ProblemCount() > stream.Problems().size())
            problems->push_back(path + ": " + std::to_string(stream.ProblemCount() - stream.Problems().size()) +
                                " more problems");
    }
    return snapshot;
}
