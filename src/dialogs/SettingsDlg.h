// The settings dialog: automatic updating on or off, start-up check or every N days, confirmation.
#pragma once

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "system/RegistryTable.h"

class CSettingsDlg : public CDialog {
  public:
    explicit CSettingsDlg(CWnd* parent = nullptr);
    ~CSettingsDlg() override = default;

    BOOL OnInitDialog() override;
    BOOL DoDataExchange(CDataExchange* pDX) override;
    BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI) override;

    CButton m_ctlAutoUpdateEvery;
    CButton m_ctlCheckOnStartup;
    CButton m_ctlAskForConfirmation;
    CEdit m_ctlInterval;
    int m_nUpdateInterval = 1;
    BOOL m_bAskForConfirmation = FALSE;
    BOOL m_bEnableAutoUpdate = FALSE;
    int m_nUpdateChoice = -1; // index in the radio group; -1: no button selected
    // The PolicyBit of each value above that the machine policy sets: shown, never editable.
    unsigned m_policy = 0;

  protected:
    void OnEnableAutoUpdate();
    void OnCheckOnStartup();
    void OnAutoUpdateEvery();
    void OnUpdateNowButton();
    void OnHelpButton();

  private:
    bool PolicySets(RegistryName name) const { return (m_policy & PolicyBit(name)) != 0; }
    void ShowPolicyNote();

    static const CommandEntry<CSettingsDlg> s_commandTable[];
};
