// The one fixture of the main window in the test's own process: known settings in the application
// object, the test's own handles to the named events, and the main window (with its scheduler) created
// on the test's thread when a test asks for it.
#pragma once

#include "app/UpdaterApp.h"
#include "framework/Handles.h"
#include "res/resource.h"
#include "shell/MainFrame.h"
#include "UiDriver.h"

#include <gtest/gtest.h>

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the main window from resource 128 in frame (a new CMainFrame unless given), as the
    // application's main window when asked; fails the test when it cannot.
    void CreateFrame(CMainFrame* frame = nullptr, bool asMainWindow = false);
    bool FrameAlive() const { return m_hwnd && ::IsWindow(m_hwnd); }
    // Sends "&Update Now" the way a menu choice does; returns when the run has ended.
    void SendUpdateNow() { ::SendMessageA(m_hwnd, WM_COMMAND, ID_UPDATE_NOW, 0); }
    // A duplicate of the scheduler thread's handle, to see it end.
    HANDLE SchedulerThread();
    void ResetEvents();
    static bool Signalled(const CHandle& object) {
        return ::WaitForSingleObject(object.Get(), 0) == WAIT_OBJECT_0;
    }
    CUpdaterApp& App() { return *GetUpdaterApp(); }

    CMainFrame* m_frame = nullptr;
    HWND m_hwnd = nullptr;
    CHandle m_autoUpdate;
    CHandle m_done;
    CHandle m_running;
    CHandle m_shutdown;
    CHandle m_thread;
};
