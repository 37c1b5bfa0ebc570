#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbLibrarian.h"
#include "librarian/LbStatusWormholeI.h"
#include "librarian/tests/toy_device.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbMidiStudio.h"
#include "storage/MimeType.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Records what the operations report, from whatever thread they report on.
class Recorder : public LbStatusWormholeI {
public:
    void BeginStatus(const char* text) override { Add(std::string("status ") + (text ? text : "")); }
    void EndStatus(const char* text) override { Add(std::string("end ") + (text ? text : "")); }
    void BeginProgress(float maximum) override { Add("progress " + std::to_string(int(maximum))); }
    float ProgressMax() override { return 0; }
    void MoveProgressBy(float) override { std::lock_guard<std::mutex> lock(mLock); steps++; }
    void MoveProgressTo(float) override {}
    void EndProgress() override { Add("done"); }
    std::vector<std::string> Events()
    {
        std::lock_guard<std::mutex> lock(mLock);
        return events;
    }
    int steps = 0;

private:
    void Add(std::string event)
    {
        std::lock_guard<std::mutex> lock(mLock);
        events.push_back(std::move(event));
    }
    std::mutex mLock;
    std::vector<std::string> events;
};

class LibrarianTest : public testing::Test {
protected:
    LibrarianTest() : studioBench(0, 127), studio(&addons), librarian(&studio, &recorder)
    {
        dir = mScratch.Path();
        LbInstallFileTypes();
        librarian.SetDeviceSnapshot(new LbDeviceSnapshot(&studioBench.device));
    }

    LbBankSnapshotI* Bank(const char* name) { return librarian.DeviceSnapshot()->SnapshotNamed(name); }
    void Fill(const char* bank, std::initializer_list<uint8> numbers)
    {
        for (uint8 n : numbers) {
            LbData block = Block(n, ("n" + std::to_string(n)).c_str());
            Bank(bank)->InstallPatch(n, nullptr, &block);
        }
    }

    Studio studioBench;   // the toy device, its instrument and banks
    LbDeviceAddons addons;
    LbMidiStudio studio;
    Recorder recorder;
    LbLibrarian librarian;
    ScratchDir mScratch{"librarian-test"};
    std::string dir;
};

TEST_F(LibrarianTest, SendAllWithOnlyReadOnlyBanksSendsNothingAndEnds)
{
    for (LbBankI* bank : studioBench.device.Banks()) static_cast<ToyBank*>(bank)->readOnly = true;
    std::vector<LbPatchWork> work = librarian.WorkForAll(LB_PATCH_SEND);
    EXPECT_TRUE(work.empty());
    bool ended = false;
    librarian.SetEndHandler([&] { ended = true; });
    ASSERT_EQ(B_OK, librarian.StartPatchWork(LB_PATCH_SEND, std::move(work)));
    EXPECT_EQ(B_OK, librarian.WaitForWorker());
    EXPECT_TRUE(ended);
    EXPECT_FALSE(librarian.IsRunning());
    EXPECT_EQ((std::vector<std::string>{"status Sending 0 patches...", "progress 0", "end ", "done"}),
              recorder.Events());
    std::vector<LbPatchWork> refused;
    EXPECT_EQ(B_ERROR, librarian.WorkForSelection(LB_PATCH_SEND, Bank("Toy Bank"), {}, &refused));
}

TEST_F(LibrarianTest, EndHandlerMayAskTheLibrarianWhileAStartComesIn)
{
    // A window's menus ask IsRunning() from the end handler while the user starts the
    // next operation on another thread. The handler waits (at most half a minute) until
    // that start has returned, then asks.
    std::mutex lock;
    std::condition_variable changed;
    bool inHandler = false, startReturned = false, handlerAsked = false, runningInHandler = false;
    librarian.SetEndHandler([&] {
        std::unique_lock<std::mutex> guard(lock);
        inHandler = true;
        changed.notify_all();
        if (!changed.wait_for(guard, std::chrono::seconds(30), [&] { return startReturned; }))
            return;   // the start waited for this handler: asking now would never return
        guard.unlock();
        runningInHandler = librarian.IsRunning();
        guard.lock();
        handlerAsked = true;
    });
    ASSERT_EQ(B_OK, librarian.StartPatchWork(LB_PATCH_SEND, {}));
    {
        std::unique_lock<std::mutex> guard(lock);
        ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(30), [&] { return inHandler; }));
    }
    status_t second = librarian.StartPatchWork(LB_PATCH_SEND, {});
    {
        std::lock_guard<std::mutex> guard(lock);
        startReturned = true;
        changed.notify_all();
    }
    EXPECT_EQ(B_OK, librarian.WaitForWorker());
    librarian.SetEndHandler(nullptr);
    if (second == B_OK) librarian.WaitForWorker();
    EXPECT_TRUE(handlerAsked) << "the start waited for the end handler";
    EXPECT_EQ(B_BUSY, second) << "a worker started while the last one was still ending";
    EXPECT_TRUE(runningInHandler);
    EXPECT_FALSE(librarian.IsRunning());
    // Once it has ended, the next operation starts.
    EXPECT_EQ(B_OK, librarian.StartPatchWork(LB_PATCH_SEND, {}));
    EXPECT_EQ(B_OK, librarian.WaitForWorker());
}

TEST_F(LibrarianTest, EndHandlerThatWaitsOrStartsDoesNotJoinItself)
{
    status_t waited = B_ERROR, started = B_ERROR;
    librarian.SetEndHandler([&] {
        waited = librarian.WaitForWorker();
        started = librarian.StartPatchWork(LB_PATCH_REQUEST, {});
    });
    std::vector<LbPatchWork> work;
    ASSERT_EQ(B_OK, librarian.WorkForSelection(LB_PATCH_REQUEST, Bank("Other Bank"), {}, &work));
    ASSERT_EQ(B_OK, librarian.StartPatchWork(LB_PATCH_REQUEST, std::move(work)));
    EXPECT_EQ(B_OK, librarian.WaitForWorker());
    EXPECT_EQ(B_OK, waited);   // its own result, at once
    EXPECT_EQ(B_BUSY, started);
    EXPECT_FALSE(librarian.IsRunning());
    EXPECT_STREQ("Sound 9", Bank("Other Bank")->PatchAt(9)->Name());
}

TEST_F(LibrarianTest, PastedPatchThatCannotBeRenumberedNeverOverwritesAnother)
{
    Fill("Toy Bank", {1, 2, 3});
    std::string text;
    ASSERT_EQ(B_OK, librarian.Copy({Bank("Toy Bank")->PatchAt(1), Bank("Toy Bank")->PatchAt(2),
                                    Bank("Toy Bank")->PatchAt(3)},
                                   &text));
    // Slots 2 and 3 change after the copy: the copied blocks still carry numbers 2 and 3.
    LbData keep2 = Block(2, "keep2"), keep3 = Block(3, "keep3");
    Bank("Toy Bank")->InstallPatch(2, nullptr, &keep2);
    Bank("Toy Bank")->InstallPatch(3, nullptr, &keep3);

    studioBench.bank().refuseFrom = 51;   // 50 can be written into a block, 51 and 52 not
    EXPECT_EQ(B_BAD_VALUE, librarian.Paste(text, Bank("Toy Bank"), 50));
    EXPECT_STREQ("n1", Bank("Toy Bank")->PatchAt(50)->Name());
    EXPECT_EQ(0u, Bank("Toy Bank")->PatchAt(51)->Data()->Length());
    EXPECT_EQ(0u, Bank("Toy Bank")->PatchAt(52)->Data()->Length());
    auto bytes = [&](int32 number) {
        const LbDataI* data = Bank("Toy Bank")->PatchAt(number)->Data();
        return std::string(reinterpret_cast<const char*>(data->Bits()), data->Length());
    };
    EXPECT_EQ(std::string("P\x02keep2"), bytes(2));
    EXPECT_EQ(std::string("P\x03keep3"), bytes(3));
}

TEST_F(LibrarianTest, PasteRefusesAFirstNumberOutsideTheBank)
{
    Fill("Toy Bank", {10, 11});
    std::string text;
    ASSERT_EQ(B_OK, librarian.Copy({Bank("Toy Bank")->PatchAt(10), Bank("Toy Bank")->PatchAt(11)}, &text));
    studioBench.bank().SetMinimum(10);
    EXPECT_EQ(B_BAD_VALUE, librarian.Paste(text, Bank("Toy Bank"), 8));
    EXPECT_EQ(B_BAD_VALUE, librarian.Paste(text, Bank("Toy Bank"), -1));
    EXPECT_EQ(B_BAD_VALUE, librarian.Paste(text, Bank("Toy Bank"), 128));
    for (int32 n : {8, 9, 12, 13}) EXPECT_EQ(0u, Bank("Toy Bank")->PatchAt(n)->Data()->Length()) << n;
    // The bank's own first number is fine.
    EXPECT_EQ(B_OK, librarian.Paste(text, Bank("Toy Bank"), 10));
    EXPECT_STREQ("n10", Bank("Toy Bank")->PatchAt(10)->Name());
}

TEST_F(LibrarianTest, ReceiveSelectedWithoutSelectionFetchesTheWholeBank)
{
    std::vector<LbPatchWork> work;
    ASSERT_EQ(B_OK, librarian.WorkForSelection(LB_PATCH_REQUEST, Bank("Other Bank"), {}, &work));
    ASSERT_EQ(B_OK, librarian.StartPatchWork(LB_PATCH_REQUEST, std::move(work)));
    EXPECT_EQ(B_BUSY, librarian.StartPatchWork(LB_PATCH_REQUEST, {}));   // one worker at a time
    EXPECT_EQ(B_OK, librarian.WaitForWorker());
    EXPECT_EQ(10, recorder.steps);
    EXPECT_STREQ("Sound 9", Bank("Other Bank")->PatchAt(9)->Name());
    EXPECT_EQ("status Requesting 10 patches...", recorder.Events()[0]);

    // A selection asks for just those numbers.
    std::vector<LbPatchWork> some;
    ASSERT_EQ(B_OK, librarian.WorkForSelection(LB_PATCH_REQUEST, Bank("Toy Bank"),
                                               {Bank("Toy Bank")->PatchAt(3), Bank("Toy Bank")->PatchAt(40)}, &some));
    EXPECT_EQ(B_OK, librarian.RunPatchWork(LB_PATCH_REQUEST, some));
    EXPECT_STREQ("Sound 40", Bank("Toy Bank")->PatchAt(40)->Name());
    EXPECT_EQ(nullptr, Bank("Toy Bank")->PatchAt(4)->Name());
}

TEST_F(LibrarianTest, PasteNearTheEndPlacesWhatFits)
{
    Fill("Toy Bank", {1, 2, 3});
    std::string text;
    ASSERT_EQ(B_OK, librarian.Copy({Bank("Toy Bank")->PatchAt(1), Bank("Toy Bank")->PatchAt(2),
                                    Bank("Toy Bank")->PatchAt(3)},
                                   &text));
    EXPECT_EQ(0u, text.find("<LbDevice mfg_id = 7D mod_id = 7D>"));
    ASSERT_EQ(B_OK, librarian.Paste(text, Bank("Toy Bank"), 126));
    EXPECT_STREQ("n1", Bank("Toy Bank")->PatchAt(126)->Name());
    EXPECT_STREQ("n2", Bank("Toy Bank")->PatchAt(127)->Name());
    EXPECT_EQ(126, Bank("Toy Bank")->PatchAt(126)->Data()->Bits()[1]);
    EXPECT_EQ(128u, Bank("Toy Bank")->Patches().size());

    // Into a bank of another name: nothing is read.
    ASSERT_EQ(B_OK, librarian.Paste(text, Bank("Other Bank"), 0));
    EXPECT_EQ(0u, Bank("Other Bank")->PatchAt(0)->Data()->Length());
    // A document of another instrument is passed over.
    std::string foreign = text;
    foreign.replace(foreign.find("7D"), 2, "18");
    ASSERT_EQ(B_OK, librarian.Paste(foreign, Bank("Toy Bank"), 10));
    EXPECT_EQ(0u, Bank("Toy Bank")->PatchAt(10)->Data()->Length());
}

TEST_F(LibrarianTest, SavedDocumentsOpenIntoTheStudiosDeviceAndFailedSavesKeepTheOldFile)
{
    // Two instruments of the model: documents open into the first.
    studio.AddDevice(new ToyDevice(&studioBench.addon), nullptr, nullptr);
    studio.AddDevice(new ToyDevice(&studioBench.addon), nullptr, nullptr);
    Fill("Toy Bank", {5});
    std::string first = dir + "/first.lib", second = dir + "/second.lib";
    ASSERT_EQ(B_OK, librarian.SaveTo(first.c_str()));
    EXPECT_EQ(first, librarian.FilePath());
    std::string type;
    ASSERT_EQ(B_OK, get_mime_type(first.c_str(), &type));
    EXPECT_EQ(LB_PATCHES_MIME_TYPE, type);
    Fill("Toy Bank", {6});
    ASSERT_EQ(B_OK, librarian.SaveTo(second.c_str()));

    // The last is handled first, so the first document of the list is what stays shown.
    LbLibrarian reader(&studio, nullptr);
    ASSERT_EQ(B_OK, reader.Open({first, second}));
    EXPECT_EQ(first, reader.FilePath());
    LbBankSnapshotI* bank = reader.DeviceSnapshot()->SnapshotNamed("Toy Bank");
    EXPECT_STREQ("n5", bank->PatchAt(5)->Name());
    EXPECT_EQ(nullptr, bank->PatchAt(6)->Name());
    EXPECT_EQ(studio.DeviceAt(0), reader.DeviceSnapshot()->Device());

    // A save that cannot be made changes nothing, not even the remembered path.
    EXPECT_NE(B_OK, librarian.SaveTo((dir + "/no/such/folder/x.lib").c_str()));
    EXPECT_EQ(second, librarian.FilePath());
}

TEST_F(LibrarianTest, OpeningRawSysExImportsAndOtherFilesArePassedOver)
{
    std::string syx = dir + "/bank.syx", text = dir + "/notes.txt";
    std::ofstream(syx, std::ios::binary) << std::string("\xF0P\x02two\xF7\xF0P\x03three\xF7", 16);
    std::ofstream(text) << "just words";
    ASSERT_EQ(B_OK, librarian.Open({syx, text, dir + "/missing.syx", dir}));
    EXPECT_STREQ("two", Bank("Toy Bank")->PatchAt(2)->Name());
    EXPECT_STREQ("three", Bank("Toy Bank")->PatchAt(3)->Name());

    // A document whose instrument is not in the studio opens nothing.
    std::string lib = dir + "/orphan.lib";
    ASSERT_EQ(B_OK, librarian.SaveTo(lib.c_str()));
    LbLibrarian reader(&studio, nullptr);
    LbDeviceSnapshotI* snapshot = nullptr;
    testing::internal::CaptureStdout();
    EXPECT_EQ(B_NAME_NOT_FOUND, reader.ReadDocument(lib.c_str(), &snapshot));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find("Device not installed"));
    EXPECT_EQ(nullptr, snapshot);
}

} // namespace
