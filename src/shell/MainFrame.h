// The hidden main window: owns the tray icon and the scheduler, executes the commands.
// The update run (OnUpdateNow, RunUpdate) and the scheduler live in update/UpdateRun.cpp and
// update/Scheduler.cpp.
#pragma once

#include "ChildView.h"
#include "framework/FrameWnd.h"
#include "framework/Handles.h"
#include "framework/StatusBar.h"
#include "framework/ToolBar.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class CSchedulerContext;
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
    // Due time of the scheduler's timer for an interval in days, in the timer's 100 ns units.
    static LONGLONG SchedulerDueTime(int intervalDays);
    // The scheduler thread and its decision; both work only on the context the thread owns.
    static DWORD WINAPI UpdateScheduler(LPVOID context);
    // startedBy: the notification code of the "&Update Now" it sends (UpdateText::StartedBy).
    static void DoAutoUpdate(CSchedulerContext& context, unsigned short startedBy);

    std::unique_ptr<CTrayIcon> m_pTrayIcon;
    CHandle m_hSchedulerThread;
    CHandle m_hStopEvent;
    CHandle m_hAutoUpdate;     // CVLAutoUpdate
    CHandle m_hAutoUpdateDone; // CVLAutoUpdateDone
    CHandle m_hUpdateRunning;  // CVLUpdateRunning
    CStatusBar m_wndStatusBar;
    CToolBar m_wndToolBar;
    CChildView m_wndView;
    bool m_bUpdateOnCreate = false; // signals CVLAutoUpdate once created (an update at start)

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
    // TRUE when a package was installed; run: the run's number in the update log.
    BOOL RunUpdate(std::uint64_t& run);
    void ShowRunMessage(const CString& text);

    static const CommandEntry<CMainFrame> s_commandTable[];
    // A close that arrives while an update run pumps messages waits for the run to end.
    bool m_bInUpdateRun = false;
    bool m_bClosePending = false;
    bool m_bClosing = false;
    bool m_bCreated = false;             // OnCreate has finished
    std::vector<WPARAM> m_earlyCommands; // commands that arrived before that
};
