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
#include "storage/DataIO.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

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
