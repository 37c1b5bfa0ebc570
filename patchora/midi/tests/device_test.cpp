#include "librarian/LbData.h"
#include "librarian/LbStatus.h"
#include "librarian/tests/toy_device.h"
#include "midi/LbDevice.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

class NamedAddon : public ToyAddon {
public:
    NamedAddon(const char* maker, const char* model) : mMaker(maker), mModel(model) {}
    const char* ManufacturerName() const override { return mMaker; }
    const char* ModelName() const override { return mModel; }
    const char* mMaker;
    const char* mModel;
};

TEST(DeviceAddon, NameJoinsMakerAndModelOnceBothAreKnown)
{
    NamedAddon addon("E-mu", nullptr);
    EXPECT_STREQ("<No device name>", addon.Name());
    addon.mModel = "Morpheus";   // not cached before: a later call tries again
    const char* name = addon.Name();
    EXPECT_STREQ("E-mu Morpheus", name);
    addon.mModel = "Other";
    EXPECT_EQ(name, addon.Name());   // cached from now on
}

TEST(DeviceAddon, ThreadsAskingForTheNameAtOnceAllGetItWhole)
{
    // Windows opening documents side by side ask a new add-on for its name together.
    for (int round = 0; round < 200; round++) {
        NamedAddon addon("E-mu", "Morpheus");
        std::vector<std::string> names(4);
        std::vector<std::thread> threads;
        for (std::string& name : names) threads.emplace_back([&] { name = addon.Name(); });
        for (std::thread& thread : threads) thread.join();
        for (const std::string& name : names) ASSERT_EQ("E-mu Morpheus", name);
    }
}

TEST(Device, OwnsItsBanksAndService)
{
    ToyAddon addon;
    auto* device = new ToyDevice(&addon);
    EXPECT_EQ(nullptr, device->MidiService());
    EXPECT_EQ(0, device->DeviceId());
    device->SetDeviceId(-1);
    EXPECT_EQ(-1, device->DeviceId());
    device->SetMidiService(new LbMidiService);
    device->SetMidiService(new LbMidiService);   // the first one is destroyed (ASan would tell)
    device->Banks().push_back(new ToyBank("A", device, 0, 1));
    device->Banks().push_back(new ToyBank("B", device, 0, 1));
    EXPECT_FALSE(device->NeedsUninitialize());
    QWidget* window = nullptr;
    EXPECT_EQ(LB_UNSUPPORTED, device->NewManageWindow(&window));
    device->DeleteBanks();
    EXPECT_TRUE(device->Banks().empty());
    device->Banks().push_back(new ToyBank("C", device, 0, 1));
    delete device;   // banks and service go with it
}

TEST(Alerts, StatusesBecomeTheirAlertsAndOthersStaySilent)
{
    std::vector<std::pair<std::string, LbAlertKind>> shown;
    LbAlertSink previous = LbSetAlertSink([&](const std::string& text, LbAlertKind kind) {
        shown.emplace_back(text, kind);
    });
    NamedAddon addon("E-mu", "Morpheus");
    ToyDevice device(&addon);
    NotifyUserOfError(LB_NO_RESPONSE, &device);
    NotifyUserOfError(LB_BUSY, &device);
    NotifyUserOfError(LB_NOT_INITIALIZED, &device);
    NotifyUserOfError(LB_UNSUPPORTED, &device);
    NotifyUserOfError(B_ERROR, &device);
    NotifyUserOfError(B_OK, &device);
    LbSetAlertSink(previous);
    ASSERT_EQ(3u, shown.size());
    EXPECT_EQ("E-mu Morpheus did not respond", shown[0].first);
    EXPECT_EQ(LbAlertKind::Warning, shown[0].second);
    EXPECT_EQ("E-mu Morpheus is busy", shown[1].first);
    EXPECT_EQ(LbAlertKind::Info, shown[1].second);
    EXPECT_EQ("E-mu Morpheus is not properly initialized", shown[2].first);

    // Without a sink the text goes to standard error, for the command line.
    testing::internal::CaptureStderr();
    NotifyUserOfError(LB_BUSY, &device);
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("E-mu Morpheus is busy"));
}

} // namespace
