// The librarian window's texts and decisions, without a window.
#include "librarian/window/LbDmwRules.h"

#include <gtest/gtest.h>

TEST(LibrarianWindowRules, LabelsCountsAndSelectionNames)
{
    EXPECT_EQ("0 items", LbDmwCountText(0, false));
    EXPECT_EQ("1 item", LbDmwCountText(1, false));
    EXPECT_EQ("128 items", LbDmwCountText(128, false));
    EXPECT_EQ("1 selection", LbDmwCountText(1, true));
    EXPECT_EQ("3 selections", LbDmwCountText(3, true));

    EXPECT_EQ("5 Init Preset", LbDmwPatchLabel(5, "Init Preset"));
    EXPECT_EQ("0 <empty>", LbDmwPatchLabel(0, nullptr));
    EXPECT_EQ("127 <empty>", LbDmwPatchLabel(127, ""));

    EXPECT_EQ("1 Patch", LbDmwSelectionName(1, "Preset - RAM"));
    EXPECT_EQ("2 Patches", LbDmwSelectionName(2, "Preset - RAM"));
    EXPECT_EQ("Bank Preset - RAM", LbDmwSelectionName(0, "Preset - RAM"));
    EXPECT_EQ("0 Patches", LbDmwSelectionName(0, nullptr));

    EXPECT_EQ("Manage E-mu Morpheus - untitled", LbDmwTitle("E-mu", "Morpheus", ""));
    EXPECT_EQ("Manage E-mu Morpheus - all.lib", LbDmwTitle("E-mu", "Morpheus", "/tmp/x/all.lib"));
    EXPECT_EQ("Manage <error> Morpheus - untitled", LbDmwTitle(nullptr, "Morpheus", ""));
    EXPECT_EQ("Save changes to \"untitled\"?", LbDmwCloseQuestion(""));
    EXPECT_EQ("Save changes to \"b.lib\"?", LbDmwCloseQuestion("/a/b.lib"));
}

TEST(LibrarianWindowRules, MenusFollowTheWorkerTheSnapshotAndTheInstrument)
{
    LbDmwEnabling idle = LbDmwMenuEnabling(false, true, true, 1);
    EXPECT_TRUE(idle.open && idle.saveAs && idle.quit && idle.copy && idle.paste && idle.midi &&
                idle.newWindow);
    EXPECT_FALSE(idle.patch);
    EXPECT_FALSE(idle.playback);

    LbDmwEnabling busy = LbDmwMenuEnabling(true, true, true, 1);
    EXPECT_FALSE(busy.open || busy.saveAs || busy.quit || busy.copy || busy.paste || busy.midi);
    EXPECT_TRUE(busy.studio);

    LbDmwEnabling empty = LbDmwMenuEnabling(false, false, true, 0);
    EXPECT_TRUE(empty.open && empty.quit);
    EXPECT_FALSE(empty.copy || empty.paste || empty.midi || empty.newWindow);

    // An offline instrument copies and pastes, but talks to nothing.
    LbDmwEnabling offline = LbDmwMenuEnabling(false, true, false, 0);
    EXPECT_TRUE(offline.copy && offline.paste);
    EXPECT_FALSE(offline.midi);
}

TEST(LibrarianWindowRules, ClosingDecisions)
{
    using Step = LbDmwCloseStep;
    EXPECT_EQ(Step::kRefuse, LbDmwCloseDecision(true, true, 3, false));
    // The last librarian window hands the closing to the application...
    EXPECT_EQ(Step::kQuitApplication, LbDmwCloseDecision(false, false, 1, true));
    EXPECT_EQ(Step::kQuitApplication, LbDmwCloseDecision(false, false, 0, false));
    // ...which asks again while quitting: then changes are asked about.
    EXPECT_EQ(Step::kAsk, LbDmwCloseDecision(false, true, 1, true));
    EXPECT_EQ(Step::kClose, LbDmwCloseDecision(false, true, 1, false));
    EXPECT_EQ(Step::kAsk, LbDmwCloseDecision(false, false, 2, true));
    EXPECT_EQ(Step::kClose, LbDmwCloseDecision(false, false, 2, false));
}
