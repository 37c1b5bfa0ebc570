// The frame element of the window-state document, as text and on a window.
#include "interface/tests/GuiTest.h"

#include "app/window/LbWindowState.h"
#include "interface/Screen.h"
#include "interface/Window.h"

#include <limits>

namespace {

TEST(FrameText, KeepsTheFrameRelativeToTheScreenAndScalesItToAnother)
{
    const BRect small(0, 0, 1023, 767), big(0, 0, 2047, 1535);
    std::string text = LbFrameText(BRect(128, 96, 448, 356), small, false);
    EXPECT_EQ(text, "0.12500000 0.43750000 0.12500000 0.46354167 0");

    BRect frame;
    bool minimized = true;
    ASSERT_EQ(LbParseFrameText(text.c_str(), big, &frame, &minimized), B_OK);
    EXPECT_FLOAT_EQ(frame.left, 256);
    EXPECT_FLOAT_EQ(frame.top, 192);
    EXPECT_FLOAT_EQ(frame.right, 896);
    EXPECT_NEAR(frame.bottom, 712, 0.01);
    EXPECT_FALSE(minimized);

    ASSERT_EQ(LbParseFrameText(LbFrameText(BRect(1, 2, 3, 4), small, true).c_str(), small, &frame,
                               &minimized),
              B_OK);
    EXPECT_TRUE(minimized);
    // Four numbers without the fifth: not minimised.
    ASSERT_EQ(LbParseFrameText("0.1 0.2\t0.3\n0.4", small, &frame, &minimized), B_OK);
    EXPECT_FALSE(minimized);
}

TEST(FrameText, FewerThanFourNumbersOrNonsenseLeaveTheFrameAlone)
{
    const BRect screen(0, 0, 1023, 767);
    BRect frame(1, 2, 3, 4);
    EXPECT_EQ(LbParseFrameText("0.1 0.2 0.3", screen, &frame, nullptr), -1);
    EXPECT_EQ(LbParseFrameText("", screen, &frame, nullptr), -1);
    EXPECT_EQ(LbParseFrameText(nullptr, screen, &frame, nullptr), -1);
    EXPECT_EQ(LbParseFrameText("0.1 nan 0.3 0.4", screen, &frame, nullptr), -1);
    EXPECT_EQ(LbParseFrameText("0.1 inf 0.3 0.4", screen, &frame, nullptr), -1);
    EXPECT_EQ(LbParseFrameText("a b c d", screen, &frame, nullptr), -1);
    EXPECT_EQ(frame, BRect(1, 2, 3, 4));
}

class WindowFrame : public GuiTest { };

TEST_F(WindowFrame, AppliesTheScaledFrameAndBringsAFrameOffTheScreenBack)
{
    auto* window = new BWindow(BRect(10, 10, 109, 109), "w");
    BRect screen = BScreen(window).Frame();
    std::string text = LbFrameText(BRect(100, 120, 400, 300), screen, false);
    ASSERT_EQ(LbApplyWindowFrame(window, text.c_str()), B_OK);
    EXPECT_EQ(window->Frame(), BRect(100, 120, 400, 300));

    EXPECT_EQ(LbApplyWindowFrame(window, "0.5 0.6 0.7"), -1);
    EXPECT_EQ(window->Frame(), BRect(100, 120, 400, 300));

    // Far right and below: moved back so that the window can be reached.
    ASSERT_EQ(LbApplyWindowFrame(window, "5.0 5.2 7.0 7.3 0"), B_OK);
    BRect f = window->Frame();
    EXPECT_LT(f.left, screen.right);
    EXPECT_LT(f.top, screen.bottom);
    EXPECT_GE(f.left, screen.left);
    window->Lock();
    window->Quit();
}

} // namespace
