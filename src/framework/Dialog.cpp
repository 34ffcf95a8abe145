#include "Dialog.h"

#include "DataExchange.h"
#include "ThreadState.h"
#include "WinApp.h"

PM_IMPLEMENT_RUNTIME_CLASS(CDialog, "CDialog", nullptr)

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

HWND CDialog::GetSafeOwner(HWND parent) {
    if (parent)
        return parent;
    CWinApp* app = AfxGetApp();
    HWND main = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    if (!main || !::IsWindow(main))
        return nullptr;
    HWND popup = ::GetLastActivePopup(main);
    return popup ? popup : main;
}

INT_PTR CDialog::DoModal() {
    m_bModal = true;
    HWND owner = GetSafeOwner(m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr);
    INT_PTR result = ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), owner,
                                       &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_bModal = false;
    return result;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    m_bModal = false;
    HWND parentWnd = parent ? parent->m_hWnd : nullptr;
    if (!parentWnd) {
        CWinApp* app = AfxGetApp();
        parentWnd = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    }
    HWND hWnd = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(templateId), parentWnd,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return hWnd != nullptr;
}

void CDialog::EndDialog(int result) {
    if (!m_hWnd)
        return;
    if (m_bModal)
        ::EndDialog(m_hWnd, result);
    else
        DestroyWindow();
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange exchange(this, saveAndValidate);
    return DoDataExchange(&exchange);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCmdMsg(UINT id, CCmdUI* pCmdUI) {
    if (pCmdUI || (id != IDOK && id != IDCANCEL))
        return FALSE;
    if (id == IDOK)
        OnOK();
    else
        OnCancel();
    return TRUE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* dialog = message == WM_INITDIALOG ? reinterpret_cast<CDialog*>(lParam)
                                            : static_cast<CDialog*>(FromHandlePermanent(hWnd));
    if (message == WM_INITDIALOG)
        dialog->BindPermanent(hWnd);
    if (!dialog)
        return FALSE;

    INT_PTR handled = FALSE;
    {
        CurrentMessageScope scope(hWnd, message, wParam, lParam);
        if (message == WM_INITDIALOG) {
            handled = dialog->OnInitDialog();
        } else {
            LRESULT result = 0;
            if (dialog->OnWndMsg(message, wParam, lParam, &result)) {
                ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
                handled = TRUE;
            }
        }
    }
    if (message == WM_NCDESTROY) {
        dialog->UnbindPermanent();
        dialog->PostNcDestroy();
    }
    return handled;
}
