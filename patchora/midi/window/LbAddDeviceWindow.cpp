#include "midi/window/LbAddDeviceWindow.h"

#include "app/Message.h"
#include "app/window/LbGlobalsI.h"
#include "interface/Application.h"
#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbDeviceI.h"
#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"
#include "midi/MidiRoster.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The names of the roster's producers (or consumers), in its order.
template <class Count, class At> QStringList PortNames(Count count, At at)
{
    QStringList names;
    int32 n = count();
    for (int32 i = 0; i < n; i++) {
        if (auto* endpoint = at(i)) {
            const char* name = endpoint->Name();
            if (name != nullptr && *name != '\0') names.append(QString::fromUtf8(name));
            endpoint->Release();
        }
    }
    return names;
}

} // namespace

LbAddDeviceWindow::LbAddDeviceWindow(BRect frame, LbDeviceAddons* addons)
    : BWindow(frame, "Add Device", B_TITLED_WINDOW, B_NOT_ZOOMABLE), mAddons(addons)
{
    QWidget* w = Widget();
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);

    auto* listLabel = new QLabel("Devices", w);
    QFont bold = listLabel->font();
    bold.setBold(true);
    listLabel->setFont(bold);
    layout->addWidget(listLabel);
    mAddonList = new QListWidget(w);
    mAddonList->setObjectName("addons");
    mAddonList->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int32 i = 0; i < mAddons->CountAddons(); i++) {
        LbDeviceAddonI* addon = mAddons->AddonAt(i);
        const char* name = addon != nullptr ? addon->Name() : nullptr;
        if (name == nullptr) continue;
        mListed.push_back(addon);
        mAddonList->addItem(QString::fromUtf8(name));
    }
    QObject::connect(mAddonList, &QListWidget::currentRowChanged, [this](int row) {
        BMessage selected(LB_MSG_ADDON_SELECTED);
        selected.AddInt32("index", row);
        PostMessage(&selected);
    });
    layout->addWidget(mAddonList, 1);
    // The first model is chosen from the start (most studios have one model to add).
    if (mAddonList->count() > 0) {
        QSignalBlocker quiet(mAddonList);
        mAddonList->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    }

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    auto makeField = [&](const char* label, uint32 code) {
        auto* field = new QComboBox(w);
        field->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        field->setMinimumContentsLength(16);
        QObject::connect(field, &QComboBox::activated, [this, code](int index) {
            BMessage chosen(code);
            chosen.AddInt32("index", index);
            PostMessage(&chosen);
        });
        form->addRow(label, field);
        return field;
    };
    mPortIn = makeField("Midi port in:", LB_MSG_PORT_IN_CHOSEN);
    mPortOut = makeField("Midi port out:", LB_MSG_PORT_OUT_CHOSEN);
    mDeviceId = makeField("Device ID:", LB_MSG_DEVICE_ID_CHOSEN);
    layout->addLayout(form);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    mAdd = new QPushButton("Add", w);
    mAdd->setDefault(true);
    QObject::connect(mAdd, &QPushButton::clicked, [this] { PostMessage(LB_MSG_ADD_DEVICE); });
    buttons->addWidget(mAdd);
    layout->addLayout(buttons);
    w->setMinimumSize(360, 340);

    FillPorts();
    FillDeviceIds();
    UpdateAddButton();
}

void LbAddDeviceWindow::FillPorts()
{
    QStringList in = PortNames(BMidiRoster::CountProducers, BMidiRoster::ProducerAt);
    QStringList out = PortNames(BMidiRoster::CountConsumers, BMidiRoster::ConsumerAt);
    for (auto [field, names] : {std::pair {mPortIn, &in}, std::pair {mPortOut, &out}}) {
        field->clear();
        if (names->isEmpty()) {
            field->addItem(kLbNoPorts);
            field->setEnabled(false);
        } else {
            field->addItems(*names);
            field->setEnabled(true);
            field->setCurrentIndex(0);
        }
    }
}

void LbAddDeviceWindow::FillDeviceIds()
{
    mDeviceId->clear();
    LbDeviceAddonI* addon = SelectedAddon();
    int16 low = 0, high = -1;
    if (addon == nullptr || addon->GetDeviceIdRange(&low, &high) != B_OK || high < low) {
        mDeviceId->addItem(kLbNoDeviceId);
        mDeviceId->setEnabled(false);
        return;
    }
    for (int32 id = low; id <= high; id++) mDeviceId->addItem(QString::number(id), id);
    mDeviceId->setCurrentIndex(0);
    mDeviceId->setEnabled(true);
}

LbDeviceAddonI* LbAddDeviceWindow::SelectedAddon() const
{
    int row = mAddonList->currentRow();
    if (row < 0 || size_t(row) >= mListed.size() || !mAddonList->item(row)->isSelected())
        return nullptr;
    return mListed[size_t(row)];
}

std::string LbAddDeviceWindow::PortIn() const
{
    return mPortIn->isEnabled() ? mPortIn->currentText().toStdString() : std::string();
}

std::string LbAddDeviceWindow::PortOut() const
{
    return mPortOut->isEnabled() ? mPortOut->currentText().toStdString() : std::string();
}

int32 LbAddDeviceWindow::DeviceId() const
{
    if (!mDeviceId->isEnabled() || mDeviceId->currentIndex() < 0) return -1;
    QVariant id = mDeviceId->currentData();
    return id.isValid() ? id.toInt() : -1;
}

bool LbAddDeviceWindow::CanAdd() const
{
    return SelectedAddon() != nullptr && !PortIn().empty() && !PortOut().empty() && DeviceId() >= 0;
}

void LbAddDeviceWindow::UpdateAddButton()
{
    mAdd->setEnabled(CanAdd());
}

void LbAddDeviceWindow::Mark(QComboBox* field, BMessage* message)
{
    int32 index = -1;
    if (message->FindInt32("index", &index) == B_OK && index >= 0 && index < field->count() &&
        field->isEnabled())
        field->setCurrentIndex(index);
    UpdateAddButton();
}

void LbAddDeviceWindow::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case LB_MSG_ADDON_SELECTED: {
        int32 index = -1;
        if (message->FindInt32("index", &index) == B_OK && index >= 0 &&
            index < mAddonList->count()) {
            if (mAddonList->currentRow() != index || !mAddonList->item(index)->isSelected()) {
                QSignalBlocker quiet(mAddonList);
                mAddonList->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
            }
        }
        FillDeviceIds();
        UpdateAddButton();
        break;
    }
    case LB_MSG_PORT_IN_CHOSEN:
        Mark(mPortIn, message);
        break;
    case LB_MSG_PORT_OUT_CHOSEN:
        Mark(mPortOut, message);
        break;
    case LB_MSG_DEVICE_ID_CHOSEN:
        Mark(mDeviceId, message);
        break;
    case LB_MSG_ADD_DEVICE:
        Add();
        break;
    default:
        BWindow::MessageReceived(message);
    }
}

void LbAddDeviceWindow::Add()
{
    LbDeviceAddonI* addon = SelectedAddon();
    int32 id = DeviceId();
    if (addon == nullptr || id < 0 || !CanAdd()) return;
    LbDeviceI* device = addon->NewDevice();
    if (device == nullptr) return;
    device->SetDeviceId(int16(id));
    BMessage add(LB_MSG_NEW_DEVICE);
    add.AddPointer("LbDeviceI", device);
    std::string in = PortIn(), out = PortOut();
    add.AddString("midi_in", in.c_str());
    add.AddString("midi_out", out.c_str());
    if (be_app == nullptr || be_app->PostMessage(&add) != B_OK) {
        delete device;
        return;
    }
    Quit();
}
