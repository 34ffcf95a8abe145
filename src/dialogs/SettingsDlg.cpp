#include "SettingsDlg.h"

#include "HelpDlg.h"
#include "framework/DataExchange.h"
#include "framework/WinApp.h"
#include "res/resource.h"

namespace {
constexpr int kMinInterval = 1;
constexpr int kMaxInterval = 120;
} // namespace

const CommandEntry<CSettingsDlg> CSettingsDlg::s_commandTable[] = {
    {IDC_ENABLE_AUTO_UPDATE, &CSettingsDlg::OnEnableAutoUpdate, nullptr},
    {IDC_UPDATE_NOW_BUTTON, &CSettingsDlg::OnUpdateNowButton, nullptr},
    {IDC_HELP_BUTTON, &CSettingsDlg::OnHelpButton, nullptr},
    {IDC_CHECK_ON_STARTUP, &CSettingsDlg::OnCheckOnStartup, nullptr},
    {IDC_AUTO_UPDATE_EVERY, &CSettingsDlg::OnAutoUpdateEvery, nullptr},
};

CSettingsDlg::CSettingsDlg(CWnd* parent) : CDialog(IDD_SETTINGS, parent) {}

BOOL CSettingsDlg::OnCmdMsg(UINT id, CCmdUI* pCmdUI) {
    if (DispatchCommand(this, s_commandTable, id, pCmdUI))
        return TRUE;
    return CDialog::OnCmdMsg(id, pCmdUI);
}

BOOL CSettingsDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_AUTO_UPDATE_EVERY, m_ctlAutoUpdateEvery);
    DDX_Control(pDX, IDC_CHECK_ON_STARTUP, m_ctlCheckOnStartup);
    DDX_Control(pDX, IDC_ASK_CONFIRMATION, m_ctlAskForConfirmation);
    DDX_Control(pDX, IDC_INTERVAL, m_ctlInterval);
    // A failing step stops the exchange: the members after it keep their values.
    return DDX_Text(pDX, IDC_INTERVAL, m_nUpdateInterval) &&
           DDV_MinMaxInt(pDX, m_nUpdateInterval, kMinInterval, kMaxInterval) &&
           DDX_Check(pDX, IDC_ASK_CONFIRMATION, m_bAskForConfirmation) &&
           DDX_Check(pDX, IDC_ENABLE_AUTO_UPDATE, m_bEnableAutoUpdate) &&
           DDX_Radio(pDX, IDC_CHECK_ON_STARTUP, m_nUpdateChoice);
}

BOOL CSettingsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Also validates the stored values, so an interval out of range is reported at once.
    OnEnableAutoUpdate();
    return TRUE;
}

void CSettingsDlg::OnEnableAutoUpdate() {
    // Whether the exchange failed does not matter: the enabling follows the last complete reading.
    UpdateData(TRUE);
    m_ctlCheckOnStartup.EnableWindow(m_bEnableAutoUpdate);
    m_ctlAutoUpdateEvery.EnableWindow(m_bEnableAutoUpdate);
    m_ctlAskForConfirmation.EnableWindow(m_bEnableAutoUpdate);
    m_ctlInterval.EnableWindow(m_nUpdateChoice == 1 && m_bEnableAutoUpdate);
}

void CSettingsDlg::OnCheckOnStartup() {
    m_ctlInterval.EnableWindow(FALSE);
}

void CSettingsDlg::OnAutoUpdateEvery() {
    m_ctlInterval.EnableWindow(TRUE);
}

void CSettingsDlg::OnUpdateNowButton() {
    // The run happens inside this call, nested in the dialog, from the stored settings.
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd && app->m_pMainWnd->m_hWnd)
        ::SendMessageA(app->m_pMainWnd->m_hWnd, WM_COMMAND, ID_UPDATE_NOW, 0);
}

void CSettingsDlg::OnHelpButton() {
    CHelpDlg help(nullptr);
    help.DoModal();
}
