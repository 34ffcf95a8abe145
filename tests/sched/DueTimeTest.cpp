#include "shell/MainFrame.h"

#include <climits>
#include <gtest/gtest.h>

// Days from now as the waitable timer takes them: negative 100 ns counts are relative.
TEST(DueTime, IntervalsInDays) {
    EXPECT_EQ(CMainFrame::SchedulerDueTime(7), -6048000000000LL);
    EXPECT_EQ(CMainFrame::SchedulerDueTime(1), -864000000000LL);
    EXPECT_EQ(CMainFrame::SchedulerDueTime(120), -103680000000000LL);
    // 0 expires at once; a stored negative interval counts as that many days from now.
    EXPECT_EQ(CMainFrame::SchedulerDueTime(0), 0);
    EXPECT_EQ(CMainFrame::SchedulerDueTime(-3), -2592000000000LL);
    EXPECT_EQ(CMainFrame::SchedulerDueTime(-3), CMainFrame::SchedulerDueTime(3));
}

TEST(DueTime, LongestIntervalsNeverOverflow) {
    const LONGLONG longest = -24855LL * 86400 * 10000000;
    EXPECT_EQ(CMainFrame::SchedulerDueTime(24855), longest);
    EXPECT_EQ(CMainFrame::SchedulerDueTime(24856), longest);
    EXPECT_EQ(CMainFrame::SchedulerDueTime(INT_MAX), longest);
    EXPECT_EQ(CMainFrame::SchedulerDueTime(INT_MIN), longest);
}
