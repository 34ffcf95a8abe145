// The main window's tray icon: placed while the window is created, gone before it is destroyed, and
// no window at all when the icon cannot be placed.
#include "ShellProbe.h"
#include "shell/HookMap.h"
#include "shell/MainFrame.h"
#include "shell/SubclassWnd.h"
#include "shell/TrayIcon.h"
#include "res/resource.h"

#include <gtest/gtest.h>

namespace {

// What the program's start-up does before any window exists.
void InitCommonControlsOnce() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
}

// Looks at the notification area when the window is being destroyed.
class DestroyWatch : public CSubclassWnd {
  public:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_DESTROY) {
            m_destroyed = true;
            m_iconAtDestroy = pmtest::ShellHasIcon(m_hHookedWnd, IDR_TRAY);
            m_onlyHookAtDestroy = GetHookMap().FirstHook(m_hHookedWnd) == this && !m_pNextHook;
        }
        return CSubclassWnd::HandleMessage(message, wParam, lParam);
    }
    bool m_destroyed = false;
    bool m_iconAtDestroy = true;
    bool m_onlyHookAtDestroy = false;
};

TEST(MainFrameTray, IconShowsWhileTheWindowLivesAndLeavesBeforeItIsDestroyed) {
    InitCommonControlsOnce();
    CMainFrame* frame = new CMainFrame;
    ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME));
    HWND window = frame->m_hWnd;

    ASSERT_NE(frame->m_pTrayIcon, nullptr);
    const NOTIFYICONDATAA& data = frame->m_pTrayIcon->m_iconData;
    EXPECT_EQ(data.hWnd, window);
    EXPECT_EQ(data.uID, static_cast<UINT>(IDR_TRAY));
    EXPECT_EQ(data.uCallbackMessage, static_cast<UINT>(WM_USER));
    EXPECT_EQ(data.hIcon, ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY)));
    EXPECT_TRUE(pmtest::ShellHasIcon(window, IDR_TRAY));
    EXPECT_EQ(GetHookMap().FirstHook(window), &frame->m_pTrayIcon->m_targetHook);

    DestroyWatch watch;
    watch.SetHookedWindow(window);
    ::SendMessageA(window, WM_CLOSE, 0, 0); // the window and its object are gone afterwards

    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(watch.m_destroyed);
    EXPECT_FALSE(watch.m_iconAtDestroy);
    EXPECT_TRUE(watch.m_onlyHookAtDestroy);
    EXPECT_EQ(watch.m_hHookedWnd, nullptr);
}

// Puts an icon with the main window's handle and id in place the moment the window exists, so that
// the shell refuses the window's own.
HWND g_firstTopLevel = nullptr;
LRESULT CALLBACK ClaimIconSlot(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && !g_firstTopLevel) {
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        if (!create->lpcs->hwndParent) {
            g_firstTopLevel = reinterpret_cast<HWND>(wParam);
            pmtest::AddToShell(g_firstTopLevel, IDR_TRAY);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Whether the window was still hooked at its end: its creation got as far as the icon.
bool g_hookedAtEnd = false;
LRESULT CALLBACK WatchEnd(int code, WPARAM wParam, LPARAM lParam) {
    auto* sent = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_NCDESTROY && sent->hwnd == g_firstTopLevel)
        g_hookedAtEnd =
            reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(sent->hwnd, GWLP_WNDPROC)) == &SharedHookProc;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(MainFrameTray, WindowIsNotCreatedWhenItsIconCannotBePlaced) {
    InitCommonControlsOnce();
    g_firstTopLevel = nullptr;
    g_hookedAtEnd = false;
    HHOOK hook = ::SetWindowsHookExA(WH_CBT, &ClaimIconSlot, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    HHOOK watch = ::SetWindowsHookExA(WH_CALLWNDPROC, &WatchEnd, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(watch, nullptr);

    CMainFrame* frame = new CMainFrame; // deletes itself when its creation fails
    DWORD start = ::GetTickCount();
    BOOL created = frame->LoadFrame(IDR_MAINFRAME);
    DWORD elapsed = ::GetTickCount() - start;
    ::UnhookWindowsHookEx(watch);
    ::UnhookWindowsHookEx(hook);

    ASSERT_NE(g_firstTopLevel, nullptr);
    EXPECT_FALSE(created);
    EXPECT_FALSE(::IsWindow(g_firstTopLevel));
    EXPECT_TRUE(g_hookedAtEnd);
    EXPECT_EQ(GetHookMap().FirstHook(g_firstTopLevel), nullptr);
    std::printf("refused creation took %lu ms\n", elapsed);
    pmtest::RemoveFromShell(g_firstTopLevel, IDR_TRAY); // usually gone with its window already
}

} // namespace
