// The library's views and windows: line batches, background chains, look changes handed
// to views children first, master and slave windows.
#include "interface/tests/GuiTest.h"

#include "app/Message.h"
#include "support/OrbLookPreferences.h"
#include "support/window/OrbView.h"
#include "support/window/OrbWindow.h"

#include <string>
#include <vector>

#include <QImage>
#include <QPointer>

namespace {

struct Batches {
    std::vector<int32> sizes;
    static void Sink(void* context, const OrbLineBatch::Line*, int32 count)
    {
        static_cast<Batches*>(context)->sizes.push_back(count);
    }
};

TEST(OrbLineBatch, StartsANewBatchWhenFullAndFlushesTheRestAtTheEnd)
{
    Batches seen;
    OrbLineBatch batch(&Batches::Sink, &seen);
    batch.Begin(128);
    for (int i = 0; i < 300; i++) batch.Add(BPoint(0, i), BPoint(10, i), rgb_color {0, 0, 0, 255});
    EXPECT_EQ(seen.sizes, (std::vector<int32> {128, 128}));
    EXPECT_EQ(batch.CountInBatch(), 44);
    batch.End();
    EXPECT_EQ(seen.sizes, (std::vector<int32> {128, 128, 44}));
    EXPECT_FALSE(batch.IsOpen());

    // Outside a batch a line goes at once; a batch size below one is one.
    batch.Add(BPoint(0, 0), BPoint(1, 1), rgb_color {0, 0, 0, 255});
    EXPECT_EQ(seen.sizes.back(), 1);
    batch.Begin(0);
    EXPECT_EQ(batch.BatchSize(), 1);
    batch.End();
    EXPECT_EQ(seen.sizes.size(), 4u); // an empty batch hands nothing on
}

// Records each call and draws a square of its colour where it is told.
class MarkBackground : public OrbBackground {
public:
    MarkBackground(std::vector<std::string>* log, std::string name, int* alive)
        : mLog(log), mName(std::move(name)), mAlive(alive)
    {
        ++*mAlive;
    }
    ~MarkBackground() override { --*mAlive; }
    void do_Draw(OrbView* view, BRect, const OrbLookPreferences* look) override
    {
        mLog->push_back(mName);
        // The accent of the look the view follows, as a row of lines at the top.
        view->pBeginLineArray(4);
        for (int y = 0; y < 4; y++)
            view->pAddLine(BPoint(0, y), BPoint(9, y), look->BackgroundAccentColor());
        view->pEndLineArray();
    }

private:
    std::vector<std::string>* mLog;
    std::string mName;
    int* mAlive;
};

class OrbWindows : public GuiTest { };

TEST_F(OrbWindows, ABackgroundChainDrawsInOrderOverTheViewColourAndIsReplacedWhole)
{
    OrbLookPreferences look(rgb_color {216, 216, 216, 255}, rgb_color {216, 216, 216, 255});
    look.SetBackgroundColor(rgb_color {100, 110, 120, 255}, false);
    OrbLookPolicyView view(nullptr, "v", &look);
    view.resize(20, 20);
    std::vector<std::string> log;
    int alive = 0;
    view.AddBackground(new MarkBackground(&log, "first", &alive));
    view.AddBackground(new MarkBackground(&log, "second", &alive));
    EXPECT_EQ(alive, 2);

    QImage image = view.grab().toImage();
    EXPECT_EQ(log, (std::vector<std::string> {"first", "second"}));
    // The lines in the accent (background + 50) over the view colour (the background).
    EXPECT_EQ(image.pixelColor(5, 1), QColor(150, 160, 170));
    EXPECT_EQ(image.pixelColor(5, 15), QColor(100, 110, 120));

    view.SetBackground(new MarkBackground(&log, "only", &alive));
    EXPECT_EQ(alive, 1);
    log.clear();
    view.grab();
    EXPECT_EQ(log, (std::vector<std::string> {"only"}));
    view.SetBackground(nullptr);
    EXPECT_EQ(alive, 0);
}

// A look view that records the codes it is handed, and in which order views are reached.
class RecordingView : public OrbLookPolicyView {
public:
    RecordingView(QWidget* parent, const char* name, std::vector<std::string>* order)
        : OrbLookPolicyView(parent, name), mOrder(order)
    {
    }
    void HandleColorPreference(int8 code, rgb_color color, bool drawNow) override
    {
        mOrder->push_back(objectName().toStdString());
        OrbLookPolicyView::HandleColorPreference(code, color, drawNow);
    }

private:
    std::vector<std::string>* mOrder;
};

TEST_F(OrbWindows, ALookChangeReachesEveryViewChildrenBeforeParents)
{
    auto* window = new OrbLookPolicyWindow(BRect(10, 10, 209, 109), "look");
    std::vector<std::string> order;
    auto* outer = new RecordingView(window->Background(), "outer", &order);
    new RecordingView(outer, "inner", &order);
    auto* sibling = new RecordingView(window->Background(), "sibling", &order);
    EXPECT_EQ(window->Background()->objectName(), "background");

    BMessage change;
    OrbMakeLookMessage(&change, ORB_BACKGROUND_COLOR, rgb_color {10, 20, 30, 255}, true);
    ASSERT_EQ(window->PostMessage(&change), B_OK);
    ASSERT_TRUE(RunEventsUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<std::string> {"inner", "outer", "sibling"}));
    EXPECT_EQ(sibling->ViewColor(), (rgb_color {10, 20, 30, 255}));
    EXPECT_EQ(window->Background()->ViewColor(), (rgb_color {10, 20, 30, 255}));

    // Other codes are the subclasses' business: the background keeps its colour.
    order.clear();
    OrbMakeLookMessage(&change, ORB_DATA_COLOR, rgb_color {1, 2, 3, 255}, true);
    window->PostMessage(&change);
    ASSERT_TRUE(RunEventsUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(window->Background()->ViewColor(), (rgb_color {10, 20, 30, 255}));
    window->Lock();
    window->Quit();
}

TEST_F(OrbWindows, SlavesGoWithTheirMasterAndASlaveThatGoesFirstLeavesTheList)
{
    auto* master = new OrbWindow(BRect(0, 0, 99, 99), "master");
    QPointer<QWidget> a = (new OrbWindow(BRect(0, 0, 99, 99), "a"))->Widget();
    auto* b = new OrbWindow(BRect(0, 0, 99, 99), "b");
    auto* c = new OrbWindow(BRect(0, 0, 99, 99), "c");
    auto* aw = static_cast<OrbWindow*>(fApp->WindowAt(1));
    aw->SetMaster(master);
    b->SetMaster(master);
    c->SetMaster(master);
    master->AddSlave(b); // once only
    EXPECT_EQ(master->CountSlaves(), 3);

    // c moves to b: it leaves master's list.
    c->SetMaster(b);
    EXPECT_EQ(master->CountSlaves(), 2);
    EXPECT_EQ(b->CountSlaves(), 1);

    // a quits by itself: master no longer names it.
    aw->Lock();
    aw->Quit();
    RunPendingEvents();
    EXPECT_TRUE(a.isNull());
    EXPECT_EQ(master->CountSlaves(), 1);
    EXPECT_EQ(master->SlaveAt(0), b);

    // master goes: b goes, and b's own slave c with it.
    master->Lock();
    master->Quit();
    RunPendingEvents();
    EXPECT_EQ(fApp->CountWindows(), 0);
}

} // namespace
