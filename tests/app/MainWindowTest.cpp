// The hidden main window in this process: command gate, "Run Corvalis", state greying.
#include "support/FrameTest.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using namespace pmtest;

namespace {
// Plays "another process" for CVLUpdateRunning.
long EventTool(const char* verb, const char* name) {
    Process tool = Process::Start("\"" + BuiltProgram("pm_event.exe") + "\" " + verb + " " + name);
    return tool.Wait(15000);
}

class MainWindow : public FrameTest {
  protected:
    void SetUp() override {
        FrameTest::SetUp();
        app = &App();
        app->m_startupUpdate = 0;
        CreateFrame(nullptr, true);
        main = m_hwnd;
    }
    void TearDown() override {
        if (IsWindow(main))
            SendMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
        EXPECT_FALSE(IsWindow(main));
        MSG msg;
        PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE); // the frame's quit request
        FrameTest::TearDown();
    }
    CUpdaterApp* app = nullptr;
    HWND main = nullptr;
};
} // namespace

TEST_F(MainWindow, WhileAnUpdateRunsRunCorvalisIsDroppedAndGreyedOtherwiseItStartsTheQuotedLauncher) {
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_EQ(GetText(main), "Pendlemark");
    TempDir dir("launch dir");
    const std::string launcher = dir.File("cvl.exe");
    ASSERT_TRUE(CopyFileA(BuiltProgram("pm_record_args.exe").c_str(), launcher.c_str(), FALSE));
    // pm_record_args appends each command line it was started with to this record.
    auto recorded = [&](const std::string& lines) {
        return WaitUntil([&] { return ReadFileText(launcher + ".args") == lines; }, 10000);
    };
    app->m_launcherDir = dir.Path();
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY));
    HMENU popup = GetSubMenu(menu, 0);
    auto greyed = [&](UINT id) {
        SendMessageA(main, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
        return (GetMenuState(popup, id, MF_BYCOMMAND) & MF_GRAYED) != 0;
    };

    EXPECT_EQ(EventTool("state", "CVLUpdateRunning"), 0);
    ASSERT_EQ(EventTool("set", "CVLUpdateRunning"), 0);
    SendMessageA(main, WM_COMMAND, ID_RUN_LAUNCHER, 0);
    EXPECT_TRUE(greyed(ID_RUN_LAUNCHER));
    EXPECT_TRUE(greyed(ID_UPDATE_NOW));
    EXPECT_FALSE(greyed(ID_SETTINGS));
    EXPECT_FALSE(greyed(ID_HELP_WINDOW));
    EXPECT_FALSE(greyed(ID_TRAY_EXIT));
    Sleep(500);
    EXPECT_FALSE(FileExists(launcher + ".args")) << "dropped while an update runs";

    ASSERT_EQ(EventTool("reset", "CVLUpdateRunning"), 0);
    EXPECT_FALSE(greyed(ID_RUN_LAUNCHER));
    EXPECT_FALSE(greyed(ID_UPDATE_NOW));
    DestroyMenu(menu);
    SendMessageA(main, WM_COMMAND, ID_RUN_LAUNCHER, 0);
    const std::string quoted = "\"" + launcher + "\"\n";
    EXPECT_TRUE(recorded(quoted)) << ReadFileText(launcher + ".args");

    // An empty launcher directory: the quoted bare name, found in the current folder.
    char saved[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, saved);
    SetCurrentDirectoryA(dir.Path().c_str());
    app->m_launcherDir.clear();
    SendMessageA(main, WM_COMMAND, ID_RUN_LAUNCHER, 0);
    bool bareName = recorded(quoted + "\"cvl.exe\"\n");
    SetCurrentDirectoryA(saved);
    EXPECT_TRUE(bareName) << ReadFileText(launcher + ".args");

    app->m_launcherDir = "C:\\" + std::string(250, 'x'); // with "\cvl.exe" more than the 257 that fit
    SendMessageA(main, WM_COMMAND, ID_RUN_LAUNCHER, 0);  // must neither crash nor start anything
    EXPECT_TRUE(IsWindow(main));
}

TEST_F(MainWindow, ExitEndsTheLoopAndASecondCloseServedWhileClosingIsHarmless) {
    // Removing the tray icon serves the queue, where this posted close is waiting.
    PostMessageA(main, WM_CLOSE, 0, 0);
    SendMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(app->m_pMainWnd, nullptr);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(MainWindow, CommandsWaitingWhenTheCloseBeginsRunNothing) {
    // Removing the tray icon serves the queue: a command a moment older than the close must not
    // start an update run or the launcher without a tray icon while the program ends.
    TempDir dir("closing");
    const std::string launcher = dir.File("cvl.exe");
    ASSERT_TRUE(CopyFileA(BuiltProgram("pm_record_args.exe").c_str(), launcher.c_str(), FALSE));
    app->m_launcherDir = dir.Path();
    std::string savedBrowser = app->m_browserDir;
    app->m_browserDir.clear(); // a run would show its box at once
    HANDLE done = OpenOrCreateEvent("CVLAutoUpdateDone");
    ResetEvent(done);
    MessageBoxWatcher runBox("Corvalis Wayrail", IDOK, 2000);
    PostMessageA(main, WM_COMMAND, ID_UPDATE_NOW, 0);
    PostMessageA(main, WM_COMMAND, ID_RUN_LAUNCHER, 0);
    SendMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_FALSE(runBox.Wait().shown);
    EXPECT_FALSE(IsSignalled(done)) << "an update ran during the close";
    Sleep(300);
    EXPECT_FALSE(FileExists(launcher + ".args")) << "the launcher started during the close";
    CloseHandle(done);
    app->m_browserDir = savedBrowser;
}

TEST_F(MainWindow, OnlyTheRunsBoxIsTopMostNotADialogOpenedWhileItShows) {
    std::string savedBrowser = app->m_browserDir;
    app->m_browserDir.clear(); // the run shows its box at once
    bool settingsShown = false;
    bool settingsTopMost = true;
    MessageBoxWatcher runBox("Corvalis Wayrail", IDOK, 15000, [&](HWND) {
        PostMessageA(main, WM_COMMAND, ID_SETTINGS, 0); // from the tray menu, served by the box's loop
        HWND settings = WaitForWindow("#32770", "Corvalis's Wayrail Settings");
        settingsShown = settings != nullptr;
        if (!settings)
            return;
        WaitUntil([&] { return GetForegroundWindow() == settings || GetActiveWindow() == settings; }, 1000);
        settingsTopMost = (GetWindowLongA(settings, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        ClickButton(settings, IDCANCEL);
        WaitForWindowGone(settings);
    });
    SendMessageA(main, WM_COMMAND, ID_UPDATE_NOW, 0);
    MessageBoxSeen seen = runBox.Wait();
    EXPECT_TRUE(seen.shown);
    EXPECT_TRUE(seen.topMost);
    EXPECT_TRUE(settingsShown);
    EXPECT_FALSE(settingsTopMost);
    app->m_browserDir = savedBrowser;
}

namespace {
thread_local HHOOK t_createHook = nullptr;
thread_local UINT t_earlyMessage = 0;
// Queues a message for the frame the moment it exists, before its creation has finished.
LRESULT CALLBACK QueueEarlyMessage(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        if (create->lpcs->lpszName && std::string(create->lpcs->lpszName) == "Pendlemark")
            PostMessageA(reinterpret_cast<HWND>(wParam), t_earlyMessage,
                         t_earlyMessage == WM_COMMAND ? ID_UPDATE_NOW : 0, 0);
    }
    return CallNextHookEx(t_createHook, code, wParam, lParam);
}
} // namespace

TEST(MainWindowCreation, CommandsAndClosesServedDuringCreationWaitUntilItHasFinished) {
    CUpdaterApp* app = GetUpdaterApp();
    std::string savedBrowser = app->m_browserDir;
    app->m_browserDir.clear(); // a run shows its box at once
    HANDLE done = OpenOrCreateEvent("CVLAutoUpdateDone");
    for (UINT early : {WM_COMMAND, WM_CLOSE}) {
        SCOPED_TRACE(early);
        ResetEvent(done);
        t_earlyMessage = early;
        t_createHook = SetWindowsHookExA(WH_CBT, &QueueEarlyMessage, nullptr, GetCurrentThreadId());
        auto* frame = new CMainFrame;
        app->m_pMainWnd = frame;
        BOOL created = frame->LoadFrame(IDR_MAINFRAME);
        UnhookWindowsHookEx(t_createHook);
        ASSERT_TRUE(created);
        HWND main = frame->m_hWnd;
        EXPECT_FALSE(IsSignalled(done)) << "no update ran during creation";
        if (early == WM_COMMAND) {
            MessageBoxWatcher runBox("Corvalis Wayrail", IDOK, 10000);
            EXPECT_TRUE(WaitUntil([&] { return IsSignalled(done); }, 15000)) << "the update ran afterwards";
            EXPECT_TRUE(runBox.Wait().shown);
            SendMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
        }
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(main); }, 15000));
        MSG msg;
        PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }
    CloseHandle(done);
    app->m_browserDir = savedBrowser;
}
