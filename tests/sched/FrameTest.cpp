#include "FrameTest.h"

#include "support/UiDriver.h"
#include "res/resource.h"

bool Signalled(const CHandle& event) {
    return ::WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
}

void FrameTest::SetUp() {
    CUpdaterApp& app = App();
    m_savedEnable = app.m_enableAutoUpdate;
    m_savedAsk = app.m_askForConfirmation;
    m_savedInterval = app.m_updateInterval;
    m_savedBrowserDir = app.m_browserDir;
    m_savedLauncherDir = app.m_launcherDir;
    m_savedServer = app.m_server;
    m_savedPathToFile = app.m_pathToFile;
    m_savedLastDownload = app.m_lastDownloadFile;
    m_savedPassive = app.m_passiveFTP;
    app.m_enableAutoUpdate = 1;
    app.m_askForConfirmation = 0;
    app.m_updateInterval = 7;
    app.m_browserDir.clear();
    app.m_launcherDir.clear();

    m_autoUpdate.Reset(::CreateEventA(nullptr, TRUE, FALSE, "CVLAutoUpdate"));
    m_done.Reset(::CreateEventA(nullptr, TRUE, FALSE, "CVLAutoUpdateDone"));
    m_running.Reset(::CreateEventA(nullptr, TRUE, FALSE, "CVLUpdateRunning"));
    m_shutdown.Reset(::CreateEventA(nullptr, TRUE, FALSE, "CVLShutdown"));
    for (CHandle* event : {&m_autoUpdate, &m_done, &m_running, &m_shutdown}) {
        ASSERT_TRUE(*event);
        ::ResetEvent(event->Get());
    }
}

void FrameTest::TearDown() {
    if (FrameAlive()) {
        ::SendMessageA(m_hwnd, WM_CLOSE, 0, 0);
        PumpUntil([&] { return !FrameAlive(); }, 8000);
    }
    if (FrameAlive() && CWnd::FromHandlePermanent(m_hwnd) == m_frame)
        m_frame->DestroyWindow();
    pmtest::PumpPending();
    for (CHandle* event : {&m_autoUpdate, &m_done, &m_running, &m_shutdown})
        ::ResetEvent(event->Get());
    CUpdaterApp& app = App();
    app.m_enableAutoUpdate = m_savedEnable;
    app.m_askForConfirmation = m_savedAsk;
    app.m_updateInterval = m_savedInterval;
    app.m_browserDir = m_savedBrowserDir;
    app.m_launcherDir = m_savedLauncherDir;
    app.m_server = m_savedServer;
    app.m_pathToFile = m_savedPathToFile;
    app.m_lastDownloadFile = m_savedLastDownload;
    app.m_passiveFTP = m_savedPassive;
}

void FrameTest::CreateFrame() {
    m_frame = new CMainFrame;
    if (!m_frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr)) {
        m_frame = nullptr; // deleted itself
        FAIL() << "main window not created";
    }
    m_hwnd = m_frame->m_hWnd;
    ASSERT_NE(m_frame->m_hSchedulerThread, nullptr);
}

void FrameTest::SendUpdateNow() {
    ::SendMessageA(m_hwnd, WM_COMMAND, ID_UPDATE_NOW, 0);
}

bool FrameTest::PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
    return pmtest::WaitUntil(cond, timeoutMs);
}

bool FrameTest::NeverWithin(const std::function<bool()>& cond, DWORD ms) {
    return !pmtest::WaitUntil(cond, ms);
}

HANDLE FrameTest::SchedulerThread() {
    if (!m_thread && m_frame && m_frame->m_hSchedulerThread) {
        HANDLE copy = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), m_frame->m_hSchedulerThread, ::GetCurrentProcess(), &copy,
                          SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, 0);
        m_thread.Reset(copy);
    }
    return m_thread.Get();
}
