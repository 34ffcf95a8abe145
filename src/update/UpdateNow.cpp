// "&Update Now": one complete, user-visible update, over the channel its server names.
#include "FtpUpdater.h"
#include "HttpsChannel.h"
#include "TopMostMessageBox.h"
#include "UpdateRun.h"
#include "UpdateTexts.h"
#include "framework/ThreadState.h"
#include "framework/WinApp.h"
#include "shell/MainFrame.h"
#include "system/SelfUpdate.h"
#include "system/Settings.h"
#include "system/UpdateLog.h"

#include <cstdio>

namespace {
std::string ChannelLine(const ServerAddress& server, const CRunSnapshot& settings) {
    const bool https = server.kind == ServerAddress::Kind::Https;
    return std::string("channel ") + (https ? "HTTPS" : "FTP") + ", server " + settings.m_server +
           ", folder " + settings.m_remoteFolder + (https || !settings.m_passive ? "" : ", passive");
}

std::string EndLine(ULONGLONG began, BOOL installed, const CString& text) {
    char took[48];
    std::snprintf(took, sizeof took, "ended after %.3f s: ", (::GetTickCount64() - began) / 1000.0);
    return took + (installed      ? std::string("installed")
                   : text.empty() ? std::string("(a box without text)")
                                  : text);
}
} // namespace

void CMainFrame::OnUpdateNow() {
    m_bInUpdateRun = true;
    std::uint64_t run = 0;
    const BOOL installed = RunUpdate(run);
    m_bInUpdateRun = false;
    // A package that replaced this program: the new version, started now, takes over once this one
    // has closed as E&xit closes it, and this process watches it prove itself. A close asked for during
    // the run ends the program for good.
    CSelfUpdate& selfUpdate = ProgramSelfUpdate();
    if (installed && !m_bClosePending && selfUpdate.ProgramReplaced() && selfUpdate.StartNewVersion(run))
        m_bClosePending = true;
    // Posted rather than carried out here, so that a scheduler thread waiting for this command is
    // released first and the close's stop of the scheduler finds it free to end.
    if (m_bClosePending && !::PostMessageA(m_hWnd, WM_CLOSE, 0, 0))
        OnClose();
}

void CMainFrame::ShowRunMessage(const CString& text) {
    ::BringWindowToTop(m_hWnd);
    TopMostMessageBox(nullptr, text.c_str(), UpdateText::kRunCaption, MB_OK | MB_TOPMOST);
}

BOOL CMainFrame::RunUpdate(std::uint64_t& number) {
    BOOL installed = FALSE;
    if (m_hUpdateRunning)
        ::SetEvent(m_hUpdateRunning.Get());
    const ULONGLONG began = ::GetTickCount64();
    CUpdateLog log;
    // The command's notification code says who asked: 0 from a menu or the settings dialog.
    const MSG& command = AfxGetThreadState()->m_lastSentMsg;
    log.BeginRun(UpdateText::StartedByText(command.message == WM_COMMAND ? HIWORD(command.wParam) : 0));
    number = log.Run();
    CWinApp* app = AfxGetApp();
    {
        CUpdateRun run(TheSettings(), *app, &log);
        run.m_closeRequested = [this] { return m_bClosePending; };
        run.m_beforePackageStart = [] { ProgramSelfUpdate().NotePackageStart(); };
        const CRunSnapshot& settings = run.m_snapshot;
        const ServerAddress server = ParseServerAddress(settings.m_server);
        if (!settings.m_browserFolderKnown) {
            // Refused before any network activity; the text is still empty.
            log.Write("no browser folder in cvl.ini");
            ShowRunMessage(run.m_errorText);
        } else if (server.kind == ServerAddress::Kind::Unsupported) {
            run.m_errorText = UpdateText::kServerUnsupported;
            ShowRunMessage(run.m_errorText);
        } else {
            log.Write(ChannelLine(server, settings));
            // A failed run's box, then the channel's connection and the window go.
            const auto end = [&](auto& channel) {
                if (!installed) {
                    // The progress window goes first so that the box is never hidden behind it.
                    run.CloseProgressWindow();
                    // An HTTPS run stops waiting when the program is to close; a box would only hold the
                    // close.
                    if (!(m_bClosePending && server.kind == ServerAddress::Kind::Https))
                        ShowRunMessage(run.m_errorText);
                }
                channel.CloseInternetHandles();
                run.CloseProgressWindow();
            };
            if (server.kind == ServerAddress::Kind::Https) {
                CHttpsChannel https(run);
                run.OpenProgressWindow(FALSE);
                run.ShowStatus(UpdateText::kConnecting);
                if (https.Connect()) {
                    run.ShowStatus(UpdateText::kChecking);
                    installed = https.InstallNewestPackage();
                }
                end(https);
            } else {
                CFtpUpdater updater(run, settings.m_server, settings.m_userName, settings.m_password,
                                    settings.m_remoteFolder, settings.m_passive);
                updater.OpenProgressWindow(FALSE);
                updater.ShowStatus(UpdateText::kConnecting);
                if (updater.Connect()) {
                    updater.ShowStatus(UpdateText::kChecking);
                    installed = updater.InstallNewestPackage("");
                }
                end(updater);
            }
        }
        log.Write(EndLine(began, installed, run.m_errorText));
        if (m_hAutoUpdateDone)
            ::SetEvent(m_hAutoUpdateDone.Get());
        if (m_hUpdateRunning)
            ::ResetEvent(m_hUpdateRunning.Get());
    }
    return installed;
}
