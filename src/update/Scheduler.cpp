// The scheduler's life on the main window: the shared events, the stop event and the thread.
#include "shell/MainFrame.h"

namespace {
void CloseAndNull(HANDLE& handle) {
    if (handle) {
        ::CloseHandle(handle);
        handle = nullptr;
    }
}
} // namespace

void CMainFrame::StartScheduler() {
    if (m_hSchedulerThread)
        return;
    m_hAutoUpdate = ::CreateEventA(nullptr, TRUE, FALSE, "CVLAutoUpdate");
    m_hAutoUpdateDone = ::CreateEventA(nullptr, TRUE, FALSE, "CVLAutoUpdateDone");
    m_hUpdateRunning = ::CreateEventA(nullptr, TRUE, FALSE, "CVLUpdateRunning");
    m_hStopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!m_hStopEvent)
        return;
}

void CMainFrame::StopScheduler() {
    if (m_hSchedulerThread) {
        if (m_hStopEvent)
            ::SetEvent(m_hStopEvent);
        if (::WaitForSingleObject(m_hSchedulerThread, 3000) == WAIT_OBJECT_0)
            CloseAndNull(m_hSchedulerThread);
    }
    CloseAndNull(m_hStopEvent);
    CloseAndNull(m_hAutoUpdate);
    CloseAndNull(m_hAutoUpdateDone);
    CloseAndNull(m_hUpdateRunning);
}
