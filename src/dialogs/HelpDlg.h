// The help window: the local help page in an embedded web browser.
#pragma once

#include "WebBrowser2.h"
#include "framework/Dialog.h"

class CHelpDlg : public CDialog {
  public:
    explicit CHelpDlg(CWnd* parent = nullptr);
    ~CHelpDlg() override = default;

    BOOL OnInitDialog() override;
    BOOL DoDataExchange(CDataExchange* pDX) override;

    // Shows CVLHelp.htm from the program's own folder.
    void NavigateToHelpPage();

    CWebBrowser2 m_browser;
};
