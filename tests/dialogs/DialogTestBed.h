// What the dialog tests share: a hidden main window that counts "&Update Now", a fixture that
// owns it and the settings key, and a script thread that plays the user.
#pragma once

#include "shell/MainFrame.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

namespace pmtest {

constexpr const char* kSettingsCaption = "Corvalis's Wayrail Settings";
constexpr const char* kHelpCaption = "About Corvalis Wayrail";
constexpr const char* kAboutCaption = "About Pendlemark";
constexpr const char* kAppCaption = "Pendlemark";

// The real main window with its command gate and state handler; only the update run itself is
// replaced by a counter, so a test sees what reaches it.
class CTestMainFrame : public CMainFrame {
  public:
    BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI) override;

    int m_updateRuns = 0;
    bool m_settingsOpenDuringRun = false;
    std::function<void()> m_onUpdate; // runs inside the counted update
};

// Plays the user on its own thread. Whatever the script leaves open (a dialog or message box of
// this process) is cancelled afterwards, so the modal loop on the test thread always returns.
class UiScript {
  public:
    explicit UiScript(std::function<void()> script);
    ~UiScript();
    UiScript(const UiScript&) = delete;
    UiScript& operator=(const UiScript&) = delete;
    void Join();

  private:
    std::thread m_thread;
};

// A click served before the call returns; only for buttons that open no modal loop.
bool ClickNow(HWND dialog, int id);
// The window holding the keyboard focus in the thread that owns window.
HWND FocusOf(HWND window);
// Escape key to the focused control, as the keyboard sends it.
void PressEscape(HWND dialog);
// The close box of the caption.
void PressCloseBox(HWND dialog);
// Selection of an edit control as (start, end).
std::pair<int, int> EditSelection(HWND edit);
// Waits until none of the windows with these captions is left in this process.
bool WaitForNoDialogs(DWORD timeoutMs = 5000);

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Sends a command to the main window as the tray menu does; returns when its handler returns.
    void SendCommand(UINT id);
    // The settings record as the defaults give it, and as a test wants it before opening the dialog.
    void SetRecord(int choice, int interval, int enableAutoUpdate, int askForConfirmation);
    void SetUpdateRunning(bool running);

    CTestMainFrame* m_frame = nullptr;
    HANDLE m_updateRunning = nullptr;
    bool m_oleStarted = false;
};

} // namespace pmtest
