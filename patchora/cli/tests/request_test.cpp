#include "cli/LbCliRequest.h"
#include "librarian/LbStatus.h"
#include "librarian/tests/toy_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

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

// Requests the toy bank with retries through the quick service; the alerts the user
// would see go to `shown`.
status_t RequestAll(Studio& studio, long retries, std::vector<std::string>* shown)
{
    UseQuickService(studio);
    LbAlertSink previous = LbSetAlertSink([&](const std::string& text, LbAlertKind) {
        shown->push_back(text);
    });
    status_t status = LbRequestBanks({studio.snapshot()}, retries, nullptr);
    LbSetAlertSink(previous);
    return status;
}

TEST(RequestBanks, LostRepliesAreAskedForAgainWithoutBotheringTheUser)
{
    std::atomic<int> asked{0};
    Studio studio(0, 9, [&](const std::vector<uint8>& request) {
        // The third and fifth requests get no answer, as if MIDI had lost them.
        int n = ++asked;
        return n == 3 || n == 5 ? std::vector<uint8>() : ToyInstrument(request);
    });
    std::vector<std::string> shown;
    EXPECT_EQ(B_OK, RequestAll(studio, 2, &shown));
    EXPECT_TRUE(shown.empty());
    for (LbPatchI* patch : studio.snapshot()->Patches()) EXPECT_NE(nullptr, patch->Name()) << patch->Number();
    EXPECT_GE(asked.load(), 12);   // ten patches and two asked again
}

TEST(RequestBanks, AReplyThatComesAfterItsTimeOutLeavesNoPatchOut)
{
    // The first answer to patch 3 comes after the time-out, while 3 is asked for again;
    // the answer to that second request comes after patch 4 was asked for: each later
    // reply then ends the wait of the next request, one behind, and the last one goes to
    // no one. Every patch must still come, and be where it belongs.
    std::atomic<int> asked{0};
    Studio studio(0, 9, [&](const std::vector<uint8>& request) {
        int n = ++asked;
        if (n == 4) std::this_thread::sleep_for(std::chrono::milliseconds(1300));
        if (n == 5) std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return ToyInstrument(request);
    });
    std::vector<std::string> shown;
    EXPECT_EQ(B_OK, RequestAll(studio, 2, &shown));
    EXPECT_TRUE(shown.empty());
    for (LbPatchI* patch : studio.snapshot()->Patches()) {
        ASSERT_NE(nullptr, patch->Name()) << patch->Number();
        EXPECT_EQ("Sound " + std::to_string(patch->Number()), patch->Name());
    }
}

TEST(RequestBanks, PatchesStillMissingAfterTheRetriesAreAFailureEvenWithoutATimeOut)
{
    // Patch 5 is answered with patch 4's dump each time: every request gets a reply,
    // yet 5 never comes.
    Studio studio(0, 9, [&](const std::vector<uint8>& request) {
        std::vector<uint8> asked = request;
        if (asked.size() == 2 && asked[1] == 5) asked[1] = 4;
        return ToyInstrument(asked);
    });
    std::vector<std::string> shown;
    EXPECT_EQ(LB_NO_RESPONSE, RequestAll(studio, 1, &shown));
    EXPECT_EQ((std::vector<std::string>{"Toy Box did not respond"}), shown);
    EXPECT_EQ(nullptr, studio.snapshot()->PatchAt(5)->Name());
    EXPECT_STREQ("Sound 9", studio.snapshot()->PatchAt(9)->Name());
}

TEST(RequestBanks, SilentInstrumentIsReportedOnceAfterTheRetries)
{
    std::atomic<int> asked{0};
    Studio studio(0, 9, [&](const std::vector<uint8>& request) {
        return ++asked <= 4 ? ToyInstrument(request) : std::vector<uint8>();
    });
    std::vector<std::string> shown;
    EXPECT_EQ(LB_NO_RESPONSE, RequestAll(studio, 1, &shown));
    EXPECT_EQ((std::vector<std::string>{"Toy Box did not respond"}), shown);
    EXPECT_STREQ("Sound 3", studio.snapshot()->PatchAt(3)->Name());
    EXPECT_EQ(nullptr, studio.snapshot()->PatchAt(4)->Name());
    EXPECT_EQ(6, asked.load());   // four answered, then one try and one retry
}

} // namespace
