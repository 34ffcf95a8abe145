// The application object: assembles the program (settings record, start-up, single instance, shutdown).
#pragma once

#include "framework/WinApp.h"
#include "system/PlatformStartup.h"
#include "system/Settings.h"

class CMutex;

class CUpdaterApp : public CWinApp, public CSettings {
    PM_DECLARE_RUNTIME_CLASS()
  public:
    CUpdaterApp();

    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI) override;

    // The settings record through this application's profile.
    void LoadSettings() { Load(*this); }
    void SaveSettings() { Save(*this); }
    void RecordLastDownload(const CString& path) { CSettings::RecordLastDownload(*this, path); }

    // Waits up to timeoutMs for CVLRunOnce (a restart after an update waits for its predecessor).
    BOOL TryLockSingleInstance(DWORD timeoutMs = 0);
    void SwapInLauncher();
    void Uninstall();
    void ShowAboutBox();

    int m_startupUpdate = 0;  // the main window asks for an update once created
    int m_instanceLocked = 0; // this process holds CVLRunOnce

  private:
    CSocketsStartup m_sockets;
    COleStartup m_ole;
};

// The one application object of the process.
CUpdaterApp* GetUpdaterApp();

// The single-instance mutex, constructed right after the application object.
CMutex& RunOnceMutex();
