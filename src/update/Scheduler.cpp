// The scheduler: the main window's shared events and stop event, and the thread that decides when an
// automatic update runs.
#include "SchedulerContext.h"
#include "TopMostMessageBox.h"
#include "UpdateTexts.h"
#include "core/DueTime.h"
#include "res/resource.h"
#include "shell/MainFrame.h"
#include "system/Settings.h"

#include <utility>

namespace {
bool ArmTimer(HANDLE timer, LONGLONG dueTime) {
    if (!timer)
        return false;
    LARGE_INTEGER due;
    due.QuadPart = dueTime;
    return ::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, TRUE) != FALSE;
}

enum class Wake { Stop, Request, Timer, Shutdown };
} // namespace

LONGLONG CMainFrame::SchedulerDueTime(int intervalDays) {
    return IntervalDueTime(intervalDays);
}

void CMainFrame::StartScheduler() {
    if (m_hSchedulerThread)
        return;
    if (!m_hAutoUpdate)
        m_hAutoUpdate.Reset(::CreateEventA(nullptr, TRUE, FALSE, "CVLAutoUpdate"));
    if (!m_hAutoUpdateDone)
        m_hAutoUpdateDone.Reset(::CreateEventA(nullptr, TRUE, FALSE, "CVLAutoUpdateDone"));
    if (!m_hUpdateRunning)
        m_hUpdateRunning.Reset(::CreateEventA(nullptr, TRUE, FALSE, "CVLUpdateRunning"));
    if (!m_hStopEvent)
        m_hStopEvent.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!m_hStopEvent)
        return;

    std::unique_ptr<CSchedulerContext> context =
        CSchedulerContext::Create(m_hWnd, m_hStopEvent.Get(), m_hAutoUpdate.Get(), m_hAutoUpdateDone.Get(),
                                  TheSettings().m_updateInterval.load(), m_bUpdateOnCreate);
    if (!context)
        return;
    m_hSchedulerThread.Reset(
        ::CreateThread(nullptr, 0, &CMainFrame::UpdateScheduler, context.get(), CREATE_SUSPENDED, nullptr));
    if (m_hSchedulerThread) {
        context.release(); // the thread owns it now
        ::ResumeThread(m_hSchedulerThread.Get());
    }
}

void CMainFrame::StopScheduler() {
    if (m_hSchedulerThread) {
        if (m_hStopEvent)
            ::SetEvent(m_hStopEvent.Get());
        // A thread blocked in the question or in "&Update Now" cannot end now; it keeps its own
        // handles and ends with the process.
        if (::WaitForSingleObject(m_hSchedulerThread.Get(), 3000) == WAIT_OBJECT_0)
            m_hSchedulerThread.Close();
    }
    m_hStopEvent.Close();
    m_hAutoUpdate.Close();
    m_hAutoUpdateDone.Close();
    m_hUpdateRunning.Close();
}

DWORD WINAPI CMainFrame::UpdateScheduler(LPVOID param) {
    std::unique_ptr<CSchedulerContext> context(static_cast<CSchedulerContext*>(param));
    if (!context || !context->m_hMainWnd)
        return 0;

    CHandle timer(::CreateWaitableTimerA(nullptr, TRUE, nullptr));
    CHandle shutdown(::CreateEventA(nullptr, TRUE, FALSE, "CVLShutdown"));
    bool timerArmed = ArmTimer(timer.Get(), context->m_dueTime);

    bool closeMainWindow = false;
    for (bool waiting = true; waiting;) {
        // Only objects that exist are waited on (a null handle would fail every wait), in the fixed
        // order, so that of several signalled at once the earliest in this list is taken.
        HANDLE handles[4];
        Wake wakes[4];
        DWORD count = 0;
        auto add = [&](HANDLE handle, Wake wake) {
            if (handle) {
                handles[count] = handle;
                wakes[count++] = wake;
            }
        };
        add(context->m_stopEvent.Get(), Wake::Stop);
        add(context->m_autoUpdate.Get(), Wake::Request);
        if (timerArmed)
            add(timer.Get(), Wake::Timer);
        add(shutdown.Get(), Wake::Shutdown);

        DWORD result = ::WaitForMultipleObjects(count, handles, FALSE, INFINITE);
        if (result >= WAIT_OBJECT_0 + count)
            break; // a wait on valid handles that fails once fails every time: end, never spin
        switch (wakes[result - WAIT_OBJECT_0]) {
        case Wake::Stop:
            waiting = false;
            break;
        case Wake::Request:
            ::ResetEvent(context->m_autoUpdate.Get());
            // The main window's own request at its start comes first; any later one is another program's.
            DoAutoUpdate(*context, std::exchange(context->m_startUpCheck, false)
                                       ? UpdateText::kStartedByStartUp
                                       : UpdateText::kStartedByProgram);
            break;
        case Wake::Timer:
            // Re-arming clears the expiry; an interval of 0 would expire at once again.
            timerArmed = context->m_rearmTimer && ArmTimer(timer.Get(), context->m_dueTime);
            DoAutoUpdate(*context, UpdateText::kStartedBySchedule);
            break;
        case Wake::Shutdown:
            closeMainWindow = true;
            waiting = false;
            break;
        }
    }

    shutdown.Close();
    if (timer)
        ::CancelWaitableTimer(timer.Get());
    timer.Close();
    if (closeMainWindow)
        ::PostMessageA(context->m_hMainWnd, WM_CLOSE, 0, 0);
    return 0;
}

void CMainFrame::DoAutoUpdate(CSchedulerContext& context, unsigned short startedBy) {
    const CSettings& settings = TheSettings();
    if (!context.m_hMainWnd || settings.m_enableAutoUpdate == 0)
        return;
    HANDLE done = context.m_autoUpdateDone.Get();
    if (settings.m_askForConfirmation != 0) {
        ::BringWindowToTop(context.m_hMainWnd);
        int answer = TopMostMessageBox(nullptr, UpdateText::kQuestion, UpdateText::kQuestionCaption,
                                       MB_YESNO | MB_DEFBUTTON1 | MB_TOPMOST);
        if (answer != IDYES) {
            if (done)
                ::SetEvent(done);
            return;
        }
    }
    if (done)
        ::ResetEvent(done);
    // Synchronous: the run happens on the user-interface thread while this thread waits.
    ::SendMessageA(context.m_hMainWnd, WM_COMMAND, MAKEWPARAM(ID_UPDATE_NOW, startedBy), 0);
}
