#include "app/window/LbSplashWindow.h"

#include "app/Message.h"
#include "interface/Screen.h"
#include "midi/LbMidiStudio.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

namespace {

constexpr float kWidth = 360, kHeight = 110;

BRect CentredFrame()
{
    BRect screen = BScreen().Frame();
    float left = screen.left + (screen.Width() - kWidth) / 2;
    float top = screen.top + (screen.Height() - kHeight) / 2;
    return BRect(left, top, left + kWidth - 1, top + kHeight - 1);
}

} // namespace

LbSplashWindow::LbSplashWindow(LbMidiStudio* studio)
    : BWindow(CentredFrame(), "Splash", B_FLOATING_WINDOW, B_NOT_RESIZABLE | B_NOT_ZOOMABLE),
      mStudio(studio)
{
    QWidget* w = Widget();
    w->setWindowFlags(Qt::SplashScreen | Qt::WindowStaysOnTopHint);
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(20, 16, 20, 16);
    auto* name = new QLabel("Patchora", w);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    name->setFont(big);
    layout->addWidget(name);
    mStatus = new QLabel(w);
    mStatus->setObjectName("status");
    mStatus->setTextFormat(Qt::PlainText);
    mStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(mStatus);
    layout->addStretch(1);
    w->setFixedSize(int(kWidth), int(kHeight));
    mStudio->AddDependent(LB_NOTIFY_DEVICE_ADDED, this);
    mStudio->AddDependent(LB_NOTIFY_STUDIO_STATUS, this);
}

LbSplashWindow::~LbSplashWindow()
{
    mStudio->RemoveDependent(this);
}

void LbSplashWindow::MessageReceived(BMessage* message)
{
    const char* text = nullptr;
    switch (message->what) {
    case LB_MSG_BEGIN_STATUS:
        if (IsHidden()) {
            Show();
            mShown = true;
        }
        message->FindString("status", &text);
        ShowStatus(text);
        break;
    case LB_MSG_END_STATUS:
        message->FindString("status", &text);
        ShowStatus(text);
        break;
    default:
        BWindow::MessageReceived(message);
    }
}

void LbSplashWindow::ShowStatus(const char* text)
{
    mStatus->setText(QString::fromUtf8(text != nullptr ? text : ""));
    // The studio is read on the GUI thread: paint now, or the text never shows.
    if (!IsHidden()) Widget()->repaint();
}

QString LbSplashWindow::StatusText() const
{
    return mStatus->text();
}
