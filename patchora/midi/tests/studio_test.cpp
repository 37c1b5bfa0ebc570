#include "app/Handler.h"
#include "app/LbXmlStream.h"
#include "app/Looper.h"
#include "app/Message.h"
#include "librarian/tests/toy_device.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbMidiStudio.h"
#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"
#include "storage/DataIO.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// Settings go to a folder of the test's own.
class StudioTest : public testing::Test {
protected:
    void SetUp() override
    {
        mHome = mScratch.UseAsHome();
        addons.AddAddon(addon = new ToyAddon);
    }

    std::string Write(const LbMidiStudio& studio)
    {
        BMallocIO io;
        LbXmlStream stream(&io);
        EXPECT_GT(studio.WriteTo(&stream), 0);
        return std::string(static_cast<const char*>(io.Buffer()), io.BufferLength());
    }
    status_t Read(LbMidiStudio& studio, const std::string& text)
    {
        BMemoryIO io(text.data(), text.size());
        LbXmlStream stream(&io);
        return studio.ReadFrom(&stream);
    }

    ScratchDir mScratch{"studio-test"};
    std::string mHome;
    LbDeviceAddons addons;
    ToyAddon* addon = nullptr;
};

// Two ports of this process, listed under names the studio finds them by.
struct Ports {
    Ports() : in(new BMidiLocalConsumer("Synth Input")), out(new BMidiLocalProducer("Synth Output"))
    {
        in->Register();
        out->Register();
    }
    ~Ports()
    {
        in->Release();
        out->Release();
    }
    BMidiLocalConsumer* in;
    BMidiLocalProducer* out;
};

TEST_F(StudioTest, DocumentKeepsPortsAndIdsOfEveryDevice)
{
    Ports ports;
    LbMidiStudio studio(&addons);
    auto* first = new ToyDevice(addon);
    first->SetDeviceId(-1);
    ASSERT_TRUE(studio.AddDevice(first, "Synth Input", "Synth Output"));
    auto* second = new ToyDevice(addon);
    second->SetDeviceId(7);
    ASSERT_TRUE(studio.AddDevice(second, "No Such Port", nullptr));
    EXPECT_STREQ("Synth Input", first->MidiService()->MidiConsumerName());
    EXPECT_STREQ("Synth Output", first->MidiService()->MidiProducerName());
    // A port that is not there now stays named in the document, to be found later.
    EXPECT_STREQ("<none>", second->MidiService()->MidiConsumerName());
    EXPECT_EQ("No Such Port", studio.ConsumerName(second));

    std::string text = Write(studio);
    EXPECT_EQ("<Studio version = 1.0>\n"
              "\t<LbDevice mfg_id = 7D mod_id = 7D>\n"
              "\t\t<midi_out>Synth Input</midi_out>\n"
              "\t\t<midi_in>Synth Output</midi_in>\n"
              "\t\t<device_id>-1</device_id>\n"
              "\t</LbDevice>\n"
              "\t<LbDevice mfg_id = 7D mod_id = 7D>\n"
              "\t\t<midi_out>No Such Port</midi_out>\n"
              "\t\t<midi_in><none></midi_in>\n"
              "\t\t<device_id>7</device_id>\n"
              "\t</LbDevice>\n"
              "</Studio>\n",
              text);

    LbMidiStudio back(&addons);
    ASSERT_EQ(B_OK, Read(back, text));
    ASSERT_EQ(2, back.CountDevices());
    LbDeviceI* a = back.DeviceAt(0);
    LbDeviceI* b = back.DeviceAt(1);
    EXPECT_EQ(7, b->DeviceId());
    EXPECT_NE(a->MidiService(), b->MidiService());
    // An id outside the model's range is kept and flagged; that device talks to nobody.
    EXPECT_EQ("device id '-1' is not a number from 0 to 15", back.DeviceIdProblem(a));
    EXPECT_EQ("", back.DeviceIdProblem(b));
    EXPECT_STREQ("<none>", a->MidiService()->MidiConsumerName());
    EXPECT_EQ("Synth Input", back.ConsumerName(a));
    EXPECT_EQ("Synth Output", back.ProducerName(a));
    EXPECT_EQ(1, static_cast<ToyDevice*>(a)->initialized);
    EXPECT_EQ(text, Write(back));
    EXPECT_EQ(a, back.DeviceAt(&addon->mId, &addon->mId));
}

TEST_F(StudioTest, UnknownModelsAreKeptForTheNextSaveAndIncompleteDevicesSkipped)
{
    LbMidiStudio studio(&addons);
    EXPECT_EQ(B_ERROR, Read(studio, "<State version = 1.0>\n</State>\n"));
    EXPECT_EQ(B_ERROR, Read(studio, ""));
    LbMidiStudio noAddons(nullptr);
    EXPECT_EQ(B_ERROR, Read(noAddons, "<Studio version = 1.0>\n</Studio>\n"));

    const std::string text = "<Studio version = 1.0>\n"
                             "<LbDevice mfg_id = 7D mod_id = 7D><midi_out>a</midi_out><midi_in>b</midi_in></LbDevice>\n"
                             "<LbDevice mfg_id = 7D mod_id = 7D><midi_out>a</midi_out><midi_in>b</midi_in>"
                             "<device_id>3</device_id></LbDevice>\n"
                             "<LbDevice mfg_id = 7D mod_id = 7D><midi_out>a</midi_out><midi_in>b</midi_in>"
                             "<device_id>3x</device_id></LbDevice>\n"
                             "<LbDevice mfg_id = 18 mod_id = 0C><midi_out>a</midi_out><midi_in>b</midi_in>"
                             "<device_id>4</device_id></LbDevice>\n"
                             "<LbDevice mfg_id = 7D mod_id = 7D><midi_out>a</midi_out><midi_in>b</midi_in>"
                             "<device_id>5</device_id></LbDevice>\n"
                             "</Studio>\n";
    ASSERT_EQ(B_OK, Read(studio, text));
    // Every complete device of a known model, also after one of a model this program lacks;
    // an id that is no number is kept, flagged.
    ASSERT_EQ(3, studio.CountDevices());
    EXPECT_EQ(3, studio.DeviceAt(0)->DeviceId());
    EXPECT_EQ("device id '3x' is not a number from 0 to 15", studio.DeviceIdProblem(studio.DeviceAt(1)));
    EXPECT_EQ(5, studio.DeviceAt(2)->DeviceId());
    // The unknown model's entry survives a save as it was read, and reads back the same.
    std::string saved = Write(studio);
    EXPECT_NE(std::string::npos, saved.find("mfg_id = 18 mod_id = 0C")) << saved;
    EXPECT_NE(std::string::npos, saved.find("<device_id>4</device_id>")) << saved;
    LbMidiStudio again(&addons);
    ASSERT_EQ(B_OK, Read(again, saved));
    EXPECT_EQ(3, again.CountDevices());
    EXPECT_EQ(saved, Write(again));

    // A document cut off inside a device adds nothing and does not hang.
    LbMidiStudio cut(&addons);
    EXPECT_EQ(B_OK, Read(cut, "<Studio version = 1.0>\n<LbDevice mfg_id = 7D mod_id = 7D><midi_out>a"));
    EXPECT_EQ(0, cut.CountDevices());
}

class Listener : public BHandler {
public:
    void MessageReceived(BMessage* message) override
    {
        const char* status = nullptr;
        std::string text = message->FindString("status", &status) == B_OK ? status : "-";
        char code[5] = {char(message->what >> 24), char(message->what >> 16), char(message->what >> 8),
                        char(message->what), 0};
        events.push_back(std::string(code) + " " + text);
    }
    std::vector<std::string> events;
};

TEST_F(StudioTest, DependentsHearStatusAndNewDevices)
{
    BLooper* looper = new BLooper("listener");
    Listener listener;
    looper->Lock();
    looper->AddHandler(&listener);
    looper->Unlock();
    {
        LbMidiStudio studio(&addons);
        EXPECT_EQ(2, studio.AddDependent(&listener));
        studio.AddDevice(new ToyDevice(addon), nullptr, nullptr);
        EXPECT_EQ((std::vector<std::string>{"dBeS Initializing Toy Box", "dEnS -", "dInA -"}), listener.events);
        EXPECT_EQ(0.0f, studio.ProgressMax());
    }
    looper->Lock();
    looper->RemoveHandler(&listener);
    looper->Quit();
}

TEST_F(StudioTest, RemovedDevicesLiveUntilShutdownAndWindowsAreTold)
{
    LbMidiStudio studio(&addons);
    std::vector<std::pair<uint32, LbDeviceI*>> told;
    studio.SetWindowBroadcast([&](BMessage* message) {
        LbDeviceI* device = nullptr;
        message->FindPointer("LbDeviceI", &device);
        told.emplace_back(message->what, device);
    });
    auto* device = new ToyDevice(addon);
    studio.AddDevice(device, nullptr, nullptr);
    EXPECT_TRUE(studio.RemoveDevice(device));
    EXPECT_FALSE(studio.RemoveDevice(device));
    ASSERT_EQ(1u, told.size());
    EXPECT_EQ(LB_MSG_DEVICE_REMOVED, told[0].first);
    EXPECT_EQ(device, told[0].second);
    EXPECT_EQ(0, studio.CountDevices());
    EXPECT_EQ(0, device->DeviceId());   // still a live object (ASan would tell otherwise)
    EXPECT_EQ(nullptr, studio.DeviceAt(0));
}

TEST_F(StudioTest, CacheFilesComeBackAtTheNextStart)
{
    {
        LbMidiStudio studio(&addons);
        auto* device = new ToyDevice(addon);
        studio.AddDevice(device, nullptr, nullptr);
        EXPECT_EQ("", device->cacheRead);
        device->cacheText = "tables of the toy";
        studio.PreDelete();
    }
    std::string path = mHome + "/OrbWorks/MidiDevices/Toy Box.data";
    ASSERT_TRUE(std::filesystem::exists(path));

    LbMidiStudio studio(&addons);
    auto* device = new ToyDevice(addon);
    studio.AddDevice(device, nullptr, nullptr);
    EXPECT_EQ("tables of the toy", device->cacheRead);
}

} // namespace
