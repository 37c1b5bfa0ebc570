#include "support/window/OrbWindow.h"

#include "app/Message.h"
#include "support/OrbLookPreferences.h"
#include "support/window/OrbView.h"

#include <algorithm>

#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>

OrbWindow::OrbWindow(BRect frame, const char* title, window_type type, uint32 flags)
    : BWindow(frame, title, type, flags)
{
}

OrbWindow::~OrbWindow()
{
    // A window deleted without Quit still leaves both lists.
    for (OrbWindow* slave : mSlaves) slave->mMaster = nullptr;
    if (mMaster != nullptr) mMaster->RemoveSlave(this);
}

void OrbWindow::MessageReceived(BMessage* message)
{
    if (message->what == ORB_LOOK_CHANGED) {
        BMessage copy(*message);
        copy.what = ORB_LOOK_CHANGED_VIEWS;
        SendMessageToViews(Widget(), &copy);
        return;
    }
    BWindow::MessageReceived(message);
}

void OrbWindow::SendMessageToViews(QWidget* root, BMessage* message)
{
    if (root == nullptr) return;
    // A view may delete widgets while it handles the message: walk guarded pointers.
    QList<QPointer<QWidget>> children;
    for (QObject* child : root->children()) {
        if (QWidget* w = qobject_cast<QWidget*>(child); w != nullptr && !w->isWindow())
            children.append(w);
    }
    for (const QPointer<QWidget>& child : children) {
        if (child != nullptr) SendMessageToViews(child, message);
    }
    if (OrbView* view = dynamic_cast<OrbView*>(root)) view->MessageReceived(message);
}

void OrbWindow::Quit()
{
    while (!mSlaves.empty()) {
        OrbWindow* slave = mSlaves.front();
        mSlaves.erase(mSlaves.begin());
        slave->mMaster = nullptr;
        if (slave->Lock()) slave->Quit();
    }
    if (mMaster != nullptr) {
        mMaster->RemoveSlave(this);
        mMaster = nullptr;
    }
    BWindow::Quit();
}

void OrbWindow::AddSlave(OrbWindow* slave)
{
    if (slave == nullptr || slave == this) return;
    if (std::find(mSlaves.begin(), mSlaves.end(), slave) == mSlaves.end()) mSlaves.push_back(slave);
}

void OrbWindow::RemoveSlave(OrbWindow* slave)
{
    mSlaves.erase(std::remove(mSlaves.begin(), mSlaves.end(), slave), mSlaves.end());
}

void OrbWindow::SetMaster(OrbWindow* master)
{
    if (master == this) return;
    if (mMaster != nullptr) mMaster->RemoveSlave(this);
    mMaster = master;
    if (mMaster != nullptr) mMaster->AddSlave(this);
}

OrbWindow* OrbWindow::SlaveAt(int32 index) const
{
    if (index < 0 || index >= int32(mSlaves.size())) return nullptr;
    return mSlaves[size_t(index)];
}

OrbLookPolicyWindow::OrbLookPolicyWindow(BRect frame, const char* title, window_type type,
                                         uint32 flags, OrbLookPreferences* look)
    : OrbWindow(frame, title, type, flags)
{
    auto* layout = new QVBoxLayout(Widget());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    mBackground = new OrbLookPolicyView(Widget(), "background", look);
    layout->addWidget(mBackground);
}
