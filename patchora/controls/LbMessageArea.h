#pragma once
// LbMessageArea: the status line along the bottom of the studio and librarian windows, a
// text with an optional progress bar at its right (LbProgressView, hidden while no
// progress runs). Long work shows its status text here and moves the bar.
//
// LbProgressView: the bar. BeginProgress (maximum) starts at 0; MoveProgressTo clamps the
// value to 0 .. maximum and redraws only when the bar's filled width changes by a pixel,
// so a receive of thousands of steps does not repaint thousands of times; EndProgress
// hides it. A maximum of 0 or less draws an empty bar.
//
// Threads: LbProgressView on the GUI thread only. LbMessageArea's text and progress
// operations may be called from any thread (a librarian window's workers report through
// them): off the GUI thread the call is queued to the GUI thread and returns at once
// (dropped if the area is gone by then); ProgressMax answers the last maximum begun.
#include "kernel/Geometry.h"
#include "kernel/SupportDefs.h"

#include <atomic>

#include <QWidget>

class QLabel;

class LbProgressView : public QWidget {
public:
    explicit LbProgressView(QWidget* parent = nullptr);

    void BeginProgress(float maximum);
    float ProgressMax() const { return mMaximum; }
    void MoveProgressBy(float delta);
    // Returns true when the bar was redrawn (its filled width changed).
    bool MoveProgressTo(float value);
    void EndProgress();

    float Value() const { return mValue; }
    // The filled width in pixels, -1 when nothing is drawn.
    int32 LastPixel() const { return mLastPixel; }
    // The bar's rectangle: the view's bounds inset by 2.
    BRect BarRect() const;
    // The filled width the value gives for a bar from left to right.
    static int32 PixelFor(float value, float maximum, float left, float right);

    QSize sizeHint() const override;

protected:
    void paintEvent(class QPaintEvent* event) override;

private:
    float mMaximum = 0;
    float mValue = 0;
    int32 mLastPixel = -1;
    rgb_color mBarColor;
    rgb_color mLightEdge;
    rgb_color mDarkEdge;
};

class LbMessageArea : public QWidget {
public:
    // Border sides (bit 0 left, bit 1 right, bit 2 top, bit 3 bottom): 2 pixels are left
    // free at each side named. A progress width of 0 makes no progress bar.
    enum : uint32 {
        kBorderLeft = 1,
        kBorderRight = 2,
        kBorderTop = 4,
        kBorderBottom = 8,
        kBorderAll = 15,
    };
    LbMessageArea(QWidget* parent, const char* name, int32 progressWidth,
                  uint32 borderSides = kBorderAll);

    void SetMessage(const char* text);
    // The text shown now.
    QString Message() const;

    // Forwarded to the progress view; without one they do nothing (ProgressMax gives 0).
    void BeginProgress(float maximum);
    float ProgressMax() const;
    void MoveProgressBy(float delta);
    void MoveProgressTo(float value);
    void EndProgress();

    // Null when made without a progress bar.
    LbProgressView* ProgressView() const { return mProgress; }
    QLabel* StringView() const { return mString; }

private:
    QLabel* mString;
    LbProgressView* mProgress = nullptr;
    std::atomic<float> mMaximum {0};
};
