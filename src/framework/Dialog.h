// Dialogs from .rc templates, modal or modeless, with data exchange.
#pragma once

#include "Wnd.h"

class CDataExchange;

class CDialog : public CWnd {
    PM_DECLARE_RUNTIME_CLASS()
  public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog modally with the safe owner; returns the EndDialog code or -1.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless; a null parent makes the main window its parent.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(int result);

    // Moves values between controls and members; FALSE when validation failed.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual BOOL DoDataExchange(CDataExchange*) { return TRUE; }
    BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI) override;

    // The window a new dialog is owned by: the given one, else the main window's last active pop-up.
    static HWND GetSafeOwner(HWND parent);

    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

  protected:
    LRESULT DefWindowProc(UINT, WPARAM, LPARAM) override { return 0; }

  private:
    bool m_bModal = false;
};
