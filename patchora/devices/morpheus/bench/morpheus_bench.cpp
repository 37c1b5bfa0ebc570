// Parsing speed of the Morpheus model on the real data files.
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbEmuMorpheusPreset.h"
#include "devices/morpheus/LbInstrumentMap.h"
#include "librarian/LbBankPatch.h"
#include "librarian/LbBankSnapshotI.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8>;

Bytes ReadUnframed(const char* file)
{
    std::filesystem::path path = std::filesystem::path(SUITE_FIXTURES_DIR) / "morpheus" / file;
    std::ifstream in(path, std::ios::binary);
    Bytes bytes(std::istreambuf_iterator<char>(in), {});
    Bytes out;
    for (size_t i = 0; i < bytes.size() && bytes[i] != 0xF7; i++)
        if (bytes[i] != 0xF0) out.push_back(bytes[i]);
    return out;
}

// Installs into one patch, as a bank snapshot does for each number.
class OnePatchSnapshot : public LbBankSnapshotI {
public:
    void SystemExclusive(const uint8*, uint32, uint32) override {}
    LbPatchI* PatchAt(int32) const override { return nullptr; }
    LbBankI* Bank() const override { return nullptr; }
    void SetBank(LbBankI*) override {}
    LbDeviceSnapshotI* Snapshot() const override { return nullptr; }
    void SetSnapshot(LbDeviceSnapshotI*) override {}
    const std::vector<LbPatchI*>& Patches() const override { return mNone; }
    status_t InstallPatch(int32 number, const char* name, const LbDataI* data) override
    {
        patch.SetNumber(number);
        if (name) patch.SetName(name);
        return patch.SetData(data->Bits(), data->Length());
    }
    bool IsModified() const override { return false; }
    ssize_t WriteTo(LbXmlStreamI*, LbPatchIteratorI*) override { return -1; }
    status_t ReadFrom(LbXmlStreamI*, LbInt32IteratorI*) override { return -1; }
    status_t Request(LbInt32IteratorI*, LbStatusWormholeI*) override { return -1; }
    status_t Send(LbPatchIteratorI*, LbStatusWormholeI*) override { return -1; }
    int32 AddDependent(int32, BHandler*) override { return 0; }
    int32 RemoveDependent(int32, BHandler*) override { return 0; }

    LbBankPatch patch;

private:
    std::vector<LbPatchI*> mNone;
};

void BM_ReceivePresetDump(benchmark::State& state)
{
    Bytes dump = ReadUnframed("init-preset.syx");
    if (dump.size() != LB_PRESET_DUMP_LENGTH) {
        state.SkipWithError("fixture morpheus/init-preset.syx is absent");
        return;
    }
    LbEmuMorpheusPreset bank("Preset - RAM", nullptr, 0, 127);
    OnePatchSnapshot snapshot;
    for (auto _ : state) {
        bool taken = bank.ReceiveData(dump.data(), uint32(dump.size()), &snapshot);
        benchmark::DoNotOptimize(taken);
    }
}
BENCHMARK(BM_ReceivePresetDump);

void BM_BuildInstrumentMap(benchmark::State& state)
{
    Bytes list = ReadUnframed("instrument-list.syx");
    if (list.size() < 6) {
        state.SkipWithError("fixture morpheus/instrument-list.syx is absent");
        return;
    }
    for (auto _ : state) {
        LbEmuMorpheus::InstrumentMapSystemExclusive(list.data(), uint32(list.size()));
        benchmark::DoNotOptimize(LbEmuMorpheus::InstrumentMap());
    }
    LbEmuMorpheus::DeleteMaps();
}
BENCHMARK(BM_BuildInstrumentMap);

} // namespace
