#include "UpdateRun.h"

#include "TransferProgressDlg.h"
#include "framework/Dialog.h"
#include "framework/MessagePump.h"
#include "system/StartProgram.h"
#include "system/UpdateLog.h"

namespace {
// The owner first, then the window itself, so that the window ends up in front and focused.
void Activate(HWND window) {
    ::BringWindowToTop(window);
    ::SetActiveWindow(window);
    ::SetFocus(window);
}
} // namespace

CUpdateRun::CUpdateRun(CSettings& settings, CWinApp& profile, CUpdateLog* log)
    : m_snapshot(settings, profile), m_trust(m_snapshot), m_log(log) {}

CUpdateRun::~CUpdateRun() {
    CloseProgressWindow();
}

void CUpdateRun::Note(const std::string& text) const {
    if (m_log)
        m_log->Write(text);
}

BOOL CUpdateRun::OpenProgressWindow(BOOL showControls) {
    CloseProgressWindow();
    auto progress = std::make_unique<CTransferProgressDlg>(0);
    progress->m_showCancel = showControls;
    progress->m_showProgress = showControls;
    // A window that could not be made is no window at all: nothing is shown and nothing cancels.
    if (!progress->CreateModeless(nullptr))
        return FALSE;
    m_progress = std::move(progress);
    if (HWND owner = CDialog::GetSafeOwner(nullptr))
        Activate(owner);
    Activate(m_progress->m_hWnd);
    return TRUE;
}

void CUpdateRun::ShowStatus(CString text) {
    if (!m_progress)
        return;
    // Brought forward only when something came in front of it: each of these calls is a round trip to
    // the display, and a phase lasts milliseconds.
    const HWND window = m_progress->m_hWnd;
    if (::GetForegroundWindow() != window || !(::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
        if (HWND owner = CDialog::GetSafeOwner(nullptr))
            Activate(owner);
        Activate(window);
        ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    }
    m_progress->SetStatusText(text);
    PumpMessages();
}

void CUpdateRun::CloseProgressWindow() {
    if (!m_progress)
        return;
    // Taken out first: whatever the destruction dispatches finds no window open any more.
    std::unique_ptr<CTransferProgressDlg> progress = std::move(m_progress);
    if (progress->IsWindow())
        progress->DestroyWindow();
    progress.reset();
    PumpMessages();
}

void CUpdateRun::PumpMessages() {
    AfxPumpWaitingMessages();
}

BOOL CUpdateRun::RunInstaller(CString path) {
    // Started (its image is mapped now) or refused: the verified file need not be held any longer.
    m_installerExitCode = 0;
    const BOOL started = StartProgram(path, CString(), kStartWait | kStartElevateIfRequired,
                                      &m_installerExitCode, [this] { m_trust.Release(); });
    m_trust.Release();
    return started;
}
