// The hidden main window in this process: command gate, "Run Corvalis", state greying.
#include "app/UpdaterApp.h"
#include "framework/FrameWnd.h"
#include "res/resource.h"
#include "shell/MainFrame.h"
#include "support/TestEnv.h"
#include "support/UiDriver.h"

#include <gtest/gtest.h>

using namespace pmtest;

namespace {
// Plays "another process" for CVLUpdateRunning.
long EventTool(const char* verb, const char* name) {
    Process tool = Process::Start("\"" + BuiltProgram("pm_event.exe") + "\" " + verb + " " + name);
    return tool.Wait(15000);
}

class MainWindow : public testing::Test {
  protected:
    void SetUp() override {
        app = GetUpdaterApp();
        savedLauncherDir = app->m_launcherDir;
        app->m_startupUpdate = 0;
        frame = new CMainFrame;
        app->m_pMainWnd = frame;
        ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME));
        main = frame->m_hWnd;
    }
    void TearDown() override {
        if (IsWindow(main))
            SendMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
        EXPECT_FALSE(IsWindow(main));
        MSG msg;
        PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE); // the frame's quit request
        app->m_launcherDir = savedLauncherDir;
    }
    // Installs the recording launcher as dir\cvl.exe; returns the path of its record.
    static std::string InstallLauncher(const std::string& dir) {
        std::string launcher = dir + "\\cvl.exe";
        CopyFileA(BuiltProgram("pm_record_args.exe").c_str(), launcher.c_str(), FALSE);
        return launcher + ".args";
    }
    CUpdaterApp* app = nullptr;
    CMainFrame* frame = nullptr;
    HWND main = nullptr;
    std::string savedLauncherDir;
};
} // namespace

TEST_F(MainWindow, IsHiddenTitledAndHoldsTheNamedEvents) {
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_EQ(GetText(main), "Pendlemark");
    EXPECT_NE(frame->m_hAutoUpdate, nullptr);
    EXPECT_NE(frame->m_hAutoUpdateDone, nullptr);
    EXPECT_NE(frame->m_hUpdateRunning, nullptr);
    EXPECT_NE(GetDlgItem(main, AFX_IDW_PANE_FIRST), nullptr);
    EXPECT_EQ(EventTool("state", "CVLUpdateRunning"), 0);
}

TEST_F(MainWindow, RunCorvalisStartsTheQuotedLauncherUnlessAnUpdateRuns) {
    TempDir dir("launch dir");
    app->m_launcherDir = dir.Path();
    std::string record = InstallLauncher(dir.Path());

    ASSERT_EQ(EventTool("set", "CVLUpdateRunning"), 0);
    SendMessageA(main, WM_COMMAND, ID_RUN_LAUNCHER, 0);
    Sleep(500);
    EXPECT_FALSE(FileExists(record)) << "dropped while an update runs";

    ASSERT_EQ(EventTool("reset", "CVLUpdateRunning"), 0);
    SendMessageA(main, WM_COMMAND, ID_RUN_LAUNCHER, 0);
    ASSERT_TRUE(WaitUntil([&] { return FileExists(record); }, 10000));
    EXPECT_EQ(ReadFileText(record), "\"" + dir.Path() + "\\cvl.exe\"\n");
}

TEST_F(MainWindow, EmptyLauncherDirectoryStartsTheQuotedBareName) {
    TempDir dir("cwd");
    std::string record = InstallLauncher(dir.Path());
    char saved[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, saved);
    SetCurrentDirectoryA(dir.Path().c_str());
    app->m_launcherDir.clear();
    SendMessageA(main, WM_COMMAND, ID_RUN_LAUNCHER, 0);
    bool started = WaitUntil([&] { return FileExists(record); }, 10000);
    SetCurrentDirectoryA(saved);
    ASSERT_TRUE(started);
    EXPECT_EQ(ReadFileText(record), "\"cvl.exe\"\n");
}

TEST_F(MainWindow, OverlongLauncherPathStartsNothing) {
    app->m_launcherDir = "C:\\" + std::string(250, 'x'); // with "\cvl.exe" more than the 257 that fit
    SendMessageA(main, WM_COMMAND, ID_RUN_LAUNCHER, 0);  // must neither crash nor start anything
    EXPECT_TRUE(IsWindow(main));
}

TEST_F(MainWindow, StateHandlersGreyTheTwoItemsOfAnOwnedMenuWhileAnUpdateRuns) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY));
    HMENU popup = GetSubMenu(menu, 0);
    auto greyed = [&](UINT id) { return (GetMenuState(popup, id, MF_BYCOMMAND) & MF_GRAYED) != 0; };

    ASSERT_EQ(EventTool("set", "CVLUpdateRunning"), 0);
    SendMessageA(main, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_TRUE(greyed(ID_RUN_LAUNCHER));
    EXPECT_TRUE(greyed(ID_UPDATE_NOW));
    EXPECT_FALSE(greyed(ID_SETTINGS));
    EXPECT_FALSE(greyed(ID_HELP_WINDOW));
    EXPECT_FALSE(greyed(ID_TRAY_EXIT));

    ASSERT_EQ(EventTool("reset", "CVLUpdateRunning"), 0);
    SendMessageA(main, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_FALSE(greyed(ID_RUN_LAUNCHER));
    EXPECT_FALSE(greyed(ID_UPDATE_NOW));
    DestroyMenu(menu);
}

TEST_F(MainWindow, ExitRemovesEverythingAndEndsTheLoop) {
    SendMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(app->m_pMainWnd, nullptr);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(MainWindow, ASecondCloseServedWhileClosingIsHarmless) {
    // Removing the tray icon serves the queue, where this posted close is waiting.
    PostMessageA(main, WM_CLOSE, 0, 0);
    SendMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(app->m_pMainWnd, nullptr);
}
