#include "MainFrame.h"

#include "TrayIcon.h"
#include "dialogs/HelpDlg.h"
#include "dialogs/SettingsDlg.h"
#include "framework/ThreadState.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "system/Settings.h"
#include "system/StartProgram.h"

#include <new>

PM_IMPLEMENT_RUNTIME_CLASS(CMainFrame, "CMainFrame", nullptr)

const CommandEntry<CMainFrame> CMainFrame::s_commandTable[] = {
    {ID_RUN_LAUNCHER, &CMainFrame::OnRunLauncher, &CMainFrame::OnUpdateIdleCommands},
    {ID_SETTINGS, &CMainFrame::OnSettings, nullptr},
    {ID_UPDATE_NOW, &CMainFrame::OnUpdateNow, &CMainFrame::OnUpdateIdleCommands},
    {ID_HELP_WINDOW, &CMainFrame::OnHelp, nullptr},
    {ID_TRAY_EXIT, &CMainFrame::OnExit, nullptr},
};

namespace {
constexpr UINT kTrayCallbackMessage = WM_USER;
const UINT kIndicators[] = {0, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};
} // namespace

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() {
    // After a normal close both find nothing left to do.
    m_pTrayIcon.reset();
    StopScheduler();
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs) {
    if (!CFrameWnd::PreCreateWindow(cs))
        return FALSE;
    cs.dwExStyle &= ~WS_EX_CLIENTEDGE;
    cs.lpszClass = RegisterWndClass(0);
    return TRUE;
}

BOOL CMainFrame::OnCmdMsg(UINT id, CCmdUI* pCmdUI) {
    // Placing the tray icon serves the queue before the events exist: a command found there runs
    // once creation has finished.
    if (!m_bCreated && !pCmdUI) {
        // With its notification code: who asked.
        const MSG& command = AfxGetThreadState()->m_lastSentMsg;
        m_earlyCommands.push_back(
            command.message == WM_COMMAND && LOWORD(command.wParam) == id ? command.wParam : id);
        return TRUE;
    }
    if (m_wndView.OnCmdMsg(id, pCmdUI))
        return TRUE;
    if (DispatchCommand(this, s_commandTable, id, pCmdUI))
        return TRUE;
    return CFrameWnd::OnCmdMsg(id, pCmdUI);
}

BOOL CMainFrame::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    switch (message) {
    case WM_CREATE:
        *pResult = OnCreate(reinterpret_cast<LPCREATESTRUCTA>(lParam));
        return TRUE;
    case WM_SETFOCUS:
        OnSetFocus(reinterpret_cast<HWND>(wParam));
        *pResult = 0;
        return TRUE;
    case kTrayCallbackMessage:
        *pResult = 0; // the tray icon's hook has seen it already
        return TRUE;
    case WM_CLOSE:
        OnClose();
        *pResult = 0;
        return TRUE;
    default:
        return CFrameWnd::OnWndMsg(message, wParam, lParam, pResult);
    }
}

int CMainFrame::OnCreate(LPCREATESTRUCTA cs) {
    if (CFrameWnd::OnCreate(cs) == -1)
        return -1;

    RECT empty{};
    if (!m_wndView.CreateEx(0, nullptr, nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER, empty, m_hWnd,
                            AFX_IDW_PANE_FIRST))
        return -1;

    if (!m_wndToolBar.CreateEx(this, TBSTYLE_FLAT,
                               WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_GRIPPER | CBRS_TOOLTIPS | CBRS_FLYBY |
                                   CBRS_SIZE_DYNAMIC,
                               AFX_IDW_TOOLBAR) ||
        !m_wndToolBar.LoadToolBar(IDR_MAINFRAME))
        return -1;

    if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, AFX_IDW_STATUS_BAR) ||
        !m_wndStatusBar.SetIndicators(kIndicators, sizeof kIndicators / sizeof kIndicators[0]))
        return -1;

    m_wndToolBar.EnableDocking(CBRS_ALIGN_ANY);
    EnableDocking(CBRS_ALIGN_ANY);
    if (!DockControlBar(&m_wndToolBar))
        return -1;

    m_pTrayIcon.reset(new (std::nothrow) CTrayIcon(IDR_TRAY));
    if (!m_pTrayIcon)
        return -1;
    m_pTrayIcon->SetNotificationTarget(this, kTrayCallbackMessage);
    if (!m_pTrayIcon->SetIconFromResource(IDR_TRAY))
        return -1;

    StartScheduler();

    if (m_bUpdateOnCreate) {
        if (m_hAutoUpdate)
            ::SetEvent(m_hAutoUpdate.Get());
        m_bUpdateOnCreate = false;
    }
    m_bCreated = true;
    for (WPARAM command : m_earlyCommands)
        ::PostMessageA(m_hWnd, WM_COMMAND, command, 0);
    m_earlyCommands.clear();
    if (m_bClosePending)
        ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    return 0;
}

void CMainFrame::OnSetFocus(HWND) {
    if (m_wndView.m_hWnd)
        ::SetFocus(m_wndView.m_hWnd);
}

void CMainFrame::OnUpdateIdleCommands(CCmdUI* pCmdUI) {
    // Any result but "signalled" (also a missing handle) leaves the command enabled, unless this
    // window's own run is in progress, a close is waiting for it, or the close has begun (removing
    // the tray icon serves the queue, where a command sent a moment earlier may wait).
    pCmdUI->Enable(!m_bInUpdateRun && !m_bClosePending && !m_bClosing &&
                   ::WaitForSingleObject(m_hUpdateRunning.Get(), 0) != WAIT_OBJECT_0);
}

void CMainFrame::OnRunLauncher() {
    // Nothing waits for it, nor hears of a failure.
    StartProgram(TheSettings().GetLauncherFilePath("cvl.exe"));
}

void CMainFrame::OnSettings() {
    const CSettings before = TheSettings();
    CSettingsDlg dialog(nullptr);
    dialog.m_nUpdateChoice = before.m_updateChoice;
    dialog.m_nUpdateInterval = before.m_updateInterval;
    dialog.m_bEnableAutoUpdate = before.m_enableAutoUpdate;
    dialog.m_bAskForConfirmation = before.m_askForConfirmation;
    dialog.m_policy = before.m_policy;
    if (dialog.DoModal() != IDOK)
        return;
    // Only the dialog's four values: an update run started from the dialog may have recorded a package.
    // A value the policy sets stays the policy's.
    CSettings& settings = TheSettings();
    if (!settings.PolicySets(RegistryName::UpdateChoice))
        settings.m_updateChoice = dialog.m_nUpdateChoice;
    if (!settings.PolicySets(RegistryName::UpdateInterval))
        settings.m_updateInterval = dialog.m_nUpdateInterval;
    if (!settings.PolicySets(RegistryName::EnableAutoUpdate))
        settings.m_enableAutoUpdate = dialog.m_bEnableAutoUpdate;
    if (!settings.PolicySets(RegistryName::AskForConfirmation))
        settings.m_askForConfirmation = dialog.m_bAskForConfirmation;
    if (CWinApp* app = AfxGetApp())
        settings.Save(*app);
}

void CMainFrame::OnHelp() {
    CHelpDlg dialog(nullptr);
    dialog.DoModal();
}

void CMainFrame::OnExit() {
    SendMessage(WM_CLOSE);
}

void CMainFrame::OnClose() {
    // A run still uses this window and the events, and creation is not finished: either carries the
    // close out when it ends.
    if (m_bInUpdateRun || !m_bCreated) {
        m_bClosePending = true;
        return;
    }
    // Removing the icon serves the queue; a second close found there must not destroy us under the first.
    if (m_bClosing)
        return;
    m_bClosing = true;
    m_bClosePending = false;
    m_pTrayIcon.reset();
    StopScheduler();
    CFrameWnd::OnClose();
}
