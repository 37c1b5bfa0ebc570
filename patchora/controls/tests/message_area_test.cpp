// The status line and its progress bar.
#include "interface/tests/GuiTest.h"

#include "controls/LbMessageArea.h"

#include <thread>

#include <QLabel>

namespace {

class MessageArea : public GuiTest { };

TEST_F(MessageArea, ProgressRedrawsOnlyWhenTheBarGrowsByAPixelAndClampsItsValue)
{
    LbMessageArea area(nullptr, "messages", 105);
    area.resize(400, 20);
    area.show();
    RunPendingEvents();
    LbProgressView* bar = area.ProgressView();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(bar->width(), 105);

    area.BeginProgress(1000);
    EXPECT_EQ(area.ProgressMax(), 1000);
    EXPECT_EQ(bar->LastPixel(), -1);
    // The bar spans 100 pixels inside its edges (bounds inset by 2): 10 steps fill one pixel.
    EXPECT_TRUE(bar->MoveProgressTo(10));
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->LastPixel(), 1);
    EXPECT_FALSE(bar->MoveProgressTo(15));
    EXPECT_FALSE(bar->MoveProgressTo(19));
    EXPECT_TRUE(bar->MoveProgressTo(20));
    area.MoveProgressBy(5);
    EXPECT_EQ(bar->Value(), 25);

    // Past the maximum: a full bar, value at the maximum; below zero: empty.
    bar->MoveProgressTo(5000);
    EXPECT_EQ(bar->Value(), 1000);
    EXPECT_EQ(bar->LastPixel(), 100);
    bar->MoveProgressTo(-3);
    EXPECT_EQ(bar->LastPixel(), 0);

    area.EndProgress();
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(bar->LastPixel(), -1);
    EXPECT_EQ(bar->Value(), 0);

    // A maximum of zero draws an empty bar rather than dividing by it.
    area.BeginProgress(0);
    bar->MoveProgressTo(3);
    EXPECT_EQ(bar->LastPixel(), 0);
    EXPECT_EQ(LbProgressView::PixelFor(1, 0, 0, 100), 0);
}

TEST_F(MessageArea, WithoutABarTheProgressCallsDoNothing)
{
    LbMessageArea area(nullptr, "messages", 0);
    EXPECT_EQ(area.ProgressView(), nullptr);
    area.BeginProgress(50);
    area.MoveProgressTo(20);
    EXPECT_EQ(area.ProgressMax(), 0);
    area.SetMessage("Receiving...");
    EXPECT_EQ(area.Message(), "Receiving...");
    EXPECT_EQ(area.StringView()->objectName(), "StringView");
}

TEST_F(MessageArea, AWorkerThreadsReportsArriveOnTheGuiThreadInOrder)
{
    LbMessageArea area(nullptr, "messages", 105);
    area.resize(400, 20);
    std::thread worker([&] {
        area.SetMessage("Receiving 272 patches...");
        area.BeginProgress(272);
        for (int i = 0; i < 272; i++) area.MoveProgressBy(1);
    });
    worker.join();
    // Nothing touched the widgets on the worker's thread.
    EXPECT_EQ(area.Message(), "");
    EXPECT_EQ(area.ProgressMax(), 272);
    ASSERT_TRUE(RunEventsUntil([&] { return area.ProgressView()->Value() == 272; }));
    EXPECT_EQ(area.Message(), "Receiving 272 patches...");
    EXPECT_EQ(area.ProgressView()->LastPixel(), 100);
}

} // namespace
