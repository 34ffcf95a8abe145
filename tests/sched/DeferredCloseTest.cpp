// A close that arrives while an update run is in progress waits for the run and is then carried out.
#include "BoxScript.h"
#include "CommandSpy.h"
#include "FrameTest.h"
#include "res/resource.h"

namespace {

using DeferredCloseTest = FrameTest;

TEST_F(DeferredCloseTest, ExitDuringARunClosesTheWindowRightAfterTheRun) {
    CreateFrame();
    HANDLE thread = SchedulerThread();
    CommandSpy spy(m_hwnd, true);
    bool aliveAfterExit = false;
    bool runningAfterExit = false;
    BoxScript box("Corvalis Wayrail", IDOK, [&](HWND) {
        DWORD_PTR result;
        ::SendMessageTimeoutA(m_hwnd, WM_COMMAND, ID_TRAY_EXIT, 0, SMTO_NORMAL, 5000, &result);
        aliveAfterExit = ::IsWindow(m_hwnd) != FALSE;
        runningAfterExit = Signalled(m_running);
    });
    SendUpdateNow();
    ASSERT_TRUE(box.Wait().shown);
    EXPECT_EQ(spy.m_close, 1);
    EXPECT_TRUE(aliveAfterExit);
    EXPECT_TRUE(runningAfterExit);
    // The run has ended cleanly...
    EXPECT_TRUE(Signalled(m_done));
    EXPECT_FALSE(Signalled(m_running));
    // ...and the close it remembered follows.
    ASSERT_TRUE(PumpUntil([&] { return !FrameAlive(); }, 3000));
    EXPECT_EQ(::WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
}

TEST_F(DeferredCloseTest, ShutdownDuringARunClosesTheWindowRightAfterTheRun) {
    CreateFrame();
    HANDLE thread = SchedulerThread();
    CommandSpy spy(m_hwnd, true);
    bool threadEnded = false;
    BoxScript box("Corvalis Wayrail", IDOK, [&](HWND) {
        ::SetEvent(m_shutdown.Get());
        threadEnded = ::WaitForSingleObject(thread, 3000) == WAIT_OBJECT_0;
        pmtest::WaitUntil([&] { return spy.m_close == 1; }, 3000); // dispatched by the box
    });
    SendUpdateNow();
    ASSERT_TRUE(box.Wait().shown);
    EXPECT_TRUE(threadEnded);
    EXPECT_EQ(spy.m_close, 1);
    EXPECT_TRUE(Signalled(m_done));
    ASSERT_TRUE(PumpUntil([&] { return !FrameAlive(); }, 3000));
}

TEST_F(DeferredCloseTest, ExitDuringAScheduledRunLetsTheSchedulerEndWithoutStallingTheClose) {
    CreateFrame();
    HANDLE thread = SchedulerThread();
    BoxScript box("Corvalis Wayrail", IDOK, [&](HWND) {
        DWORD_PTR result;
        ::SendMessageTimeoutA(m_hwnd, WM_COMMAND, ID_TRAY_EXIT, 0, SMTO_NORMAL, 5000, &result);
    });
    ::SetEvent(m_autoUpdate.Get());
    ASSERT_TRUE(PumpUntil([&] { return box.Finished(); }, 15000));
    ASSERT_TRUE(box.Wait().shown);
    DWORD answered = ::GetTickCount();
    // The scheduler is released from its command before the close stops it: no 3000 ms wait.
    ASSERT_TRUE(PumpUntil([&] { return !FrameAlive(); }, 5000));
    EXPECT_LT(::GetTickCount() - answered, 1500u);
    EXPECT_EQ(::WaitForSingleObject(thread, 1000), WAIT_OBJECT_0);
    EXPECT_TRUE(Signalled(m_done));
}

} // namespace
