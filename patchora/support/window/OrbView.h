#pragma once
// The library's views: OrbView (a plain view with the library's font size, a preferred
// size and batched line drawing), OrbLookPolicyView (a view that follows the shared look
// and draws a chain of backgrounds) and OrbBackground (one link of that chain).
//
// Drawing: a view draws in Draw(updateRect), called from Qt's paint event with Painter()
// set; outside Draw, Painter() is null and lines added to a batch are dropped.
// Look changes reach a view as 'aCPH' through MessageReceived, handed to it by its
// window (support/window/OrbWindow.h), children before their parents.
//
// Threads: GUI thread only, like every widget. Other threads post to the window.
#include "kernel/Geometry.h"
#include "kernel/SupportDefs.h"

#include <memory>
#include <vector>

#include <QWidget>

class BMessage;
class OrbLookPreferences;
class OrbView;
class QPainter;

// Collects lines and hands them on in batches of at most `count`: a batch is flushed
// when it is full (a new one starts by itself) and when it ends. Kept apart from the
// view so that its rules can be checked without pixels.
class OrbLineBatch {
public:
    struct Line {
        BPoint from;
        BPoint to;
        rgb_color color;
    };
    using Sink = void (*)(void* context, const Line* lines, int32 count);

    OrbLineBatch(Sink sink, void* context) : mSink(sink), mContext(context) { }

    // A count below 1 is taken as 1.
    void Begin(int32 count);
    // Outside Begin/End the line is drawn at once (a batch of one).
    void Add(BPoint from, BPoint to, rgb_color color);
    void End();

    bool IsOpen() const { return mOpen; }
    int32 BatchSize() const { return mBatchSize; }
    int32 CountInBatch() const { return int32(mLines.size()); }

private:
    void Flush();

    Sink mSink;
    void* mContext;
    int32 mBatchSize = 128;
    bool mOpen = false;
    std::vector<Line> mLines;
};

class OrbView : public QWidget {
public:
    explicit OrbView(QWidget* parent = nullptr, const char* name = nullptr);
    ~OrbView() override;

    // 12 points.
    virtual float GetFontSize() const;
    // 0 x 0: a subclass that knows its size says so.
    virtual void GetPreferredSize(float* width, float* height);
    // Messages handed to the view by its window ('aCPH'); the base ignores them.
    virtual void MessageReceived(BMessage* message);
    // Draws the view; the base fills the update area with the view colour.
    virtual void Draw(BRect updateRect);

    void SetViewColor(rgb_color color);
    rgb_color ViewColor() const { return mViewColor; }
    // Asks for a redraw of the whole view.
    void Invalidate();
    // The view's own coordinates (left, top = 0; right and bottom inside).
    BRect Bounds() const;

    // The painter of the Draw in progress, or null outside Draw.
    QPainter* Painter() const { return mPainter; }

    // Batched lines, drawn with Painter().
    void pBeginLineArray(int32 count);
    void pAddLine(BPoint from, BPoint to, rgb_color color);
    void pEndLineArray();
    const OrbLineBatch& LineBatch() const { return mLines; }

    QSize sizeHint() const override;

protected:
    void paintEvent(class QPaintEvent* event) override;

private:
    static void DrawLines(void* context, const OrbLineBatch::Line* lines, int32 count);

    rgb_color mViewColor;
    QPainter* mPainter = nullptr;
    OrbLineBatch mLines;
};

// One drawable background; backgrounds form a singly linked chain, each owning the next.
class OrbBackground {
public:
    OrbBackground() = default;
    virtual ~OrbBackground();
    OrbBackground(const OrbBackground&) = delete;
    OrbBackground& operator=(const OrbBackground&) = delete;

    // Draws into the view (inside its Draw, with view->Painter() set).
    virtual void do_Draw(OrbView* view, BRect rect, const OrbLookPreferences* look) = 0;

    OrbBackground* Next() const { return mNext.get(); }
    // Appends `background` (taking ownership) at the end of the chain that starts here.
    void Append(OrbBackground* background);

private:
    std::unique_ptr<OrbBackground> mNext;
};

// A raised edge: the background accent along the top and left, the background shadow
// along the bottom and right, `width` pixels deep.
class OrbBevelBackground : public OrbBackground {
public:
    explicit OrbBevelBackground(int32 width = 1, bool sunken = false)
        : mWidth(width), mSunken(sunken)
    {
    }
    void do_Draw(OrbView* view, BRect rect, const OrbLookPreferences* look) override;

private:
    int32 mWidth;
    bool mSunken;
};

class OrbLookPolicyView : public OrbView {
public:
    // `look` is not owned; null means OrbLookPreferences::Default(). The view colour
    // starts as the look's background.
    explicit OrbLookPolicyView(QWidget* parent = nullptr, const char* name = nullptr,
                               OrbLookPreferences* look = nullptr);
    ~OrbLookPolicyView() override;

    OrbLookPreferences* Look() const { return mLook; }

    // Replaces the chain (the old one is deleted); takes ownership; null clears it.
    void SetBackground(OrbBackground* background);
    // Appends to the chain; takes ownership.
    void AddBackground(OrbBackground* background);
    OrbBackground* Background() const { return mBackground.get(); }

    // Draws the view, then each background of the chain in order.
    void Draw(BRect updateRect) override;
    // 'aCPH': reads "colorCde", "rgbColor" and "drawNow" and calls HandleColorPreference.
    void MessageReceived(BMessage* message) override;
    // The base follows the background (code 0): sets the view colour, redraws when
    // drawNow. Other codes are for subclasses.
    virtual void HandleColorPreference(int8 code, rgb_color color, bool drawNow);

private:
    OrbLookPreferences* mLook;
    std::unique_ptr<OrbBackground> mBackground;
};
