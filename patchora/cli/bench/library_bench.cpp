// Speed of the librarian on a whole instrument: opening a whole-device library (272
// patches), importing the real device dump, and receiving a whole simulated device in
// this process.
#include "app/LbXmlStream.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbEmuMorpheusAddon.h"
#include "librarian/LbDeviceSnapshot.h"
#include "librarian/LbLibrarian.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbMidiStudio.h"
#include "storage/DataIO.h"

#include "MorpheusSimulator.h"
#include "SimulatorEndpoints.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string DeviceDump()
{
    std::ifstream in(std::string(SUITE_FIXTURES_DIR) + "/morpheus/device-dump.syx", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A Morpheus of the studio that talks to nothing (its banks parse dumps all the same).
struct Offline {
    Offline() : studio(&addons)
    {
        addons.AddAddon(new LbEmuMorpheusAddon);
        device = addons.AddonAt(0)->NewDevice();
        studio.AddDevice(device, nullptr, nullptr);
    }
    LbDeviceAddons addons;
    LbMidiStudio studio;
    LbDeviceI* device;
};

void BM_ImportDeviceDump(benchmark::State& state)
{
    std::string dump = DeviceDump();
    if (dump.empty()) state.SkipWithError("the device dump fixture is not here");
    Offline offline;
    for (auto _ : state) {
        LbDeviceSnapshot snapshot(offline.device);
        LbImportCounts counts;
        LbImportSysEx(reinterpret_cast<const uint8*>(dump.data()), dump.size(), &snapshot, &counts);
        if (counts.taken != 272) state.SkipWithError("not every dump was taken");
    }
}
BENCHMARK(BM_ImportDeviceDump)->Unit(benchmark::kMillisecond);

void BM_OpenWholeDeviceLibrary(benchmark::State& state)
{
    std::string dump = DeviceDump();
    if (dump.empty()) state.SkipWithError("the device dump fixture is not here");
    Offline offline;
    BMallocIO document;
    {
        LbDeviceSnapshot snapshot(offline.device);
        LbImportSysEx(reinterpret_cast<const uint8*>(dump.data()), dump.size(), &snapshot, nullptr);
        LbXmlStream stream(&document);
        snapshot.WriteTo(&stream, nullptr);
    }
    for (auto _ : state) {
        document.Seek(0, SEEK_SET);
        LbXmlStream stream(&document);
        free(stream.ReadNextTag());
        LbDeviceSnapshot snapshot(offline.device);
        snapshot.ReadFrom(&stream, nullptr, nullptr);
    }
    state.counters["bytes"] = double(document.BufferLength());
}
BENCHMARK(BM_OpenWholeDeviceLibrary)->Unit(benchmark::kMillisecond);

void BM_ReceiveSimulatedDevice(benchmark::State& state)
{
    auto simulator = std::make_shared<morpheus_sim::MorpheusSimulator>(0);
    morpheus_sim::SimulatorEndpoints endpoints(simulator);
    LbDeviceAddons addons;
    addons.AddAddon(new LbEmuMorpheusAddon);
    LbMidiStudio studio(&addons);
    LbDeviceI* device = addons.AddonAt(0)->NewDevice();
    studio.AddDevice(device, morpheus_sim::SimulatorEndpoints::kDefaultName, morpheus_sim::SimulatorEndpoints::kDefaultName);
    for (auto _ : state) {
        LbLibrarian librarian(&studio, nullptr);
        librarian.SetDeviceSnapshot(new LbDeviceSnapshot(device));
        std::vector<LbPatchWork> work = librarian.WorkForAll(LB_PATCH_REQUEST);
        if (librarian.RunPatchWork(LB_PATCH_REQUEST, work) != B_OK) state.SkipWithError("receive failed");
    }
}
BENCHMARK(BM_ReceiveSimulatedDevice)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
