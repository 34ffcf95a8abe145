// The application object: start-up, message loop, shutdown and the profile calls.
#pragma once

#include "CommandLineInfo.h"
#include "Wnd.h"

class CWinApp : public CCmdTarget {
    PM_DECLARE_RUNTIME_CLASS()
  public:
    // Without a name the application title string (57344) is used.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int Run();
    // Returns the process exit code.
    virtual int ExitInstance();

    // From now on the profile calls use HKEY_CURRENT_USER\Software\<company>\<application>.
    void SetRegistryKey(const char* company);
    CString GetProfileString(const char* section, const char* entry, const char* defaultValue = "");
    int GetProfileInt(const char* section, const char* entry, int defaultValue);
    BOOL WriteProfileString(const char* section, const char* entry, const char* value);
    BOOL WriteProfileInt(const char* section, const char* entry, int value);

    // Feeds each argument after the program name to info.ParseParam.
    void ParseCommandLine(CCommandLineInfo& info);
    static void ParseCommandLine(CCommandLineInfo& info, int argc, char** argv);

    CWnd* m_pMainWnd = nullptr;
    CString m_pszAppName;
    CString m_pszRegistryKey;
    int m_nExitCode = 0; // what ExitInstance returns: the quit message's code, or set before a failed start
};

CWinApp* AfxGetApp();

// Runs the application object: InitInstance, then the loop, then ExitInstance.
int AfxWinMain();

// A message box captioned with the application name.
int AfxMessageBox(const CString& text, UINT type = MB_OK);
int AfxMessageBox(UINT stringId, UINT type = MB_OK);
