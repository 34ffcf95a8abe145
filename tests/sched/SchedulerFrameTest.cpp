// The scheduler as the main window starts and stops it, with real named events.
#include "BoxScript.h"
#include "CommandSpy.h"
#include "FrameTest.h"

#include <vector>

namespace {

const char kQuestion[] = "Do you wish to automatically update your menu items?";

ULONGLONG CpuTime100ns(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return 0;
    auto value = [](const FILETIME& time) {
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return value(kernel) + value(user);
}

using SchedulerTest = FrameTest;

TEST_F(SchedulerTest, RequestIsTakenThenDoneResetThenUpdateNowSent) {
    CreateFrame();
    CommandSpy spy(m_hwnd, false);
    bool requestTaken = false;
    bool doneReset = false;
    spy.m_onUpdateNow = [&] {
        requestTaken = !Signalled(m_autoUpdate);
        doneReset = !Signalled(m_done);
    };
    ::SetEvent(m_done.Get());
    ::SetEvent(m_autoUpdate.Get());
    ASSERT_TRUE(PumpUntil([&] { return spy.m_updateNow == 1; }));
    EXPECT_TRUE(requestTaken);
    EXPECT_TRUE(doneReset);
    EXPECT_EQ(spy.m_fromOtherThread, 1);
    EXPECT_TRUE(NeverWithin([&] { return spy.m_updateNow > 1; }, 300));
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
        ASSERT_TRUE(PumpUntil([&] { return !Signalled(m_autoUpdate); }));
        EXPECT_TRUE(NeverWithin([&] { return spy.m_updateNow > 0; }, 300));
        EXPECT_EQ(FindBox("Corvalis"), nullptr);
        EXPECT_EQ(Signalled(m_done), doneBefore);
    }
}

TEST_F(SchedulerTest, ConfirmationNoSignalsDoneAndSendsNothing) {
    App().m_askForConfirmation = 1;
    CreateFrame();
    CommandSpy spy(m_hwnd, false);
    BoxScript question("Corvalis", IDNO, [](HWND box) {
        EXPECT_NE(::GetDlgItem(box, IDYES), nullptr);
        EXPECT_NE(::GetDlgItem(box, IDNO), nullptr);
        EXPECT_EQ(::GetDlgItem(box, IDOK), nullptr);
    });
    ::SetEvent(m_autoUpdate.Get());
    ASSERT_TRUE(PumpUntil([&] { return Signalled(m_done); }, 10000));
    pmtest::MessageBoxSeen seen = question.Wait();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, kQuestion);
    EXPECT_EQ(seen.owner, nullptr);
    EXPECT_TRUE(seen.topMost);
    EXPECT_EQ(seen.defaultButton, IDYES);
    EXPECT_TRUE(NeverWithin([&] { return spy.m_updateNow > 0; }, 300));
}

TEST_F(SchedulerTest, ConfirmationYesRunsTheUpdate) {
    App().m_askForConfirmation = 1;
    CreateFrame();
    CommandSpy spy(m_hwnd, true);
    BoxScript question("Corvalis", IDYES);
    // With no browser directory the run ends in its empty box; Done is reset until then.
    bool doneWhileRunning = true;
    BoxScript runBox("Corvalis Wayrail", IDOK, [&](HWND) { doneWhileRunning = Signalled(m_done); });
    ::SetEvent(m_done.Get());
    ::SetEvent(m_autoUpdate.Get());
    ASSERT_TRUE(PumpUntil([&] { return question.Finished(); }, 15000));
    ASSERT_TRUE(question.Wait().shown);
    ASSERT_TRUE(PumpUntil([&] { return runBox.Finished(); }, 15000));
    ASSERT_TRUE(runBox.Wait().shown);
    EXPECT_FALSE(doneWhileRunning);
    ASSERT_TRUE(PumpUntil([&] { return Signalled(m_done); }));
    EXPECT_FALSE(Signalled(m_running));
    EXPECT_EQ(spy.m_updateNow, 1);
}

TEST_F(SchedulerTest, RequestTimerAndShutdownSignalledTogetherAreTakenInThatOrder) {
    App().m_updateInterval = 0; // the timer expires at once
    ::SetEvent(m_autoUpdate.Get());
    ::SetEvent(m_shutdown.Get());
    CreateFrame();
    CommandSpy spy(m_hwnd, false);
    std::vector<bool> requestPendingAt;
    spy.m_onUpdateNow = [&] { requestPendingAt.push_back(Signalled(m_autoUpdate)); };
    ASSERT_TRUE(PumpUntil([&] { return !FrameAlive(); }));
    // The request came first (already reset at the first decision), the timer second, and only
    // then CVLShutdown, which closed the window.
    ASSERT_EQ(requestPendingAt.size(), 2u);
    EXPECT_FALSE(requestPendingAt[0]);
    EXPECT_TRUE(Signalled(m_shutdown)); // never reset by the program
}

TEST_F(SchedulerTest, StopIsTakenBeforeAPendingRequestAndShutdown) {
    CreateFrame();
    HANDLE thread = SchedulerThread();
    CommandSpy spy(m_hwnd, false);
    spy.m_onUpdateNow = [&] {
        // Everything arrives while the thread is busy with its decision.
        ::SetEvent(m_shutdown.Get());
        ::SetEvent(m_autoUpdate.Get());
        ::SetEvent(m_frame->m_hStopEvent);
    };
    ::SetEvent(m_autoUpdate.Get());
    ASSERT_TRUE(PumpUntil([&] { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }));
    EXPECT_EQ(spy.m_updateNow, 1);
    EXPECT_TRUE(Signalled(m_autoUpdate));                         // not taken
    EXPECT_TRUE(NeverWithin([&] { return !FrameAlive(); }, 300)); // no close posted
}

TEST_F(SchedulerTest, StopSchedulerTwiceClosesEverythingOnce) {
    CreateFrame();
    HANDLE thread = SchedulerThread();
    m_frame->StopScheduler();
    EXPECT_EQ(::WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(m_frame->m_hSchedulerThread, nullptr);
    EXPECT_EQ(m_frame->m_hStopEvent, nullptr);
    EXPECT_EQ(m_frame->m_hAutoUpdate, nullptr);
    EXPECT_EQ(m_frame->m_hAutoUpdateDone, nullptr);
    EXPECT_EQ(m_frame->m_hUpdateRunning, nullptr);
    DWORD start = ::GetTickCount();
    m_frame->StopScheduler();
    EXPECT_LT(::GetTickCount() - start, 500u);
    EXPECT_EQ(m_frame->m_hSchedulerThread, nullptr);
    // The close stops it a third time and the destructor a fourth; the test's handles still work.
    ::SendMessageA(m_hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(FrameAlive());
    EXPECT_TRUE(::SetEvent(m_done.Get()));
}

TEST_F(SchedulerTest, AThreadOutlivingTheStopActsOnlyOnItsOwnHandles) {
    App().m_askForConfirmation = 1;
    CreateFrame();
    HANDLE thread = SchedulerThread();
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
    EXPECT_NE(m_frame->m_hSchedulerThread, nullptr);
    EXPECT_EQ(m_frame->m_hStopEvent, nullptr);
    EXPECT_EQ(m_frame->m_hAutoUpdateDone, nullptr);

    // Yes now: the thread resets CVLAutoUpdateDone through its own handle, sends the command,
    // then finds its stop and ends.
    ::SetEvent(m_done.Get());
    ::PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
    ASSERT_TRUE(PumpUntil([&] { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }));
    EXPECT_FALSE(Signalled(m_done));
    EXPECT_EQ(spy.m_updateNow, 1);

    // Called again (as the destructor does), the stop now finds the thread ended.
    start = ::GetTickCount();
    m_frame->StopScheduler();
    EXPECT_LT(::GetTickCount() - start, 1000u);
    EXPECT_EQ(m_frame->m_hSchedulerThread, nullptr);
}

TEST_F(SchedulerTest, MissingNamedObjectsNeitherSpinNorStopTheScheduler) {
    // Names taken by mutexes: CVLAutoUpdate and CVLShutdown cannot be created as events.
    m_autoUpdate.Close();
    m_shutdown.Close();
    CHandle takenRequest(::CreateMutexA(nullptr, FALSE, "CVLAutoUpdate"));
    CHandle takenShutdown(::CreateMutexA(nullptr, FALSE, "CVLShutdown"));
    ASSERT_TRUE(takenRequest);
    ASSERT_TRUE(takenShutdown);
    App().m_updateInterval = 0;
    CreateFrame();
    EXPECT_EQ(m_frame->m_hAutoUpdate, nullptr);
    HANDLE thread = SchedulerThread();
    CommandSpy spy(m_hwnd, false);

    // The timer still gives its one decision, and then the thread sleeps in its wait.
    ASSERT_TRUE(PumpUntil([&] { return spy.m_updateNow == 1; }));
    ULONGLONG before = CpuTime100ns(thread);
    EXPECT_TRUE(NeverWithin([&] { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 500));
    EXPECT_LT(CpuTime100ns(thread) - before, 1000000u); // under 100 ms of 500
    EXPECT_EQ(spy.m_updateNow, 1);

    DWORD start = ::GetTickCount();
    m_frame->StopScheduler();
    EXPECT_LT(::GetTickCount() - start, 1000u);
    EXPECT_EQ(m_frame->m_hSchedulerThread, nullptr);
}

} // namespace
