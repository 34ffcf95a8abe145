// Fixture: the main window created in the test program, on the test's thread, with the settings the
// scheduler and the run read set in the application object, and the test's own handles to the
// named events.
#pragma once

#include "app/UpdaterApp.h"
#include "framework/Handles.h"
#include "shell/MainFrame.h"

#include <gtest/gtest.h>

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the main window (and with it the scheduler) from resource 128; fails the test when
    // it cannot.
    void CreateFrame();
    bool FrameAlive() const { return m_hwnd && ::IsWindow(m_hwnd); }
    // Sends "&Update Now" the way a menu choice does; returns when the run has ended.
    void SendUpdateNow();
    // Pumps this thread's messages until cond holds; FALSE after the time-out.
    static bool PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs = 5000);
    // Pumps for a while and reports that cond never held.
    static bool NeverWithin(const std::function<bool()>& cond, DWORD ms);
    // A duplicate of the scheduler thread's handle, to see it end.
    HANDLE SchedulerThread();

    CUpdaterApp& App() { return *GetUpdaterApp(); }

    CMainFrame* m_frame = nullptr;
    HWND m_hwnd = nullptr;
    CHandle m_autoUpdate; // the test's own handles to the named events
    CHandle m_done;
    CHandle m_running;
    CHandle m_shutdown;
    CHandle m_thread;

  private:
    int m_savedEnable = 0;
    int m_savedAsk = 0;
    int m_savedInterval = 0;
    CString m_savedBrowserDir;
    CString m_savedLauncherDir;
    CString m_savedServer;
    CString m_savedPathToFile;
    CString m_savedLastDownload;
    int m_savedPassive = 0;
};

bool Signalled(const CHandle& event);
