#include "SettingsDlg.h"

#include "HelpDlg.h"
#include "framework/DataExchange.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "system/Settings.h"

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
    // An interval the user can never reach (a policy holds it, or keeps "Auto-Update every" or automatic
    // updating from being chosen) is not theirs to correct, so it is not refused.
    const bool intervalHeld = PolicySets(RegistryName::UpdateInterval) ||
                              (PolicySets(RegistryName::UpdateChoice) && m_nUpdateChoice != 1) ||
                              (PolicySets(RegistryName::EnableAutoUpdate) && !m_bEnableAutoUpdate);
    const RegistryRow::Range days = Row(RegistryName::UpdateInterval).range;
    // A failing step stops the exchange: the members after it keep their values.
    return DDX_Text(pDX, IDC_INTERVAL, m_nUpdateInterval) &&
           (intervalHeld || DDV_MinMaxInt(pDX, m_nUpdateInterval, days.low, days.high)) &&
           DDX_Check(pDX, IDC_ASK_CONFIRMATION, m_bAskForConfirmation) &&
           DDX_Check(pDX, IDC_ENABLE_AUTO_UPDATE, m_bEnableAutoUpdate) &&
           DDX_Radio(pDX, IDC_CHECK_ON_STARTUP, m_nUpdateChoice);
}

BOOL CSettingsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // No click ever enables this one again.
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_ENABLE_AUTO_UPDATE), !PolicySets(RegistryName::EnableAutoUpdate));
    if (m_policy)
        ShowPolicyNote();
    // Also validates the stored values, so an interval out of range is reported at once.
    OnEnableAutoUpdate();
    return TRUE;
}

void CSettingsDlg::OnEnableAutoUpdate() {
    // Whether the exchange failed does not matter: the enabling follows the last complete reading.
    UpdateData(TRUE);
    const BOOL choiceFree = m_bEnableAutoUpdate && !PolicySets(RegistryName::UpdateChoice);
    m_ctlCheckOnStartup.EnableWindow(choiceFree);
    m_ctlAutoUpdateEvery.EnableWindow(choiceFree);
    m_ctlAskForConfirmation.EnableWindow(m_bEnableAutoUpdate &&
                                         !PolicySets(RegistryName::AskForConfirmation));
    m_ctlInterval.EnableWindow(m_nUpdateChoice == 1 && m_bEnableAutoUpdate &&
                               !PolicySets(RegistryName::UpdateInterval));
}

void CSettingsDlg::OnCheckOnStartup() {
    m_ctlInterval.EnableWindow(FALSE);
}

void CSettingsDlg::OnAutoUpdateEvery() {
    m_ctlInterval.EnableWindow(!PolicySets(RegistryName::UpdateInterval));
}

void CSettingsDlg::ShowPolicyNote() {
    // The note lies below the template's bottom edge: the dialog grows to show it only when needed.
    HWND note = ::GetDlgItem(m_hWnd, IDC_POLICY_NOTE);
    RECT noteRect{}, client{}, margin{0, 0, 0, 4};
    if (!note || !::GetWindowRect(note, &noteRect) || !::GetClientRect(m_hWnd, &client) ||
        !::MapDialogRect(m_hWnd, &margin))
        return;
    ::MapWindowPoints(HWND_DESKTOP, m_hWnd, reinterpret_cast<POINT*>(&noteRect), 2);
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const int grow = noteRect.bottom + margin.bottom - client.bottom;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + grow,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(note, SW_SHOWNA);
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
