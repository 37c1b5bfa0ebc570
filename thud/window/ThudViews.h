#pragma once
// The pictures of thud's window: the two envelope views (which the user drags to set a
// curve), the distortion view and the sound view. Plain QWidgets that draw in
// paintEvent; the numbers come from ThudDrawing.h. A disabled view shows an empty plot.
// Threads: GUI thread only.

#include "app/Messenger.h"
#include "kernel/Geometry.h"

#include <cstdint>

#include <QWidget>

namespace thud {

class ThudSound;

// A plot area with the suite's look: dark background, a middle line, a coloured trace.
class PlotView : public QWidget {
public:
    explicit PlotView(QWidget* parent);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(class QPaintEvent* event) override;
    // Draws the trace into the plot area (called only while enabled).
    virtual void DrawTrace(class QPainter& painter, const QRectF& area) = 0;
    // A line in the middle of the plot (for pictures that swing around 0).
    bool fCentreLine = true;
};

class EnvelopeView : public PlotView {
public:
    // curveType: 1 amplitude, 2 frequency (the "curvetype" of its 'cvmm' message).
    EnvelopeView(QWidget* parent, int32_t curveType, BMessenger window);

    void SetCurve(float curve);
    // The curve the last drag gave (or the one set).
    float Value() const { return fCurve; }
    int32_t CurveType() const { return fCurveType; }

    // The drag: with the button held, each position sets the curve and tells the window.
    void MouseDown(BPoint where);
    void MouseMoved(BPoint where);
    void MouseUp(BPoint where);

protected:
    void DrawTrace(QPainter& painter, const QRectF& area) override;
    void mousePressEvent(class QMouseEvent* event) override;
    void mouseMoveEvent(class QMouseEvent* event) override;
    void mouseReleaseEvent(class QMouseEvent* event) override;

private:
    int32_t fCurveType;
    BMessenger fWindow;
    float fCurve = 1.0f;
    bool fTracking = false;
};

// One oscillator period through the distortion curve.
class DistortionView : public PlotView {
public:
    DistortionView(QWidget* parent, const ThudSound& sound);

protected:
    void DrawTrace(QPainter& painter, const QRectF& area) override;

private:
    const ThudSound& fSound;
};

// The rendered sound.
class SoundView : public PlotView {
public:
    SoundView(QWidget* parent, const ThudSound& sound);

protected:
    void DrawTrace(QPainter& painter, const QRectF& area) override;

private:
    const ThudSound& fSound;
};

}  // namespace thud
