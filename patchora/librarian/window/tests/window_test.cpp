// The librarian window driven by its messages, over a Morpheus on the simulator.
#include "window_fixture.h"

#include "app/AppDefs.h"
#include "app/LbXmlStream.h"
#include "interface/Clipboard.h"
#include "interface/FilePanel.h"
#include "kernel/EntryRef.h"
#include "librarian/LbBankI.h"
#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbDataI.h"
#include "librarian/LbDeviceSnapshot.h"
#include "librarian/LbPatchI.h"
#include "librarian/window/LbDmwRules.h"
#include "storage/DataIO.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>
#include <QDropEvent>

namespace fs = std::filesystem;

LbDeviceManageWindow* LibrarianWindowTest::ManageWindow(LbDeviceI* device)
{
    LbDeviceManageWindow* window = NewWindow();
    BMessage show(LB_MSG_POPULATE);
    show.AddPointer("LbDeviceSnapshotI",
                    static_cast<LbDeviceSnapshotI*>(new LbDeviceSnapshot(device)));
    window->PostMessage(&show);
    RunPendingEvents();
    return window;
}

std::string LibrarianWindowTest::Text(LbDeviceManageWindow* window, const char* label)
{
    QLabel* found = Child<QLabel>(window, label);
    return found ? found->text().toStdString() : "<missing " + std::string(label) + ">";
}

namespace {

// The menu item of a window with that label, or null.
QAction* Item(LbDeviceManageWindow* window, const char* menu, const char* label)
{
    QMenu* found = window->Widget()->findChild<QMenu*>(menu);
    if (found == nullptr) return nullptr;
    for (QAction* action : found->actions())
        if (action->text() == label) return action;
    return nullptr;
}

// The labels of a menu, "-" for a separator.
std::vector<std::string> Labels(LbDeviceManageWindow* window, const char* menu)
{
    std::vector<std::string> labels;
    for (QAction* action : window->Widget()->findChild<QMenu*>(menu)->actions())
        labels.push_back(action->isSeparator() ? "-" : action->text().toStdString());
    return labels;
}

} // namespace

TEST_F(LibrarianWindowTest, ShowsASnapshotWithItsMenusCountsAndTitle)
{
    LbDeviceManageWindow* empty = NewWindow();
    RunPendingEvents();
    EXPECT_EQ("0 items", Text(empty, "BankCount"));
    EXPECT_FALSE(Item(empty, "Edit", "Copy")->isEnabled());
    EXPECT_FALSE(Item(empty, "MIDI", "Receive All")->isEnabled());
    EXPECT_TRUE(Item(empty, "File", "Open")->isEnabled());
    EXPECT_FALSE(empty->Widget()->findChild<QMenu*>("New")->isEnabled()); // an empty studio

    LbDeviceI* device = AddMorpheus();
    ASSERT_EQ(B_OK, device->InitCheck());
    LbDeviceManageWindow* window = ManageWindow(device);
    EXPECT_STREQ("Manage E-mu Morpheus - untitled", window->Title());
    auto* banks = Child<QListWidget>(window, "BankList");
    auto* patches = Child<QListWidget>(window, "PatchList");
    ASSERT_EQ(4, banks->count());
    EXPECT_EQ("Preset - RAM", banks->item(0)->text().toStdString());
    EXPECT_EQ("Midimap - RAM", banks->item(3)->text().toStdString());
    ASSERT_EQ(128, patches->count());
    EXPECT_EQ("0 <empty>", patches->item(0)->text().toStdString());
    EXPECT_EQ("1 selection", Text(window, "BankCount"));
    EXPECT_EQ("128 items", Text(window, "PatchCount"));

    // Menus: labels, separators, shortcuts, the items not there yet disabled.
    EXPECT_EQ((std::vector<std::string> {"New", "Open", "Save As...", "-", "Quit"}),
              Labels(window, "File"));
    EXPECT_EQ((std::vector<std::string> {"Copy", "Paste", "-", "Patch"}), Labels(window, "Edit"));
    EXPECT_EQ((std::vector<std::string> {"Send All", "Send Bank Preset - RAM", "Receive All",
                                         "Receive Bank Preset - RAM"}),
              Labels(window, "MIDI"));
    EXPECT_EQ((std::vector<std::string> {"Open Playback Controls", "Open Studio"}),
              Labels(window, "Tools"));
    EXPECT_EQ(QKeySequence(Qt::CTRL | Qt::Key_R), Item(window, "MIDI", "Receive All")->shortcut());
    EXPECT_EQ(QKeySequence(Qt::CTRL | Qt::Key_A), Item(window, "File", "Save As...")->shortcut());
    EXPECT_FALSE(Item(window, "Edit", "Patch")->isEnabled());
    EXPECT_FALSE(Item(window, "Tools", "Open Playback Controls")->isEnabled());
    EXPECT_TRUE(Item(window, "MIDI", "Receive All")->isEnabled());
    QMenu* newMenu = window->Widget()->findChild<QMenu*>("New");
    ASSERT_EQ(1, newMenu->actions().size());
    EXPECT_EQ("E-mu Morpheus", newMenu->actions()[0]->text().toStdString());
    newMenu->actions()[0]->trigger();
    RunPendingEvents();
    EXPECT_EQ((std::vector<LbDeviceI*> {device}), host.newWindows);

    // Selecting patches renames the selection items and counts them.
    patches->item(3)->setSelected(true);
    patches->item(4)->setSelected(true);
    RunPendingEvents();
    EXPECT_EQ("2 selections", Text(window, "PatchCount"));
    EXPECT_NE(nullptr, Item(window, "MIDI", "Send 2 Patches"));
    EXPECT_NE(nullptr, Item(window, "MIDI", "Receive 2 Patches"));
    patches->item(3)->setSelected(false);
    RunPendingEvents();
    EXPECT_NE(nullptr, Item(window, "MIDI", "Receive 1 Patch"));
    banks->setCurrentRow(3);
    RunPendingEvents();
    EXPECT_EQ(16, patches->count());
    EXPECT_NE(nullptr, Item(window, "MIDI", "Receive Bank Midimap - RAM"));

    Post(window, LB_DMW_STUDIO);
    EXPECT_EQ(1, host.studioShown);
    // Each librarian window counts once for quitting.
    EXPECT_EQ(2, host.CountSignificantWindows());
}

TEST_F(LibrarianWindowTest, WindowStateWritesAndReadsBack)
{
    LbDeviceI* device = AddMorpheus();
    std::string library = scratch.File("kept.lib");
    {
        LbDeviceSnapshot snapshot(device);
        LbLibrarian writer(nullptr, nullptr);
        writer.SetDeviceSnapshot(new LbDeviceSnapshot(device));
        ASSERT_EQ(B_OK, writer.SaveTo(library.c_str()));
    }
    LbDeviceManageWindow* window = ManageWindow(device);
    BMessage open(B_REFS_RECEIVED);
    entry_ref ref(library.c_str());
    open.AddRef("refs", &ref);
    window->PostMessage(&open);
    RunPendingEvents();
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(library, window->FilePath());
    window->MoveTo(200, 150);
    window->ResizeTo(500, 400);
    RunPendingEvents();

    BMallocIO io;
    {
        LbXmlStream stream(&io);
        BMessage write(LB_MSG_WRITE_STATE);
        write.AddPointer("LbXmlStreamI", static_cast<LbXmlStreamI*>(&stream));
        window->MessageReceived(&write);
    }
    std::string state(static_cast<const char*>(io.Buffer()), io.BufferLength());
    EXPECT_NE(std::string::npos, state.find("<Window type = LbDeviceManageWindow>")) << state;
    EXPECT_NE(std::string::npos, state.find("<mfg_id>18</mfg_id>")) << state;
    EXPECT_NE(std::string::npos, state.find("<mod_id>0C</mod_id>")) << state;
    EXPECT_NE(std::string::npos, state.find("<file>" + library + "</file>")) << state;

    // A new window reads it: the same device, frame and document.
    LbDeviceManageWindow* again = NewWindow();
    io.Seek(0, SEEK_SET);
    LbXmlStream reader(&io);
    char* tag = reader.ReadNextTag();
    ASSERT_STREQ("Window", tag);
    free(tag);
    BMessage read(LB_MSG_READ_STATE);
    read.AddPointer("LbXmlStreamI", static_cast<LbXmlStreamI*>(&reader));
    read.AddString("tag", "Window");
    read.AddString("type", kLbManageWindowType);
    again->MessageReceived(&read);
    ASSERT_TRUE(WaitIdle(again));
    ASSERT_NE(nullptr, again->DeviceSnapshot());
    EXPECT_EQ(device, again->DeviceSnapshot()->Device());
    EXPECT_EQ(library, again->FilePath());
    EXPECT_FALSE(again->IsOffline());
    EXPECT_NEAR(200, again->Frame().left, 1.5);
    EXPECT_NEAR(150, again->Frame().top, 1.5);
    EXPECT_NEAR(500, again->Frame().Width(), 1.5);
}

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs a program and gives what it wrote on standard output.
std::string Output(const std::string& command, int* status)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    *status = pclose(pipe);
    return out;
}

int CountFilled(LbDeviceSnapshotI* snapshot)
{
    int count = 0;
    for (LbBankSnapshotI* bank : snapshot->Snapshots())
        for (LbPatchI* patch : bank->Patches()) count += patch->Data()->Length() > 0;
    return count;
}

} // namespace

TEST_F(LibrarianWindowTest, ReceiveAllFillsTheListsAndSaveAsWritesWhatShowReads)
{
    LbDeviceI* device = AddMorpheus();
    LbDeviceManageWindow* window = ManageWindow(device);
    auto* patches = Child<QListWidget>(window, "PatchList");
    Post(window, LB_DMW_RECEIVE_ALL);
    ASSERT_TRUE(window->IsRunning());
    // While it runs, what starts work is disabled and closing is refused.
    EXPECT_FALSE(Item(window, "MIDI", "Receive All")->isEnabled());
    EXPECT_FALSE(Item(window, "File", "Save As...")->isEnabled());
    EXPECT_FALSE(window->QuitRequested());
    // The user looks at other banks meanwhile; the first bank's list is whole afterwards.
    auto* banks = Child<QListWidget>(window, "BankList");
    banks->setCurrentRow(2);
    RunPendingEvents();
    banks->setCurrentRow(0);
    RunPendingEvents();
    ASSERT_TRUE(WaitIdle(window));
    // Painted at a calm pace while the patches streamed in; at once when they stop.
    EXPECT_TRUE(patches->viewport()->updatesEnabled());
    EXPECT_EQ("Requesting 400 patches...", window->LastStatusText());
    EXPECT_TRUE(alerts.empty()) << alerts.front().text;

    // Every patch of every bank came, the shown bank's names as the simulator has them,
    // and the progress went all the way before it ended.
    EXPECT_EQ(400, CountFilled(window->DeviceSnapshot()));
    float maximum = 0;
    EXPECT_EQ(400.0f, window->LastProgressEnd(&maximum));
    EXPECT_EQ(400.0f, maximum);
    EXPECT_EQ("", window->MessageText());
    ASSERT_EQ(128, patches->count());
    for (int row = 0; row < 128; row++) {
        // The simulator names its presets "Sim RAM 000"...
        char expected[32];
        snprintf(expected, sizeof expected, "%d Sim RAM %03d", row, row);
        std::string label = patches->item(row)->text().toStdString();
        EXPECT_EQ(expected, label.substr(0, label.find_last_not_of(' ') + 1));
    }
    Child<QListWidget>(window, "BankList")->setCurrentRow(3);
    RunPendingEvents();
    ASSERT_EQ(16, patches->count());
    EXPECT_EQ("15 Sim Map 15", patches->item(15)->text().trimmed().toStdString());
    EXPECT_TRUE(window->HasUnsavedChanges());
    EXPECT_TRUE(Item(window, "MIDI", "Receive All")->isEnabled());

    // "Save As..." shows the panel; its answer saves; the command line reads it back.
    Post(window, LB_DMW_SAVE_AS);
    ASSERT_NE(nullptr, window->SavePanel());
    EXPECT_TRUE(window->SavePanel()->IsShowing());
    window->SavePanel()->Hide();
    BMessage* save = window->SavePanel()->MakeSaveMessage(scratch.Path().c_str(), "all.lib");
    window->PostMessage(save);
    delete save;
    RunPendingEvents();
    std::string library = scratch.File("all.lib");
    EXPECT_EQ(library, window->FilePath());
    EXPECT_STREQ("Manage E-mu Morpheus - all.lib", window->Title());
    EXPECT_FALSE(window->HasUnsavedChanges());
    int status = -1;
    std::string shown = Output(std::string(PATCHORA_PATH) + " show '" + library + "'", &status);
    EXPECT_EQ(0, status) << shown;
    for (const char* line : {"Preset - RAM: 128 patches", "Preset - ROM: 128 patches",
                             "Hyperpreset - RAM: 128 patches", "Midimap - RAM: 16 patches"})
        EXPECT_NE(std::string::npos, shown.find(line)) << line << "\n" << shown.substr(0, 400);
    EXPECT_NE(std::string::npos, ReadAll(library).find("<LbDevice mfg_id = 18 mod_id = 0C>"));
}

namespace {

// Receives patches 0 and 1 of the first bank: the window then has unsaved changes.
void ReceiveTwo(LibrarianWindowTest* test, LbDeviceManageWindow* window)
{
    auto* patches = window->Widget()->findChild<QListWidget*>("PatchList");
    patches->clearSelection();
    patches->item(0)->setSelected(true);
    patches->item(1)->setSelected(true);
    RunPendingEvents();
    window->PostMessage(LB_DMW_RECEIVE_SELECTED);
    RunPendingEvents();
    RunEventsUntil([&] { return !window->IsRunning(); });
}

} // namespace

TEST_F(LibrarianWindowTest, ClosingWithChangesAsksAndEachAnswerDoesItsPart)
{
    LbDeviceI* device = AddMorpheus();
    LbDeviceManageWindow* cancelled = ManageWindow(device);
    LbDeviceManageWindow* discarded = ManageWindow(device);
    LbDeviceManageWindow* saved = ManageWindow(device);
    ReceiveTwo(this, cancelled);
    EXPECT_EQ(2, CountFilled(cancelled->DeviceSnapshot()));
    ASSERT_TRUE(cancelled->HasUnsavedChanges());

    // "Cancel" (also what Escape chooses) keeps the window and its patches.
    answers = {LB_DMW_CANCEL};
    Post(cancelled, B_QUIT_REQUESTED);
    ASSERT_EQ(1u, alerts.size());
    EXPECT_EQ("alert", alerts[0].title);
    EXPECT_EQ("Save changes to \"untitled\"?", alerts[0].text);
    EXPECT_EQ(B_WARNING_ALERT, alerts[0].type);
    EXPECT_EQ("Yes", alerts[0].Button(0));
    EXPECT_EQ("No", alerts[0].Button(1));
    EXPECT_EQ("Cancel", alerts[0].Button(2));
    EXPECT_EQ(2, alerts[0].escapeButton);
    ASSERT_TRUE(IsOpen(cancelled));
    EXPECT_TRUE(cancelled->HasUnsavedChanges());

    // "Yes" on an untitled window: the save panel; the window goes once saved there.
    answers = {LB_DMW_YES};
    Post(cancelled, B_QUIT_REQUESTED);
    ASSERT_TRUE(IsOpen(cancelled));
    ASSERT_NE(nullptr, cancelled->SavePanel());
    EXPECT_TRUE(cancelled->SavePanel()->IsShowing());
    cancelled->SavePanel()->Hide();
    BMessage* save = cancelled->SavePanel()->MakeSaveMessage(scratch.Path().c_str(), "two.lib");
    cancelled->PostMessage(save);
    delete save;
    RunPendingEvents();
    EXPECT_TRUE(RunEventsUntil([&] { return !IsOpen(cancelled); }, 10));
    std::string two = ReadAll(scratch.File("two.lib"));
    EXPECT_EQ(2u, [&] {
        size_t count = 0;
        for (size_t at = two.find("<LbPatch>"); at != std::string::npos; at = two.find("<LbPatch>", at + 1)) count++;
        return count;
    }());

    // "No" closes without saving.
    ReceiveTwo(this, discarded);
    answers = {LB_DMW_NO};
    Post(discarded, B_QUIT_REQUESTED);
    EXPECT_FALSE(IsOpen(discarded));
    EXPECT_EQ(3u, alerts.size());

    // "Yes" on a window with a file saves there and closes; that is now the last window:
    // closing it hands over to the application, which asks again, and only then does it
    // go (here with nothing left to ask).
    std::string library = scratch.File("saved.lib");
    {
        BMessage to(B_SAVE_REQUESTED);
        entry_ref directory(scratch.Path().c_str());
        to.AddRef("directory", &directory);
        to.AddString("name", "saved.lib");
        saved->PostMessage(&to);
        RunPendingEvents();
    }
    ASSERT_EQ(library, saved->FilePath());
    ReceiveTwo(this, saved);
    ASSERT_TRUE(saved->HasUnsavedChanges());
    answers = {LB_DMW_CANCEL};
    saved->PostMessage(B_QUIT_REQUESTED);
    // The window refuses at first and asks the application to quit; the question comes
    // when the application asks.
    EXPECT_TRUE(RunEventsUntil([&] { return alerts.size() == 4; }, 10));
    EXPECT_TRUE(IsOpen(saved));
    answers = {LB_DMW_YES};
    saved->PostMessage(B_QUIT_REQUESTED);
    EXPECT_TRUE(RunEventsUntil([&] { return !IsOpen(saved); }, 10));
    EXPECT_EQ(5u, alerts.size());
    EXPECT_EQ("Save changes to \"saved.lib\"?", alerts.back().text);
    EXPECT_NE(std::string::npos, ReadAll(library).find("<LbPatch>"));
}

TEST_F(LibrarianWindowTest, CopyInOneWindowPasteAtTheEndOfABankInAnother)
{
    LbDeviceI* device = AddMorpheus();
    LbDeviceManageWindow* from = ManageWindow(device);
    LbDeviceManageWindow* to = ManageWindow(device);
    auto* source = Child<QListWidget>(from, "PatchList");
    for (int row : {10, 11, 12}) source->item(row)->setSelected(true);
    RunPendingEvents();
    Post(from, LB_DMW_RECEIVE_SELECTED);
    ASSERT_TRUE(WaitIdle(from));
    Post(from, LB_DMW_COPY);
    ASSERT_TRUE(be_clipboard->Lock());
    const void* data = nullptr;
    ssize_t length = 0;
    ASSERT_EQ(B_OK, be_clipboard->Data()->FindData("text/x-vnd.ORB.PatchesLib", B_MIME_TYPE, &data, &length));
    std::string copied(static_cast<const char*>(data), size_t(length));
    be_clipboard->Unlock();
    EXPECT_EQ(0u, copied.find("<LbDevice mfg_id = 18 mod_id = 0C>")) << copied.substr(0, 80);
    EXPECT_NE(std::string::npos, copied.find("<LbBank name = \"Preset - RAM\">"));

    // Copying nothing leaves the clipboard as it was.
    source->clearSelection();
    RunPendingEvents();
    Post(from, LB_DMW_COPY);
    EXPECT_EQ("Select the patches to copy", from->MessageText());
    ASSERT_TRUE(be_clipboard->Lock());
    EXPECT_EQ(
        B_OK,
        be_clipboard->Data()->FindData("text/x-vnd.ORB.PatchesLib", B_MIME_TYPE, &data, &length));
    EXPECT_EQ(copied, std::string(static_cast<const char*>(data), size_t(length)));
    be_clipboard->Unlock();

    // Three patches pasted at 126 of a bank that ends at 127: two land, the third stops.
    auto* target = Child<QListWidget>(to, "PatchList");
    target->item(126)->setSelected(true);
    RunPendingEvents();
    Post(to, LB_DMW_PASTE);
    LbBankSnapshotI* bank = to->DeviceSnapshot()->Snapshots()[0];
    EXPECT_EQ(2, CountFilled(to->DeviceSnapshot()));
    ASSERT_GT(bank->PatchAt(126)->Data()->Length(), 0u);
    ASSERT_GT(bank->PatchAt(127)->Data()->Length(), 0u);
    EXPECT_EQ(126, bank->PatchAt(126)->Number());
    EXPECT_EQ("126 Sim RAM 010", target->item(126)->text().trimmed().toStdString());
    EXPECT_EQ("127 Sim RAM 011", target->item(127)->text().trimmed().toStdString());
    EXPECT_EQ(128, target->count());
    EXPECT_TRUE(to->HasUnsavedChanges());

    // Text of another kind on the clipboard pastes nothing and says so.
    ASSERT_TRUE(be_clipboard->Lock());
    be_clipboard->Clear();
    const char text[] = "<LbDevice mfg_id = 18 mod_id = 0C> just words";
    be_clipboard->Data()->AddData("text/plain", B_MIME_TYPE, text, sizeof text - 1);
    be_clipboard->Commit();
    be_clipboard->Unlock();
    target->clearSelection();
    target->item(0)->setSelected(true);
    RunPendingEvents();
    Post(to, LB_DMW_PASTE);
    RunPendingEvents();
    EXPECT_EQ(2, CountFilled(to->DeviceSnapshot()));
    EXPECT_EQ("The clipboard holds no patches", to->MessageText());
}

namespace {

// A patch-library document of the simulator's RAM presets, written out by hand.
std::string PresetLibrary(const morpheus_sim::MorpheusSimulator& simulator, std::initializer_list<int> numbers)
{
    std::string text = "<LbDevice mfg_id = 18 mod_id = 0C>\n\t<LbBank name = \"Preset - RAM\">\n";
    for (int number : numbers) {
        morpheus_sim::Message dump = simulator.Preset(number);
        text += "\t\t<LbPatch>\n\t\t\t<data>";
        for (uint8_t byte : dump) {
            if (byte == 0xF0 || byte == 0xF7) continue;
            char hex[3];
            snprintf(hex, sizeof hex, "%02X", byte);
            text += hex;
        }
        text += "</data>\n\t\t</LbPatch>\n";
    }
    return text + "\t</LbBank>\n</LbDevice>\n";
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

void Open(LbDeviceManageWindow* window, const std::vector<std::string>& paths)
{
    BMessage refs(B_REFS_RECEIVED);
    for (const std::string& path : paths) {
        entry_ref ref(path.c_str());
        refs.AddRef("refs", &ref);
    }
    window->PostMessage(&refs);
    RunPendingEvents();
}

} // namespace

// A file dropped while a receive runs is not lost: it opens once the receive ends.
TEST_F(LibrarianWindowTest, AFileDroppedDuringAReceiveOpensWhenItEnds)
{
    morpheus_sim::MorpheusSimulator dumps(0);
    std::string library = scratch.File("dropped.lib");
    WriteFile(library, PresetLibrary(dumps, {0, 1, 2}));
    LbDeviceI* device = AddMorpheus();
    LbDeviceManageWindow* window = ManageWindow(device);
    Post(window, LB_DMW_RECEIVE_ALL);
    ASSERT_TRUE(window->IsRunning());
    Open(window, {library});
    EXPECT_EQ("", window->FilePath());
    ASSERT_TRUE(RunEventsUntil([&] { return window->FilePath() == library && !window->IsRunning(); }, 60))
        << "the dropped file was not opened after the receive";
    EXPECT_TRUE(alerts.empty()) << alerts.front().text;
}

TEST_F(LibrarianWindowTest, ALibraryWithoutItsInstrumentOpensOfflineUntilOneIsAdded)
{
    morpheus_sim::MorpheusSimulator dumps(0);
    std::string library = scratch.File("backup.lib");
    WriteFile(library, PresetLibrary(dumps, {0, 1, 2, 3, 4}));
    LbDeviceManageWindow* window = NewWindow();
    // Through the open panel, as the user opens it.
    Post(window, LB_DMW_OPEN);
    ASSERT_NE(nullptr, window->OpenPanel());
    EXPECT_TRUE(window->OpenPanel()->IsShowing());
    window->OpenPanel()->Hide();
    const char* paths[] = {library.c_str()};
    BMessage* chosen = window->OpenPanel()->MakeOpenMessage(paths, 1);
    window->PostMessage(chosen);
    delete chosen;
    RunPendingEvents();
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_TRUE(alerts.empty()) << alerts.front().text;
    ASSERT_NE(nullptr, window->DeviceSnapshot());
    EXPECT_TRUE(window->IsOffline());
    EXPECT_EQ(0, studio->CountDevices());   // not added to the studio
    EXPECT_STREQ("Manage E-mu Morpheus - backup.lib", window->Title());
    EXPECT_EQ(5, CountFilled(window->DeviceSnapshot()));
    EXPECT_EQ("4 Sim RAM 004", Child<QListWidget>(window, "PatchList")->item(4)->text().trimmed().toStdString());
    EXPECT_NE(std::string::npos, window->MessageText().find("The studio has no E-mu Morpheus")) << window->MessageText();
    EXPECT_FALSE(Item(window, "MIDI", "Receive All")->isEnabled());
    EXPECT_FALSE(Item(window, "MIDI", "Send All")->isEnabled());
    EXPECT_TRUE(Item(window, "Edit", "Copy")->isEnabled());
    Post(window, LB_DMW_SEND_ALL);
    EXPECT_FALSE(window->IsRunning());
    EXPECT_FALSE(window->HasUnsavedChanges());

    // An instrument of its model comes into the studio: the patches move onto it.
    LbDeviceI* device = AddMorpheus();
    RunPendingEvents();
    EXPECT_FALSE(window->IsOffline());
    EXPECT_EQ(device, window->DeviceSnapshot()->Device());
    EXPECT_EQ(5, CountFilled(window->DeviceSnapshot()));
    EXPECT_EQ(library, window->FilePath());
    EXPECT_TRUE(Item(window, "MIDI", "Receive All")->isEnabled());
    EXPECT_EQ("", window->MessageText());

    // The studio lets the device go: the window without changes closes.
    BMessage removed('aDiR');
    removed.AddPointer("LbDeviceI", device);
    window->PostMessage(&removed);
    RunPendingEvents();
    EXPECT_FALSE(IsOpen(window));
}

TEST_F(LibrarianWindowTest, BadFilesAndPlacesLoseNothing)
{
    LbDeviceI* device = AddMorpheus();
    LbDeviceManageWindow* window = ManageWindow(device);
    LbDeviceSnapshotI* shown = window->DeviceSnapshot();

    // Files of other types are passed over, opened or dropped.
    std::string notes = scratch.File("notes.txt");
    WriteFile(notes, "no patches here\n");
    Open(window, {notes, scratch.File("missing.lib"), scratch.Path()});
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(shown, window->DeviceSnapshot());
    EXPECT_TRUE(alerts.empty());

    // A raw SysEx file: its preset lands in the shown snapshot; one with no patch says so.
    std::string syx = scratch.File("seven.syx");
    morpheus_sim::Message seven = simulator->Simulator().Preset(7);
    WriteFile(syx, std::string(seven.begin(), seven.end()));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(syx))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window->Widget(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window->Widget(), &drop);
    RunPendingEvents();
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ(shown, window->DeviceSnapshot());
    EXPECT_EQ(1, CountFilled(shown));
    EXPECT_EQ("7 Sim RAM 007", Child<QListWidget>(window, "PatchList")->item(7)->text().trimmed().toStdString());
    std::string junk = scratch.File("junk.syx");
    WriteFile(junk, std::string("\xF0\x01\x02\x03\xF7", 5));
    Open(window, {junk});
    ASSERT_TRUE(WaitIdle(window));
    ASSERT_EQ(1u, alerts.size());
    EXPECT_EQ("junk.syx holds no patch of this instrument", alerts[0].text);
    EXPECT_EQ(1, CountFilled(shown));

    // A library of a model nobody knows: an alert, the window as it was.
    std::string foreign = scratch.File("foreign.lib");
    WriteFile(foreign, "<LbDevice mfg_id = 41 mod_id = 10>\n</LbDevice>\n");
    Open(window, {foreign});
    ASSERT_TRUE(WaitIdle(window));
    ASSERT_EQ(2u, alerts.size());
    EXPECT_NE(std::string::npos, alerts[1].text.find("foreign.lib")) << alerts[1].text;
    EXPECT_EQ(shown, window->DeviceSnapshot());

    // A truncated library shows what could be read, says so, and keeps no path to save over.
    std::string whole = PresetLibrary(simulator->Simulator(), {0, 1, 2, 3});
    std::string cut = scratch.File("cut.lib");
    WriteFile(cut, whole.substr(0, whole.find("<LbPatch>", whole.find("<LbPatch>") + 1) + 200));
    Open(window, {cut});
    ASSERT_TRUE(WaitIdle(window));
    ASSERT_EQ(3u, alerts.size());
    EXPECT_NE(std::string::npos, alerts[2].text.find("cut.lib is damaged; what could be read is shown")) << alerts[2].text;
    EXPECT_EQ(1, CountFilled(window->DeviceSnapshot()));
    EXPECT_EQ("", window->FilePath());
    EXPECT_STREQ("Manage E-mu Morpheus - untitled", window->Title());

    // A save where no file can be made (under a regular file: even root cannot): an
    // alert, the window open, the changes still unsaved.
    ReceiveTwo(this, window);
    ASSERT_TRUE(window->HasUnsavedChanges());
    BMessage save(B_SAVE_REQUESTED);
    entry_ref directory(notes.c_str());
    save.AddRef("directory", &directory);
    save.AddString("name", "x.lib");
    window->PostMessage(&save);
    RunPendingEvents();
    ASSERT_EQ(4u, alerts.size());
    EXPECT_EQ(0u, alerts[3].text.find("Could not save " + notes + "/x.lib")) << alerts[3].text;
    EXPECT_TRUE(IsOpen(window));
    EXPECT_TRUE(window->HasUnsavedChanges());
    EXPECT_EQ("no patches here\n", ReadAll(notes));
}

TEST_F(LibrarianWindowTest, SendsSkipReadOnlyBanksAndASelectionWithoutPatchesIsTheBank)
{
    LbDeviceI* device = AddMorpheus();
    LbDeviceManageWindow* window = ManageWindow(device);
    auto* banks = Child<QListWidget>(window, "BankList");
    banks->setCurrentRow(3);
    RunPendingEvents();
    Post(window, LB_DMW_RECEIVE_SELECTED);
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ("Requesting 16 patches...", window->LastStatusText());
    EXPECT_EQ(16, CountFilled(window->DeviceSnapshot()));

    // The ROM bank is read-only: "Send All" leaves it out, sending it alone is refused.
    Post(window, LB_DMW_SEND_ALL);
    ASSERT_TRUE(WaitIdle(window));
    EXPECT_EQ("Sending 272 patches...", window->LastStatusText());
    float maximum = 0;
    EXPECT_EQ(272.0f, window->LastProgressEnd(&maximum));
    EXPECT_EQ(272.0f, maximum);
    banks->setCurrentRow(1);
    RunPendingEvents();
    Post(window, LB_DMW_SEND_SELECTED);
    EXPECT_FALSE(window->IsRunning());
    EXPECT_EQ("Bank Preset - ROM is read-only on the instrument", window->MessageText());
    EXPECT_TRUE(alerts.empty());
}

TEST_F(LibrarianWindowTest, ANewWindowForADeviceThatDoesNotAnswerIsRefused)
{
    LbDeviceI* device = addons->AddonAt(0)->NewDevice();
    studio->AddDevice(device, "Nowhere", "Nowhere");
    ASSERT_NE(B_OK, device->InitCheck());
    LbDeviceManageWindow* window = NewWindow();
    BMessage open(LB_DMW_NEW);
    open.AddPointer("LbDeviceI", device);
    window->PostMessage(&open);
    RunPendingEvents();
    ASSERT_EQ(1u, alerts.size());
    EXPECT_EQ("E-mu Morpheus is not properly initialized", alerts[0].text);
    EXPECT_TRUE(host.newWindows.empty());
}

TEST_F(LibrarianWindowTest, ADeviceLeavingTheStudioClosesItsWindowsAfterAskingAboutChanges)
{
    LbDeviceI* device = AddMorpheus();
    LbDeviceI* other = AddMorpheus();
    LbDeviceManageWindow* window = ManageWindow(device);
    ReceiveTwo(this, window);
    BMessage removed('aDiR');
    removed.AddPointer("LbDeviceI", other);
    window->PostMessage(&removed);
    RunPendingEvents();
    EXPECT_TRUE(IsOpen(window));
    EXPECT_TRUE(alerts.empty());

    removed.ReplacePointer("LbDeviceI", device);
    answers = {LB_DMW_CANCEL};
    window->PostMessage(&removed);
    RunPendingEvents();
    ASSERT_EQ(1u, alerts.size());
    EXPECT_EQ("Save changes to \"untitled\"?", alerts[0].text);
    EXPECT_TRUE(IsOpen(window));
    answers = {LB_DMW_NO};
    window->PostMessage(&removed);
    RunPendingEvents();
    EXPECT_FALSE(IsOpen(window));
}

TEST_F(LibrarianWindowTest, QuitAsksTheApplicationWhichClosesTheWindows)
{
    LbDeviceManageWindow* first = ManageWindow(AddMorpheus());
    LbDeviceManageWindow* second = NewWindow();
    Post(first, LB_DMW_QUIT);
    EXPECT_TRUE(RunEventsUntil([&] { return !IsOpen(first) && !IsOpen(second); }, 10));
    EXPECT_TRUE(alerts.empty());
}
