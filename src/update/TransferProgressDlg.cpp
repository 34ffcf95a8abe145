#include "TransferProgressDlg.h"
#include "framework/MessagePump.h"

#include "core/Percent.h"
#include "framework/DataExchange.h"
#include "res/resource.h"

#include <cstdio>

PM_IMPLEMENT_RUNTIME_CLASS(CTransferProgressDlg, "CTransferProgressDlg", nullptr)

CTransferProgressDlg::CTransferProgressDlg(UINT captionId)
    : CDialog(IDD_PROGRESS), m_captionId(captionId ? captionId : IDS_PROGRESS_CAPTION) {}

CTransferProgressDlg::~CTransferProgressDlg() {
    if (IsWindow())
        DestroyWindow();
    else
        RestoreOwner(); // the window went with its parent: the owner must not stay disabled
}

BOOL CTransferProgressDlg::CreateModeless(CWnd* parent) {
    m_owner = GetSafeOwner(parent ? parent->m_hWnd : nullptr);
    if (m_owner && ::IsWindowEnabled(m_owner)) {
        ::EnableWindow(m_owner, FALSE);
        m_ownerDisabled = TRUE;
    }
    if (!Create(IDD_PROGRESS, parent)) {
        RestoreOwner();
        return FALSE;
    }
    return TRUE;
}

void CTransferProgressDlg::RestoreOwner() {
    if (m_ownerDisabled && m_owner)
        ::EnableWindow(m_owner, TRUE);
    m_ownerDisabled = FALSE;
}

BOOL CTransferProgressDlg::DestroyWindow() {
    // The owner first, so that activation goes back to it and not to some other program.
    RestoreOwner();
    return CDialog::DestroyWindow();
}

BOOL CTransferProgressDlg::DoDataExchange(CDataExchange* pDX) {
    return DDX_Control(pDX, IDC_PERCENT_TEXT, m_percentText) && DDX_Control(pDX, IDCANCEL, m_cancelButton) &&
           DDX_Control(pDX, IDC_PROGRESS_BAR, m_progressBar);
}

BOOL CTransferProgressDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_progressBar.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(m_rangeLow, m_rangeHigh));
    m_progressBar.SendMessage(PBM_SETSTEP, static_cast<WPARAM>(m_stepSize));
    m_progressBar.SendMessage(PBM_SETPOS, static_cast<WPARAM>(m_rangeLow));
    if (!m_showCancel) {
        m_cancelButton.EnableWindow(FALSE);
        m_cancelButton.ShowWindow(SW_HIDE);
    }
    if (!m_showProgress) {
        m_progressBar.EnableWindow(FALSE);
        m_progressBar.ShowWindow(SW_HIDE);
        m_percentText.EnableWindow(FALSE);
        m_percentText.ShowWindow(SW_HIDE);
    }
    SetWindowText(AfxLoadString(m_captionId));
    return TRUE;
}

void CTransferProgressDlg::OnOK() {
    // The window has no OK: Enter must not close it.
}

void CTransferProgressDlg::OnCancel() {
    // Only a request: the run ends the transfer and closes the window itself.
    m_cancelRequested = TRUE;
}

void CTransferProgressDlg::ShowTransferControls() {
    for (CWnd* control : {static_cast<CWnd*>(&m_cancelButton), static_cast<CWnd*>(&m_progressBar),
                          static_cast<CWnd*>(&m_percentText)}) {
        control->EnableWindow(TRUE);
        control->ShowWindow(SW_SHOWNORMAL);
    }
}

void CTransferProgressDlg::ShowCancel() {
    m_cancelButton.EnableWindow(TRUE);
    m_cancelButton.ShowWindow(SW_SHOWNORMAL);
}

void CTransferProgressDlg::SetStatusText(const CString& text) {
    if (m_hWnd)
        ::SetDlgItemTextA(m_hWnd, IDC_STATUS_TEXT, text.c_str());
}

int CTransferProgressDlg::SetPosition(int position) {
    PumpDialogMessages();
    return ShowPosition(position);
}

int CTransferProgressDlg::ShowPosition(int position) {
    int previous = static_cast<int>(m_progressBar.SendMessage(PBM_SETPOS, static_cast<WPARAM>(position)));
    RefreshPercentText(position);
    return previous;
}

void CTransferProgressDlg::RefreshPercentText(int position) {
    int percent = PercentOfRange(position, m_rangeLow, m_rangeHigh);
    char text[16];
    std::snprintf(text, sizeof text, "%d%c", percent, '%');
    // Rewriting an unchanged text would repaint it for every block received.
    if (m_percentText.GetSafeHwnd() && m_percentText.GetWindowText() != text)
        m_percentText.SetWindowText(text);
}

BOOL CTransferProgressDlg::IsCancelRequested() {
    PumpDialogMessages();
    return m_cancelRequested;
}

void CTransferProgressDlg::PumpDialogMessages() {
    AfxPumpWaitingMessages(m_hWnd);
}
