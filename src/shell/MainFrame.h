// The hidden main window: owns the tray icon and the scheduler, executes the commands.
#pragma once

#include "ChildView.h"
#include "framework/FrameWnd.h"
#include "framework/StatusBar.h"
#include "framework/ToolBar.h"

#include <memory>

class CTrayIcon;

class CMainFrame : public CFrameWnd {
    PM_DECLARE_RUNTIME_CLASS()
  public:
    CMainFrame();
    ~CMainFrame() override;

    BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI) override;
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;

    void StartScheduler();
    void StopScheduler();

    std::unique_ptr<CTrayIcon> m_pTrayIcon;
    HANDLE m_hSchedulerThread = nullptr;
    HANDLE m_hStopEvent = nullptr;
    HANDLE m_hAutoUpdate = nullptr;     // CVLAutoUpdate
    HANDLE m_hAutoUpdateDone = nullptr; // CVLAutoUpdateDone
    HANDLE m_hUpdateRunning = nullptr;  // CVLUpdateRunning
    CStatusBar m_wndStatusBar;
    CToolBar m_wndToolBar;
    CChildView m_wndView;

  protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    int OnCreate(LPCREATESTRUCTA cs);
    void OnSetFocus(HWND oldWindow);
    void OnClose();

    void OnRunLauncher();
    void OnSettings();
    void OnUpdateNow();
    void OnHelp();
    void OnExit();
    void OnUpdateIdleCommands(CCmdUI* pCmdUI);

  private:
    static const CommandEntry<CMainFrame> s_commandTable[];
};
