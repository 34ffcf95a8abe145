// The scheduler thread run directly on a context of the test's making: a plain window stands in
// for the main window, and timers are armed with short equivalents of days.
#include "CommandSpy.h"
#include "FrameTest.h"
#include "support/UiDriver.h"
#include "update/SchedulerContext.h"

#include <vector>

namespace {

class SchedulerThreadTest : public FrameTest {
  protected:
    void SetUp() override {
        FrameTest::SetUp();
        m_window = ::CreateWindowExA(0, "STATIC", "sched-target", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     nullptr, nullptr);
        ASSERT_NE(m_window, nullptr);
        m_stop.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    }
    void TearDown() override {
        if (m_schedulerThread) {
            ::SetEvent(m_stop.Get());
            if (!PumpUntil([&] { return Ended(); }, 3000))
                ::TerminateThread(m_schedulerThread.Get(), 1); // a broken build must not hang the run
        }
        m_spy.reset();
        ::DestroyWindow(m_window);
        FrameTest::TearDown();
    }

    std::unique_ptr<CSchedulerContext> MakeContext(int intervalDays) {
        return CSchedulerContext::Create(m_window, m_stop.Get(), m_autoUpdate.Get(), m_done.Get(),
                                         intervalDays);
    }
    void Start(std::unique_ptr<CSchedulerContext> context) {
        ASSERT_TRUE(context);
        m_startTick = ::GetTickCount();
        m_schedulerThread.Reset(
            ::CreateThread(nullptr, 0, &CMainFrame::UpdateScheduler, context.release(), 0, nullptr));
        ASSERT_TRUE(m_schedulerThread);
    }
    bool Ended() const { return ::WaitForSingleObject(m_schedulerThread.Get(), 0) == WAIT_OBJECT_0; }
    DWORD ExitCode() const {
        DWORD code = 99;
        ::GetExitCodeThread(m_schedulerThread.Get(), &code);
        return code;
    }

    HWND m_window = nullptr;
    CHandle m_stop;
    CHandle m_schedulerThread;
    std::unique_ptr<CommandSpy> m_spy;
    DWORD m_startTick = 0;
};

TEST_F(SchedulerThreadTest, TimerDecidesOnceEveryIntervalCountedFromEachExpiry) {
    m_spy = std::make_unique<CommandSpy>(m_window, false);
    std::vector<DWORD> ticks;
    m_spy->m_onUpdateNow = [&] {
        ticks.push_back(::GetTickCount());
        ::Sleep(100); // a decision that takes time does not shorten the next interval
    };
    auto context = MakeContext(7);
    context->m_dueTime = -3000000; // 300 ms instead of 7 days
    Start(std::move(context));
    ASSERT_TRUE(PumpUntil([&] { return ticks.size() >= 3; }, 4000));
    EXPECT_GE(ticks[0] - m_startTick, 250u);
    EXPECT_GE(ticks[1] - ticks[0], 250u);
    EXPECT_GE(ticks[2] - ticks[1], 250u);
    EXPECT_EQ(m_spy->m_fromOtherThread, m_spy->m_updateNow);

    ::SetEvent(m_stop.Get());
    ASSERT_TRUE(PumpUntil([&] { return Ended(); }, 1000));
    EXPECT_EQ(ExitCode(), 0u);
}

TEST_F(SchedulerThreadTest, IntervalZeroDecidesRightAfterStartAndThenOnlyOnRequest) {
    m_spy = std::make_unique<CommandSpy>(m_window, false);
    Start(MakeContext(0));
    ASSERT_TRUE(PumpUntil([&] { return m_spy->m_updateNow == 1; }, 2000));
    EXPECT_TRUE(NeverWithin([&] { return m_spy->m_updateNow > 1; }, 600));

    ::SetEvent(m_autoUpdate.Get());
    ASSERT_TRUE(PumpUntil([&] { return m_spy->m_updateNow == 2; }, 2000));
    EXPECT_FALSE(Signalled(m_autoUpdate));
    EXPECT_TRUE(NeverWithin([&] { return m_spy->m_updateNow > 2; }, 300));
}

TEST_F(SchedulerThreadTest, WithoutMainWindowTheThreadEndsAtOnce) {
    auto context = MakeContext(0);
    context->m_hMainWnd = nullptr;
    ::SetEvent(m_shutdown.Get());
    Start(std::move(context));
    ASSERT_TRUE(PumpUntil([&] { return Ended(); }, 1000));
    EXPECT_EQ(ExitCode(), 0u);
}

TEST_F(SchedulerThreadTest, AWaitThatFailsEndsTheThreadInsteadOfSpinning) {
    m_spy = std::make_unique<CommandSpy>(m_window, false);
    auto context = MakeContext(7);
    // A handle value no object has: every wait including it fails.
    context->m_autoUpdate.Reset(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7FFF0000)));
    Start(std::move(context));
    ASSERT_TRUE(PumpUntil([&] { return Ended(); }, 1000));
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(m_spy->m_updateNow, 0);
}

TEST_F(SchedulerThreadTest, ContextHoldsItsOwnHandles) {
    CHandle stop(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    auto context = CSchedulerContext::Create(m_window, stop.Get(), m_autoUpdate.Get(), m_done.Get(), 3);
    ASSERT_TRUE(context);
    EXPECT_NE(context->m_stopEvent.Get(), stop.Get());
    EXPECT_NE(context->m_autoUpdateDone.Get(), m_done.Get());
    EXPECT_EQ(context->m_dueTime, CMainFrame::SchedulerDueTime(3));
    EXPECT_TRUE(context->m_rearmTimer);
    stop.Close(); // the original goes; the thread's copy still names the same event
    ::SetEvent(context->m_autoUpdateDone.Get());
    EXPECT_TRUE(Signalled(m_done));

    // Without a stop event no thread could ever be told to end.
    EXPECT_FALSE(CSchedulerContext::Create(m_window, nullptr, m_autoUpdate.Get(), m_done.Get(), 3));
}

} // namespace
