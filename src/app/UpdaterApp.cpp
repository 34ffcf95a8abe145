#include "UpdaterApp.h"

#include "UpdaterCommandLineInfo.h"
#include "dialogs/AboutDlg.h"
#include "framework/FrameWnd.h"
#include "framework/Handles.h"
#include "framework/Mutex.h"
#include "res/resource.h"
#include "shell/MainFrame.h"
#include "system/SelfUpdate.h"

#include <new>

PM_IMPLEMENT_RUNTIME_CLASS(CUpdaterApp, "CUpdaterApp", nullptr)

CUpdaterApp* GetUpdaterApp() {
    return static_cast<CUpdaterApp*>(AfxGetApp());
}

namespace {
// Called holding the single-instance lock, so no other instance is in a run. A signalled
// CVLUpdateRunning was then left by an instance that ended during its run (another process keeps
// the event alive); it would keep every run of this instance from starting. That run is over:
// end it as a run ends.
void EndAbandonedRun() {
    CHandle running(::OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, "CVLUpdateRunning"));
    if (!running || ::WaitForSingleObject(running.Get(), 0) != WAIT_OBJECT_0)
        return;
    CHandle done(::OpenEventA(EVENT_MODIFY_STATE, FALSE, "CVLAutoUpdateDone"));
    if (done)
        ::SetEvent(done.Get());
    ::ResetEvent(running.Get());
}
} // namespace

CUpdaterApp::CUpdaterApp() = default;

BOOL CUpdaterApp::InitInstance() {
    if (!m_sockets.Start()) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }

    ::LoadLibraryA("RICHED32.DLL");
    m_ole.Start();

    SetRegistryKey("Corvalis");
    LoadSettings();
    SaveSettings();

    CUpdaterCommandLineInfo commandLine;
    ParseCommandLine(commandLine);
    if (commandLine.m_uninstall) {
        Uninstall();
        return FALSE;
    }

    if (!TryLockSingleInstance(commandLine.m_afterUpdate ? CSelfUpdate::kPredecessorWaitMs : 0))
        return FALSE;
    EndAbandonedRun();
    // "Always Check on Startup" and the switches decide whether the new instance checks at once; the
    // new version an update has just installed does not.
    m_startupUpdate = ((m_updateChoice == 0 && m_enableAutoUpdate != 0) || commandLine.m_updateOnStartup) &&
                      !commandLine.m_noUpdateOnStartup && !commandLine.m_afterUpdate;
    ProgramSelfUpdate().RememberProgram();
    if (commandLine.m_afterUpdate)
        ProgramSelfUpdate().RemoveSetAsideFilesAfterProof();

    SwapInLauncher();

    auto* frame = new (std::nothrow) CMainFrame;
    m_pMainWnd = frame;
    if (frame)
        frame->m_bUpdateOnCreate = m_startupUpdate != 0;
    if (!frame || !frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr)) {
        // A failed frame has deleted itself; end with an error and leave nothing resident.
        m_pMainWnd = nullptr;
        m_nExitCode = 1;
        return FALSE;
    }
    frame->ShowWindow(SW_HIDE);
    ::UpdateWindow(frame->m_hWnd);
    // Lock, window and tray icon: the instance that started this new version may let go now.
    if (commandLine.m_afterUpdate)
        CSelfUpdate::ReportResident();
    return TRUE;
}

int CUpdaterApp::ExitInstance() {
    if (m_instanceLocked) {
        RunOnceMutex().Unlock();
        m_instanceLocked = 0;
    }
    m_ole.End();
    m_sockets.End();
    // Closed as E&xit closes, lock given up: what stays of this process watches the version it started.
    ProgramSelfUpdate().FinishProof();
    return CWinApp::ExitInstance();
}

BOOL CUpdaterApp::TryLockSingleInstance(DWORD timeoutMs) {
    if (!RunOnceMutex().Lock(timeoutMs))
        return FALSE;
    m_instanceLocked = 1;
    return TRUE;
}

BOOL CUpdaterApp::OnCmdMsg(UINT id, CCmdUI* pCmdUI) {
    if (id == ID_APP_ABOUT && !pCmdUI) {
        ShowAboutBox();
        return TRUE;
    }
    return CWinApp::OnCmdMsg(id, pCmdUI);
}

void CUpdaterApp::ShowAboutBox() {
    CAboutDlg dialog;
    dialog.DoModal();
}
