#include "app/window/LbGlobals.h"

#include "app/Message.h"
#include "interface/Application.h"
#include "interface/Window.h"
#include "librarian/LbBankI.h"
#include "librarian/LbDeviceSnapshot.h"
#include "librarian/LbStatus.h"
#include "librarian/window/LbDeviceManageWindow.h"
#include "midi/LbDeviceI.h"

#include <QWidget>

BWindow* LbWindowOf(const BMessenger& messenger)
{
    BLooper* looper = nullptr;
    messenger.Target(&looper);
    return dynamic_cast<BWindow*>(looper);
}

void LbHandToWindow(BWindow* window, BMessage* message)
{
    if (window == nullptr || !window->Lock()) return;
    window->MessageReceived(message);
    window->Unlock();
}

LbGlobals::LbGlobals() = default;

LbGlobals::~LbGlobals()
{
    for (const auto& entry : mEntries) {
        if (BWindow* window = LbWindowOf(entry->window); window != nullptr && window->Lock())
            window->Quit();
    }
}

status_t LbGlobals::EditWindow(LbDeviceI* device, LbBankI* bank, BWindow** window)
{
    if (window != nullptr) *window = nullptr;
    LbDeviceAddonI* addon = device != nullptr ? device->Addon() : nullptr;
    if (addon == nullptr || bank == nullptr) return -1;
    LbEditWindowEntry* entry = nullptr;
    for (const auto& e : mEntries) {
        if (e->addon == addon && e->bank->IsCompatible(bank)) {
            entry = e.get();
            break;
        }
    }
    if (entry == nullptr) {
        mEntries.push_back(
            std::make_unique<LbEditWindowEntry>(LbEditWindowEntry {addon, bank, {}}));
        entry = mEntries.back().get();
    }
    if (BWindow* open = LbWindowOf(entry->window)) {
        if (window != nullptr) *window = open;
        return B_OK;
    }
    // The model's own editor; the generic patch editor is not part of this program yet.
    QWidget* editor = nullptr;
    status_t status = bank->NewEditWindow(&editor);
    if (status != B_OK) return status;
    return LB_UNSUPPORTED;
}

status_t LbGlobals::NewEditWindow(LbDeviceI*, LbBankI*, BWindow** window)
{
    if (window != nullptr) *window = nullptr;
    return LB_UNSUPPORTED;
}

status_t LbGlobals::NewManageWindow(LbDeviceI* device, BWindow** window)
{
    if (window != nullptr) *window = nullptr;
    if (device == nullptr) return -1;
    return NewManageWindow(new LbDeviceSnapshot(device), window);
}

status_t LbGlobals::NewManageWindow(LbDeviceSnapshotI* snapshot, BWindow** window)
{
    if (window != nullptr) *window = nullptr;
    if (snapshot == nullptr) return -1;
    if (snapshot->Device() == nullptr) {
        delete snapshot;
        return -1;
    }
    QWidget* own = nullptr;
    status_t status = snapshot->Device()->NewManageWindow(&own);
    if (status != LB_UNSUPPORTED) {
        delete snapshot;
        return status;
    }
    auto* manage = new LbDeviceManageWindow(kLbManageFrame);
    BMessage populate(LB_MSG_POPULATE);
    populate.AddPointer("LbDeviceSnapshotI", snapshot);
    manage->PostMessage(&populate);
    manage->Show();
    if (window != nullptr) *window = manage;
    return B_OK;
}

int32 LbGlobals::CountSignificantWindows()
{
    if (be_app == nullptr) return 0;
    int32 count = 0;
    for (int32 i = 0; i < be_app->CountWindows(); i++) {
        BMessage question(LB_MSG_SIGNIFICANT);
        LbHandToWindow(be_app->WindowAt(i), &question);
        bool significant = false;
        for (int32 j = 0; question.FindBool("significant", j, &significant) == B_OK; j++)
            count += significant ? 1 : 0;
    }
    return count;
}
