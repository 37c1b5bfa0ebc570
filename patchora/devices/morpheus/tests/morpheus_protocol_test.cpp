#include "MorpheusTestSupport.h"
#include "MorpheusTreeWalk.h"
#include "devices/morpheus/LbEffectMap.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbEmuMorpheusAddon.h"
#include "devices/morpheus/LbEmuMorpheusHyperpreset.h"
#include "devices/morpheus/LbEmuMorpheusMidimap.h"
#include "devices/morpheus/LbEmuMorpheusPreset.h"
#include "devices/morpheus/LbFilterMap.h"
#include "devices/morpheus/LbInstrumentMap.h"
#include "devices/morpheus/LbMorpheusProtocol.h"
#include "devices/morpheus/LbMorpheusRealtime.h"
#include "params/LbIntCodecs.h"
#include "librarian/LbStatus.h"
#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"
#include "storage/DataIO.h"
#include "librarian/LbStatusWormholeI.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

// A Morpheus device with a recording service; the process-wide maps are cleared around
// every test.
class MorpheusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LbEmuMorpheus::DeleteMaps();
        device.reset(static_cast<LbEmuMorpheus*>(addon.NewDevice()));
        service = new FakeMidiService;
        device->SetMidiService(service);
    }
    void TearDown() override
    {
        device.reset();
        LbEmuMorpheus::DeleteMaps();
    }

    LbEmuMorpheusAddon addon;
    std::unique_ptr<LbEmuMorpheus> device;
    FakeMidiService* service = nullptr;   // owned by the device
};

class Wormhole : public LbStatusWormholeI {
public:
    void BeginStatus(const char* text) override { texts.push_back(text ? text : ""); }
    void EndStatus(const char* text) override { ends++; }
    void BeginProgress(float) override {}
    float ProgressMax() override { return 0; }
    void MoveProgressBy(float) override {}
    void MoveProgressTo(float) override {}
    void EndProgress() override {}
    std::vector<std::string> texts;
    int ends = 0;
};

// A list message (no framing) with `count` and the given entry bytes.
Bytes ListMessage(uint8 command, int count, const Bytes& entries)
{
    Bytes message = {0x18, 0x0C, 0x00, command, uint8(count & 0x7F), uint8(count >> 7)};
    message.insert(message.end(), entries.begin(), entries.end());
    return message;
}

Bytes PresetDump(uint8 number, uint8 bank = 0)
{
    Bytes dump(LB_PRESET_DUMP_LENGTH, 0);
    dump[0] = 0x18;
    dump[1] = 0x0C;
    dump[3] = 0x01;
    dump[4] = 0x01;
    dump[5] = number;
    dump[6] = bank;
    const char* name = "Test Preset!";
    for (int i = 0; i < 12; i++) dump[7 + 2 * i] = uint8(name[i]);
    LbMorpheusUpdateChecksum(dump.data(), uint32(dump.size()));
    return dump;
}

TEST_F(MorpheusTest, AddonDescribesTheDeviceType)
{
    EXPECT_STREQ(addon.Name(), "E-mu Morpheus");
    EXPECT_EQ(addon.Version(), 19990728);
    EXPECT_TRUE(addon.ManufacturerId()->Matches(Bytes{0x18}.data(), 1));
    EXPECT_TRUE(addon.ModelId()->Matches(Bytes{0x0C}.data(), 1));
    int16 low = -1, high = -1;
    EXPECT_EQ(addon.GetDeviceIdRange(&low, &high), B_OK);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 15);
    EXPECT_EQ(device->Addon(), &addon);
}

TEST_F(MorpheusTest, PatchRequestsCarryTheBankTypeCommandAndNumber)
{
    device->SetDeviceId(3);
    device->CreateBanks();
    auto& banks = device->Banks();
    ASSERT_EQ(banks.size(), 4u);
    EXPECT_STREQ(banks[0]->Name(), "Preset - RAM");
    EXPECT_STREQ(banks[1]->Name(), "Preset - ROM");
    EXPECT_STREQ(banks[2]->Name(), "Hyperpreset - RAM");
    EXPECT_STREQ(banks[3]->Name(), "Midimap - RAM");
    EXPECT_EQ(banks[3]->Maximum(), 15);

    TestSnapshot receiver;
    EXPECT_EQ(banks[1]->RequestData(5, &receiver), B_OK);     // ROM preset 5
    EXPECT_EQ(banks[0]->RequestData(127, &receiver), B_OK);   // RAM preset 127
    EXPECT_EQ(banks[2]->RequestData(9, &receiver), B_OK);
    EXPECT_EQ(banks[3]->RequestData(15, &receiver), B_OK);
    ASSERT_EQ(service->sent.size(), 4u);
    EXPECT_EQ(service->sent[0], (Bytes{0xF0, 0x18, 0x0C, 0x03, 0x00, 0x05, 0x01, 0xF7}));
    EXPECT_EQ(service->sent[1], (Bytes{0xF0, 0x18, 0x0C, 0x03, 0x00, 0x7F, 0x00, 0xF7}));
    EXPECT_EQ(service->sent[2], (Bytes{0xF0, 0x18, 0x0C, 0x03, 0x44, 0x09, 0x00, 0xF7}));
    EXPECT_EQ(service->sent[3], (Bytes{0xF0, 0x18, 0x0C, 0x03, 0x46, 0x0F, 0x00, 0xF7}));
    for (bool waited : service->waited) EXPECT_TRUE(waited);

    LbEmuMorpheusPreset card("Preset - Card", device.get(), 0, 127);
    EXPECT_EQ(card.RequestData(1, &receiver), B_OK);
    EXPECT_EQ(service->sent.back(), (Bytes{0xF0, 0x18, 0x0C, 0x03, 0x00, 0x01, 0x02, 0xF7}));   // 257

    // Refused without sending: outside the bank, device ids the Morpheus does not answer.
    service->sent.clear();
    EXPECT_EQ(banks[0]->RequestData(128, &receiver), B_ERROR);
    EXPECT_EQ(banks[0]->RequestData(-1, &receiver), B_ERROR);
    EXPECT_EQ(banks[3]->RequestData(16, &receiver), B_ERROR);
    device->SetDeviceId(16);
    EXPECT_EQ(banks[0]->RequestData(0, &receiver), B_ERROR);
    device->SetDeviceId(-1);
    EXPECT_EQ(banks[0]->RequestData(0, &receiver), B_ERROR);
    EXPECT_TRUE(service->sent.empty());

    // A service failure is passed up.
    device->SetDeviceId(0);
    service->status = LB_NO_RESPONSE;
    EXPECT_EQ(banks[0]->RequestData(0, &receiver), LB_NO_RESPONSE);
}

TEST_F(MorpheusTest, RequestWithoutServiceSendsNothing)
{
    LbEmuMorpheusPreset bank("Preset - RAM", nullptr, 0, 127);
    TestSnapshot receiver;
    EXPECT_EQ(bank.RequestData(0, &receiver), B_ERROR);
}

TEST_F(MorpheusTest, ProtocolBuildersRejectWhatCannotGoOnTheWire)
{
    LbData out;
    EXPECT_EQ(LbMorpheusListRequest(1, LB_MORPHEUS_FILTER_LIST_REQUEST, &out), B_OK);
    EXPECT_TRUE(out.Matches(Bytes{0xF0, 0x18, 0x0C, 0x01, 0x56, 0xF7}.data(), 6));
    EXPECT_EQ(LbMorpheusParamEdit(2, 8204, -1, &out), B_OK);
    EXPECT_TRUE(out.Matches(Bytes{0xF0, 0x18, 0x0C, 0x02, 0x03, 0x0C, 0x40, 0x7F, 0x7F, 0xF7}.data(), 10));
    EXPECT_EQ(LbMorpheusParamEdit(2, 8204, 8192, &out), B_ERROR);
    EXPECT_EQ(LbMorpheusParamEdit(2, 16384, 0, &out), B_ERROR);
    EXPECT_EQ(LbMorpheusParamEdit(16, 8204, 0, &out), B_ERROR);
    EXPECT_EQ(LbMorpheusPatchRequest(0, 0x80, 0, &out), B_ERROR);
    EXPECT_EQ(LbMorpheusPatchRequest(0, 0x00, 16384, &out), B_ERROR);
    EXPECT_EQ(LbMorpheusPatchRequest(0, 0x00, 16383, &out), B_OK);
    EXPECT_TRUE(out.Matches(Bytes{0xF0, 0x18, 0x0C, 0x00, 0x00, 0x7F, 0x7F, 0xF7}.data(), 8));
}

TEST_F(MorpheusTest, RealtimeEditOfAPresetParameter)
{
    device->SetDeviceId(2);
    LbMorpheusRealtime sender(8204);
    Lb14BitIntCodec2 word;
    EXPECT_EQ(sender.Send(device.get(), &word, nullptr, 0, -1), B_OK);
    ASSERT_EQ(service->sent.size(), 1u);
    EXPECT_EQ(service->sent[0], (Bytes{0xF0, 0x18, 0x0C, 0x02, 0x03, 0x0C, 0x40, 0x7F, 0x7F, 0xF7}));
    EXPECT_FALSE(service->waited[0]);
    EXPECT_EQ(sender.Send(device.get(), nullptr, nullptr, 0, 1), B_ERROR);
    EXPECT_EQ(sender.Send(nullptr, &word, nullptr, 0, 1), B_ERROR);

    // Through the preset's own parameter: the same number, the value in its range.
    LbEmuMorpheusPreset bank("Preset - RAM", device.get(), 0, 127);
    LbIntParam* lowKey = FindInt(bank, "Common/Common/Low key");
    ASSERT_NE(lowKey, nullptr);
    LbData block(PresetDump(0).data(), LB_PRESET_DUMP_LENGTH);
    EXPECT_EQ(lowKey->SendRealtime(&block, 0, 127), B_OK);
    ASSERT_EQ(service->sent.size(), 2u);
    EXPECT_EQ(service->sent[1], (Bytes{0xF0, 0x18, 0x0C, 0x02, 0x03, 0x0C, 0x40, 0x7F, 0x00, 0xF7}));
    EXPECT_EQ(lowKey->SendRealtime(&block, 0, -1), B_ERROR);   // outside 0..127

    // No service, or an id the instrument does not answer: nothing goes out.
    device->SetDeviceId(99);
    EXPECT_EQ(lowKey->SendRealtime(&block, 0, 1), B_ERROR);
    EXPECT_EQ(service->sent.size(), 2u);
}

TEST_F(MorpheusTest, ReceivingDumpsChecksLengthCommandAndIds)
{
    LbEmuMorpheusPreset presets("Preset - RAM", device.get(), 0, 127);
    LbEmuMorpheusHyperpreset hyper("Hyperpreset - RAM", device.get(), 0, 127);
    LbEmuMorpheusMidimap maps("Midimap - RAM", device.get(), 0, 15);
    TestSnapshot snapshot;

    Bytes dump = PresetDump(42);
    EXPECT_TRUE(presets.ReceiveData(dump.data(), uint32(dump.size()), &snapshot));
    ASSERT_EQ(snapshot.installed.count(42), 1u);
    EXPECT_EQ(snapshot.installed[42].name, "Test Preset!");
    EXPECT_EQ(snapshot.installed[42].bytes, dump);
    EXPECT_FALSE(hyper.ReceiveData(dump.data(), uint32(dump.size()), &snapshot));
    EXPECT_FALSE(maps.ReceiveData(dump.data(), uint32(dump.size()), &snapshot));

    Bytes longer = dump;
    longer.push_back(0);
    EXPECT_FALSE(presets.ReceiveData(longer.data(), uint32(longer.size()), &snapshot));
    EXPECT_FALSE(presets.ReceiveData(dump.data(), uint32(dump.size() - 1), &snapshot));
    Bytes foreign = dump;
    foreign[1] = 0x04;   // another E-mu model
    EXPECT_FALSE(presets.ReceiveData(foreign.data(), uint32(foreign.size()), &snapshot));

    Bytes shortHyper = {0x18, 0x0C, 0x00};
    EXPECT_FALSE(hyper.ReceiveData(shortHyper.data(), 3, &snapshot));
    // A dump cut short would carry words the parameters cannot reach.
    Bytes hyperDump(LB_HYPERPRESET_DUMP_LENGTH, 0);
    hyperDump[0] = 0x18, hyperDump[1] = 0x0C, hyperDump[3] = 0x45, hyperDump[5] = 7;
    EXPECT_FALSE(hyper.ReceiveData(hyperDump.data(), 100, &snapshot));
    EXPECT_FALSE(hyper.ReceiveData(hyperDump.data(), 5, &snapshot));
    EXPECT_TRUE(hyper.ReceiveData(hyperDump.data(), uint32(hyperDump.size()), &snapshot));
    EXPECT_EQ(snapshot.installed.count(7), 1u);
    EXPECT_EQ(snapshot.count, 2);
}

TEST_F(MorpheusTest, NameExtractionStopsAtTheEndOfTheMessage)
{
    Bytes message = {0x18, 0x0C, 0x00, 0x01, 0x00, 0x00, 0x00, 'A', 0, 'B', 0, 'C'};
    char* name = LbEmuMorpheusBank::ExtractName(message.data(), uint32(message.size()));
    EXPECT_STREQ(name, "ABC");
    free(name);
}

TEST_F(MorpheusTest, SetNumberRewritesNumberAndBank)
{
    LbEmuMorpheusPreset rom("Preset - ROM", device.get(), 0, 127);
    LbEmuMorpheusPreset card("Preset - Card", device.get(), 0, 127);
    LbEmuMorpheusHyperpreset hyperCard("Hyperpreset - Card", device.get(), 0, 127);
    LbEmuMorpheusMidimap maps("Midimap - RAM", device.get(), 0, 15);
    Bytes dump = PresetDump(1);
    LbData block(dump.data(), uint32(dump.size()));
    EXPECT_EQ(rom.WriteNumber(&block, 9), B_OK);
    EXPECT_EQ(block.Bits()[5], 9);
    EXPECT_EQ(block.Bits()[6], 1);
    EXPECT_EQ(card.WriteNumber(&block, 10), B_OK);
    EXPECT_EQ(block.Bits()[6], 2);
    EXPECT_EQ(hyperCard.WriteNumber(&block, 11), B_OK);
    EXPECT_EQ(block.Bits()[6], 1);
    EXPECT_EQ(maps.WriteNumber(&block, 12), B_OK);
    EXPECT_EQ(block.Bits()[5], 12);
    EXPECT_EQ(block.Bits()[6], 1);

    LbData shortBlock(dump.data(), 6);
    EXPECT_EQ(rom.WriteNumber(&shortBlock, 3), B_ERROR);
    EXPECT_EQ(shortBlock.Bits()[5], 1);
    EXPECT_EQ(maps.WriteNumber(&shortBlock, 3), B_OK);
    LbData empty;
    EXPECT_EQ(maps.WriteNumber(&empty, 3), B_ERROR);
    EXPECT_EQ(rom.WriteNumber(&block, 128), B_ERROR);   // would not be a data byte
}

TEST_F(MorpheusTest, BankCompatibilityAndReadOnly)
{
    LbEmuMorpheusPreset ram("Preset - RAM", device.get(), 0, 127);
    LbEmuMorpheusPreset rom("Preset - ROM", device.get(), 0, 127);
    LbEmuMorpheusHyperpreset hyper("Hyperpreset - RAM", device.get(), 0, 127);
    LbEmuMorpheusHyperpreset hyperCard("Hyperpreset - Card", device.get(), 0, 127);
    EXPECT_TRUE(ram.IsCompatible(&rom));
    EXPECT_TRUE(rom.IsCompatible(&ram));
    EXPECT_FALSE(ram.IsCompatible(&hyper));
    EXPECT_FALSE(hyper.IsCompatible(&ram));
    EXPECT_FALSE(hyper.IsCompatible(&hyperCard));
    EXPECT_TRUE(rom.IsReadOnly());
    EXPECT_FALSE(ram.IsReadOnly());
    EXPECT_EQ(ram.ActiveBankValue(), 0);
    EXPECT_EQ(rom.ActiveBankValue(), 1);
    EXPECT_EQ(hyper.ActiveBankValue(), 2);
}

// Records the control changes a local producer sends it.
class ControlChanges : public BMidiLocalConsumer {
public:
    void ControlChange(uchar channel, uchar controller, uchar value, bigtime_t) override
    {
        std::lock_guard<std::mutex> lock(mLock);
        received.push_back({uint8(0xB0 | channel), controller, value});
        mChanged.notify_all();
    }
    bool WaitFor(size_t count)
    {
        std::unique_lock<std::mutex> lock(mLock);
        return mChanged.wait_for(lock, std::chrono::seconds(10), [&] { return received.size() >= count; });
    }
    std::vector<Bytes> received;

protected:
    ~ControlChanges() override = default;

private:
    std::mutex mLock;
    std::condition_variable mChanged;
};

TEST_F(MorpheusTest, MakeActiveSelectsTheBankWithController32)
{
    BMidiLocalProducer* output = new BMidiLocalProducer("test out");
    ControlChanges* changes = new ControlChanges;
    ASSERT_EQ(output->Connect(changes), B_OK);
    service->output = output;
    service->channel = 3;
    device->CreateBanks();
    for (LbBankI* bank : {device->Banks()[0], device->Banks()[3], device->Banks()[1], device->Banks()[2]})
        bank->MakeActive(nullptr);
    ASSERT_TRUE(changes->WaitFor(3));
    EXPECT_EQ(changes->received, (std::vector<Bytes>{{0xB3, 32, 0}, {0xB3, 32, 1}, {0xB3, 32, 2}}));
    service->output = nullptr;
    output->Disconnect(changes);
    output->Release();
    changes->Release();
}

TEST_F(MorpheusTest, InitializeFetchesTheThreeListsThenMakesBanks)
{
    device->SetDeviceId(4);
    Bytes instrumentEntry = {0x01, 0x0E, 'P', 'i', 'a', 'n', 'o', ' ', ' ', ' ', ' ', ' ', ' ', 0};
    Bytes filterEntry = {0x00, 0x00, 'L', 'o', 'w', 'p', 'a', 's', 's', ' ', ' ', ' ', ' ', 0x05, 0x00, 0};
    Bytes effects = {0x18, 0x0C, 0x00, 0x55, 0x00, 0x00, 0x00, 0x00};   // two empty lists
    service->reply = [&](const Bytes& request) -> Bytes {
        switch (request[4]) {
        case 0x0E: return ListMessage(0x0F, 1, instrumentEntry);
        case 0x56: return ListMessage(0x57, 1, filterEntry);
        case 0x54: return effects;
        default: return {};
        }
    };
    Wormhole wormhole;
    EXPECT_FALSE(device->NeedsUninitialize());
    EXPECT_EQ(device->InitCheck(), B_ERROR);
    device->Initialize(&wormhole, nullptr, false);

    ASSERT_EQ(service->sent.size(), 3u);
    EXPECT_EQ(service->sent[0], (Bytes{0xF0, 0x18, 0x0C, 0x04, 0x0E, 0xF7}));
    EXPECT_EQ(service->sent[1], (Bytes{0xF0, 0x18, 0x0C, 0x04, 0x56, 0xF7}));
    EXPECT_EQ(service->sent[2], (Bytes{0xF0, 0x18, 0x0C, 0x04, 0x54, 0xF7}));
    EXPECT_EQ(wormhole.texts, (std::vector<std::string>{"Initializing E-mu Morpheus - instruments...",
                                                        "Initializing E-mu Morpheus - filters...",
                                                        "Initializing E-mu Morpheus - effects..."}));
    EXPECT_EQ(wormhole.ends, 3);
    ASSERT_NE(LbEmuMorpheus::InstrumentMap(), nullptr);
    ASSERT_NE(LbEmuMorpheus::FilterMap(), nullptr);
    ASSERT_NE(LbEmuMorpheus::EffectMap(), nullptr);
    EXPECT_EQ(device->InitCheck(), B_OK);
    EXPECT_TRUE(device->NeedsUninitialize());
    EXPECT_EQ(device->Banks().size(), 4u);
    const char* name = nullptr;
    EXPECT_EQ(LbEmuMorpheus::InstrumentMap()->NameForId(1793, &name), B_OK);
    EXPECT_STREQ(name, "1 Piano      ");

    // With both maps the preset tree has its instrument and filter type parameters.
    auto* presets = static_cast<LbEmuMorpheusPreset*>(device->Banks()[0]);
    EXPECT_NE(FindInt(*presets, "Layers/Primary Instrument/Instrument"), nullptr);
    EXPECT_NE(FindInt(*presets, "Layers/Secondary Instrument/Instrument"), nullptr);
    EXPECT_NE(FindInt(*presets, "Layers/Filter/Type", 1), nullptr);

    device->Uninitialize(nullptr);
    EXPECT_EQ(LbEmuMorpheus::InstrumentMap(), nullptr);
    EXPECT_EQ(device->InitCheck(), B_ERROR);
}

TEST_F(MorpheusTest, MapsSurviveInTheCacheFile)
{
    Bytes instruments = ListMessage(0x0F, 1, {0x01, 0x0E, 'O', 'r', 'g', 'a', 'n', 0, 0, 0, 0, 0, 0, 0});
    Bytes filters = ListMessage(0x57, 1, {0x05, 0x00, 'B', 'a', 'n', 'd', 0, 0, 0, 0, 0, 0, 0, 0x01, 0x00, 0});
    Bytes effects = {0x18, 0x0C, 0x00, 0x55, 0x00, 0x00, 0x00, 0x00};
    device->SystemExclusive(instruments.data(), uint32(instruments.size()), 0);
    device->SystemExclusive(filters.data(), uint32(filters.size()), 0);
    device->SystemExclusive(effects.data(), uint32(effects.size()), 0);
    ASSERT_EQ(device->InitCheck(), B_OK);

    BMallocIO cache;
    device->Uninitialize(&cache);
    EXPECT_EQ(LbEmuMorpheus::InstrumentMap(), nullptr);
    off_t size = 0;
    cache.GetSize(&size);
    EXPECT_GT(size, 0);

    // Read back: no list is requested from the instrument.
    cache.Seek(0, SEEK_SET);
    device->Initialize(nullptr, &cache, false);
    EXPECT_TRUE(service->sent.empty());
    EXPECT_EQ(device->InitCheck(), B_OK);
    EXPECT_TRUE(LbEmuMorpheus::InstrumentMap()->Message().Matches(instruments.data(), uint32(instruments.size())));
    EXPECT_TRUE(LbEmuMorpheus::FilterMap()->Message().Matches(filters.data(), uint32(filters.size())));
    EXPECT_TRUE(LbEmuMorpheus::EffectMap()->Message().Matches(effects.data(), uint32(effects.size())));
    EXPECT_EQ(device->Banks().size(), 4u);

    // Refreshing asks the instrument even with a cache file.
    cache.Seek(0, SEEK_SET);
    device->Initialize(nullptr, &cache, true);
    EXPECT_EQ(service->sent.size(), 3u);

    // A cache file without the effects: the lists come from the instrument.
    LbEmuMorpheus::DeleteMaps();
    device->SystemExclusive(instruments.data(), uint32(instruments.size()), 0);
    BMallocIO partial;
    device->Uninitialize(&partial);
    partial.Seek(0, SEEK_SET);
    service->sent.clear();
    device->Initialize(nullptr, &partial, false);
    EXPECT_EQ(service->sent.size(), 3u);
    EXPECT_NE(LbEmuMorpheus::InstrumentMap(), nullptr);
}

TEST_F(MorpheusTest, NoListRepliesLeaveTheDeviceUninitializedAndTreesShort)
{
    device->Initialize(nullptr, nullptr, false);
    EXPECT_EQ(service->sent.size(), 3u);
    EXPECT_EQ(device->InitCheck(), B_ERROR);
    ASSERT_EQ(device->Banks().size(), 4u);
    auto* presets = static_cast<LbEmuMorpheusPreset*>(device->Banks()[0]);
    EXPECT_EQ(FindInt(*presets, "Layers/Primary Instrument/Instrument"), nullptr);
    EXPECT_EQ(FindInt(*presets, "Layers/Filter/Type"), nullptr);
    EXPECT_NE(FindInt(*presets, "Layers/Filter/Freq"), nullptr);
    auto* maps = static_cast<LbEmuMorpheusMidimap*>(device->Banks()[3]);
    EXPECT_EQ(maps->ParamAt(2), nullptr);   // no FX page without the effect map
}

TEST_F(MorpheusTest, DeviceTakesListsAndHandsTheRestOnWithoutLooping)
{
    Bytes tooShort = {0x18, 0x0C, 0x00, 0x0F, 0x00};
    device->SystemExclusive(tooShort.data(), 5, 0);
    EXPECT_EQ(LbEmuMorpheus::InstrumentMap(), nullptr);
    ASSERT_EQ(service->incoming.size(), 1u);   // handed on, not taken

    Bytes list = ListMessage(0x0F, 0, {});
    device->SystemExclusive(list.data(), uint32(list.size()), 0);
    ASSERT_NE(LbEmuMorpheus::InstrumentMap(), nullptr);
    EXPECT_EQ(LbEmuMorpheus::InstrumentMap()->CountEntries(), 1);   // "0 None" only
    EXPECT_EQ(service->incoming.size(), 1u);

    // The service hands the message to the receiver it waits for: the device itself.
    service->echoTo = device.get();
    Bytes other = {0x18, 0x0C, 0x00, 0x01, 0x00};
    device->SystemExclusive(other.data(), uint32(other.size()), 0);
    EXPECT_EQ(service->incoming.size(), 2u);
    device->SystemExclusive(other.data(), uint32(other.size()), 0);
    EXPECT_EQ(service->incoming.size(), 3u);   // the guard was released
}

TEST_F(MorpheusTest, ChecksumIsRecomputedForOutgoingDumpsOnly)
{
    LbEmuMorpheusPreset presets("Preset - RAM", device.get(), 0, 127);
    Bytes dump = PresetDump(3);
    ASSERT_TRUE(LbMorpheusChecksumMatches(dump.data(), uint32(dump.size())));
    LbData block(dump.data(), uint32(dump.size()));

    // Unchanged: leaves exactly as it came.
    EXPECT_EQ(presets.PrepareOutgoing(&block), B_OK);
    EXPECT_TRUE(block.Matches(dump.data(), uint32(dump.size())));

    // Edited through a parameter: the checksum no longer matches until it is prepared.
    LbIntParam* volume = FindInt(presets, "Layers/DCA/Vol");
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->WriteSysEx(&block, 0, 100), B_OK);
    EXPECT_FALSE(LbMorpheusChecksumMatches(block.Bits(), block.Length()));
    EXPECT_EQ(presets.PrepareOutgoing(&block), B_OK);
    EXPECT_TRUE(LbMorpheusChecksumMatches(block.Bits(), block.Length()));
    uint32 sum = 0;
    for (uint32 i = 7; i + 1 < block.Length(); i++) sum += block.Bits()[i];
    EXPECT_EQ(block.Bits()[563], sum & 0x7F);

    // Not a dump of the bank's type: untouched.
    LbEmuMorpheusMidimap maps("Midimap - RAM", device.get(), 0, 15);
    Bytes before(block.Bits(), block.Bits() + block.Length());
    block.Bits()[563] ^= 1;
    before[563] ^= 1;
    EXPECT_EQ(maps.PrepareOutgoing(&block), B_ERROR);
    EXPECT_TRUE(block.Matches(before.data(), uint32(before.size())));
    uint8 checksum;
    EXPECT_FALSE(LbMorpheusDumpChecksum(dump.data(), 8, &checksum));
}

TEST_F(MorpheusTest, PatchesLeaveThroughTheLibrarianWithTheirChecksumRecomputed)
{
    LbEmuMorpheusPreset presets("Preset - RAM", device.get(), 0, 127);
    TestSnapshot snapshot;
    snapshot.SetBank(&presets);
    Bytes dump = PresetDump(8);
    LbData edited(dump.data(), uint32(dump.size()));
    ASSERT_EQ(FindInt(presets, "Layers/Pitch/Fine")->WriteSysEx(&edited, 0, -64), B_OK);
    LbBankPatch patch("Test Preset!", 8, &edited, &snapshot);
    LbData outgoing;
    LbOutgoingData(&patch, &outgoing);
    EXPECT_TRUE(LbMorpheusChecksumMatches(outgoing.Bits(), outgoing.Length()));
    EXPECT_FALSE(LbMorpheusChecksumMatches(patch.Data()->Bits(), patch.Data()->Length()));   // stored as edited

    LbData untouched(dump.data(), uint32(dump.size()));
    LbBankPatch same("Test Preset!", 8, &untouched, &snapshot);
    LbOutgoingData(&same, &outgoing);
    EXPECT_TRUE(outgoing.Matches(dump.data(), uint32(dump.size())));
}

} // namespace
