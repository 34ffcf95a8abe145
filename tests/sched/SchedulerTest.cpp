// The scheduler: its due times, and its thread as the main window starts and stops it, with real
// named events.
#include "CommandSpy.h"
#include "support/FrameTest.h"
#include "update/SchedulerContext.h"
#include "update/UpdateTexts.h"

#include <climits>
#include <vector>

using namespace pmtest;

namespace {

ULONGLONG CpuTime100ns(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return 0;
    auto value = [](const FILETIME& time) {
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return value(kernel) + value(user);
}

// Days from now as the waitable timer takes them: negative 100 ns counts are relative.
TEST(DueTime, IntervalsInDays) {
    const LONGLONG longest = -24855LL * 86400 * 10000000; // the most days whose seconds fit 32 bits
    const struct {
        int days;
        LONGLONG due;
    } cases[] = {
        {7, -6048000000000LL},  {1, -864000000000LL}, {0, 0}, // 0 expires at once
        {-3, -2592000000000LL},                               // a stored negative interval: that many days
        {24856, longest},       {INT_MAX, longest},   {INT_MIN, longest},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CMainFrame::SchedulerDueTime(c.days), c.due) << c.days;
}

using SchedulerTest = FrameTest;

TEST_F(SchedulerTest, TimerDecidesOnceEveryIntervalCountedFromEachExpiry) {
    // The thread on a context of the test's making: a plain window stands in for the main window,
    // and 300 ms for the 7 days.
    HWND window = ::CreateWindowExA(0, "STATIC", "sched-target", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    CommandSpy spy(window, false);
    std::vector<DWORD> ticks;
    spy.m_onUpdateNow = [&] {
        ticks.push_back(::GetTickCount());
        ::Sleep(100); // a decision that takes time does not shorten the next interval
    };
    CHandle stop(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    auto context = CSchedulerContext::Create(window, stop.Get(), m_autoUpdate.Get(), m_done.Get(), 7);
    ASSERT_TRUE(context);
    context->m_dueTime = -3000000;
    DWORD start = ::GetTickCount();
    m_thread.Reset(::CreateThread(nullptr, 0, &CMainFrame::UpdateScheduler, context.release(), 0, nullptr));
    bool decidedThrice = WaitUntil([&] { return ticks.size() >= 3; }, 4000);
    ::SetEvent(stop.Get());
    DWORD exitCode = 99;
    bool ended = WaitUntil([&] { return Signalled(m_thread); }, 1000);
    if (!ended)
        ::TerminateThread(m_thread.Get(), 1); // a broken build must not hang the run
    ::GetExitCodeThread(m_thread.Get(), &exitCode);
    ::DestroyWindow(window);
    ASSERT_TRUE(decidedThrice);
    EXPECT_GE(ticks[0] - start, 250u);
    EXPECT_GE(ticks[1] - ticks[0], 250u);
    EXPECT_GE(ticks[2] - ticks[1], 250u);
    EXPECT_EQ(spy.m_fromOtherThread, spy.m_updateNow);
    EXPECT_TRUE(ended);
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(SchedulerTest, IntervalZeroDecidesRightAfterStartAndThenOnlyOnRequest) {
    App().m_updateInterval = 0;
    CreateFrame();
    CommandSpy spy(m_hwnd, false); // the first decision waits for this thread's messages
    ASSERT_TRUE(WaitUntil([&] { return spy.m_updateNow == 1; }, 2000));
    EXPECT_EQ(spy.m_startedBy, UpdateText::kStartedBySchedule); // for the run's log
    EXPECT_FALSE(WaitUntil([&] { return spy.m_updateNow > 1; }, 600));
    ::SetEvent(m_autoUpdate.Get());
    ASSERT_TRUE(WaitUntil([&] { return spy.m_updateNow == 2; }, 2000));
    EXPECT_EQ(spy.m_startedBy, UpdateText::kStartedByProgram);
    EXPECT_FALSE(Signalled(m_autoUpdate));
    EXPECT_FALSE(WaitUntil([&] { return spy.m_updateNow > 2; }, 300));
}

TEST_F(SchedulerTest, EnableAutoUpdateOffTakesTheRequestAndNothingElse) {
    App().m_enableAutoUpdate = 0;
    App().m_askForConfirmation = 1; // no question either
    CreateFrame();
    CommandSpy spy(m_hwnd, false);
    for (bool doneBefore : {true, false}) {
        if (doneBefore)
            ::SetEvent(m_done.Get());
        else
            ::ResetEvent(m_done.Get());
        ::SetEvent(m_autoUpdate.Get());
        ASSERT_TRUE(WaitUntil([&] { return !Signalled(m_autoUpdate); }));
        EXPECT_FALSE(WaitUntil([&] { return spy.m_updateNow > 0 || FindBox("Corvalis"); }, 300));
        EXPECT_EQ(Signalled(m_done), doneBefore);
    }
}

TEST_F(SchedulerTest, ConfirmationNoSignalsDoneAndYesRunsTheUpdate) {
    App().m_askForConfirmation = 1;
    CreateFrame();
    CommandSpy spy(m_hwnd, true);
    bool requestPendingAtCommand = true;
    bool doneAtCommand = true;
    spy.m_onUpdateNow = [&] {
        requestPendingAtCommand = Signalled(m_autoUpdate);
        doneAtCommand = Signalled(m_done);
    };
    {
        MessageBoxWatcher question("Corvalis", IDNO, 15000, [](HWND box) {
            EXPECT_NE(::GetDlgItem(box, IDYES), nullptr);
            EXPECT_NE(::GetDlgItem(box, IDNO), nullptr);
            EXPECT_EQ(::GetDlgItem(box, IDOK), nullptr);
        });
        ::SetEvent(m_autoUpdate.Get());
        ASSERT_TRUE(WaitUntil([&] { return Signalled(m_done); }, 10000));
        MessageBoxSeen seen = question.Wait();
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(seen.text, "Do you wish to automatically update your menu items?");
        EXPECT_EQ(seen.owner, nullptr);
        EXPECT_TRUE(seen.topMost);
        EXPECT_EQ(seen.defaultButton, IDYES);
        EXPECT_FALSE(WaitUntil([&] { return spy.m_updateNow > 0; }, 300)); // no run, no connection
    }
    // Yes: the request is taken and Done reset before "&Update Now" comes from the scheduler's thread;
    // with no browser directory the run ends in its empty box, and Done stays reset until then.
    bool doneDuringRun = true;
    MessageBoxWatcher yes("Corvalis", IDYES);
    MessageBoxWatcher runBox("Corvalis Wayrail", IDOK, 30000,
                             [&](HWND) { doneDuringRun = Signalled(m_done); });
    ::SetEvent(m_autoUpdate.Get());
    ASSERT_TRUE(WaitUntil([&] { return runBox.Finished(); }, 15000));
    EXPECT_TRUE(yes.Wait().shown);
    ASSERT_TRUE(runBox.Wait().shown);
    EXPECT_FALSE(requestPendingAtCommand);
    EXPECT_FALSE(doneAtCommand);
    EXPECT_FALSE(doneDuringRun);
    ASSERT_TRUE(WaitUntil([&] { return Signalled(m_done); }));
    EXPECT_FALSE(Signalled(m_running));
    EXPECT_EQ(spy.m_updateNow, 1);
    EXPECT_EQ(spy.m_fromOtherThread, 1);
}

TEST_F(SchedulerTest, RequestTimerAndShutdownSignalledTogetherAreTakenInThatOrder) {
    App().m_updateInterval = 0; // the timer expires at once
    ::SetEvent(m_autoUpdate.Get());
    ::SetEvent(m_shutdown.Get());
    CreateFrame();
    CommandSpy spy(m_hwnd, false);
    std::vector<bool> requestPendingAt;
    spy.m_onUpdateNow = [&] { requestPendingAt.push_back(Signalled(m_autoUpdate)); };
    ASSERT_TRUE(WaitUntil([&] { return !FrameAlive(); }));
    // The request came first (already reset at the first decision), the timer second, and only
    // then CVLShutdown, which closed the window.
    ASSERT_EQ(requestPendingAt.size(), 2u);
    EXPECT_FALSE(requestPendingAt[0]);
    EXPECT_TRUE(Signalled(m_shutdown)); // never reset by the program
}

TEST_F(SchedulerTest, StopIsTakenBeforeAPendingRequestAndShutdown) {
    CreateFrame();
    SchedulerThread();
    CommandSpy spy(m_hwnd, false);
    spy.m_onUpdateNow = [&] {
        // Everything arrives while the thread is busy with its decision.
        ::SetEvent(m_shutdown.Get());
        ::SetEvent(m_autoUpdate.Get());
        ::SetEvent(m_frame->m_hStopEvent.Get());
    };
    ::SetEvent(m_autoUpdate.Get());
    ASSERT_TRUE(WaitUntil([&] { return Signalled(m_thread); }));
    EXPECT_EQ(spy.m_updateNow, 1);
    EXPECT_TRUE(Signalled(m_autoUpdate));                        // not taken
    EXPECT_FALSE(WaitUntil([&] { return !FrameAlive(); }, 300)); // no close posted
}

TEST_F(SchedulerTest, StopSchedulerTwiceClosesEverythingOnce) {
    CreateFrame();
    SchedulerThread();
    m_frame->StopScheduler();
    EXPECT_TRUE(Signalled(m_thread));
    for (HANDLE handle :
         {m_frame->m_hSchedulerThread.Get(), m_frame->m_hStopEvent.Get(), m_frame->m_hAutoUpdate.Get(),
          m_frame->m_hAutoUpdateDone.Get(), m_frame->m_hUpdateRunning.Get()})
        EXPECT_EQ(handle, nullptr);
    DWORD start = ::GetTickCount();
    m_frame->StopScheduler();
    EXPECT_LT(::GetTickCount() - start, 500u);
    EXPECT_EQ(m_frame->m_hSchedulerThread.Get(), nullptr);
    // The close stops it a third time and the destructor a fourth; the test's handles still work.
    ::SendMessageA(m_hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(FrameAlive());
    EXPECT_TRUE(::SetEvent(m_done.Get()));
}

TEST_F(SchedulerTest, AThreadOutlivingTheStopActsOnlyOnItsOwnHandles) {
    App().m_askForConfirmation = 1;
    CreateFrame();
    SchedulerThread();
    CommandSpy spy(m_hwnd, false);
    ::SetEvent(m_autoUpdate.Get());
    HWND question = WaitForBox("Corvalis", 10000);
    ASSERT_NE(question, nullptr);

    // The thread is held in its question: the stop gives up after 3000 ms and keeps its handle.
    DWORD start = ::GetTickCount();
    m_frame->StopScheduler();
    DWORD waited = ::GetTickCount() - start;
    EXPECT_GE(waited, 2900u);
    EXPECT_LT(waited, 4500u);
    EXPECT_NE(m_frame->m_hSchedulerThread.Get(), nullptr);
    EXPECT_EQ(m_frame->m_hStopEvent.Get(), nullptr);
    EXPECT_EQ(m_frame->m_hAutoUpdateDone.Get(), nullptr);

    // Yes now: the thread resets CVLAutoUpdateDone through its own handle, sends the command,
    // then finds its stop and ends.
    ::SetEvent(m_done.Get());
    ::PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return Signalled(m_thread); }));
    EXPECT_FALSE(Signalled(m_done));
    EXPECT_EQ(spy.m_updateNow, 1);

    // Called again (as the destructor does), the stop now finds the thread ended.
    start = ::GetTickCount();
    m_frame->StopScheduler();
    EXPECT_LT(::GetTickCount() - start, 1000u);
    EXPECT_EQ(m_frame->m_hSchedulerThread.Get(), nullptr);
}

TEST_F(SchedulerTest, MissingNamedObjectsNeitherSpinNorStopTheScheduler) {
    // Names taken by mutexes: CVLAutoUpdate and CVLShutdown cannot be created as events.
    m_autoUpdate.Close();
    m_shutdown.Close();
    CHandle takenRequest(::CreateMutexA(nullptr, FALSE, "CVLAutoUpdate"));
    CHandle takenShutdown(::CreateMutexA(nullptr, FALSE, "CVLShutdown"));
    ASSERT_TRUE(takenRequest && takenShutdown);
    App().m_updateInterval = 0;
    CreateFrame();
    EXPECT_EQ(m_frame->m_hAutoUpdate.Get(), nullptr);
    HANDLE thread = SchedulerThread();
    CommandSpy spy(m_hwnd, false);

    // The timer still gives its one decision, and then the thread sleeps in its wait.
    ASSERT_TRUE(WaitUntil([&] { return spy.m_updateNow == 1; }));
    ULONGLONG before = CpuTime100ns(thread);
    EXPECT_FALSE(WaitUntil([&] { return Signalled(m_thread); }, 500));
    EXPECT_LT(CpuTime100ns(thread) - before, 1000000u); // under 100 ms of 500
    EXPECT_EQ(spy.m_updateNow, 1);

    DWORD start = ::GetTickCount();
    m_frame->StopScheduler();
    EXPECT_LT(::GetTickCount() - start, 1000u);
    EXPECT_EQ(m_frame->m_hSchedulerThread.Get(), nullptr);
}

} // namespace
