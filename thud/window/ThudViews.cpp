#include "ThudViews.h"

#include "ThudDrawing.h"
#include "ThudSound.h"
#include "ThudWindow.h"
#include "app/Message.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace thud {

namespace {

const QColor kBackground(0x1d, 0x23, 0x2e);
const QColor kDisabledBackground(0x3a, 0x3e, 0x46);
const QColor kGrid(0x3b, 0x45, 0x55);
const QColor kTrace(0x4f, 0xc3, 0xf7);
constexpr int kInset = 4;

}  // namespace

PlotView::PlotView(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize PlotView::sizeHint() const
{
    return QSize(150, 70);
}

QSize PlotView::minimumSizeHint() const
{
    return QSize(80, 48);
}

void PlotView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(kGrid, 1));
    painter.setBrush(isEnabled() ? kBackground : kDisabledBackground);
    painter.drawRoundedRect(frame, 4, 4);
    if (!isEnabled())
        return;
    QRectF area = QRectF(rect()).adjusted(kInset, kInset, -kInset, -kInset);
    if (fCentreLine) {
        painter.setPen(QPen(kGrid, 1, Qt::DashLine));
        painter.drawLine(QPointF(area.left(), area.center().y()),
                         QPointF(area.right(), area.center().y()));
    }
    painter.setPen(QPen(kTrace, 1.5));
    painter.setBrush(Qt::NoBrush);
    DrawTrace(painter, area);
}

// --- envelope ---

EnvelopeView::EnvelopeView(QWidget* parent, int32_t curveType, BMessenger window)
    : PlotView(parent), fCurveType(curveType), fWindow(window)
{
    fCentreLine = false;
    setCursor(Qt::SizeHorCursor);
    setToolTip(tr("Drag sideways to bend the curve"));
}

void EnvelopeView::SetCurve(float curve)
{
    fCurve = curve;
    update();
}

void EnvelopeView::MouseDown(BPoint where)
{
    fTracking = true;
    MouseMoved(where);
}

void EnvelopeView::MouseMoved(BPoint where)
{
    if (!fTracking)
        return;
    SetCurve(static_cast<float>(CurveFromDrag(where.x, width())));
    BMessage moved(kMsgCurveMoved);
    moved.AddInt32("curvetype", fCurveType);
    fWindow.SendMessage(&moved, static_cast<BHandler*>(nullptr), 0);
}

void EnvelopeView::MouseUp(BPoint)
{
    fTracking = false;
}

void EnvelopeView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        MouseDown(BPoint(float(event->position().x()), float(event->position().y())));
}

void EnvelopeView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        MouseMoved(BPoint(float(event->position().x()), float(event->position().y())));
}

void EnvelopeView::mouseReleaseEvent(QMouseEvent* event)
{
    MouseUp(BPoint(float(event->position().x()), float(event->position().y())));
}

void EnvelopeView::DrawTrace(QPainter& painter, const QRectF& area)
{
    int columns = std::max(2, int(area.width()));
    std::vector<float> values = EnvelopeCurve(fCurve, columns);
    QPainterPath path;
    for (int i = 0; i < columns; i++) {
        QPointF p(area.left() + area.width() * i / (columns - 1),
                  area.bottom() - area.height() * values[size_t(i)]);
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    painter.drawPath(path);
}

// --- distortion ---

DistortionView::DistortionView(QWidget* parent, const ThudSound& sound)
    : PlotView(parent), fSound(sound)
{
}

void DistortionView::DrawTrace(QPainter& painter, const QRectF& area)
{
    int columns = std::max(2, int(area.width()));
    std::vector<float> values = ShapedPeriod(fSound, columns, true);
    QPainterPath path;
    for (int i = 0; i < columns; i++) {
        QPointF p(area.left() + area.width() * i / (columns - 1),
                  area.center().y() - area.height() / 2 * values[size_t(i)]);
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    painter.drawPath(path);
}

// --- sound ---

SoundView::SoundView(QWidget* parent, const ThudSound& sound) : PlotView(parent), fSound(sound)
{
}

void SoundView::DrawTrace(QPainter& painter, const QRectF& area)
{
    int64_t count = 0;
    const int16_t* samples = fSound.GetBuffer(count);
    if (samples == nullptr || count == 0) {
        painter.setPen(kGrid.lighter(160));
        painter.drawText(area, Qt::AlignCenter, tr("Play draws the sound here"));
        return;
    }
    std::vector<SampleRange> columns = SoundColumns(samples, count, int(area.width()) + 2);
    for (size_t i = 0; i < columns.size(); i++) {
        double x = area.left() + double(i);
        double top = area.top() + SampleY(columns[i].high, area.height());
        double bottom = area.top() + SampleY(columns[i].low, area.height());
        painter.drawLine(QPointF(x, top), QPointF(x, std::max(bottom, top + 0.5)));
    }
}

}  // namespace thud
