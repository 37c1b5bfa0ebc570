#include "app/LbXmlStream.h"
#include "app/Handler.h"
#include "app/Looper.h"
#include "app/Message.h"
#include "librarian/LbBank.h"
#include "librarian/LbBankPatch.h"
#include "librarian/LbBankSnapshot.h"
#include "librarian/LbDeviceSnapshotI.h"
#include "librarian/LbIterators.h"
#include "librarian/LbStatus.h"
#include "librarian/LbStatusWormholeI.h"
#include "midi/LbDevice.h"
#include "midi/LbMidiService.h"
#include "librarian/tests/toy_device.h"
#include "storage/DataIO.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

std::vector<int32> Numbers(const LbBankSnapshotI& snapshot)
{
    std::vector<int32> numbers;
    for (LbPatchI* patch : snapshot.Patches()) numbers.push_back(patch->Number());
    return numbers;
}

std::string Text(BMallocIO& io)
{
    return std::string(static_cast<const char*>(io.Buffer()), io.BufferLength());
}

TEST(BankSnapshot, StartsWithOneEmptyPatchPerNumber)
{
    ToyBank bank("Preset - RAM", nullptr, 0, 127);
    LbBankSnapshot snapshot(nullptr, &bank);
    ASSERT_EQ(128u, snapshot.Patches().size());
    for (int32 i = 0; i < 128; i++) {
        LbPatchI* patch = snapshot.Patches()[size_t(i)];
        EXPECT_EQ(i, patch->Number());
        EXPECT_EQ(nullptr, patch->Name());
        EXPECT_EQ(0u, patch->Data()->Length());
        EXPECT_EQ(&snapshot, patch->Snapshot());
    }
    EXPECT_FALSE(snapshot.IsModified());
    EXPECT_EQ(snapshot.Patches()[7], snapshot.PatchAt(7));
    EXPECT_EQ(nullptr, snapshot.PatchAt(128));
    EXPECT_EQ(nullptr, snapshot.Device());
}

TEST(BankSnapshot, InstallsInNumberOrderAndTracksModification)
{
    ToyBank bank("Sparse", nullptr, 0, -1);
    LbBankSnapshot snapshot(nullptr, &bank);
    EXPECT_TRUE(snapshot.Patches().empty());
    LbData three = Block(3, "three"), seven = Block(7, "seven"), five = Block(5, "five");
    snapshot.InstallPatch(3, "three", &three);
    snapshot.InstallPatch(7, "seven", &seven);
    snapshot.InstallPatch(5, "five", &five);
    EXPECT_EQ((std::vector<int32>{3, 5, 7}), Numbers(snapshot));
    EXPECT_TRUE(snapshot.IsModified());

    BMallocIO io;
    LbXmlStream stream(&io);
    ASSERT_GT(snapshot.WriteTo(&stream, nullptr), 0);   // a whole-bank write makes it clean
    EXPECT_FALSE(snapshot.IsModified());

    LbData same = Block(5, "five");
    snapshot.InstallPatch(5, "five again", &same);
    EXPECT_FALSE(snapshot.IsModified());
    EXPECT_STREQ("five again", snapshot.PatchAt(5)->Name());
    LbData changed = Block(5, "FIVE");
    snapshot.InstallPatch(5, "FIVE", &changed);
    EXPECT_TRUE(snapshot.IsModified());
    EXPECT_EQ(3u, snapshot.Patches().size());
}

TEST(BankSnapshot, DocumentsHoldOnlyPatchesWithData)
{
    ToyBank bank("Toy Bank", nullptr, 0, 3);
    LbBankSnapshot snapshot(nullptr, &bank);
    {
        BMallocIO io;
        LbXmlStream stream(&io);
        ASSERT_GT(snapshot.WriteTo(&stream, nullptr), 0);
        EXPECT_EQ("<LbBank name = \"Toy Bank\">\n</LbBank>\n", Text(io));
    }
    LbData one = Block(1, "a");
    snapshot.InstallPatch(1, "a", &one);
    BMallocIO io;
    {
        LbXmlStream stream(&io);
        ASSERT_GT(snapshot.WriteTo(&stream, nullptr), 0);
    }
    EXPECT_EQ("<LbBank name = \"Toy Bank\">\n\t<LbPatch>\n\t\t<data>500161</data>\n\t</LbPatch>\n</LbBank>\n", Text(io));

    // Reading the document into a fresh snapshot installs the patch under its own number.
    io.Seek(0, SEEK_SET);
    LbXmlStream reader(&io);
    char* tag = reader.ReadNextTag();
    ASSERT_STREQ("LbBank", tag);
    free(tag);
    LbBankSnapshot back(nullptr, &bank);
    ASSERT_EQ(B_OK, back.ReadFrom(&reader, nullptr));
    EXPECT_STREQ("a", back.PatchAt(1)->Name());
    EXPECT_FALSE(back.IsModified());
    EXPECT_EQ(4u, back.Patches().size());
}

TEST(BankSnapshot, ReadingWithNumbersRenumbersUpToTheBanksEnd)
{
    ToyBank bank("Toy Bank", nullptr, 0, 11);
    LbBankSnapshot source(nullptr, &bank);
    for (uint8 n = 0; n < 4; n++) {
        LbData block = Block(n, ("p" + std::to_string(n)).c_str());
        source.InstallPatch(n, nullptr, &block);
    }
    BMallocIO io;
    {
        LbXmlStream stream(&io);
        ASSERT_GT(source.WriteTo(&stream, nullptr), 0);
    }
    io.Seek(0, SEEK_SET);
    LbXmlStream reader(&io);
    free(reader.ReadNextTag());
    LbBankSnapshot target(nullptr, &bank);
    LbInt32It from(10);
    ASSERT_EQ(B_OK, target.ReadFrom(&reader, &from));
    EXPECT_STREQ("p0", target.PatchAt(10)->Name());
    EXPECT_STREQ("p1", target.PatchAt(11)->Name());
    EXPECT_EQ(10, target.PatchAt(10)->Data()->Bits()[1]);   // the number inside the block too
    EXPECT_EQ(12u, target.Patches().size());                 // nothing past the maximum
    EXPECT_TRUE(target.IsModified());
}

TEST(BankSnapshot, PatchIteratorWritesOnlyTheLeadingRunOfThisSnapshot)
{
    ToyBank bank("Toy Bank", nullptr, 0, 2);
    LbBankSnapshot mine(nullptr, &bank), other(nullptr, &bank);
    for (uint8 n = 0; n < 3; n++) {
        LbData block = Block(n, "x");
        mine.InstallPatch(n, nullptr, &block);
        other.InstallPatch(n, nullptr, &block);
    }
    LbPatchListIt mixed({mine.PatchAt(0), mine.PatchAt(2), other.PatchAt(1), mine.PatchAt(1)});
    BMallocIO io;
    LbXmlStream stream(&io);
    ASSERT_GT(mine.WriteTo(&stream, &mixed), 0);
    std::string text = Text(io);
    EXPECT_NE(std::string::npos, text.find("500078"));
    EXPECT_NE(std::string::npos, text.find("500278"));
    EXPECT_EQ(std::string::npos, text.find("500178"));
    EXPECT_EQ(other.PatchAt(1), mixed.Peek());   // left standing at the other snapshot's patch
    EXPECT_TRUE(mine.IsModified());               // a selection write leaves the mark alone
}

TEST(BankSnapshot, RequestFetchesUpToTheMaximumFromAnInstrument)
{
    Studio studio(0, 127);
    LbBankSnapshotI& snapshot = *studio.snapshot();
    EXPECT_EQ(&studio.device, static_cast<LbBankSnapshot&>(snapshot).Device());
    LbInt32ListIt numbers({126, 127, 128});
    ASSERT_EQ(B_OK, snapshot.Request(&numbers, nullptr));
    EXPECT_STREQ("Sound 126", snapshot.PatchAt(126)->Name());
    EXPECT_STREQ("Sound 127", snapshot.PatchAt(127)->Name());
    EXPECT_EQ(2u, studio.instrument.Received().size());
    EXPECT_EQ(128u, snapshot.Patches().size());
}

struct Progress : LbStatusWormholeI {
    void BeginStatus(const char*) override {}
    void EndStatus(const char*) override {}
    void BeginProgress(float maximum) override { max = maximum; }
    float ProgressMax() override { return max; }
    void MoveProgressBy(float step) override { value += step; }
    void MoveProgressTo(float to) override { value = to; }
    void EndProgress() override {}
    float max = 0, value = 0;
};

TEST(BankSnapshot, SilentInstrumentIsReportedAndKeepsWhatCame)
{
    int answered = 0;
    Studio studio(0, 9, [&](const std::vector<uint8>& request) {
        return ++answered <= 2 ? ToyInstrument(request) : std::vector<uint8>();
    });
    struct Quick : LbMidiService {
        bigtime_t ResponseTimeOut() const override { return 1000000; }
    };
    auto* service = new Quick;
    service->SetMidiConsumer(studio.instrument.In());
    service->SetMidiProducer(studio.instrument.Out());
    studio.device.SetMidiService(service);

    std::vector<std::string> alerts;
    LbAlertSink previous = LbSetAlertSink([&](const std::string& text, LbAlertKind) {
        alerts.push_back(text);
    });
    LbBankSnapshotI& snapshot = *studio.snapshot();
    LbDmwBankInt32It all(&studio.bank());
    Progress progress;
    EXPECT_EQ(LB_NO_RESPONSE, snapshot.Request(&all, &progress));
    LbSetAlertSink(previous);
    EXPECT_EQ((std::vector<std::string>{"Toy Box did not respond"}), alerts);
    EXPECT_STREQ("Sound 0", snapshot.PatchAt(0)->Name());
    EXPECT_STREQ("Sound 1", snapshot.PatchAt(1)->Name());
    EXPECT_EQ(nullptr, snapshot.PatchAt(2)->Name());
    EXPECT_EQ(2.0f, progress.value);
}

TEST(BankSnapshot, SendOffersEveryPatchWithDataAndReportsProgress)
{
    Studio studio(0, 3, [](const std::vector<uint8>&) { return std::vector<uint8>(); });
    LbBankSnapshotI& snapshot = *studio.snapshot();
    LbData a = Block(0, "a"), c = Block(2, "c");
    snapshot.InstallPatch(0, "a", &a);
    snapshot.InstallPatch(2, "c", &c);
    LbDmwBankIt all(&snapshot);
    Progress progress;
    ASSERT_EQ(B_OK, snapshot.Send(&all, &progress));
    EXPECT_EQ(4.0f, progress.value);
    // Sends are not awaited: give the in-process port a moment to deliver.
    for (int i = 0; i < 200 && studio.instrument.Received().size() < 2; i++) std::this_thread::sleep_for(5ms);
    auto received = studio.instrument.Received();
    ASSERT_EQ(2u, received.size());
    EXPECT_EQ((std::vector<uint8>{'P', 0, 'a'}), received[0]);
    EXPECT_EQ((std::vector<uint8>{'P', 2, 'c'}), received[1]);

    LbBankSnapshot detached(nullptr, &studio.bank());
    LbDmwBankIt none(&detached);
    EXPECT_EQ(B_ERROR, detached.Send(&none, nullptr));
}

TEST(BankSnapshot, BlocksLeaveAsTheBankPreparesThemAndStayStoredAsTheyCame)
{
    Studio studio(0, 3, [](const std::vector<uint8>&) { return std::vector<uint8>(); });
    studio.bank().checksummed = true;
    LbBankSnapshotI& snapshot = *studio.snapshot();
    LbData stale = Block(1, "ab?");   // 'a' + 'b' = 0xC3: the last byte should be 0x43
    snapshot.InstallPatch(1, "ab", &stale);
    LbDmwBankIt all(&snapshot);
    ASSERT_EQ(B_OK, snapshot.Send(&all, nullptr));
    for (int i = 0; i < 200 && studio.instrument.Received().empty(); i++) std::this_thread::sleep_for(5ms);
    ASSERT_EQ(1u, studio.instrument.Received().size());
    EXPECT_EQ((std::vector<uint8>{'P', 1, 'a', 'b', 0x43}), studio.instrument.Received()[0]);
    EXPECT_EQ('?', snapshot.PatchAt(1)->Data()->Bits()[4]);   // the stored block is untouched

    BMallocIO io;
    LbXmlStream stream(&io);
    ASSERT_GT(snapshot.WriteTo(&stream, nullptr), 0);
    EXPECT_NE(std::string::npos, Text(io).find("<data>5001616243</data>"));
}

// A window stand-in: records the notifications it gets and what the pointers name.
class Watcher : public BHandler {
public:
    void MessageReceived(BMessage* message) override
    {
        LbPatchI* patch = nullptr;
        message->FindPointer("LbPatchI", &patch);
        events.push_back(std::string(message->what == LB_MSG_PATCH_INSTALLED ? "dPtA" : "dBsR") +
                         (patch && patch->Name() ? std::string(" ") + patch->Name() : ""));
    }
    std::vector<std::string> events;
};

TEST(BankSnapshot, DependentsHearOfPatchesAndOfTheEnd)
{
    BLooper* looper = new BLooper("watcher");
    Watcher watcher;
    looper->Lock();
    looper->AddHandler(&watcher);
    looper->Unlock();
    {
        ToyBank bank("Toy Bank", nullptr, 0, 1);
        LbBankSnapshot snapshot(nullptr, &bank);
        EXPECT_EQ(1, snapshot.AddDependent(LB_NOTIFY_PATCH_INSTALLED, &watcher));
        EXPECT_EQ(1, snapshot.AddDependent(LB_NOTIFY_SNAPSHOT_GONE, &watcher));
        LbData first = Block(1, "first"), second = Block(1, "second");
        snapshot.InstallPatch(1, "first", &first);
        snapshot.InstallPatch(1, "second", &second);
    }
    EXPECT_EQ((std::vector<std::string>{"dPtA first", "dPtA second", "dBsR"}), watcher.events);
    looper->Lock();
    looper->RemoveHandler(&watcher);
    looper->Quit();
}

} // namespace
