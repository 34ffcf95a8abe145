// "&Update Now": one complete, user-visible update.
#include "FtpUpdater.h"
#include "TopMostMessageBox.h"
#include "app/UpdaterApp.h"
#include "shell/MainFrame.h"

void CMainFrame::OnUpdateNow() {
    m_bInUpdateRun = true;
    const BOOL installed = RunUpdate();
    m_bInUpdateRun = false;
    // A package that replaced this program: the new version, started now, takes over once this one
    // has closed as E&xit closes it. A close asked for during the run ends the program for good.
    CUpdaterApp* app = GetUpdaterApp();
    if (installed && !m_bClosePending && app && app->m_selfUpdate.ProgramReplaced() &&
        app->m_selfUpdate.StartNewVersion())
        m_bClosePending = true;
    // Posted rather than carried out here, so that a scheduler thread waiting for this command is
    // released first and the close's stop of the scheduler finds it free to end.
    if (m_bClosePending && !::PostMessageA(m_hWnd, WM_CLOSE, 0, 0))
        OnClose();
}

void CMainFrame::ShowRunMessage(const CString& text) {
    ::BringWindowToTop(m_hWnd);
    TopMostMessageBox(nullptr, text.c_str(), kRunCaption, MB_OK | MB_TOPMOST);
}

BOOL CMainFrame::RunUpdate() {
    BOOL installed = FALSE;
    if (m_hUpdateRunning)
        ::SetEvent(m_hUpdateRunning.Get());
    {
        CUpdaterApp* app = GetUpdaterApp();
        CFtpUpdater updater(app->m_server, app->m_user, app->m_pass, app->m_pathToFile, app->m_passiveFTP);
        if (app->m_browserDir.empty()) {
            // Refused before any network activity; the text is still empty.
            ShowRunMessage(updater.m_errorText);
        } else {
            updater.OpenProgressWindow(FALSE);
            updater.ShowStatus(kConnectingText);
            if (!updater.Connect()) {
                // The progress window goes first so that the box is never hidden behind it.
                updater.CloseProgressWindow();
                ShowRunMessage(updater.m_errorText);
                updater.CloseProgressWindow();
            } else {
                updater.ShowStatus(kCheckingText);
                installed = updater.InstallNewestPackage("");
                if (!installed) {
                    updater.CloseProgressWindow();
                    ShowRunMessage(updater.m_errorText);
                }
                updater.CloseInternetHandles();
                updater.CloseProgressWindow();
            }
        }
        if (m_hAutoUpdateDone)
            ::SetEvent(m_hAutoUpdateDone.Get());
        if (m_hUpdateRunning)
            ::ResetEvent(m_hUpdateRunning.Get());
    }
    return installed;
}
