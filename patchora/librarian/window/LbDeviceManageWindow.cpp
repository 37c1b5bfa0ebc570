#include "librarian/window/LbDeviceManageWindow.h"

#include "app/AppDefs.h"
#include "app/LbXmlStream.h"
#include "app/Message.h"
#include "app/Messenger.h"
#include "interface/Alert.h"
#include "interface/Application.h"
#include "interface/Clipboard.h"
#include "interface/FilePanel.h"
#include "kernel/EntryRef.h"
#include "librarian/LbBankI.h"
#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbData.h"
#include "librarian/LbDeviceSnapshot.h"
#include "librarian/LbDeviceTag.h"
#include "librarian/LbLibrarian.h"
#include "librarian/LbPatchI.h"
#include "librarian/LbStatus.h"
#include "app/window/LbWindowState.h"
#include "controls/LbMessageArea.h"
#include "support/window/OrbView.h"
#include "librarian/window/LbDmwHostI.h"
#include "librarian/window/LbDmwRules.h"
#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiStudio.h"
#include "storage/BufferIO.h"
#include "storage/DataIO.h"
#include "storage/File.h"
#include "storage/MimeType.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QScrollBar>
#include <QTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// The window's own messages.
constexpr uint32 kMsgStatus = 'aSts'; // the status sink changed
constexpr uint32 kMsgWorkEnded = 'aEnd'; // the worker took its last step
constexpr uint32 kMsgOpened = 'aOpd'; // "LbDeviceSnapshotI" (owned), "path", "offline", "problem"s
constexpr uint32 kMsgImport = 'aImp'; // "bytes" (B_RAW_TYPE), "path"
constexpr uint32 kMsgPatchSelection = 'aPSl'; // the patch list's selection changed

constexpr int kPatchRole = Qt::UserRole; // the item's LbPatchI*
constexpr int kNumberRole = Qt::UserRole + 1; // the item's patch number
constexpr bigtime_t kEndPostTimeout = 10000000;
constexpr float kProgressSteps = 100;
// While patches stream in (a receive from a fast instrument brings dozens a millisecond),
// the patch list is painted at most this often instead of after every few of them.
constexpr int kStreamPaintMilliseconds = 40;

// A pointer the window gets in messages, as an item keeps it.
template <typename T> T* ItemPointer(const QListWidgetItem* item, int role)
{
    return item ? reinterpret_cast<T*>(item->data(role).value<quintptr>()) : nullptr;
}

// Drops of files on the window arrive as the refs the desktop would send.
class DropFilter : public QObject {
public:
    DropFilter(BWindow* window, QObject* parent) : QObject(parent), mWindow(window) { }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::DragEnter) {
            auto* drag = static_cast<QDragEnterEvent*>(event);
            if (drag->mimeData()->hasUrls()) drag->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            BMessage refs(B_REFS_RECEIVED);
            for (const QUrl& url : drop->mimeData()->urls()) {
                if (!url.isLocalFile()) continue;
                entry_ref ref(url.toLocalFile().toUtf8().constData());
                refs.AddRef("refs", &ref);
            }
            mWindow->PostMessage(&refs);
            drop->acceptProposedAction();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    BWindow* mWindow;
};

// The first studio device of each device model: where documents of that model open.
struct ModelDevice {
    LbDeviceAddonI* addon;
    LbDeviceI* device; // null: none in the studio
};

std::vector<ModelDevice> ModelDevices()
{
    std::vector<ModelDevice> models;
    LbDmwHostI* host = LbDmwHost();
    LbDeviceAddons* addons = host ? host->Addons() : nullptr;
    LbMidiStudio* studio = host ? host->Studio() : nullptr;
    for (int32 i = 0; addons && i < addons->CountAddons(); i++) {
        LbDeviceAddonI* addon = addons->AddonAt(i);
        LbDeviceI* device = nullptr;
        for (int32 d = 0; studio && d < studio->CountDevices() && device == nullptr; d++)
            if (studio->DeviceAt(d)->Addon() == addon) device = studio->DeviceAt(d);
        models.push_back({addon, device});
    }
    return models;
}

// Reads files on the open worker, the last first, into new snapshots that it hands to the
// window (kMsgOpened), and raw SysEx bytes that the window imports into the snapshot it
// shows (kMsgImport): the window alone changes what it shows. A library opens on the
// studio's device of its model, else on an offline one of the window's own.
class FileReader {
public:
    FileReader(LbDeviceManageWindow* window, LbMidiStudio* offline, std::vector<ModelDevice> models,
               bool hasSnapshot)
        : mWindow(window), mSelf(nullptr, window), mOffline(offline), mModels(std::move(models)),
          mHasSnapshot(hasSnapshot)
    {
    }

    status_t Read(const std::vector<std::string>& paths)
    {
        mWindow->BeginStatus("Opening file...");
        status_t result = B_OK;
        for (auto it = paths.rbegin(); it != paths.rend(); ++it) {
            const char* path = it->c_str();
            std::string type = LbFileType(path);
            status_t status = B_OK;
            if (type == LB_PATCHES_MIME_TYPE)
                status = ReadLibrary(path);
            else if (type == LB_SYX_MIME_TYPE)
                status = ReadRaw(path);
            if (result == B_OK) result = status;
        }
        return result;
    }

private:
    status_t ReadLibrary(const char* path)
    {
        BMessage opened(kMsgOpened);
        opened.AddString("path", path);
        BFile file(path, B_READ_ONLY);
        off_t size = 0;
        file.GetSize(&size);
        BBufferIO buffered(&file, 65536, false);
        LbXmlStream stream(&buffered);
        mWindow->BeginProgress(float(size));
        stream.SetStatusWormhole(mWindow);
        LbData maker, model;
        LbDeviceAddonI* addon = nullptr;
        if (file.InitCheck() == B_OK && LbReadDeviceTag(&stream, &maker, &model) == LB_DEVICE_TAG)
            for (const ModelDevice& m : mModels)
                if (addon == nullptr && LbIsAddonsModel(m.addon, maker, model)) addon = m.addon;
        if (addon == nullptr) {
            std::string why = file.InitCheck() != B_OK
                ? std::string("cannot be read: ") + strerror_status(file.InitCheck())
                : "is no patch library of an instrument model patchora knows";
            opened.AddString("problem", why.c_str());
            Post(&opened);
            mWindow->EndProgress();
            return B_BAD_DATA;
        }
        bool offline = false;
        auto* snapshot = new LbDeviceSnapshot(DeviceFor(addon, &offline));
        snapshot->ReadFrom(&stream, nullptr, nullptr);
        for (const LbXmlProblem& problem : stream.Problems()) {
            std::string text = "line " + std::to_string(problem.line) + ", " + problem.element +
                ": " + problem.what;
            opened.AddString("problem", text.c_str());
        }
        opened.AddPointer("LbDeviceSnapshotI", static_cast<LbDeviceSnapshotI*>(snapshot));
        opened.AddBool("offline", offline);
        Post(&opened);
        mHasSnapshot = true;
        mWindow->EndProgress();
        return B_OK;
    }

    status_t ReadRaw(const char* path)
    {
        std::string bytes;
        status_t status = LbReadFile(path, &bytes);
        if (status != B_OK) return status;
        if (!mHasSnapshot && !mModels.empty()) {
            // Nothing shown yet: the raw file opens on the first device model.
            bool offline = false;
            BMessage opened(kMsgOpened);
            opened.AddPointer("LbDeviceSnapshotI",
                              static_cast<LbDeviceSnapshotI*>(new LbDeviceSnapshot(
                                  DeviceFor(mModels.front().addon, &offline))));
            opened.AddBool("offline", offline);
            Post(&opened);
            mHasSnapshot = true;
        }
        BMessage import(kMsgImport);
        import.AddData("bytes", B_RAW_TYPE, bytes.data(), ssize_t(bytes.size()));
        import.AddString("path", path);
        Post(&import);
        return B_OK;
    }

    LbDeviceI* DeviceFor(LbDeviceAddonI* addon, bool* offline)
    {
        for (const ModelDevice& model : mModels)
            if (model.addon == addon && model.device) {
                *offline = false;
                return model.device;
            }
        *offline = true;
        for (int32 d = 0; d < mOffline->CountDevices(); d++)
            if (mOffline->DeviceAt(d)->Addon() == addon) return mOffline->DeviceAt(d);
        LbDeviceI* device = addon->NewDevice();
        mOffline->AddDevice(device, nullptr, nullptr);
        return device;
    }

    void Post(BMessage* message) { mSelf.SendMessage(message, BMessenger(), kEndPostTimeout); }

    LbDeviceManageWindow* mWindow; // its status sink only
    BMessenger mSelf;
    LbMidiStudio* mOffline; // the window's offline devices
    std::vector<ModelDevice> mModels;
    bool mHasSnapshot;
};

} // namespace

// What the workers report, kept for the window, which shows it on its own thread.
struct LbDeviceManageWindow::Status {
    std::mutex lock;
    std::string text;
    bool progressOn = false;
    float maximum = 0;
    float value = 0;
    std::string lastText; // the last text that was not empty
    float endedValue = -1; // where the last progress stood when it ended
    float endedMaximum = 0;
    bool posted = false; // a kMsgStatus is on its way
    int32 postedStep = -1; // the progress step last handed to the window
    float shownMaximum = -1; // the progress the message area shows; -1: none (GUI thread)
};

LbDeviceManageWindow::LbDeviceManageWindow(BRect frame)
    : OrbLookPolicyWindow(frame, "Manage", B_DOCUMENT_WINDOW, B_ASYNCHRONOUS_CONTROLS),
      mStatus(new Status)
{
    LbDmwHostI* host = LbDmwHost();
    mLibrarian = std::make_unique<LbLibrarian>(host ? host->Studio() : nullptr, this);
    mLibrarian->SetEndHandler([this] {
        BMessage ended(kMsgWorkEnded);
        BMessenger(nullptr, this).SendMessage(&ended, BMessenger(), kEndPostTimeout);
    });
    BuildWidgets();
    BuildMenus();
    if (host && host->Studio()) host->Studio()->AddDependent(LB_NOTIFY_DEVICE_ADDED, this);
    UpdateTitle();
    UpdateCounts();
    UpdateMenus();
}

LbDeviceManageWindow::~LbDeviceManageWindow()
{
    mLibrarian->WaitForWorker();
    LbDmwHostI* host = LbDmwHost();
    if (host && host->Studio()) host->Studio()->RemoveDependent(LB_NOTIFY_DEVICE_ADDED, this);
    Listen(false);
    delete mLibrarian->ReleaseDeviceSnapshot();
    mRetired.clear();
    // The offline devices go after the snapshots that use their banks.
    if (mOffline) mOffline->PreDelete();
    mOffline.reset();
}

// ---------------------------------------------------------------- widgets

void LbDeviceManageWindow::BuildWidgets()
{
    QWidget* top = Widget();
    top->setAcceptDrops(true);
    top->installEventFilter(new DropFilter(this, top));

    mBankList = new QListWidget;
    mBankList->setObjectName("BankList");
    mBankList->setSelectionMode(QAbstractItemView::SingleSelection);
    mBankList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mPatchList = new QListWidget;
    mPatchList->setObjectName("PatchList");
    mPatchList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    mPatchList->setUniformItemSizes(true);
    mPatchList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mBankCount = new QLabel;
    mBankCount->setObjectName("BankCount");
    mPatchCount = new QLabel;
    mPatchCount->setObjectName("PatchCount");
    QObject::connect(mBankList, &QListWidget::itemSelectionChanged, top,
                     [this] { PostMessage(LB_DMW_BANK_SELECTED); });
    QObject::connect(mPatchList, &QListWidget::itemSelectionChanged, top,
                     [this] { PostMessage(kMsgPatchSelection); });
    QObject::connect(mPatchList, &QListWidget::itemDoubleClicked, top, [this] {
        if (mItems[LB_DMW_EDIT_PATCH]->isEnabled()) PostMessage(LB_DMW_EDIT_PATCH);
    });

    mMessageArea = new LbMessageArea(nullptr, "MessageArea", 120, LbMessageArea::kBorderTop);

    auto* lists = new QGridLayout;
    mListsLayout = lists;
    lists->setSpacing(4);
    lists->addWidget(new QLabel("Banks"), 0, 0);
    lists->addWidget(new QLabel("Patches"), 0, 1);
    lists->addWidget(mBankList, 1, 0);
    lists->addWidget(mPatchList, 1, 1);
    lists->addWidget(mBankCount, 2, 0);
    lists->addWidget(mPatchCount, 2, 1);
    lists->setColumnStretch(0, 2);
    lists->setColumnStretch(1, 3);
    lists->setRowStretch(1, 1);

    auto* area = new QHBoxLayout;
    area->setContentsMargins(6, 2, 6, 2);
    area->addWidget(mMessageArea, 1);

    // The menu bar across the top of the window; the lists and the message area on the
    // background view that fills the rest.
    auto* menuBar = new QMenuBar;
    menuBar->setObjectName("MenuBar");
    menuBar->setNativeMenuBar(false);
    top->layout()->setMenuBar(menuBar);
    auto* column = new QVBoxLayout(Background());
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 6, 8, 4);
    body->addLayout(lists, 1);
    column->addLayout(body, 1);
    column->addLayout(area);
}

QAction* LbDeviceManageWindow::AddItem(QMenu* menu, const char* label, uint32 code, char key)
{
    QAction* action = menu->addAction(QString::fromUtf8(label));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(key)));
    QObject::connect(action, &QAction::triggered, Widget(), [this, code] { PostMessage(code); });
    mItems[code] = action;
    return action;
}

void LbDeviceManageWindow::BuildMenus()
{
    auto* bar = Widget()->findChild<QMenuBar*>("MenuBar");
    QMenu* file = bar->addMenu("File");
    file->setObjectName("File");
    mNewMenu = file->addMenu("New");
    mNewMenu->setObjectName("New");
    AddItem(file, "Open", LB_DMW_OPEN, 'O');
    AddItem(file, "Save As...", LB_DMW_SAVE_AS, 'A');
    file->addSeparator();
    AddItem(file, "Quit", LB_DMW_QUIT, 'Q');

    QMenu* edit = bar->addMenu("Edit");
    edit->setObjectName("Edit");
    AddItem(edit, "Copy", LB_DMW_COPY, 'C');
    AddItem(edit, "Paste", LB_DMW_PASTE, 'V');
    edit->addSeparator();
    AddItem(edit, "Patch", LB_DMW_EDIT_PATCH, 'I');

    QMenu* midi = bar->addMenu("MIDI");
    midi->setObjectName("MIDI");
    AddItem(midi, "Send All", LB_DMW_SEND_ALL, 'S');
    AddItem(midi, "Send Selected", LB_DMW_SEND_SELECTED, 'D');
    AddItem(midi, "Receive All", LB_DMW_RECEIVE_ALL, 'R');
    AddItem(midi, "Receive Selected", LB_DMW_RECEIVE_SELECTED, 'U');

    QMenu* tools = bar->addMenu("Tools");
    tools->setObjectName("Tools");
    AddItem(tools, "Open Playback Controls", LB_DMW_PLAYBACK, 'P');
    AddItem(tools, "Open Studio", LB_DMW_STUDIO, 'M');
}

// ---------------------------------------------------------------- showing

LbDeviceSnapshotI* LbDeviceManageWindow::DeviceSnapshot() const
{
    return mLibrarian->DeviceSnapshot();
}

const std::string& LbDeviceManageWindow::FilePath() const
{
    return mLibrarian->FilePath();
}

bool LbDeviceManageWindow::HasUnsavedChanges() const
{
    auto* snapshot = dynamic_cast<LbDeviceSnapshot*>(DeviceSnapshot());
    return mUnsavedBesides || (snapshot != nullptr && snapshot->IsModified());
}

void LbDeviceManageWindow::Listen(bool listen)
{
    LbDeviceSnapshotI* snapshot = DeviceSnapshot();
    if (snapshot == nullptr) return;
    for (LbBankSnapshotI* bank : snapshot->Snapshots()) {
        if (listen)
            bank->AddDependent(LB_NOTIFY_PATCH_INSTALLED, this);
        else
            bank->RemoveDependent(LB_NOTIFY_PATCH_INSTALLED, this);
    }
}

void LbDeviceManageWindow::SetDeviceSnapshot(LbDeviceSnapshotI* snapshot, bool offline)
{
    if (snapshot == nullptr) return;
    Listen(false);
    mPatchList->clear();
    mBankList->clear();
    if (LbDeviceSnapshotI* old = mLibrarian->ReleaseDeviceSnapshot()) mRetired.emplace_back(old);
    mLibrarian->SetDeviceSnapshot(snapshot);
    mOfflineDevice = offline ? snapshot->Device() : nullptr;
    mUnsavedBesides = false;
    mShownPatches.clear();
    if (snapshot->HasDevice()) {
        // The window's own list of each bank's patches, kept by 'dPtA' from here on: the
        // bank snapshots' lists change on the MIDI input thread while a worker runs.
        for (LbBankSnapshotI* bank : snapshot->Snapshots()) mShownPatches[bank] = bank->Patches();
        FillBanks();
        Listen(true);
    }
    UpdateTitle();
    UpdateCounts();
    if (mBankList->count() > 0) mBankList->setCurrentRow(0);
    FillPatches();
    UpdateMenus();
    if (offline) SayWhyOffline();
}

void LbDeviceManageWindow::SayWhyOffline()
{
    LbDeviceI* device = mOfflineDevice;
    const char* name = device && device->Addon() ? device->Addon()->Name() : "its instrument";
    std::lock_guard<std::mutex> lock(mStatus->lock);
    mStatus->text = std::string("The studio has no ") + name +
        ": this library is shown offline; add one in the studio to send and receive.";
    if (!mStatus->posted) {
        mStatus->posted = true;
        PostMessage(kMsgStatus);
    }
}

void LbDeviceManageWindow::UpdateTitle()
{
    LbDeviceSnapshotI* snapshot = DeviceSnapshot();
    LbDeviceI* device = snapshot ? snapshot->Device() : nullptr;
    LbDeviceAddonI* addon = device ? device->Addon() : nullptr;
    if (addon == nullptr) {
        SetTitle(LbDmwTitle("", "", FilePath()).c_str());
        return;
    }
    SetTitle(LbDmwTitle(addon->ManufacturerName(), addon->ModelName(), FilePath()).c_str());
}

void LbDeviceManageWindow::FillBanks()
{
    for (LbBankSnapshotI* bank : DeviceSnapshot()->Snapshots()) {
        const char* name = bank->Bank() ? bank->Bank()->Name() : nullptr;
        auto* item = new QListWidgetItem(QString::fromUtf8(name ? name : "<error>"));
        item->setData(kPatchRole, QVariant::fromValue(reinterpret_cast<quintptr>(bank)));
        mBankList->addItem(item);
    }
    // As wide as the longest bank name.
    mBankWidth = mBankList->sizeHintForColumn(0) + 2 * mBankList->frameWidth() + 8;
    FitLists();
}

void LbDeviceManageWindow::FitLists()
{
    // The lists share the width as they need it...
    if (mBankWidth > 0 && mPatchWidth > 0) {
        mListsLayout->setColumnStretch(0, mBankWidth);
        mListsLayout->setColumnStretch(1, mPatchWidth);
    }
    // ...and the window grows until both have what they need, unless it stands where the
    // user left it (a frame from the window state).
    if (mFrameRestored) return;
    QWidget* top = Widget();
    Background()->layout()->activate();
    top->layout()->activate();
    int missing = std::max(0, mBankWidth - mBankList->width()) +
        std::max(0, mPatchWidth - mPatchList->width());
    if (missing > 0) top->resize(top->width() + missing, top->height());
}

LbBankSnapshotI* LbDeviceManageWindow::SelectedBank() const
{
    QList<QListWidgetItem*> selected = mBankList->selectedItems();
    if (selected.size() != 1) return nullptr;
    return ItemPointer<LbBankSnapshotI>(selected.front(), kPatchRole);
}

std::vector<LbPatchI*> LbDeviceManageWindow::SelectedPatches() const
{
    // In list order, which is number order.
    std::vector<LbPatchI*> patches;
    for (int row = 0; row < mPatchList->count(); row++) {
        QListWidgetItem* item = mPatchList->item(row);
        if (item->isSelected()) patches.push_back(ItemPointer<LbPatchI>(item, kPatchRole));
    }
    return patches;
}

void LbDeviceManageWindow::FillPatches()
{
    LbBankSnapshotI* bank = SelectedBank();
    if (mPatchList->property("bank").value<quintptr>() == reinterpret_cast<quintptr>(bank) &&
        bank != nullptr)
        return;
    mPatchList->clear();
    mPatchList->setProperty("bank", QVariant::fromValue(reinterpret_cast<quintptr>(bank)));
    if (bank != nullptr) {
        for (LbPatchI* patch : mShownPatches[bank]) {
            auto* item = new QListWidgetItem(
                QString::fromUtf8(LbDmwPatchLabel(patch->Number(), patch->Name()).c_str()));
            item->setData(kPatchRole, QVariant::fromValue(reinterpret_cast<quintptr>(patch)));
            item->setData(kNumberRole, patch->Number());
            mPatchList->addItem(item);
        }
        // Wide enough for the bank's numbers and a full name (a model's names are of
        // fixed length), so that none is cut; the window grows to it.
        QFontMetrics metrics(mPatchList->font());
        QString widest = QString::number(bank->Bank()->Maximum()) + " " + QString(12, QChar('M'));
        int width = metrics.horizontalAdvance(widest) +
            mPatchList->verticalScrollBar()->sizeHint().width() + 2 * mPatchList->frameWidth() + 8;
        if (width > mPatchWidth) {
            mPatchWidth = width;
            FitLists();
        }
    }
    UpdateCounts();
    UpdateMenus();
}

void LbDeviceManageWindow::UpdateCounts()
{
    auto count = [](QListWidget* list) {
        long selected = list->selectedItems().size();
        return selected > 0 ? LbDmwCountText(selected, true) : LbDmwCountText(list->count(), false);
    };
    mBankCount->setText(QString::fromStdString(count(mBankList)));
    mPatchCount->setText(QString::fromStdString(count(mPatchList)));
}

void LbDeviceManageWindow::UpdateMenus()
{
    LbDmwHostI* host = LbDmwHost();
    LbMidiStudio* studio = host ? host->Studio() : nullptr;
    LbDmwEnabling e =
        LbDmwMenuEnabling(mRunning, DeviceSnapshot() != nullptr, mOfflineDevice == nullptr,
                          studio ? studio->CountDevices() : 0);
    mItems[LB_DMW_OPEN]->setEnabled(e.open);
    mItems[LB_DMW_SAVE_AS]->setEnabled(e.saveAs);
    mItems[LB_DMW_QUIT]->setEnabled(e.quit);
    mItems[LB_DMW_COPY]->setEnabled(e.copy);
    mItems[LB_DMW_PASTE]->setEnabled(e.paste);
    mItems[LB_DMW_EDIT_PATCH]->setEnabled(e.patch);
    for (uint32 code :
         {LB_DMW_SEND_ALL, LB_DMW_SEND_SELECTED, LB_DMW_RECEIVE_ALL, LB_DMW_RECEIVE_SELECTED})
        mItems[code]->setEnabled(e.midi);
    mItems[LB_DMW_PLAYBACK]->setEnabled(e.playback);
    mItems[LB_DMW_STUDIO]->setEnabled(e.studio);

    // "New": one item per studio device.
    mNewMenu->clear();
    for (int32 i = 0; studio && i < studio->CountDevices(); i++) {
        LbDeviceI* device = studio->DeviceAt(i);
        const char* name = device->Addon() ? device->Addon()->Name() : nullptr;
        QAction* action = mNewMenu->addAction(QString::fromUtf8(name ? name : "<error>"));
        QObject::connect(action, &QAction::triggered, Widget(), [this, device] {
            BMessage message(LB_DMW_NEW);
            message.AddPointer("LbDeviceI", device);
            PostMessage(&message);
        });
    }
    mNewMenu->setEnabled(e.newWindow);

    LbBankSnapshotI* bank = SelectedBank();
    const char* bankName = bank && bank->Bank() ? bank->Bank()->Name() : nullptr;
    std::string what = LbDmwSelectionName(long(mPatchList->selectedItems().size()), bankName);
    mItems[LB_DMW_SEND_SELECTED]->setText(QString::fromStdString("Send " + what));
    mItems[LB_DMW_RECEIVE_SELECTED]->setText(QString::fromStdString("Receive " + what));
}

void LbDeviceManageWindow::HoldListPaints()
{
    if (!mPatchList->viewport()->updatesEnabled()) return;
    mPatchList->viewport()->setUpdatesEnabled(false);
    QTimer::singleShot(kStreamPaintMilliseconds, mPatchList,
                       [list = mPatchList] { list->viewport()->setUpdatesEnabled(true); });
}

void LbDeviceManageWindow::PatchArrived(BMessage* message)
{
    LbBankSnapshotI* bank = nullptr;
    LbPatchI* patch = nullptr;
    if (message->FindPointer("LbBankSnapshotI", &bank) != B_OK ||
        message->FindPointer("LbPatchI", &patch) != B_OK || bank == nullptr || patch == nullptr)
        return;
    // A retired snapshot's patches are still alive, but no more shown.
    auto shown = mShownPatches.find(bank);
    if (shown == mShownPatches.end()) return;
    int32 number = patch->Number();
    std::vector<LbPatchI*>& patches = shown->second;
    auto place = std::lower_bound(patches.begin(), patches.end(), number,
                                  [](const LbPatchI* p, int32 n) { return p->Number() < n; });
    if (place != patches.end() && (*place)->Number() == number)
        *place = patch;
    else
        patches.insert(place, patch);
    if (bank != SelectedBank()) return;
    QString label = QString::fromUtf8(LbDmwPatchLabel(number, patch->Name()).c_str());
    int count = mPatchList->count();
    // Numbers are contiguous in a bank: the row is found from the first one.
    int row = count > 0 ? number - mPatchList->item(0)->data(kNumberRole).toInt() : -1;
    if (row < 0 || row >= count || mPatchList->item(row)->data(kNumberRole).toInt() != number) {
        row = -1;
        for (int i = 0; i < count && row < 0; i++)
            if (mPatchList->item(i)->data(kNumberRole).toInt() == number) row = i;
    }
    HoldListPaints();
    if (row >= 0) {
        QListWidgetItem* item = mPatchList->item(row);
        item->setText(label);
        item->setData(kPatchRole, QVariant::fromValue(reinterpret_cast<quintptr>(patch)));
        return;
    }
    // A number the list lacks goes in its place by number.
    int at = 0;
    while (at < count && mPatchList->item(at)->data(kNumberRole).toInt() < number) at++;
    auto* item = new QListWidgetItem(label);
    item->setData(kPatchRole, QVariant::fromValue(reinterpret_cast<quintptr>(patch)));
    item->setData(kNumberRole, number);
    mPatchList->insertItem(at, item);
    UpdateCounts();
}

// ---------------------------------------------------------------- status sink

void LbDeviceManageWindow::BeginStatus(const char* text)
{
    std::lock_guard<std::mutex> lock(mStatus->lock);
    mStatus->text = text ? text : "";
    if (!mStatus->text.empty()) mStatus->lastText = mStatus->text;
    if (!mStatus->posted) mStatus->posted = PostMessage(kMsgStatus) == B_OK;
}

void LbDeviceManageWindow::EndStatus(const char* text)
{
    BeginStatus(text);
}

void LbDeviceManageWindow::BeginProgress(float maximum)
{
    std::lock_guard<std::mutex> lock(mStatus->lock);
    mStatus->progressOn = true;
    mStatus->maximum = maximum > 0 ? maximum : 0;
    mStatus->value = 0;
    mStatus->postedStep = 0;
    if (!mStatus->posted) mStatus->posted = PostMessage(kMsgStatus) == B_OK;
}

float LbDeviceManageWindow::ProgressMax()
{
    std::lock_guard<std::mutex> lock(mStatus->lock);
    return mStatus->progressOn ? mStatus->maximum : 0;
}

void LbDeviceManageWindow::MoveProgressBy(float step)
{
    float value;
    {
        std::lock_guard<std::mutex> lock(mStatus->lock);
        value = mStatus->value + step;
    }
    MoveProgressTo(value);
}

void LbDeviceManageWindow::MoveProgressTo(float value)
{
    std::lock_guard<std::mutex> lock(mStatus->lock);
    mStatus->value = std::clamp(value, 0.0f, mStatus->maximum);
    // The bar shows a few hundred steps at most: finer moves wait for the next visible one,
    // so that a long receive does not keep the window busy with each patch.
    int32 step =
        mStatus->maximum > 0 ? int32(mStatus->value * kProgressSteps / mStatus->maximum) : 0;
    if (step == mStatus->postedStep) return;
    mStatus->postedStep = step;
    if (!mStatus->posted) mStatus->posted = PostMessage(kMsgStatus) == B_OK;
}

void LbDeviceManageWindow::EndProgress()
{
    std::lock_guard<std::mutex> lock(mStatus->lock);
    if (mStatus->progressOn) {
        mStatus->endedValue = mStatus->value;
        mStatus->endedMaximum = mStatus->maximum;
    }
    mStatus->progressOn = false;
    mStatus->value = 0;
    if (!mStatus->posted) mStatus->posted = PostMessage(kMsgStatus) == B_OK;
}

void LbDeviceManageWindow::ApplyStatus()
{
    std::string text;
    bool on;
    float maximum, value;
    {
        std::lock_guard<std::mutex> lock(mStatus->lock);
        mStatus->posted = false;
        text = mStatus->text;
        on = mStatus->progressOn;
        maximum = mStatus->maximum;
        value = mStatus->value;
    }
    mMessageArea->SetMessage(text.c_str());
    if (!on) {
        if (mStatus->shownMaximum >= 0) mMessageArea->EndProgress();
        mStatus->shownMaximum = -1;
        return;
    }
    if (mStatus->shownMaximum != maximum) mMessageArea->BeginProgress(maximum);
    mStatus->shownMaximum = maximum;
    mMessageArea->MoveProgressTo(value);
}

std::string LbDeviceManageWindow::MessageText() const
{
    return mMessageArea->Message().toStdString();
}

std::string LbDeviceManageWindow::LastStatusText() const
{
    std::lock_guard<std::mutex> lock(mStatus->lock);
    return mStatus->lastText;
}

float LbDeviceManageWindow::LastProgressEnd(float* maximum) const
{
    std::lock_guard<std::mutex> lock(mStatus->lock);
    if (maximum) *maximum = mStatus->endedMaximum;
    return mStatus->endedValue;
}

// ---------------------------------------------------------------- messages

void LbDeviceManageWindow::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case LB_MSG_POPULATE: {
        LbDeviceSnapshotI* snapshot = nullptr;
        if (message->FindPointer("LbDeviceSnapshotI", &snapshot) == B_OK && snapshot != nullptr) {
            if (mRunning) {
                // Not while a worker uses the snapshot shown: it is kept, as retired.
                mRetired.emplace_back(snapshot);
                printf("LbDeviceManageWindow: a snapshot arrived while a worker runs; not shown\n");
                break;
            }
            SetDeviceSnapshot(snapshot, false);
        }
        break;
    }
    case B_REFS_RECEIVED:
        StartOpen(message);
        break;
    case LB_MSG_SIGNIFICANT:
        message->AddBool("significant", true);
        break;
    case LB_MSG_WRITE_STATE: {
        LbXmlStreamI* stream = nullptr;
        if (message->FindPointer("LbXmlStreamI", &stream) == B_OK && stream) WriteState(stream);
        break;
    }
    case LB_MSG_READ_STATE: {
        LbXmlStreamI* stream = nullptr;
        if (message->FindPointer("LbXmlStreamI", &stream) == B_OK && stream) ReadState(stream);
        break;
    }
    case LB_MSG_PATCH_INSTALLED:
        PatchArrived(message);
        break;
    case LB_MSG_DEVICE_REMOVED:
        DeviceRemoved(message);
        break;
    case LB_MSG_DEVICE_ADDED:
        DeviceAdded(message);
        break;
    case LB_DMW_BANK_SELECTED:
        FillPatches();
        UpdateCounts();
        UpdateMenus();
        break;
    case kMsgPatchSelection:
        UpdateCounts();
        UpdateMenus();
        break;
    case kMsgStatus:
        ApplyStatus();
        break;
    case kMsgWorkEnded:
        WorkEnded();
        break;
    case kMsgOpened:
        OpenedDocument(message);
        break;
    case kMsgImport:
        ImportBytes(message);
        break;
    case LB_DMW_SEND_ALL:
        StartPatchThread(LB_PATCH_SEND, true);
        break;
    case LB_DMW_SEND_SELECTED:
        StartPatchThread(LB_PATCH_SEND, false);
        break;
    case LB_DMW_RECEIVE_ALL:
        StartPatchThread(LB_PATCH_REQUEST, true);
        break;
    case LB_DMW_RECEIVE_SELECTED:
        StartPatchThread(LB_PATCH_REQUEST, false);
        break;
    case LB_DMW_COPY:
        Copy();
        break;
    case LB_DMW_PASTE:
        Paste();
        break;
    case LB_DMW_OPEN:
        if (mRunning) break;
        if (!mOpenPanel) {
            BMessenger self(nullptr, this);
            mOpenPanel = std::make_unique<BFilePanel>(B_OPEN_PANEL, &self);
        }
        mOpenPanel->Show();
        break;
    case LB_DMW_SAVE_AS:
        if (!mRunning) ShowSavePanel();
        break;
    case B_SAVE_REQUESTED:
        SaveRequested(message);
        break;
    case LB_DMW_NEW:
        NewWindow(message);
        break;
    case LB_DMW_QUIT:
        mQuittingApplication = true;
        be_app_messenger.SendMessage(B_QUIT_REQUESTED);
        break;
    case LB_DMW_STUDIO:
        if (LbDmwHostI* host = LbDmwHost()) host->ShowStudioWindow();
        break;
    case LB_MSG_ABOUT:
        be_app_messenger.SendMessage(B_ABOUT_REQUESTED);
        break;
    case LB_DMW_EDIT_PATCH:
        printf("LbDeviceManageWindow: there is no patch editor yet\n");
        break;
    case LB_DMW_PLAYBACK:
        printf("LbDeviceManageWindow: there are no playback controls yet\n");
        break;
    default:
        OrbLookPolicyWindow::MessageReceived(message);
        break;
    }
}

// ---------------------------------------------------------------- workers

void LbDeviceManageWindow::StartPatchThread(int32 type, bool all)
{
    if (mRunning || DeviceSnapshot() == nullptr) return;
    if (mOfflineDevice != nullptr) {
        SayWhyOffline();
        return;
    }
    auto kind = PatchThreadType(type);
    std::vector<LbPatchWork> work;
    if (all) {
        work = mLibrarian->WorkForAll(kind);
    } else {
        LbBankSnapshotI* bank = SelectedBank();
        if (bank == nullptr) return;
        if (mLibrarian->WorkForSelection(kind, bank, SelectedPatches(), &work) != B_OK) {
            BeginStatus(
                (std::string("Bank ") + bank->Bank()->Name() + " is read-only on the instrument")
                    .c_str());
            return;
        }
    }
    if (mLibrarian->StartPatchWork(kind, std::move(work)) != B_OK) return;
    mRunning = true;
    UpdateMenus();
}

void LbDeviceManageWindow::StartOpen(const BMessage* message)
{
    std::vector<std::string> paths;
    entry_ref ref;
    for (int32 i = 0; message->FindRef("refs", i, &ref) == B_OK; i++) paths.push_back(ref.path);
    if (paths.empty()) return;
    if (mRunning) {
        // Opened when the work in hand ends, as if dropped then.
        if (!mOpenLater) mOpenLater = std::make_unique<BMessage>(B_REFS_RECEIVED);
        for (int32 i = 0; message->FindRef("refs", i, &ref) == B_OK; i++) mOpenLater->AddRef("refs", &ref);
        return;
    }
    if (!mOffline)
        mOffline = std::make_unique<LbMidiStudio>(LbDmwHost() ? LbDmwHost()->Addons() : nullptr);
    bool hasSnapshot = DeviceSnapshot() != nullptr;
    auto reader = std::make_shared<FileReader>(this, mOffline.get(), ModelDevices(), hasSnapshot);
    auto work = [reader, paths] { return reader->Read(paths); };
    mOpenProblems.clear();
    if (mLibrarian->StartWorker("ORB\u2122 Open", work) != B_OK) return;
    mRunning = true;
    UpdateMenus();
}

void LbDeviceManageWindow::OpenedDocument(BMessage* message)
{
    const char* path = nullptr;
    message->FindString("path", &path);
    const char* problem = nullptr;
    std::vector<std::string> problems;
    for (int32 i = 0; message->FindString("problem", i, &problem) == B_OK; i++)
        problems.push_back(problem);
    LbDeviceSnapshotI* snapshot = nullptr;
    if (message->FindPointer("LbDeviceSnapshotI", &snapshot) != B_OK || snapshot == nullptr) {
        if (path)
            mOpenProblems.push_back(LbDmwLeafName(path) + " " +
                                    (problems.empty() ? "" : problems.front()));
        return;
    }
    bool offline = false;
    message->FindBool("offline", &offline);
    // The worker is still running, but no more on the snapshot shown.
    SetDeviceSnapshot(snapshot, offline);
    // A damaged document keeps no path, so that saving never overwrites what could not
    // be read with what could.
    mLibrarian->SetFilePath(path && problems.empty() ? path : "");
    UpdateTitle();
    if (!problems.empty()) {
        std::string text =
            LbDmwLeafName(path ? path : "") + " is damaged; what could be read is shown:";
        for (size_t i = 0; i < problems.size() && i < 5; i++) text += "\n" + problems[i];
        mOpenProblems.push_back(text);
    }
}

void LbDeviceManageWindow::ImportBytes(BMessage* message)
{
    const void* bytes = nullptr;
    ssize_t length = 0;
    LbDeviceSnapshotI* snapshot = DeviceSnapshot();
    if (snapshot == nullptr || message->FindData("bytes", B_RAW_TYPE, &bytes, &length) != B_OK)
        return;
    LbImportCounts counts;
    LbImportSysEx(static_cast<const uint8*>(bytes), size_t(length), snapshot, &counts);
    const char* path = nullptr;
    message->FindString("path", &path);
    if (counts.taken == 0 && path)
        mOpenProblems.push_back(LbDmwLeafName(path) + " holds no patch of this instrument");
}

void LbDeviceManageWindow::WorkEnded()
{
    mLibrarian->WaitForWorker();
    mRunning = false;
    mPatchList->viewport()->setUpdatesEnabled(true);   // the whole list at once, not later
    ApplyStatus();
    UpdateMenus();
    if (mOfflineDevice) SayWhyOffline();
    if (mOpenLater) {
        PostMessage(mOpenLater.get());
        mOpenLater.reset();
    }
    if (!mOpenProblems.empty()) {
        std::string text;
        for (const std::string& problem : mOpenProblems)
            text += (text.empty() ? "" : "\n") + problem;
        mOpenProblems.clear();
        ShowAlert(AlertRequest {text, B_WARNING_ALERT, "OK"});
    }
    if (mQuitWhenIdle) {
        mQuitWhenIdle = false;
        CloseWithoutDevice();
    }
}

// ---------------------------------------------------------------- clipboard

void LbDeviceManageWindow::Copy()
{
    if (mRunning) return;
    std::vector<LbPatchI*> selected = SelectedPatches();
    // Copying nothing would only empty what the clipboard holds.
    if (selected.empty()) {
        BeginStatus("Select the patches to copy");
        return;
    }
    std::string text;
    if (mLibrarian->Copy(selected, &text) != B_OK || be_clipboard == nullptr) return;
    if (!be_clipboard->Lock()) return;
    be_clipboard->Clear();
    be_clipboard->Data()->AddData(LB_PATCHES_MIME_TYPE, B_MIME_TYPE, text.data(),
                                  ssize_t(text.size()));
    be_clipboard->Commit();
    be_clipboard->Unlock();
}

void LbDeviceManageWindow::Paste()
{
    if (mRunning) return;
    LbBankSnapshotI* bank = SelectedBank();
    std::vector<LbPatchI*> selected = SelectedPatches();
    if (DeviceSnapshot() == nullptr || bank == nullptr || selected.empty() ||
        be_clipboard == nullptr) {
        printf("LbDeviceManageWindow: paste needs a bank and a patch selected\n");
        return;
    }
    if (!be_clipboard->Lock()) return;
    const void* data = nullptr;
    ssize_t length = 0;
    std::string text;
    if (be_clipboard->Data()->FindData(LB_PATCHES_MIME_TYPE, B_MIME_TYPE, &data, &length) == B_OK &&
        length > 0)
        text.assign(static_cast<const char*>(data), size_t(length));
    be_clipboard->Unlock();
    if (text.empty()) {
        BeginStatus("The clipboard holds no patches");
        return;
    }
    mLibrarian->Paste(text, bank, selected.front()->Number());
    UpdateCounts();
}

// ---------------------------------------------------------------- saving

void LbDeviceManageWindow::ShowSavePanel()
{
    if (!mSavePanel) {
        BMessenger self(nullptr, this);
        mSavePanel = std::make_unique<BFilePanel>(B_SAVE_PANEL, &self);
    }
    mSavePanel->SetSaveText(LbDmwLeafName(FilePath()).c_str());
    mSavePanel->Show();
}

void LbDeviceManageWindow::SaveRequested(BMessage* message)
{
    entry_ref directory;
    const char* name = nullptr;
    if (message->FindRef("directory", &directory) != B_OK ||
        message->FindString("name", &name) != B_OK || name[0] == '\0')
        return;
    if (Save(directory.path + "/" + name) && mQuitAfterSave) PostMessage(B_QUIT_REQUESTED);
    mQuitAfterSave = false;
}

bool LbDeviceManageWindow::Save(const std::string& path)
{
    LbDeviceSnapshotI* snapshot = DeviceSnapshot();
    if (snapshot == nullptr || !snapshot->HasDevice()) {
        printf("LbDeviceManageWindow: nothing to save\n");
        return false;
    }
    bool unsaved = HasUnsavedChanges();
    status_t status = mLibrarian->SaveTo(path.c_str());
    if (status != B_OK) {
        // Writing clears the banks' marks even when the file cannot be kept: the window
        // remembers that the changes are not saved.
        mUnsavedBesides = unsaved;
        printf("LbDeviceManageWindow: cannot save %s: %s\n", path.c_str(), strerror_status(status));
        ShowAlert(AlertRequest {"Could not save " + path + ": " + strerror_status(status),
                                B_WARNING_ALERT, "OK"});
        return false;
    }
    mUnsavedBesides = false;
    UpdateTitle();
    return true;
}

// ---------------------------------------------------------------- closing

bool LbDeviceManageWindow::QuitRequested()
{
    LbGlobalsI* globals = Globals();
    bool quitting = mQuittingApplication || (globals && globals->IsQuitting());
    // Without the application's registry nothing quits along with this window.
    int32 significant = globals ? globals->CountSignificantWindows() : 2;
    // (The banks' marks change on the MIDI input thread while a worker runs.)
    bool modified = !mRunning && HasUnsavedChanges();
    switch (LbDmwCloseDecision(mRunning, quitting, significant, modified)) {
    case LbDmwCloseStep::kRefuse:
        mQuittingApplication = false;
        return false;
    case LbDmwCloseStep::kQuitApplication:
        // The application asks every window, this one again, and quits.
        mQuittingApplication = true;
        be_app_messenger.SendMessage(B_QUIT_REQUESTED);
        return false;
    case LbDmwCloseStep::kClose:
        return true;
    case LbDmwCloseStep::kAsk:
        break;
    }
    if (AskToSave()) return true;
    mQuittingApplication = false;
    return false;
}

bool LbDeviceManageWindow::AskToSave()
{
    mQuitAfterSave = false;
    auto* alert = new BAlert("alert", LbDmwCloseQuestion(FilePath()).c_str(), "Yes", "No", "Cancel",
                             B_WIDTH_AS_USUAL, B_WARNING_ALERT);
    alert->SetShortcut(LB_DMW_CANCEL, B_ESCAPE);
    switch (alert->Go()) {
    case LB_DMW_YES:
        if (!FilePath().empty()) return Save(FilePath());
        // The window goes once the save panel's answer is saved.
        mQuitAfterSave = true;
        ShowSavePanel();
        return false;
    case LB_DMW_NO:
        return true;
    default:
        return false;
    }
}

void LbDeviceManageWindow::DeviceRemoved(BMessage* message)
{
    LbDeviceI* device = nullptr;
    LbDeviceSnapshotI* snapshot = DeviceSnapshot();
    if (message->FindPointer("LbDeviceI", &device) != B_OK || snapshot == nullptr ||
        device != snapshot->Device()) {
        UpdateMenus();
        return;
    }
    if (mRunning)
        mQuitWhenIdle = true;
    else
        CloseWithoutDevice();
}

void LbDeviceManageWindow::CloseWithoutDevice()
{
    // Unsaved patches are not lost with the instrument: the user says.
    if (!HasUnsavedChanges() || AskToSave()) Quit();
}

void LbDeviceManageWindow::DeviceAdded(BMessage* message)
{
    UpdateMenus();
    LbDeviceI* device = nullptr;
    if (mOfflineDevice == nullptr || mRunning ||
        message->FindPointer("LbDeviceI", &device) != B_OK || device == nullptr ||
        device->Addon() != mOfflineDevice->Addon())
        return;
    // An instrument of the offline snapshot's model came: the patches move onto it.
    BMallocIO io;
    {
        LbXmlStream stream(&io);
        if (DeviceSnapshot()->WriteTo(&stream, nullptr) < 1) return;
    }
    bool unsaved = HasUnsavedChanges();
    std::string path = FilePath();
    io.Seek(0, SEEK_SET);
    auto* moved = new LbDeviceSnapshot(device);
    LbXmlStream stream(&io);
    LbData maker, model;
    LbReadDeviceTag(&stream, &maker, &model);
    moved->ReadFrom(&stream, nullptr, nullptr);
    SetDeviceSnapshot(moved, false);
    mLibrarian->SetFilePath(path);
    mUnsavedBesides = unsaved;
    UpdateTitle();
    BeginStatus("");
}

void LbDeviceManageWindow::NewWindow(BMessage* message)
{
    LbDeviceI* device = nullptr;
    if (message->FindPointer("LbDeviceI", &device) != B_OK || device == nullptr) return;
    if (device->InitCheck() != B_OK) {
        NotifyUserOfError(LB_NOT_INITIALIZED, device);
        return;
    }
    BWindow* window = nullptr;
    if (LbGlobalsI* globals = Globals()) globals->NewManageWindow(device, &window);
}

// ---------------------------------------------------------------- window state

void LbDeviceManageWindow::WriteState(LbXmlStreamI* stream)
{
    stream->WriteTabs();
    LbBeginWindowState(stream, kLbManageWindowType);
    stream->WriteTabs();
    LbWriteWindowFrame(stream, this);
    stream->WriteCR();
    LbDeviceSnapshotI* snapshot = DeviceSnapshot();
    LbDeviceI* device = snapshot ? snapshot->Device() : nullptr;
    LbDeviceAddonI* addon = device ? device->Addon() : nullptr;
    if (addon && addon->ManufacturerId() && addon->ModelId()) {
        stream->WriteTabs();
        addon->ManufacturerId()->WriteTo(stream, "mfg_id");
        stream->WriteCR();
        stream->WriteTabs();
        addon->ModelId()->WriteTo(stream, "mod_id");
        stream->WriteCR();
    }
    if (!FilePath().empty()) {
        stream->WriteTabs();
        stream->WriteStartTag("file");
        stream->Write(FilePath().data(), FilePath().size());
        stream->WriteEndTag("file");
        stream->WriteCR();
    }
    LbEndWindowState(stream);
    stream->WriteCR();
}

namespace {

// What the window's state element holds besides its frame.
struct StateRead {
    LbData maker, model;
    bool haveMaker = false, haveModel = false;
    std::string file;
};

void ReadStateElement(void* context, LbXmlStreamI* stream, const char* tag)
{
    auto* read = static_cast<StateRead*>(context);
    if (strcmp(tag, "mfg_id") == 0) {
        read->haveMaker = read->maker.ReadFrom(stream, tag) == B_OK;
    } else if (strcmp(tag, "mod_id") == 0) {
        read->haveModel = read->model.ReadFrom(stream, tag) == B_OK;
    } else if (strcmp(tag, "file") == 0) {
        if (char* text = stream->ReadStrToTag(tag)) {
            read->file = text;
            free(text);
        }
    }
}

} // namespace

void LbDeviceManageWindow::ReadState(LbXmlStreamI* stream)
{
    StateRead read;
    LbReadWindowState(this, stream, ReadStateElement, &read);
    mFrameRestored = true;
    LbDmwHostI* host = LbDmwHost();
    LbMidiStudio* studio = host ? host->Studio() : nullptr;
    LbDeviceI* device = nullptr;
    if (read.haveMaker && read.haveModel && studio)
        device = studio->DeviceAt(&read.maker, &read.model);
    if (device) SetDeviceSnapshot(new LbDeviceSnapshot(device), false);
    // The document opens even when its instrument left the studio: offline, then.
    struct stat info;
    if (!read.file.empty() && stat(read.file.c_str(), &info) == 0) {
        BMessage refs(B_REFS_RECEIVED);
        entry_ref ref(read.file.c_str());
        refs.AddRef("refs", &ref);
        StartOpen(&refs);
    }
}
