#include "midi/window/LbStudioWindow.h"

#include "app/AppDefs.h"
#include "app/Message.h"
#include "app/window/LbGlobals.h"
#include "app/window/LbWindowState.h"
#include "controls/LbMessageArea.h"
#include "interface/Application.h"
#include "librarian/LbStatus.h"
#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiServiceI.h"
#include "midi/LbMidiStudio.h"
#include "midi/window/LbAddDeviceWindow.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QAction>
#include <QListWidget>
#include <QMenuBar>
#include <QVBoxLayout>

namespace {

constexpr BRect kAddDeviceFrame(100, 100, 380, 400);

const char* OrText(const char* text, const char* otherwise)
{
    return text != nullptr ? text : otherwise;
}

} // namespace

LbStudioWindow::LbStudioWindow(BRect frame, LbMidiStudio* studio, LbDeviceAddons* addons)
    : BWindow(frame, "Patchora Studio", B_TITLED_WINDOW), mStudio(studio), mAddons(addons)
{
    QWidget* w = Widget();
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* menuBar = new QMenuBar(w);
    QMenu* devices = menuBar->addMenu("Devices");
    auto addItem = [&](const char* label, uint32 code, char key) {
        QAction* action = devices->addAction(label);
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(key)));
        QObject::connect(action, &QAction::triggered, [this, code] { PostMessage(code); });
        return action;
    };
    mAddAction = addItem("Add...", LB_MSG_SHOW_ADD_DEVICE, 'A');
    mRemoveAction = addItem("Remove", LB_MSG_REMOVE_DEVICES, 'R');
    devices->addSeparator();
    mManageAction = addItem("Manage", LB_MSG_MANAGE_DEVICES, 'O');
    layout->setMenuBar(menuBar);

    mList = new QListWidget(w);
    mList->setObjectName("devices");
    mList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    mList->setTextElideMode(Qt::ElideMiddle);
    mList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mList->setSpacing(2);
    QObject::connect(mList, &QListWidget::itemSelectionChanged, [this] { UpdateMenus(); });
    QObject::connect(mList, &QListWidget::itemActivated,
                     [this](QListWidgetItem*) { PostMessage(LB_MSG_DEVICE_INVOKED); });
    auto* content = new QVBoxLayout;
    content->setContentsMargins(8, 8, 8, 4);
    content->addWidget(mList, 1);
    layout->addLayout(content, 1);

    mMessages = new LbMessageArea(w, "messages", 0);
    mMessages->setContentsMargins(8, 0, 8, 4);
    layout->addWidget(mMessages);
    // Room for a line such as "E-mu Morpheus  in: Morpheus Simulator  out: ...  ID: 0".
    w->setMinimumSize(500, 240);

    mStudio->AddDependent(LB_NOTIFY_DEVICE_ADDED, this);
    mStudio->AddDependent(LB_NOTIFY_STUDIO_STATUS, this);
    RebuildList();
}

LbStudioWindow::~LbStudioWindow()
{
    mStudio->RemoveDependent(this);
}

std::string LbStudioWindow::DeviceLabel(LbDeviceI* device)
{
    LbDeviceAddonI* addon = device->Addon();
    LbMidiServiceI* service = device->MidiService();
    char label[512];
    snprintf(label, sizeof label, "%s %s  in: %s  out: %s  ID: %d",
             OrText(addon != nullptr ? addon->ManufacturerName() : nullptr, "<Manufacturer>"),
             OrText(addon != nullptr ? addon->ModelName() : nullptr, "<Product>"),
             OrText(service != nullptr ? service->MidiProducerName() : nullptr, "<none>"),
             OrText(service != nullptr ? service->MidiConsumerName() : nullptr, "<none>"),
             int(device->DeviceId()));
    return label;
}

void LbStudioWindow::RebuildList()
{
    mList->clear();
    for (int32 i = 0; i < mStudio->CountDevices(); i++) {
        LbDeviceI* device = mStudio->DeviceAt(i);
        auto* item = new QListWidgetItem(QString::fromUtf8(DeviceLabel(device).c_str()), mList);
        item->setData(Qt::UserRole, QVariant::fromValue<void*>(device));
        item->setToolTip(item->text());
    }
    UpdateMenus();
}

LbDeviceI* LbStudioWindow::DeviceOfRow(int row) const
{
    QListWidgetItem* item = mList->item(row);
    return item != nullptr ? static_cast<LbDeviceI*>(item->data(Qt::UserRole).value<void*>())
                           : nullptr;
}

void LbStudioWindow::UpdateMenus()
{
    bool selected = !mList->selectedItems().isEmpty();
    mRemoveAction->setEnabled(selected);
    mManageAction->setEnabled(selected);
}

void LbStudioWindow::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case LB_MSG_SHOW_ADD_DEVICE:
        ShowAddDevice();
        break;
    case LB_MSG_REMOVE_DEVICES:
        RemoveSelected();
        break;
    case LB_MSG_MANAGE_DEVICES:
    case LB_MSG_DEVICE_INVOKED:
        ManageSelected();
        break;
    case LB_MSG_DEVICE_ADDED:
        RebuildList();
        break;
    case LB_MSG_BEGIN_STATUS:
    case LB_MSG_END_STATUS: {
        const char* text = nullptr;
        message->FindString("status", &text);
        mMessages->SetMessage(text);
        break;
    }
    case LB_MSG_WRITE_STATE: {
        LbXmlStreamI* stream = nullptr;
        if (mQuitting || message->FindPointer("LbXmlStreamI", &stream) != B_OK || stream == nullptr)
            break;
        LbBeginWindowState(stream, kLbStudioWindowType);
        LbWriteWindowFrame(stream, this);
        LbEndWindowState(stream);
        break;
    }
    case LB_MSG_READ_STATE: {
        LbXmlStreamI* stream = nullptr;
        if (message->FindPointer("LbXmlStreamI", &stream) == B_OK && stream != nullptr)
            LbReadWindowState(this, stream);
        break;
    }
    case LB_MSG_DEVICE_REMOVED:
        RebuildList();
        break;
    default:
        BWindow::MessageReceived(message);
    }
}

BWindow* LbStudioWindow::AddDeviceWindow() const
{
    return LbWindowOf(mAddDevice);
}

void LbStudioWindow::ShowAddDevice()
{
    if (BWindow* open = AddDeviceWindow()) {
        open->Activate();
        return;
    }
    auto* window = new LbAddDeviceWindow(kAddDeviceFrame, mAddons);
    mAddDevice = BMessenger(nullptr, window);
    window->Show();
}

void LbStudioWindow::RemoveSelected()
{
    // Rows from the bottom up, so that the rows still to come keep their numbers.
    std::vector<int> rows;
    for (QListWidgetItem* item : mList->selectedItems()) rows.push_back(mList->row(item));
    std::sort(rows.rbegin(), rows.rend());
    for (int row : rows) {
        LbDeviceI* device = DeviceOfRow(row);
        delete mList->takeItem(row);
        if (device != nullptr) mStudio->RemoveDevice(device);
    }
    UpdateMenus();
}

void LbStudioWindow::ManageSelected()
{
    for (QListWidgetItem* item : mList->selectedItems()) {
        auto* device = static_cast<LbDeviceI*>(item->data(Qt::UserRole).value<void*>());
        if (device == nullptr) continue;
        if (device->InitCheck() != B_OK) {
            NotifyUserOfError(LB_NOT_INITIALIZED, device);
            return;
        }
        if (LbGlobalsI* globals = Globals()) globals->NewManageWindow(device, nullptr);
    }
}

bool LbStudioWindow::QuitRequested()
{
    mQuitting = true;
    if (BWindow* add = AddDeviceWindow()) {
        add->Lock();
        add->Quit();
    }
    // The last window going: the program goes with it (unless it is quitting already).
    bool quittingApp = Globals() != nullptr && Globals()->IsQuitting();
    if (be_app != nullptr && be_app->CountWindows() == 1 && !quittingApp)
        be_app->PostMessage(B_QUIT_REQUESTED);
    return true;
}
