#include "controls/LbMessageArea.h"

#include "support/OrbLookPreferences.h"

#include <cmath>

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QThread>

namespace {

QColor ToQColor(rgb_color c)
{
    return QColor(c.red, c.green, c.blue, c.alpha);
}

// The bar's colour: the desktop's selection blue.
constexpr rgb_color kBarColor = {50, 120, 210, 255};

bool OnGuiThread(const QObject* object)
{
    return QThread::currentThread() == object->thread();
}

} // namespace

// --- LbProgressView ---

LbProgressView::LbProgressView(QWidget* parent)
    : QWidget(parent), mBarColor(kBarColor), mLightEdge(OrbTintColor(kBarColor, 0.385f)),
      mDarkEdge(OrbTintColor(kBarColor, 1.295f))
{
    setObjectName("status");
    setMinimumHeight(12);
    hide();
}

BRect LbProgressView::BarRect() const
{
    return BRect(2, 2, width() - 1 - 2, height() - 1 - 2);
}

int32 LbProgressView::PixelFor(float value, float maximum, float left, float right)
{
    if (!(maximum > 0) || right <= left) return 0;
    if (!(value > 0)) value = 0; // also a value that is not a number
    if (value > maximum) value = maximum;
    return int32(std::floor((right - left) * value / maximum));
}

void LbProgressView::BeginProgress(float maximum)
{
    mMaximum = std::isfinite(maximum) ? maximum : 0;
    mValue = 0;
    mLastPixel = -1;
}

void LbProgressView::MoveProgressBy(float delta)
{
    MoveProgressTo(mValue + delta);
}

bool LbProgressView::MoveProgressTo(float value)
{
    if (!(value > 0)) value = 0;
    if (value > mMaximum) value = mMaximum > 0 ? mMaximum : 0;
    mValue = value;
    BRect bar = BarRect();
    int32 pixel = PixelFor(value, mMaximum, bar.left, bar.right);
    if (pixel == mLastPixel) return false;
    mLastPixel = pixel;
    if (isHidden()) show();
    update();
    return true;
}

void LbProgressView::EndProgress()
{
    mValue = 0;
    mLastPixel = -1;
    hide();
}

QSize LbProgressView::sizeHint() const
{
    return QSize(100, 14);
}

void LbProgressView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QRectF outer(0.5, 0.5, width() - 1, height() - 1);
    p.setPen(ToQColor(mDarkEdge));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRect(outer);
    if (mLastPixel <= 0) return;
    BRect bar = BarRect();
    QRectF filled(bar.left, bar.top, mLastPixel, bar.Height() + 1);
    p.fillRect(filled, ToQColor(mBarColor));
    p.setPen(ToQColor(mLightEdge));
    p.drawLine(QPointF(filled.left(), filled.top() + 0.5),
               QPointF(filled.right(), filled.top() + 0.5));
}

// --- LbMessageArea ---

LbMessageArea::LbMessageArea(QWidget* parent, const char* name, int32 progressWidth,
                             uint32 borderSides)
    : QWidget(parent)
{
    if (name != nullptr) setObjectName(QString::fromUtf8(name));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(
        (borderSides & kBorderLeft) ? 2 : 0, (borderSides & kBorderTop) ? 2 : 0,
        (borderSides & kBorderRight) ? 2 : 0, (borderSides & kBorderBottom) ? 2 : 0);
    layout->setSpacing(5);
    mString = new QLabel(this);
    mString->setObjectName("StringView");
    mString->setContentsMargins(0, 1, 0, 0);
    mString->setTextFormat(Qt::PlainText);
    mString->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(mString, 1);
    if (progressWidth > 0) {
        mProgress = new LbProgressView(this);
        mProgress->setFixedWidth(progressWidth);
        QSizePolicy policy = mProgress->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        mProgress->setSizePolicy(policy);
        layout->addWidget(mProgress, 0);
    }
}

void LbMessageArea::SetMessage(const char* text)
{
    QString message = QString::fromUtf8(text != nullptr ? text : "");
    if (!OnGuiThread(this)) {
        QMetaObject::invokeMethod(
            this, [this, message] { mString->setText(message); }, Qt::QueuedConnection);
        return;
    }
    mString->setText(message);
}

QString LbMessageArea::Message() const
{
    return mString->text();
}

void LbMessageArea::BeginProgress(float maximum)
{
    if (mProgress == nullptr) return;
    mMaximum = maximum;
    if (!OnGuiThread(this)) {
        QMetaObject::invokeMethod(
            this, [this, maximum] { mProgress->BeginProgress(maximum); }, Qt::QueuedConnection);
        return;
    }
    mProgress->BeginProgress(maximum);
}

float LbMessageArea::ProgressMax() const
{
    return mProgress != nullptr ? mMaximum.load() : 0;
}

void LbMessageArea::MoveProgressBy(float delta)
{
    if (mProgress == nullptr) return;
    if (!OnGuiThread(this)) {
        QMetaObject::invokeMethod(
            this, [this, delta] { mProgress->MoveProgressBy(delta); }, Qt::QueuedConnection);
        return;
    }
    mProgress->MoveProgressBy(delta);
}

void LbMessageArea::MoveProgressTo(float value)
{
    if (mProgress == nullptr) return;
    if (!OnGuiThread(this)) {
        QMetaObject::invokeMethod(
            this, [this, value] { mProgress->MoveProgressTo(value); }, Qt::QueuedConnection);
        return;
    }
    mProgress->MoveProgressTo(value);
}

void LbMessageArea::EndProgress()
{
    if (mProgress == nullptr) return;
    if (!OnGuiThread(this)) {
        QMetaObject::invokeMethod(
            this, [this] { mProgress->EndProgress(); }, Qt::QueuedConnection);
        return;
    }
    mProgress->EndProgress();
}
