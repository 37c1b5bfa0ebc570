#include "cli/LbCliRequest.h"
#include "librarian/LbStatus.h"
#include "librarian/tests/toy_device.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

struct QuickService : LbMidiService {
    bigtime_t ResponseTimeOut() const override { return 1000000; }
};

// A toy studio whose service gives up after a second instead of three.
void UseQuickService(Studio& studio)
{
    auto* service = new QuickService;
    service->SetMidiConsumer(studio.instrument.In());
    service->SetMidiProducer(studio.instrument.Out());
    studio.device.SetMidiService(service);
}

TEST(RequestBanks, LostRepliesAreAskedForAgainWithoutBotheringTheUser)
{
    std::atomic<int> asked{0};
    Studio studio(0, 9, [&](const std::vector<uint8>& request) {
        // The third and fifth requests get no answer, as if MIDI had lost them.
        int n = ++asked;
        return n == 3 || n == 5 ? std::vector<uint8>() : ToyInstrument(request);
    });
    UseQuickService(studio);
    std::vector<std::string> shown;
    LbAlertSink previous = LbSetAlertSink([&](const std::string& text, LbAlertKind) {
        shown.push_back(text);
    });
    EXPECT_EQ(B_OK, LbRequestBanks({studio.snapshot()}, 2, nullptr));
    LbSetAlertSink(previous);
    EXPECT_TRUE(shown.empty());
    for (LbPatchI* patch : studio.snapshot()->Patches()) EXPECT_NE(nullptr, patch->Name()) << patch->Number();
    EXPECT_GE(asked.load(), 12);   // ten patches and two asked again
}

TEST(RequestBanks, SilentInstrumentIsReportedOnceAfterTheRetries)
{
    std::atomic<int> asked{0};
    Studio studio(0, 9, [&](const std::vector<uint8>& request) {
        return ++asked <= 4 ? ToyInstrument(request) : std::vector<uint8>();
    });
    UseQuickService(studio);
    std::vector<std::string> shown;
    LbAlertSink previous = LbSetAlertSink([&](const std::string& text, LbAlertKind) {
        shown.push_back(text);
    });
    EXPECT_EQ(LB_NO_RESPONSE, LbRequestBanks({studio.snapshot()}, 1, nullptr));
    LbSetAlertSink(previous);
    EXPECT_EQ((std::vector<std::string>{"Toy Box did not respond"}), shown);
    EXPECT_STREQ("Sound 3", studio.snapshot()->PatchAt(3)->Name());
    EXPECT_EQ(nullptr, studio.snapshot()->PatchAt(4)->Name());
    EXPECT_EQ(6, asked.load());   // four answered, then one try and one retry
}

} // namespace
