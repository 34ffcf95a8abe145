#include "FrameTest.h"

#include "TestEnv.h"

void FrameTest::SetUp() {
    // Every setting the scheduler and the run read, so that no test depends on an earlier one.
    CUpdaterApp& app = App();
    app.m_enableAutoUpdate = 1;
    app.m_askForConfirmation = 0;
    app.m_updateInterval = 7;
    app.m_browserDir.clear();
    app.m_launcherDir.clear();
    app.m_server.clear();
    app.m_pathToFile = "/";
    app.m_passiveFTP = 1;
    app.m_lastDownloadFile.clear();
    app.m_policy = 0;
    const char* names[] = {"CVLAutoUpdate", "CVLAutoUpdateDone", "CVLUpdateRunning", "CVLShutdown"};
    CHandle* events[] = {&m_autoUpdate, &m_done, &m_running, &m_shutdown};
    for (int i = 0; i < 4; ++i) {
        events[i]->Reset(pmtest::OpenOrCreateEvent(names[i]));
        ASSERT_TRUE(*events[i]) << names[i];
        ::ResetEvent(events[i]->Get());
    }
}

void FrameTest::TearDown() {
    if (FrameAlive()) {
        ::SendMessageA(m_hwnd, WM_CLOSE, 0, 0);
        pmtest::WaitUntil([&] { return !FrameAlive(); }, 8000);
    }
    if (FrameAlive() && CWnd::FromHandlePermanent(m_hwnd) == m_frame)
        m_frame->DestroyWindow();
    pmtest::PumpPending();
    ResetEvents();
}

void FrameTest::ResetEvents() {
    for (CHandle* event : {&m_autoUpdate, &m_done, &m_running, &m_shutdown})
        ::ResetEvent(event->Get());
}

void FrameTest::CreateFrame(CMainFrame* frame, bool asMainWindow) {
    m_thread.Close();
    m_frame = frame ? frame : new CMainFrame;
    if (asMainWindow)
        App().m_pMainWnd = m_frame; // cleared again if the window's creation fails
    if (!m_frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr)) {
        m_frame = nullptr; // deleted itself
        FAIL() << "main window not created";
    }
    m_hwnd = m_frame->m_hWnd;
    ASSERT_NE(m_frame->m_hSchedulerThread.Get(), nullptr);
}

HANDLE FrameTest::SchedulerThread() {
    if (!m_thread && m_frame && m_frame->m_hSchedulerThread) {
        HANDLE copy = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), m_frame->m_hSchedulerThread.Get(), ::GetCurrentProcess(),
                          &copy, SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, 0);
        m_thread.Reset(copy);
    }
    return m_thread.Get();
}
