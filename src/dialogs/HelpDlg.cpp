#include "HelpDlg.h"

#include "framework/DataExchange.h"
#include "res/resource.h"
#include "system/Settings.h"

CHelpDlg::CHelpDlg(CWnd* parent) : CDialog(IDD_HELP, parent) {}

BOOL CHelpDlg::DoDataExchange(CDataExchange* pDX) {
    return DDX_Control(pDX, IDC_BROWSER, m_browser);
}

BOOL CHelpDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    NavigateToHelpPage();
    return TRUE;
}

void CHelpDlg::NavigateToHelpPage() {
    CString path = CSettings::GetProgramFilePath("CVLHelp.htm");
    // The path goes in as it is: drive, colon and backslashes, blanks unescaped. Whether the page
    // exists or loads is the control's business.
    CString url = "file://" + path;
    m_browser.Navigate(url.c_str(), nullptr, nullptr, nullptr, nullptr);
}
