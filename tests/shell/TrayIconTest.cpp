// The tray icon against the real notification area of the Wine desktop, on real windows, and the
// main window's icon.
#include "shell/HookMap.h"
#include "shell/MainFrame.h"
#include "shell/TrayIcon.h"
#include "res/resource.h"
#include "support/UiDriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace {

constexpr UINT kCallback = WM_USER;
constexpr UINT kMarker = WM_APP + 5;
constexpr LRESULT kOwnAnswer = 0x77;

// The real notification area, asked behind the back of the object that placed the icon. A change that
// changes nothing succeeds exactly while the icon is there; a removal is what a recreated taskbar does;
// an icon added with the same window and id makes the shell refuse the owner's own add.
bool Shell(DWORD operation, HWND window) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = window;
    data.uID = IDR_TRAY;
    if (operation == NIM_ADD) {
        data.uFlags = NIF_ICON;
        data.hIcon = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512)); // IDI_APPLICATION
    }
    return ::Shell_NotifyIconA(operation, &data) != FALSE;
}
bool ShellHasIcon(HWND window) {
    return Shell(NIM_MODIFY, window);
}

struct ShellCall {
    DWORD operation;
    BOOL accepted;
    NOTIFYICONDATAA data;
    int markersBefore; // markers the window had handled when the call was made
};

// A window with the tray menu's commands, a state handler for the first one, and a record of what its
// own procedure received.
class CTargetWnd : public CWnd {
  public:
    BOOL Create(CWnd* parent = nullptr, DWORD style = WS_OVERLAPPEDWINDOW) {
        RECT rect{0, 0, 200, 100};
        return CreateEx(0, nullptr, "PmTrayTarget", style, rect, parent ? parent->m_hWnd : nullptr,
                        parent ? 1 : 0);
    }
    BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI) override {
        if (!pCmdUI && id != ID_RUN_LAUNCHER) {
            m_commands.push_back(id);
            return TRUE;
        }
        return DispatchCommand(this, s_table, id, pCmdUI);
    }

    std::vector<UINT> m_commands;
    int m_callbacks = 0; // callback messages the window's own procedure got
    int m_stateQueries = 0;
    int m_broadcasts = 0;
    int m_markers = 0;
    bool m_runEnabled = true;
    std::function<void(HMENU)> m_onMenuPopup; // after the framework's greying
    std::function<void(HWND)> m_onMenuIdle;   // the open menu's window
    std::function<void()> m_onMarker;

  protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
        if (message == kCallback || message == kMarker) {
            ++(message == kCallback ? m_callbacks : m_markers);
            if (message == kMarker && m_onMarker)
                m_onMarker();
            *pResult = message == kCallback ? kOwnAnswer : 0;
            return TRUE;
        }
        if (message == g_uTaskbarCreatedMsg)
            ++m_broadcasts;
        if (message == WM_ENTERIDLE && wParam == MSGF_MENU && m_onMenuIdle) {
            auto once = std::move(m_onMenuIdle);
            m_onMenuIdle = nullptr;
            once(reinterpret_cast<HWND>(lParam));
        }
        BOOL handled = CWnd::OnWndMsg(message, wParam, lParam, pResult);
        if (message == WM_INITMENUPOPUP && m_onMenuPopup)
            m_onMenuPopup(reinterpret_cast<HMENU>(wParam));
        return handled;
    }

  private:
    void OnRun() { m_commands.push_back(ID_RUN_LAUNCHER); }
    void OnUpdateRun(CCmdUI* pCmdUI) {
        ++m_stateQueries;
        pCmdUI->Enable(m_runEnabled);
    }
    static const CommandEntry<CTargetWnd> s_table[1];
};

const CommandEntry<CTargetWnd> CTargetWnd::s_table[1] = {
    {ID_RUN_LAUNCHER, &CTargetWnd::OnRun, &CTargetWnd::OnUpdateRun},
};

// Records every shell call; optionally posts a marker after each, to see the queue drained between.
class CRecordingTrayIcon : public CTrayIcon {
  public:
    CRecordingTrayIcon(UINT id, std::vector<ShellCall>* log) : CTrayIcon(id), m_log(log) {}
    CTargetWnd* m_pMarkerWindow = nullptr;

  protected:
    BOOL NotifyShell(DWORD operation) override {
        BOOL accepted = CTrayIcon::NotifyShell(operation);
        m_log->push_back({operation, accepted, m_iconData, m_pMarkerWindow ? m_pMarkerWindow->m_markers : 0});
        if (m_pMarkerWindow)
            ::PostMessageA(m_pMarkerWindow->m_hWnd, kMarker, 0, 0);
        return accepted;
    }

  private:
    std::vector<ShellCall>* m_log;
};

HICON ResourceIcon(UINT id) {
    return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
}

WNDPROC CurrentProc(HWND hWnd) {
    return reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hWnd, GWLP_WNDPROC));
}

// Closes a menu left open by a failing test, so that no test hangs in the menu loop.
struct MenuWatchdog {
    HWND owner;
    HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> fired{false};
    std::thread thread{[this] {
        if (::WaitForSingleObject(done, 5000) == WAIT_TIMEOUT && (fired = true))
            ::PostMessageA(owner, WM_CANCELMODE, 0, 0);
    }};
    ~MenuWatchdog() {
        ::SetEvent(done);
        thread.join();
        ::CloseHandle(done);
    }
};

class TrayIconTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(target.Create());
        icon = std::make_unique<CRecordingTrayIcon>(IDR_TRAY, &calls);
        icon->SetNotificationTarget(&target, kCallback);
    }
    // Whatever a test did, the icon's end takes the icon and the hook along.
    void TearDown() override {
        icon.reset();
        EXPECT_FALSE(ShellHasIcon(target.m_hWnd));
        EXPECT_EQ(CurrentProc(target.m_hWnd), &CWnd::WndProc);
        target.DestroyWindow();
        pmtest::PumpPending();
    }
    size_t CountOf(DWORD operation) const {
        size_t n = 0;
        for (const ShellCall& call : calls)
            n += call.operation == operation;
        return n;
    }
    LRESULT SendCallback(LPARAM mouse, WPARAM id = IDR_TRAY) {
        return ::SendMessageA(target.m_hWnd, kCallback, id, mouse);
    }

    CTargetWnd target;
    std::vector<ShellCall> calls;
    std::unique_ptr<CRecordingTrayIcon> icon;
};

TEST_F(TrayIconTest, AddsChangesAndRemovesAndAsksNothingWhenNoneIsShown) {
    const NOTIFYICONDATAA& data = icon->m_iconData;
    EXPECT_EQ(data.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE));
    EXPECT_EQ(data.hIcon, nullptr);

    ::PostQuitMessage(7); // a quit request must survive the draining before each shell call
    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    MSG quit{};
    ASSERT_TRUE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 7u);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].operation, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[0].data.hWnd, target.m_hWnd);
    EXPECT_EQ(calls[0].data.uID, static_cast<UINT>(IDR_TRAY));
    EXPECT_EQ(calls[0].data.uCallbackMessage, kCallback);
    EXPECT_EQ(calls[0].data.uFlags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE)); // no string 130: no tip
    EXPECT_EQ(calls[0].data.hIcon, ResourceIcon(IDR_TRAY));
    EXPECT_TRUE(ShellHasIcon(target.m_hWnd));

    HICON other = ResourceIcon(IDR_MAINFRAME);
    ASSERT_TRUE(icon->SetIconHandle(other, std::string(200, 'x').c_str()));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].operation, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(calls[1].data.hIcon, other);
    EXPECT_EQ(std::string(calls[1].data.szTip), std::string(127, 'x'));

    ASSERT_TRUE(icon->SetIconHandle(nullptr, nullptr));
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].operation, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(calls[2].data.hIcon, other);
    EXPECT_EQ(icon->m_iconData.hIcon, nullptr);
    EXPECT_FALSE(ShellHasIcon(target.m_hWnd));

    EXPECT_TRUE(icon->SetIconHandle(nullptr, nullptr));
    EXPECT_TRUE(icon->SetIconFromResource(0));
    EXPECT_EQ(calls.size(), 3u);
}

TEST_F(TrayIconTest, RefusedCallIsMade51TimesWithTheQueueDrainedBetweenAndTheNextIconIsAnAdd) {
    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    ASSERT_TRUE(Shell(NIM_DELETE, target.m_hWnd)); // the shell now refuses the change
    calls.clear();
    icon->m_pMarkerWindow = &target;
    ::PostMessageA(target.m_hWnd, kMarker, 0, 0);

    EXPECT_FALSE(icon->SetIconHandle(ResourceIcon(IDR_MAINFRAME), nullptr));

    ASSERT_EQ(calls.size(), 51u);
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].operation, static_cast<DWORD>(NIM_MODIFY)) << i;
        EXPECT_FALSE(calls[i].accepted) << i;
        EXPECT_EQ(calls[i].markersBefore, static_cast<int>(i) + 1) << i;
    }
    EXPECT_EQ(target.m_markers, 52); // drained after the last call too
    EXPECT_EQ(icon->m_iconData.hIcon, nullptr);

    calls.clear();
    icon->m_pMarkerWindow = nullptr;
    EXPECT_TRUE(icon->SetIconHandle(ResourceIcon(IDR_TRAY), nullptr));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].operation, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(ShellHasIcon(target.m_hWnd));
}

// The broadcast: a hidden icon stays hidden, a lost one comes back unchanged, and one the shell still
// shows (display scale changed) stays counted as shown through a change.
TEST_F(TrayIconTest, TaskbarCreatedShowsAShownIconAgain) {
    ::SendMessageA(target.m_hWnd, g_uTaskbarCreatedMsg, 0, 0);
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(ShellHasIcon(target.m_hWnd));

    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    ShellCall added = calls[0];
    ASSERT_TRUE(Shell(NIM_DELETE, target.m_hWnd)); // the old taskbar took it along
    calls.clear();
    ::SendMessageA(target.m_hWnd, g_uTaskbarCreatedMsg, 0, 0);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].operation, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(calls[0].accepted);
    EXPECT_EQ(std::memcmp(&calls[0].data, &added.data, sizeof added.data), 0); // same id, icon, window...
    EXPECT_TRUE(ShellHasIcon(target.m_hWnd));

    calls.clear();
    ::SendMessageA(target.m_hWnd, g_uTaskbarCreatedMsg, 0, 0);
    EXPECT_EQ(CountOf(NIM_ADD), 51u);
    ASSERT_EQ(CountOf(NIM_MODIFY), 1u);
    EXPECT_EQ(calls.back().operation, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_TRUE(calls.back().accepted);
    EXPECT_EQ(icon->m_iconData.hIcon, ResourceIcon(IDR_TRAY));
    EXPECT_TRUE(ShellHasIcon(target.m_hWnd));
    EXPECT_EQ(target.m_broadcasts, 3); // the window still gets each broadcast
}

TEST_F(TrayIconTest, ChildNotificationWindowGetsASecondHookOnItsTopLevelWindow) {
    icon.reset();
    CTargetWnd child;
    ASSERT_TRUE(child.Create(&target, WS_CHILD | WS_VISIBLE));
    {
        CRecordingTrayIcon childIcon(IDR_TRAY, &calls);
        childIcon.SetNotificationTarget(&child, kCallback);
        EXPECT_EQ(GetHookMap().FirstHook(child.m_hWnd), &childIcon.m_targetHook);
        EXPECT_EQ(GetHookMap().FirstHook(target.m_hWnd), &childIcon.m_topLevelHook);

        // Only the top-level window sees the broadcast.
        ASSERT_TRUE(childIcon.SetIconFromResource(IDR_TRAY));
        ASSERT_TRUE(Shell(NIM_DELETE, child.m_hWnd));
        calls.clear();
        ::SendMessageA(target.m_hWnd, g_uTaskbarCreatedMsg, 0, 0);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].operation, static_cast<DWORD>(NIM_ADD));
        EXPECT_EQ(calls[0].data.hWnd, child.m_hWnd);
        EXPECT_TRUE(ShellHasIcon(child.m_hWnd));
    }
    EXPECT_EQ(GetHookMap().FirstHook(target.m_hWnd), nullptr);
    EXPECT_EQ(GetHookMap().FirstHook(child.m_hWnd), nullptr);
    EXPECT_FALSE(ShellHasIcon(child.m_hWnd));
    child.DestroyWindow();
}

TEST_F(TrayIconTest, DoubleClickRunsTheFirstCommandAtOnceUnlessDisabledAndOtherCallbacksPassThrough) {
    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    int menus = 0;
    target.m_onMenuPopup = [&](HMENU) { ++menus; };
    EXPECT_EQ(SendCallback(WM_RBUTTONUP, IDR_TRAY + 1), kOwnAnswer);
    EXPECT_EQ(SendCallback(WM_LBUTTONDBLCLK, IDR_TRAY + 1), kOwnAnswer);
    for (LPARAM mouse : {WM_LBUTTONUP, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_RBUTTONDBLCLK})
        EXPECT_EQ(SendCallback(mouse), kOwnAnswer);
    pmtest::PumpPending();
    EXPECT_EQ(menus, 0);
    EXPECT_TRUE(target.m_commands.empty());
    EXPECT_EQ(target.m_callbacks, 7);

    EXPECT_EQ(SendCallback(WM_LBUTTONDBLCLK), kOwnAnswer);
    EXPECT_EQ(target.m_commands, std::vector<UINT>{ID_RUN_LAUNCHER}); // no pumping: it was sent
    EXPECT_EQ(target.m_callbacks, 8);

    target.m_runEnabled = false;
    int queries = target.m_stateQueries;
    SendCallback(WM_LBUTTONDBLCLK);
    pmtest::PumpPending();
    EXPECT_EQ(target.m_commands.size(), 1u);
    EXPECT_GT(target.m_stateQueries, queries);
}

TEST_F(TrayIconTest, RightClickOpensTheMenuAtTheCursorAndOnlyAChosenItemIsDelivered) {
    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    ASSERT_TRUE(::SetCursorPos(300, 200));
    target.m_runEnabled = false; // greyed by the framework when the menu opens
    int defaultItem = -2;
    std::vector<UINT> ids;
    bool firstGreyed = false;
    target.m_onMenuPopup = [&](HMENU popup) {
        defaultItem = static_cast<int>(::GetMenuDefaultItem(popup, TRUE, GMDI_USEDISABLED));
        for (int i = 0; i < ::GetMenuItemCount(popup); ++i)
            ids.push_back(::GetMenuItemID(popup, i));
        firstGreyed = (::GetMenuState(popup, 0, MF_BYPOSITION) & MF_GRAYED) != 0;
    };
    RECT menuRect{};
    target.m_onMenuIdle = [&](HWND menu) {
        ::GetWindowRect(menu, &menuRect);
        ::EndMenu();
    };
    {
        MenuWatchdog watchdog{target.m_hWnd};
        EXPECT_EQ(SendCallback(WM_RBUTTONUP), kOwnAnswer);
        pmtest::PumpPending();
        EXPECT_FALSE(watchdog.fired);
    }
    EXPECT_EQ(defaultItem, 0);
    EXPECT_EQ(ids, (std::vector<UINT>{ID_RUN_LAUNCHER, ID_SETTINGS, ID_UPDATE_NOW, 0, ID_HELP_WINDOW,
                                      ID_TRAY_EXIT}));
    EXPECT_TRUE(firstGreyed);
    EXPECT_EQ(menuRect.left, 300);
    EXPECT_EQ(menuRect.top, 200);
    EXPECT_TRUE(target.m_commands.empty()); // dismissed: nothing delivered

    target.m_onMenuIdle = [&](HWND) { ::PostMessageA(target.m_hWnd, WM_CHAR, 'u', 0); }; // "&Update Now"
    MenuWatchdog watchdog{target.m_hWnd};
    SendCallback(WM_RBUTTONUP);
    pmtest::WaitUntil([&] { return !target.m_commands.empty(); }, 2000);
    EXPECT_FALSE(watchdog.fired);
    EXPECT_EQ(target.m_commands, std::vector<UINT>{ID_UPDATE_NOW});
}

// The icon may be deleted by a handler the menu loop or the draining runs: nothing of it may be
// touched when they return.
TEST_F(TrayIconTest, IconDeletedWhileItsMenuIsOpenOrTheQueueIsDrainedIsNotTouchedAfterwards) {
    icon.reset();
    for (bool inMenu : {true, false}) {
        alignas(CRecordingTrayIcon) unsigned char storage[sizeof(CRecordingTrayIcon)];
        auto* inPlace = new (storage) CRecordingTrayIcon(IDR_TRAY, &calls);
        inPlace->SetNotificationTarget(&target, kCallback);
        ASSERT_TRUE(inPlace->SetIconFromResource(IDR_TRAY));
        auto deleteIcon = [&] {
            inPlace->~CRecordingTrayIcon();
            std::memset(storage, 0xCD, sizeof storage); // as freed memory would look
        };
        if (inMenu) {
            target.m_onMenuIdle = [&](HWND) {
                deleteIcon();
                ::EndMenu();
            };
            MenuWatchdog watchdog{target.m_hWnd};
            EXPECT_EQ(SendCallback(WM_RBUTTONUP), kOwnAnswer);
            EXPECT_FALSE(watchdog.fired);
        } else {
            target.m_onMarker = deleteIcon;
            ::PostMessageA(target.m_hWnd, kMarker, 0, 0);
            EXPECT_FALSE(inPlace->SetIconHandle(ResourceIcon(IDR_MAINFRAME), nullptr));
            target.m_onMarker = nullptr;
        }
        for (unsigned char byte : storage)
            ASSERT_EQ(byte, 0xCD) << (inMenu ? "menu" : "draining");
        EXPECT_FALSE(ShellHasIcon(target.m_hWnd));
    }
}

// What the program's start-up does before any window exists.
void InitCommonControlsOnce() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
}

// Looks at the notification area when the main window is being destroyed.
class DestroyWatch : public CSubclassWnd {
  public:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_DESTROY) {
            m_destroyed = true;
            m_iconAtDestroy = ShellHasIcon(m_hHookedWnd);
        }
        return CSubclassWnd::HandleMessage(message, wParam, lParam);
    }
    bool m_destroyed = false;
    bool m_iconAtDestroy = true;
};

TEST(MainFrameTray, IconShowsWhileTheWindowLivesAndLeavesBeforeItIsDestroyed) {
    InitCommonControlsOnce();
    CMainFrame* frame = new CMainFrame;
    ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME));
    HWND window = frame->m_hWnd;
    ASSERT_NE(frame->m_pTrayIcon, nullptr);
    const NOTIFYICONDATAA& data = frame->m_pTrayIcon->m_iconData;
    EXPECT_EQ(data.uCallbackMessage, static_cast<UINT>(WM_USER));
    EXPECT_EQ(data.hIcon, ResourceIcon(IDR_TRAY));
    EXPECT_TRUE(ShellHasIcon(window));

    DestroyWatch watch;
    watch.SetHookedWindow(window);
    ::SendMessageA(window, WM_CLOSE, 0, 0); // the window and its object are gone afterwards

    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(watch.m_destroyed);
    EXPECT_FALSE(watch.m_iconAtDestroy);
}

// Puts an icon with the main window's handle and id in place the moment the window exists, so that
// the shell refuses the window's own.
HWND g_firstTopLevel = nullptr;
LRESULT CALLBACK ClaimIconSlot(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && !g_firstTopLevel &&
        !reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->hwndParent) {
        g_firstTopLevel = reinterpret_cast<HWND>(wParam);
        Shell(NIM_ADD, g_firstTopLevel);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Whether the window was still hooked at its end: its creation got as far as the icon.
bool g_hookedAtEnd = false;
LRESULT CALLBACK WatchEnd(int code, WPARAM wParam, LPARAM lParam) {
    auto* sent = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_NCDESTROY && sent->hwnd == g_firstTopLevel)
        g_hookedAtEnd = CurrentProc(sent->hwnd) == &SharedHookProc;
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
    BOOL created = frame->LoadFrame(IDR_MAINFRAME);
    ::UnhookWindowsHookEx(watch);
    ::UnhookWindowsHookEx(hook);

    ASSERT_NE(g_firstTopLevel, nullptr);
    EXPECT_FALSE(created);
    EXPECT_FALSE(::IsWindow(g_firstTopLevel));
    EXPECT_TRUE(g_hookedAtEnd);
    EXPECT_EQ(GetHookMap().FirstHook(g_firstTopLevel), nullptr);
    Shell(NIM_DELETE, g_firstTopLevel); // usually gone with its window already
}

} // namespace
