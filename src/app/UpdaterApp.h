// The application object: settings record, start-up, single instance, shutdown.
#pragma once

#include "SelfUpdate.h"
#include "framework/WinApp.h"

#include <atomic>

class CMutex;

class CUpdaterApp : public CWinApp {
    PM_DECLARE_RUNTIME_CLASS()
  public:
    CUpdaterApp();

    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI) override;

    // Settings store.
    void LoadSettings();
    void SaveSettings();
    void RecordLastDownload(const CString& path);
    // Each returns an empty string when the path would not fit in MAX_PATH.
    CString GetDownloadFilePath(const CString& name) const;
    CString GetLauncherFilePath(const CString& name) const;
    CString GetProgramFilePath(const CString& name) const;

    // Waits up to timeoutMs for CVLRunOnce (a restart after an update waits for its predecessor).
    BOOL TryLockSingleInstance(DWORD timeoutMs = 0);
    void SwapInLauncher();
    void Uninstall();
    void ShowAboutBox();

    // The settings record, named after the registry values.
    CString m_server;
    CString m_user;
    CString m_pass;
    int m_passiveFTP = 0;
    CString m_pathToFile;
    int m_updateChoice = 1;
    // Read by the scheduler thread while the settings dialog may assign them.
    std::atomic<int> m_updateInterval{1};
    std::atomic<int> m_enableAutoUpdate{0};
    std::atomic<int> m_askForConfirmation{0};
    int m_pollTimer = 1000;
    CString m_lastDownloadFile;
    int m_lastUpdateTime = 0;
    CString m_browserDir;  // cvl.ini [USER PREFS] CORVALIS DIRECTORY
    CString m_launcherDir; // cvl.ini [INSTALL] MAINDIR

    int m_startupUpdate = 0;  // the main window asks for an update once created
    int m_instanceLocked = 0; // this process holds CVLRunOnce
    CSelfUpdate m_selfUpdate; // the program file the resident instance started from

  private:
    bool m_socketsStarted = false;
    bool m_oleStarted = false;
};

// The one application object of the process.
CUpdaterApp* GetUpdaterApp();

// The single-instance mutex, constructed right after the application object.
CMutex& RunOnceMutex();
