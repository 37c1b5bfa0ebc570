#include "support/window/OrbAboutWindow.h"

#include "app/AppDefs.h"
#include "app/Message.h"
#include "interface/ImageStore.h"
#include "interface/Screen.h"
#include "kernel/OS.h"
#include "support/OrbLookPreferences.h"

#include <cmath>

#include <QDesktopServices>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr bigtime_t kStepTime = 50000;   // 50 ms
constexpr double kPhaseTime = 0.7;       // seconds per phase
constexpr int kMargin = 16;
constexpr int kIconSide = 32;
constexpr int kAnimationHeight = 44;

QColor ToQColor(rgb_color c)
{
    return QColor(c.red, c.green, c.blue);
}

// The program's icon when the image store has none: a small patch list.
void DrawDefaultIcon(QPainter& p, QRectF r)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(46, 84, 150));
    p.drawRoundedRect(r, 6, 6);
    p.setBrush(QColor(240, 244, 250));
    for (int i = 0; i < 4; i++)
        p.drawRoundedRect(QRectF(r.left() + 7, r.top() + 6 + i * 5.5, r.width() - 14, 3), 1, 1);
}

}  // namespace

std::string OrbVersionText(uint32 major, uint32 middle, uint32 minor, uint32 variety,
                           uint32 internal)
{
    static const char* const kVarieties[] = {" Dev", " Alpha", " Beta", " Gamma", " GM"};
    std::string text = std::to_string(major);
    if (middle != 0)
        text += "." + std::to_string(middle);
    if (minor != 0)
        text += "." + std::to_string(minor);
    if (variety < 5)
        text += kVarieties[variety];
    if (internal != 0)
        text += " / " + std::to_string(internal);
    return text;
}

// --- OrbAboutView ---

OrbAboutView::OrbAboutView(QWidget* parent, const OrbAboutInfo& info)
    : OrbView(parent, "about"), mInfo(info), mStart(system_time())
{
    if (mInfo.version.empty())
        mInfo.version = "Unknown";
    size_t start = 0;
    while (start <= mInfo.text.size()) {
        size_t end = mInfo.text.find('\n', start);
        if (end == std::string::npos)
            end = mInfo.text.size();
        mLines.push_back(mInfo.text.substr(start, end - start));
        start = end + 1;
    }
    for (unsigned char c : mInfo.text) {
        if (c < 128)
            mUsed[c] = true;
    }
    mBold = font();
    mBold.setPointSizeF(14);
    mBold.setBold(true);
    SetViewColor(rgb_color{250, 250, 252, 255});
}

OrbAboutView::~OrbAboutView()
{
    StopAnimation();
}

void OrbAboutView::GetPreferredSize(float* width, float* height)
{
    QFontMetrics bold(mBold), plain(font());
    int w = bold.horizontalAdvance(QString::fromStdString(mInfo.name + "  " + mInfo.version));
    for (const std::string& line : mLines)
        w = std::max(w, plain.horizontalAdvance(QString::fromStdString(line)));
    w = std::max(w + kIconSide + 3 * kMargin, 320);
    int h = kMargin + std::max(kIconSide, bold.height()) + 8 + int(mLines.size()) * plain.height()
            + 10 + kAnimationHeight + kMargin;
    *width = float(w - 1);
    *height = float(h - 1);
}

void OrbAboutView::Draw(BRect updateRect)
{
    OrbView::Draw(updateRect);
    QPainter& p = *Painter();
    p.setRenderHint(QPainter::Antialiasing);
    QRectF icon(kMargin, kMargin, kIconSide, kIconSide);
    QPixmap image = mInfo.iconImage != nullptr ? image_store::Find(mInfo.iconImage) : QPixmap();
    if (!image.isNull())
        p.drawPixmap(icon.toRect(), image);
    else
        DrawDefaultIcon(p, icon);

    int textLeft = kMargin * 2 + kIconSide;
    QFontMetrics bold(mBold), plain(font());
    p.setPen(QColor(20, 20, 24));
    p.setFont(mBold);
    int y = kMargin + bold.ascent() + (kIconSide - bold.height()) / 2;
    p.drawText(textLeft, y, QString::fromStdString(mInfo.name));
    p.setFont(font());
    p.setPen(QColor(90, 90, 100));
    p.drawText(textLeft + bold.horizontalAdvance(QString::fromStdString(mInfo.name)) + 8, y,
               QString::fromStdString(mInfo.version));
    p.setPen(QColor(40, 40, 48));
    y = kMargin + std::max(kIconSide, bold.height()) + 8 + plain.ascent();
    for (const std::string& line : mLines) {
        p.drawText(textLeft, y, QString::fromStdString(line));
        y += plain.height();
    }

    // The animation: a row of keys, a wave of light running across them in the look's
    // selected-event colours, one key further per phase.
    OrbLookPreferences* look = OrbLookPreferences::Default();
    QRectF band(kMargin, height() - kMargin - kAnimationHeight, width() - 2 * kMargin,
                kAnimationHeight);
    const int keys = 24;
    double keyWidth = band.width() / keys;
    for (int i = 0; i < keys; i++) {
        double distance = std::fmod(mPhase * 4 - i + keys * 100.0, double(keys));
        double glow = std::max(0.0, 1.0 - distance / 6.0);
        int index = std::clamp(int(127 * (1 - glow)), 0, 127);
        QColor fill = glow > 0 ? ToQColor(look->SelectedEventColor(index)) : QColor(236, 236, 240);
        QRectF key(band.left() + i * keyWidth + 1, band.top(), keyWidth - 2, band.height());
        p.setPen(QColor(180, 180, 190));
        p.setBrush(fill);
        p.drawRoundedRect(key, 2, 2);
    }
}

void OrbAboutView::Step()
{
    mPhase = double(system_time() - mStart) / 1e6 / kPhaseTime + mClicks;
    update();
}

void OrbAboutView::mousePressEvent(QMouseEvent*)
{
    mClicks++;
    Step();
}

void OrbAboutView::StartAnimation(const BMessenger& window)
{
    if (mAnimator.joinable())
        return;
    mAnimator = std::thread([this, window] { Animate(window); });
}

void OrbAboutView::StopAnimation()
{
    {
        std::lock_guard<std::mutex> guard(mLock);
        mStop = true;
    }
    mWake.notify_all();
    if (mAnimator.joinable())
        mAnimator.join();
}

void OrbAboutView::Animate(BMessenger window)
{
    rename_thread(find_thread(nullptr), "ORB\u2122 Animator");
    std::unique_lock<std::mutex> lock(mLock);
    while (!mStop) {
        bigtime_t began = system_time();
        if (!mStepPending.exchange(true)) {
            BMessage step(ORB_ABOUT_STEP);
            if (window.SendMessage(&step, BMessenger(), 0) != B_OK)
                mStepPending = false;
        }
        // Every 50 ms; at least 1 ms after a step that overran.
        bigtime_t spent = system_time() - began;
        bigtime_t wait = std::max<bigtime_t>(kStepTime - spent, 1000);
        mWake.wait_for(lock, std::chrono::microseconds(wait), [this] { return mStop; });
    }
}

// --- OrbAboutWindow ---

OrbAboutWindow::OrbAboutWindow(BWindow* parent, const char* title, const OrbAboutInfo& info)
    : OrbWindow(BRect(0, 0, 319, 199), title, B_MODAL_WINDOW, B_NOT_RESIZABLE | B_NOT_ZOOMABLE),
      mWebAddress(info.webAddress)
{
    QWidget* w = Widget();
    w->setWindowModality(Qt::NonModal);
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    mView = new OrbAboutView(w, info);
    layout->addWidget(mView, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(kMargin, 8, kMargin, kMargin);
    buttons->addStretch(1);
    mWeb = new QPushButton("Go Web", w);
    mWeb->setVisible(!mWebAddress.empty());
    QObject::connect(mWeb, &QPushButton::clicked, [this] { PostMessage(ORB_ABOUT_GO_WEB); });
    buttons->addWidget(mWeb);
    auto* away = new QPushButton("Go Away", w);
    away->setDefault(true);
    QObject::connect(away, &QPushButton::clicked, [this] { PostMessage(B_QUIT_REQUESTED); });
    buttons->addWidget(away);
    layout->addLayout(buttons);

    float width = 0, height = 0;
    mView->GetPreferredSize(&width, &height);
    mView->setMinimumSize(int(width) + 1, int(height) + 1);
    QSize size = w->sizeHint().expandedTo(QSize(int(width) + 1, int(height) + 1));
    BRect around = parent != nullptr ? parent->Frame() : BScreen().Frame();
    float left = around.left + (around.Width() - size.width()) / 2;
    float top = around.top + (around.Height() - size.height()) / 2;
    MoveTo(std::max(left, 0.0f), std::max(top, 0.0f));
    ResizeTo(size.width() - 1, size.height() - 1);
    w->setFixedSize(size);
    mView->StartAnimation(BMessenger(nullptr, this));
}

OrbAboutWindow::~OrbAboutWindow()
{
    mView->StopAnimation();
}

void OrbAboutWindow::MessageReceived(BMessage* message)
{
    switch (message->what) {
        case ORB_ABOUT_STEP:
            mView->StepHandled();
            mView->Step();
            break;
        case ORB_ABOUT_GO_WEB:
            if (!mWebAddress.empty())
                QDesktopServices::openUrl(QUrl(QString::fromStdString(mWebAddress)));
            break;
        default:
            OrbWindow::MessageReceived(message);
    }
}
