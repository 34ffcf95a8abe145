// What the dialog tests share: a hidden main window that counts "&Update Now", a fixture that owns
// it and the settings key, and a script thread that plays the user.
#pragma once

#include "support/FrameTest.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>
#include <ole2.h>

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
    BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI) override {
        if (id != ID_UPDATE_NOW || pCmdUI)
            return CMainFrame::OnCmdMsg(id, pCmdUI);
        ++m_updateRuns;
        HWND settings = ::FindWindowA("#32770", kSettingsCaption);
        m_settingsOpenDuringRun = settings && ::IsWindowVisible(settings);
        if (m_onUpdate)
            m_onUpdate();
        return TRUE;
    }
    int m_updateRuns = 0;
    bool m_settingsOpenDuringRun = false;
    std::function<void()> m_onUpdate; // runs inside the counted update
};

// A dialog or message box of this process with one of our captions, or null.
inline HWND FindOurDialog() {
    for (const char* caption : {kAppCaption, kHelpCaption, kAboutCaption, kSettingsCaption}) {
        for (HWND window = nullptr;
             (window = ::FindWindowExA(nullptr, window, "#32770", caption)) != nullptr;) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            if (pid == ::GetCurrentProcessId())
                return window;
        }
    }
    return nullptr;
}

// Plays the user on its own thread. Whatever the script leaves open is cancelled afterwards, top-most
// first, so the modal loop on the test thread always returns.
class UiScript {
  public:
    explicit UiScript(std::function<void()> script)
        : m_thread([script = std::move(script)] {
              script();
              WaitUntil([] {
                  HWND window = FindOurDialog();
                  if (window)
                      ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
                  return window == nullptr;
              });
          }) {}
    ~UiScript() { Join(); }
    void Join() {
        if (m_thread.joinable())
            m_thread.join();
    }

  private:
    std::thread m_thread;
};

// A click served before the call returns; only for buttons that open no modal loop.
inline bool ClickNow(HWND dialog, int id) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
}

// The window holding the keyboard focus in the thread that owns window.
inline HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

class DialogTest : public FrameTest {
  protected:
    void SetUp() override {
        // What the program's start-up does before any window: common controls and OLE.
        INITCOMMONCONTROLSEX controls{sizeof controls,
                                      ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&controls);
        m_oleStarted = SUCCEEDED(::OleInitialize(nullptr));
        FrameTest::SetUp();
        DeleteCorvalisKeys();
        CUpdaterApp* app = GetUpdaterApp();
        app->SetRegistryKey("Corvalis");
        app->m_server = "ftp.example.invalid";
        app->m_pathToFile = "/update/";
        SetRecord(0, 7, 1, 1);
        CreateFrame(new CTestMainFrame, true);
        if (m_frame)
            m_frame->ShowWindow(SW_HIDE);
    }
    void TearDown() override {
        // Not the main window any more, so closing it does not end the thread's message loop.
        GetUpdaterApp()->m_pMainWnd = nullptr;
        if (FrameAlive())
            m_frame->SendMessage(WM_CLOSE);
        WaitUntil([] { return FindOurDialog() == nullptr; }, 5000);
        FrameTest::TearDown();
        DeleteCorvalisKeys();
        DeletePolicyKeys();
        if (m_oleStarted)
            ::OleUninitialize();
    }
    CTestMainFrame& Frame() { return *static_cast<CTestMainFrame*>(m_frame); }
    // Sends a command to the main window as the tray menu does; returns when its handler returns.
    void SendCommand(UINT id) { m_frame->SendMessage(WM_COMMAND, id, 0); }
    static void SetRecord(int choice, int interval, int enableAutoUpdate, int askForConfirmation) {
        CUpdaterApp* app = GetUpdaterApp();
        app->m_updateChoice = choice;
        app->m_updateInterval = interval;
        app->m_enableAutoUpdate = enableAutoUpdate;
        app->m_askForConfirmation = askForConfirmation;
    }

    bool m_oleStarted = false;
};

} // namespace pmtest
