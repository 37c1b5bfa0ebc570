#include "librarian/LbData.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiServiceI.h"
#include "params/LbIntChange.h"
#include "params/LbIntCodecs.h"
#include "params/LbIntToStringMapI.h"
#include "params/LbParam.h"
#include "params/LbRealtimeI.h"
#include "params/LbStringCodec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// A device with just enough behaviour for parameters: a MIDI service that records audition
// starts and stops.
class RecordingService : public LbMidiServiceI {
public:
    uint8 MidiChannel() const override { return 0; }
    void SetMidiChannel(uint8) override {}
    status_t SetMidiConsumer(BMidiConsumer*) override { return B_ERROR; }
    const char* MidiConsumerName() const override { return "<none>"; }
    status_t SetMidiProducer(BMidiProducer*) override { return B_ERROR; }
    const char* MidiProducerName() const override { return "<none>"; }
    void SetSequencerRules(LbSequencerRulesI*) override {}
    LbSequencerRulesI* SequencerRules() const override { return nullptr; }
    status_t SendSystemExclusive(const LbDataI*, bool, LbDataReceiverI*) override { return B_ERROR; }
    void SystemExclusive(const uint8*, uint32, uint32) override {}
    status_t StartSequence(int32 flags) override { calls.push_back("start " + std::to_string(flags)); return B_OK; }
    status_t StopSequence(int32 flags) override { calls.push_back("stop " + std::to_string(flags)); return B_OK; }
    BMidiLocalProducer* MidiOutput() const override { return nullptr; }
    void OpenSequencer() override {}
    std::vector<std::string> calls;
};

class TestDevice : public LbDeviceI {
public:
    void SystemExclusive(const uint8*, uint32, uint32) override {}
    void Initialize(LbStatusWormholeI*, BPositionIO*, bool) override {}
    void Uninitialize(BPositionIO*) override {}
    bool NeedsUninitialize() const override { return false; }
    status_t InitCheck() const override { return B_OK; }
    LbDeviceAddonI* Addon() const override { return nullptr; }
    std::vector<LbBankI*>& Banks() override { return banks; }
    int16 DeviceId() const override { return 0; }
    void SetDeviceId(int16) override {}
    LbMidiServiceI* MidiService() const override { return service; }
    void SetMidiService(LbMidiServiceI* s) override { service = s; }
    status_t NewManageWindow(QWidget**) override { return B_ERROR; }
    std::vector<LbBankI*> banks;
    LbMidiServiceI* service = nullptr;
};

// Counts destructions so that a test can see a parameter's codec and sender were freed.
int gDestroyed = 0;
class CountedCodec : public Lb14BitIntCodec2 {
public:
    ~CountedCodec() override { gDestroyed++; }
};
class RecordingSender : public LbRealtimeI {
public:
    explicit RecordingSender(std::vector<std::string>* log) : mLog(log) {}
    ~RecordingSender() override { gDestroyed++; }
    status_t Send(LbDeviceI* device, const LbIntCodecI* codec, const LbDataI* data, uint32 which,
                  int32 value) override
    {
        mLog->push_back((device ? "device " : "no device ") + std::string(codec ? "codec " : "no codec ") +
                        std::to_string(data->Length()) + " " + std::to_string(which) + " " + std::to_string(value));
        return 7;
    }

private:
    std::vector<std::string>* mLog;
};

TEST(Params, CollectionsBindDevicesDownTheTreeAndOwnTheirChildren)
{
    TestDevice device;
    gDestroyed = 0;
    {
        LbCollectionParam root("root");
        auto* page = new LbCollectionParam("page");
        auto* early = new LbIntParam("early", new CountedCodec, 10, 10, 11, -64, 63);
        ASSERT_TRUE(page->AddParam(early));
        ASSERT_TRUE(root.AddParam(page));
        EXPECT_FALSE(root.AddParam(nullptr));
        EXPECT_EQ(nullptr, early->Device());

        root.SetDevice(&device);
        EXPECT_EQ(&device, page->Device());
        EXPECT_EQ(&device, early->Device());

        // A parameter added after the tree was bound gets the device at once.
        auto* late = new LbIntParam("late", new CountedCodec, 12, 12, 13, 0, 127);
        late->SetRealtime(new RecordingSender(nullptr));
        ASSERT_TRUE(page->AddParam(late));
        EXPECT_EQ(&device, late->Device());

        EXPECT_EQ(page, root.ParamAt(0));
        EXPECT_EQ(nullptr, root.ParamAt(1));
        EXPECT_EQ(nullptr, root.ParamAt(-1));
        EXPECT_EQ(late, page->ParamAt(1));
        EXPECT_EQ(LB_COLLECTION_PARAM, root.Type());
        EXPECT_EQ(-1, root.Id());
        EXPECT_EQ(LB_INT_PARAM, late->Type());
        EXPECT_EQ(12, late->Id());
    }
    EXPECT_EQ(3, gDestroyed);   // two codecs and one sender went with their parameters
}

TEST(Params, IntegerParametersReadAndWriteTheirBytesWithoutClamping)
{
    const uint8 bytes[] = {0xF0, 0x18, 0x7F, 0x7F, 0x05, 0x00};
    LbData data(bytes, sizeof bytes);
    LbIntParam param("Pan", new Lb14BitIntCodec2, 2, 2, 3, -7, 7);
    int32 value = 0;
    ASSERT_EQ(B_OK, param.ReadSysEx(&data, 0, &value));
    EXPECT_EQ(-1, value);
    // The range is the control's business; the parameter stores what it is given.
    ASSERT_EQ(B_OK, param.WriteSysEx(&data, 0, 100));
    EXPECT_EQ(0x64, data.Bits()[2]);
    EXPECT_EQ(0x00, data.Bits()[3]);
    EXPECT_EQ(-7, param.Min(3));
    EXPECT_EQ(7, param.Max(0));

    LbIntParam pastEnd("Past", new Lb14BitIntCodec2, 5, 5, 6, 0, 1);
    EXPECT_EQ(B_ERROR, pastEnd.ReadSysEx(&data, 0, &value));
    EXPECT_EQ(B_ERROR, pastEnd.WriteSysEx(&data, 0, 1));
    EXPECT_EQ(0x00, data.Bits()[5]);

    LbIntParam noCodec("None", nullptr, 0, 0, 0, 0, 1);
    EXPECT_EQ(B_ERROR, noCodec.ReadSysEx(&data, 0, &value));
}

TEST(Params, RealtimeSendsGoThroughTheSenderWithDeviceAndCodec)
{
    TestDevice device;
    std::vector<std::string> log;
    LbData data(reinterpret_cast<const uint8*>("abcd"), 4);
    LbIntParam param("Level", new Lb14BitIntCodec2, 0, 0, 1, 0, 127);
    EXPECT_EQ(B_ERROR, param.SendRealtime(&data, 0, 5));   // no sender: nothing sent

    param.SetRealtime(new RecordingSender(&log));
    EXPECT_EQ(7, param.SendRealtime(&data, 2, 5));
    param.SetDevice(&device);
    EXPECT_EQ(7, param.SendRealtime(&data, 0, 99));
    EXPECT_EQ((std::vector<std::string>{"no device codec 4 2 5", "device codec 4 0 99"}), log);
}

TEST(Params, AuditionStartsAndStopsOnlyWithADeviceThatHasAService)
{
    LbIntParam param("Level", new Lb14BitIntCodec2, 0, 0, 1, 0, 127);
    EXPECT_EQ(B_ERROR, param.StartSequence());
    TestDevice device;
    param.SetDevice(&device);
    EXPECT_EQ(B_ERROR, param.StartSequence());
    RecordingService service;
    device.SetMidiService(&service);
    EXPECT_EQ(B_OK, param.StartSequence());
    EXPECT_EQ(B_OK, param.StopSequence());
    EXPECT_EQ((std::vector<std::string>{"start 0", "stop 0"}), service.calls);
}

TEST(Params, StringParametersUseTheirCodecAndCharacterLimits)
{
    std::vector<uint8> bytes(20, '-');
    LbData data(bytes.data(), 20);
    auto* codec = new LbRunStringCodec;
    codec->SetFillBlanks(' ');
    LbStringParam name("Name", codec, 12, 32, 127, 4, 15, 1);
    ASSERT_EQ(B_OK, name.WriteSysEx(&data, "Bass"));
    char* text = nullptr;
    ASSERT_EQ(B_OK, name.ReadSysEx(&data, &text));
    EXPECT_STREQ("Bass        ", text);
    free(text);
    EXPECT_EQ('-', data.Bits()[3]);
    EXPECT_EQ('-', data.Bits()[16]);
    EXPECT_EQ(LB_STRING_PARAM, name.Type());
    EXPECT_EQ(4, name.Id());
    EXPECT_TRUE(name.Accepts('A'));
    EXPECT_FALSE(name.Accepts(31));
    EXPECT_FALSE(name.Accepts(128));
}

TEST(Params, PrintBytesShowsEachByteAsBits)
{
    const uint8 bytes[] = {0x00, 0xA5, 0x01};
    LbIntParam param("Tune", new Lb14BitIntCodec2, 1, 1, 2, 0, 1);
    testing::internal::CaptureStdout();
    param.PrintBytes(bytes);
    EXPECT_EQ("Bytes for param Tune (1 to 2):\n10100101\n00000001\n", testing::internal::GetCapturedStdout());
}

struct Consumer : LbIntChangeConsumer {
    Consumer(std::vector<std::string>* log, const char* name) : log(log), name(name) {}
    void IntChange(const LbParam* param, int32 value) override
    {
        log->push_back(std::string(name) + ":" + param->Name() + "=" + std::to_string(value));
    }
    std::vector<std::string>* log;
    const char* name;
};

TEST(Params, ChangeProducerTellsConsumersInOrder)
{
    std::vector<std::string> log;
    Consumer a(&log, "a"), b(&log, "b");
    LbIntParam param("Attack", nullptr, 0, 0, 0, 0, 1);
    LbIntChangeProducer producer;
    producer.SendIntChange(&param, 1);
    producer.AddIntConsumer(&b);
    producer.AddIntConsumer(&a);
    producer.AddIntConsumer(&b);
    producer.SendIntChange(&param, 42);
    EXPECT_EQ((std::vector<std::string>{"b:Attack=42", "a:Attack=42", "b:Attack=42"}), log);
}

// Ids 10, 20, 30 shown at menu indexes 0, 1, 2.
class SteppedMap : public LbIntToStringMapI {
public:
    status_t IdForName(const char* name, int32* id) const override
    {
        for (auto& [key, value] : names)
            if (strcmp(value, name) == 0) { *id = key; return B_OK; }
        return B_ERROR;
    }
    status_t NameForId(int32 id, const char** name) const override
    {
        auto it = names.find(id);
        if (it == names.end()) return B_ERROR;
        *name = it->second;
        return B_OK;
    }
    std::map<int32, const char*> names{{10, "Piano"}, {20, "Organ"}, {30, "Flute"}};
};

class IndexedMap : public SteppedMap {
public:
    status_t IdForIndex(int32 index, int32* id) const override
    {
        if (index < 0 || index > 2) return B_ERROR;
        *id = (index + 1) * 10;
        return B_OK;
    }
    status_t IndexForId(int32 id, int32* index) const override
    {
        if (id % 10 != 0 || id < 10 || id > 30) return B_ERROR;
        *index = id / 10 - 1;
        return B_OK;
    }
};

TEST(ValueMaps, IndexesMapThroughIds)
{
    const char* name = nullptr;
    int32 out = -5;
    SteppedMap* identity = new SteppedMap;
    EXPECT_EQ(B_OK, identity->NameForIndex(20, &name));   // identity: index 20 is id 20
    EXPECT_STREQ("Organ", name);
    EXPECT_EQ(B_ERROR, identity->NameForIndex(1, &name));
    EXPECT_EQ(B_OK, identity->IndexForName("Flute", &out));
    EXPECT_EQ(30, out);
    EXPECT_EQ(B_ERROR, identity->IndexForName("Tuba", &out));
    LbIntToStringMapI::Release(identity);
    LbIntToStringMapI::Release(nullptr);

    IndexedMap* indexed = new IndexedMap;
    EXPECT_EQ(B_OK, indexed->NameForIndex(1, &name));
    EXPECT_STREQ("Organ", name);
    EXPECT_EQ(B_OK, indexed->IndexForName("Flute", &out));
    EXPECT_EQ(2, out);
    EXPECT_EQ(B_ERROR, indexed->NameForIndex(3, &name));
    indexed->Release();
}

} // namespace
