// The modeless window that shows the phases of an update, the download bar and a Cancel button.
#pragma once

#include "framework/Controls.h"
#include "framework/Dialog.h"

class CTransferProgressDlg : public CDialog {
    PM_DECLARE_RUNTIME_CLASS()
  public:
    // A caption id of 0 means the default caption string.
    explicit CTransferProgressDlg(UINT captionId = 0);
    ~CTransferProgressDlg() override;

    // Disables the owner for the window's life; FALSE (owner enabled again) when creation fails.
    BOOL CreateModeless(CWnd* parent = nullptr);
    void SetStatusText(const CString& text);
    // Cancel, the bar and the percentage, once a transfer begins.
    void ShowTransferControls();
    // Cancel alone, for a phase that waits on the network before a transfer.
    void ShowCancel();
    // Moves the bar and the percentage; returns the previous bar position.
    int SetPosition(int position);
    // The same without serving any messages, for a caller that serves them itself.
    int ShowPosition(int position);
    BOOL IsCancelRequested();
    void PumpDialogMessages();
    void RefreshPercentText(int position);
    void RestoreOwner();
    BOOL DestroyWindow() override;

    BOOL m_showCancel = FALSE;
    BOOL m_showProgress = FALSE;
    CStatic m_percentText;
    CButton m_cancelButton;
    CProgressCtrl m_progressBar;
    UINT m_captionId;
    int m_rangeLow = 0;
    int m_rangeHigh = 100;
    int m_stepSize = 10;
    BOOL m_cancelRequested = FALSE;
    BOOL m_ownerDisabled = FALSE;
    HWND m_owner = nullptr; // not owned: the window disabled while this one lives

    BOOL DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
};
