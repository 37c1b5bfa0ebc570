#include "support/window/OrbView.h"

#include "app/Message.h"
#include "support/OrbLookPreferences.h"

#include <cstring>

#include <QPaintEvent>
#include <QPainter>

namespace {

QColor ToQColor(rgb_color c)
{
    return QColor(c.red, c.green, c.blue);
}

} // namespace

// --- OrbLineBatch ---

void OrbLineBatch::Begin(int32 count)
{
    if (mOpen) Flush();
    mBatchSize = count < 1 ? 1 : count;
    mLines.clear();
    mLines.reserve(size_t(mBatchSize));
    mOpen = true;
}

void OrbLineBatch::Add(BPoint from, BPoint to, rgb_color color)
{
    mLines.push_back(Line {from, to, color});
    if (!mOpen || int32(mLines.size()) >= mBatchSize) Flush();
}

void OrbLineBatch::End()
{
    Flush();
    mOpen = false;
}

void OrbLineBatch::Flush()
{
    if (mLines.empty()) return;
    mSink(mContext, mLines.data(), int32(mLines.size()));
    mLines.clear();
}

// --- OrbView ---

OrbView::OrbView(QWidget* parent, const char* name)
    : QWidget(parent), mViewColor(OrbLookPreferences::Default()->BackgroundColor()),
      mLines(&OrbView::DrawLines, this)
{
    if (name != nullptr) setObjectName(QString::fromUtf8(name));
    QFont f = font();
    f.setPointSizeF(GetFontSize());
    setFont(f);
}

OrbView::~OrbView() = default;

float OrbView::GetFontSize() const
{
    return 12.0f;
}

void OrbView::GetPreferredSize(float* width, float* height)
{
    if (width != nullptr) *width = 0;
    if (height != nullptr) *height = 0;
}

void OrbView::MessageReceived(BMessage*)
{
}

void OrbView::Draw(BRect updateRect)
{
    if (mPainter == nullptr) return;
    mPainter->fillRect(
        QRectF(updateRect.left, updateRect.top, updateRect.Width() + 1, updateRect.Height() + 1),
        ToQColor(mViewColor));
}

void OrbView::SetViewColor(rgb_color color)
{
    mViewColor = color;
}

void OrbView::Invalidate()
{
    update();
}

BRect OrbView::Bounds() const
{
    return BRect(0, 0, width() - 1, height() - 1);
}

void OrbView::pBeginLineArray(int32 count)
{
    mLines.Begin(count);
}

void OrbView::pAddLine(BPoint from, BPoint to, rgb_color color)
{
    mLines.Add(from, to, color);
}

void OrbView::pEndLineArray()
{
    mLines.End();
}

QSize OrbView::sizeHint() const
{
    float w = 0, h = 0;
    const_cast<OrbView*>(this)->GetPreferredSize(&w, &h);
    if (w <= 0 || h <= 0) return QWidget::sizeHint();
    return QSize(int(w) + 1, int(h) + 1);
}

void OrbView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    mPainter = &painter;
    QRect r = event->rect();
    Draw(BRect(r.left(), r.top(), r.right(), r.bottom()));
    // A batch left open by Draw is drawn now, while the painter is there.
    if (mLines.IsOpen()) mLines.End();
    mPainter = nullptr;
}

void OrbView::DrawLines(void* context, const OrbLineBatch::Line* lines, int32 count)
{
    QPainter* painter = static_cast<OrbView*>(context)->mPainter;
    if (painter == nullptr) return;
    for (int32 i = 0; i < count; i++) {
        painter->setPen(ToQColor(lines[i].color));
        painter->drawLine(QPointF(lines[i].from.x, lines[i].from.y),
                          QPointF(lines[i].to.x, lines[i].to.y));
    }
}

// --- OrbBackground ---

OrbBackground::~OrbBackground()
{
    // A long chain ends link by link, not by recursion.
    std::unique_ptr<OrbBackground> next = std::move(mNext);
    while (next != nullptr) next = std::move(next->mNext);
}

void OrbBackground::Append(OrbBackground* background)
{
    OrbBackground* last = this;
    while (last->mNext != nullptr) last = last->mNext.get();
    last->mNext.reset(background);
}

void OrbBevelBackground::do_Draw(OrbView* view, BRect, const OrbLookPreferences* look)
{
    BRect b = view->Bounds();
    rgb_color light = look->BackgroundAccentColor();
    rgb_color dark = look->BackgroundShadowColor();
    if (mSunken) std::swap(light, dark);
    view->pBeginLineArray(4 * mWidth);
    for (int32 i = 0; i < mWidth; i++) {
        float l = b.left + i, t = b.top + i, r = b.right - i, bt = b.bottom - i;
        view->pAddLine(BPoint(l, bt), BPoint(l, t), light);
        view->pAddLine(BPoint(l, t), BPoint(r, t), light);
        view->pAddLine(BPoint(r, t), BPoint(r, bt), dark);
        view->pAddLine(BPoint(r, bt), BPoint(l, bt), dark);
    }
    view->pEndLineArray();
}

// --- OrbLookPolicyView ---

OrbLookPolicyView::OrbLookPolicyView(QWidget* parent, const char* name, OrbLookPreferences* look)
    : OrbView(parent, name), mLook(look != nullptr ? look : OrbLookPreferences::Default())
{
    SetViewColor(mLook->BackgroundColor());
}

OrbLookPolicyView::~OrbLookPolicyView() = default;

void OrbLookPolicyView::SetBackground(OrbBackground* background)
{
    mBackground.reset(background);
    update();
}

void OrbLookPolicyView::AddBackground(OrbBackground* background)
{
    if (background == nullptr) return;
    if (mBackground == nullptr)
        mBackground.reset(background);
    else
        mBackground->Append(background);
    update();
}

void OrbLookPolicyView::Draw(BRect updateRect)
{
    OrbView::Draw(updateRect);
    for (OrbBackground* b = mBackground.get(); b != nullptr; b = b->Next())
        b->do_Draw(this, updateRect, mLook);
}

void OrbLookPolicyView::MessageReceived(BMessage* message)
{
    if (message->what != ORB_LOOK_CHANGED_VIEWS) {
        OrbView::MessageReceived(message);
        return;
    }
    int8 code = -1;
    if (message->FindInt8("colorCde", &code) != B_OK) return;
    rgb_color color = {0, 0, 0, 255};
    const void* data = nullptr;
    ssize_t size = 0;
    if (message->FindData("rgbColor", B_RGB_COLOR_TYPE, &data, &size) == B_OK &&
        size == ssize_t(sizeof color))
        memcpy(&color, data, sizeof color);
    else if (code <= ORB_DATA_COLOR)
        color = mLook->Color(code);
    bool drawNow = false;
    message->FindBool("drawNow", &drawNow);
    HandleColorPreference(code, color, drawNow);
}

void OrbLookPolicyView::HandleColorPreference(int8 code, rgb_color color, bool drawNow)
{
    if (code != ORB_BACKGROUND_COLOR) return;
    SetViewColor(color);
    if (drawNow) Invalidate();
}
