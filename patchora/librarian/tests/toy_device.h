#pragma once
// A toy device model for librarian tests, and an instrument on in-process ports that
// speaks its protocol. A patch block is 'P', number, name...; a request is F0 'R' n F7.
#include "librarian/LbBank.h"
#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbPatchI.h"
#include "librarian/LbBankI.h"
#include "librarian/LbData.h"
#include "librarian/LbDeviceSnapshot.h"
#include "midi/LbDevice.h"
#include "midi/LbMidiService.h"
#include "midi/tests/fake_instrument.h"
#include "librarian/LbStatusWormholeI.h"
#include "storage/DataIO.h"

#include <string>
#include <vector>

// A toy device model. A patch block is 'P', number, name...; a request is F0 'R' n F7.
class ToyBank : public LbBank {
public:
    ToyBank(const char* name, LbDeviceI* device, int32 min, int32 max) : LbBank(name, device, min, max) {}
    bool IsReadOnly() const override { return readOnly; }
    bool readOnly = false;
    status_t RequestData(int32 number, LbDataReceiverI* receiver) const override
    {
        LbMidiServiceI* service = Device() ? Device()->MidiService() : nullptr;
        if (service == nullptr) return B_ERROR;
        LbData request = LbData(0xF0) + LbData('R') + LbData(uint8(number)) + LbData(0xF7);
        return service->SendSystemExclusive(&request, true, receiver);
    }
    bool ReceiveData(const uint8* data, uint32 length, LbBankSnapshotI* snapshot) const override
    {
        if (length < 2 || data[0] != 'P') return false;
        std::string name(reinterpret_cast<const char*>(data) + 2, length - 2);
        LbData block(data, length);
        if (snapshot) snapshot->InstallPatch(data[1], name.c_str(), &block);
        return true;
    }
    // Numbers from `refuseFrom` on cannot be written into a block.
    status_t SetNumber(LbDataI* data, int32 number) const override
    {
        if (data->Length() < 2 || number >= refuseFrom) return B_BAD_VALUE;
        data->Bits()[1] = uint8(number);
        return B_OK;
    }
    int32 refuseFrom = 256;
    // With `checksummed`, a block leaves with its last byte set to the low 7 bits of the
    // sum of the bytes after the number.
    status_t PrepareOutgoing(LbDataI* data) const override
    {
        if (!checksummed || data->Length() < 3) return B_OK;
        uint32 sum = 0;
        for (uint32 i = 2; i + 1 < data->Length(); i++) sum += data->Bits()[i];
        data->Bits()[data->Length() - 1] = uint8(sum & 0x7F);
        return B_OK;
    }
    bool checksummed = false;
};

class ToyAddon : public LbDeviceAddon {
public:
    int32 Version() const override { return 1; }
    const char* ManufacturerName() const override { return "Toy"; }
    const char* ModelName() const override { return "Box"; }
    const LbDataI* ManufacturerId() const override { return &mId; }
    const LbDataI* ModelId() const override { return &mId; }
    status_t GetDeviceIdRange(int16* low, int16* high) const override { *low = 0; *high = 15; return B_OK; }
    LbDeviceI* NewDevice() override;
    LbData mId{0x7D};
};

// Makes its banks when initialised, reports that as status texts, and keeps a text in its model's cache file
// when it has one to keep.
class ToyDevice : public LbDevice {
public:
    explicit ToyDevice(LbDeviceAddonI* addon) : mAddon(addon) {}
    void SystemExclusive(const uint8*, uint32, uint32) override {}
    void Initialize(LbStatusWormholeI* wormhole, BPositionIO* cache, bool) override
    {
        if (wormhole) wormhole->BeginStatus("Initializing Toy Box");
        if (cache) {
            char buffer[256] = {};
            ssize_t got = cache->Read(buffer, sizeof buffer - 1);
            if (got > 0) cacheRead.assign(buffer, size_t(got));
        }
        if (Banks().empty()) {
            Banks().push_back(new ToyBank("Toy Bank", this, 0, 127));
            Banks().push_back(new ToyBank("Other Bank", this, 0, 9));
        }
        if (wormhole) wormhole->EndStatus(nullptr);
        initialized++;
    }
    void Uninitialize(BPositionIO* cache) override
    {
        if (cache) cache->Write(cacheText.data(), cacheText.size());
    }
    bool NeedsUninitialize() const override { return !cacheText.empty(); }
    status_t InitCheck() const override { return B_OK; }
    LbDeviceAddonI* Addon() const override { return mAddon; }

    std::string cacheText;
    std::string cacheRead;
    int initialized = 0;

private:
    LbDeviceAddonI* mAddon;
};

inline LbDeviceI* ToyAddon::NewDevice()
{
    return new ToyDevice(this);
}

inline std::vector<uint8> ToyInstrument(const std::vector<uint8>& request)
{
    if (request.size() != 2 || request[0] != 'R') return {};
    std::string name = "Sound " + std::to_string(request[1]);
    std::vector<uint8> reply = {0xF0, 'P', request[1]};
    reply.insert(reply.end(), name.begin(), name.end());
    reply.push_back(0xF7);
    return reply;
}

// Everything a test needs: an instrument on in-process ports, a device with its service,
// a device snapshot, a bank.
// The device owns its banks ("Toy Bank" with the given range, then "Other Bank" 0..9);
// the device snapshot holds one bank snapshot for each.
struct Studio {
    Studio(int32 min, int32 max, FakeInstrument::Answer answer = ToyInstrument)
        : instrument(std::move(answer)), device(&addon)
    {
        auto* service = new LbMidiService;
        service->SetMidiConsumer(instrument.In());
        service->SetMidiProducer(instrument.Out());
        device.SetMidiService(service);
        device.Banks().push_back(new ToyBank("Toy Bank", &device, min, max));
        device.Banks().push_back(new ToyBank("Other Bank", &device, 0, 9));
        deviceSnapshot.SetDevice(&device);
    }
    ToyBank& bank() { return *static_cast<ToyBank*>(device.Banks()[0]); }
    LbBankSnapshotI* snapshot() { return deviceSnapshot.Snapshots()[0]; }
    FakeInstrument instrument;
    ToyAddon addon;
    ToyDevice device;
    LbDeviceSnapshot deviceSnapshot;
};

inline LbData Block(uint8 number, const char* name)
{
    LbData data = LbData('P') + LbData(number);
    data.Append(reinterpret_cast<const uint8*>(name), uint32(std::string(name).size()));
    return data;
}

