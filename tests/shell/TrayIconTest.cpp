// The tray icon against the real notification area of the Wine desktop, on real windows.
#include "ShellProbe.h"
#include "shell/HookMap.h"
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
                        parent && (style & WS_CHILD) ? 1 : 0);
    }
    BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI) override;

    std::vector<UINT> m_commands;
    std::vector<MSG> m_callbacks; // the callback message as the window's own procedure got it
    int m_stateQueries = 0;
    int m_broadcasts = 0;
    int m_markers = 0;
    bool m_runEnabled = true;
    std::function<void(HMENU)> m_onMenuPopup; // after the framework's greying
    std::function<void(HWND)> m_onMenuIdle;   // the open menu's window
    std::function<void()> m_onMarker;

  protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
        if (message == kCallback) {
            MSG msg{};
            msg.wParam = wParam;
            msg.lParam = lParam;
            m_callbacks.push_back(msg);
            *pResult = kOwnAnswer;
            return TRUE;
        }
        if (message == g_uTaskbarCreatedMsg)
            ++m_broadcasts;
        if (message == kMarker) {
            ++m_markers;
            if (m_onMarker)
                m_onMarker();
            *pResult = 0;
            return TRUE;
        }
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
    void OnSettings() { m_commands.push_back(ID_SETTINGS); }
    void OnUpdate() { m_commands.push_back(ID_UPDATE_NOW); }
    void OnHelp() { m_commands.push_back(ID_HELP_WINDOW); }
    void OnExit() { m_commands.push_back(ID_TRAY_EXIT); }
    void OnUpdateRun(CCmdUI* pCmdUI) {
        ++m_stateQueries;
        pCmdUI->Enable(m_runEnabled);
    }
    static const CommandEntry<CTargetWnd> s_table[];
};

const CommandEntry<CTargetWnd> CTargetWnd::s_table[] = {
    {ID_RUN_LAUNCHER, &CTargetWnd::OnRun, &CTargetWnd::OnUpdateRun},
    {ID_SETTINGS, &CTargetWnd::OnSettings, nullptr},
    {ID_UPDATE_NOW, &CTargetWnd::OnUpdate, nullptr},
    {ID_HELP_WINDOW, &CTargetWnd::OnHelp, nullptr},
    {ID_TRAY_EXIT, &CTargetWnd::OnExit, nullptr},
};

BOOL CTargetWnd::OnCmdMsg(UINT id, CCmdUI* pCmdUI) {
    return DispatchCommand(this, s_table, id, pCmdUI);
}

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
class MenuWatchdog {
  public:
    explicit MenuWatchdog(HWND owner) : m_done(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        m_thread = std::thread([this, owner] {
            if (::WaitForSingleObject(m_done, 5000) == WAIT_TIMEOUT) {
                m_fired = true;
                ::PostMessageA(owner, WM_CANCELMODE, 0, 0);
            }
        });
    }
    ~MenuWatchdog() {
        ::SetEvent(m_done);
        m_thread.join();
        ::CloseHandle(m_done);
    }
    MenuWatchdog(const MenuWatchdog&) = delete;
    MenuWatchdog& operator=(const MenuWatchdog&) = delete;
    bool Fired() const { return m_fired; }

  private:
    HANDLE m_done;
    std::atomic<bool> m_fired{false};
    std::thread m_thread;
};

class TrayIconTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(target.Create());
        icon = std::make_unique<CRecordingTrayIcon>(IDR_TRAY, &calls);
        icon->SetNotificationTarget(&target, kCallback);
    }
    void TearDown() override {
        icon.reset();
        EXPECT_FALSE(pmtest::ShellHasIcon(target.m_hWnd, IDR_TRAY));
        target.DestroyWindow();
        pmtest::PumpPending();
    }
    size_t CountOf(DWORD operation) const {
        size_t n = 0;
        for (const ShellCall& call : calls)
            n += call.operation == operation;
        return n;
    }

    CTargetWnd target;
    std::vector<ShellCall> calls;
    std::unique_ptr<CRecordingTrayIcon> icon;
};

TEST_F(TrayIconTest, NewIconHooksItsTopLevelWindowOnceAndShowsNothing) {
    static_assert(NOTIFYICONDATAA_V2_SIZE == (sizeof(void*) == 8 ? 504 : 488), "second-version record");
    const NOTIFYICONDATAA& data = icon->m_iconData;
    EXPECT_EQ(data.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE));
    EXPECT_EQ(data.uID, static_cast<UINT>(IDR_TRAY));
    EXPECT_EQ(data.hWnd, target.m_hWnd);
    EXPECT_EQ(data.uCallbackMessage, kCallback);
    EXPECT_EQ(data.hIcon, nullptr);
    EXPECT_STREQ(data.szTip, ""); // there is no string 130
    EXPECT_EQ(data.dwState | data.dwStateMask | data.uTimeout | data.dwInfoFlags, 0u);
    EXPECT_EQ(data.szInfo[0] | data.szInfoTitle[0], 0);
    EXPECT_STREQ(icon->GetRuntimeClass()->m_lpszClassName, "CTrayIcon");
    EXPECT_STREQ(icon->m_targetHook.GetRuntimeClass()->m_lpszClassName, "CSubclassWnd");

    EXPECT_EQ(GetHookMap().FirstHook(target.m_hWnd), &icon->m_targetHook);
    EXPECT_EQ(icon->m_targetHook.m_pNextHook, nullptr);
    EXPECT_EQ(icon->m_topLevelHook.m_hHookedWnd, nullptr);
    EXPECT_EQ(CurrentProc(target.m_hWnd), &SharedHookProc);

    // Nothing shown, nothing to remove: not even the queue is drained.
    ::PostMessageA(target.m_hWnd, kMarker, 0, 0);
    icon.reset();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(target.m_markers, 0);
    pmtest::PumpPending();
    EXPECT_EQ(target.m_markers, 1);
    EXPECT_EQ(GetHookMap().FirstHook(target.m_hWnd), nullptr);
    EXPECT_EQ(CurrentProc(target.m_hWnd), &CWnd::WndProc);
}

TEST_F(TrayIconTest, AddsChangesAndRemovesTheIcon) {
    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].operation, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[0].data.hWnd, target.m_hWnd);
    EXPECT_EQ(calls[0].data.uID, static_cast<UINT>(IDR_TRAY));
    EXPECT_EQ(calls[0].data.uCallbackMessage, kCallback);
    EXPECT_EQ(calls[0].data.uFlags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE));
    EXPECT_EQ(calls[0].data.hIcon, ResourceIcon(IDR_TRAY));
    EXPECT_TRUE(pmtest::ShellHasIcon(target.m_hWnd, IDR_TRAY));

    HICON other = ResourceIcon(IDR_MAINFRAME);
    ASSERT_TRUE(icon->SetIconHandle(other, nullptr));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].operation, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(icon->m_iconData.hIcon, other);

    ASSERT_TRUE(icon->SetIconHandle(nullptr, nullptr));
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].operation, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(calls[2].data.hIcon, other);
    EXPECT_EQ(icon->m_iconData.hIcon, nullptr);
    EXPECT_FALSE(pmtest::ShellHasIcon(target.m_hWnd, IDR_TRAY));

    // Nothing shown: nothing to ask the shell.
    EXPECT_TRUE(icon->SetIconHandle(nullptr, nullptr));
    EXPECT_TRUE(icon->SetIconFromResource(0));
    EXPECT_EQ(calls.size(), 3u);
}

TEST_F(TrayIconTest, TipTextIsFlaggedOnlyWhenThereIsOneAndKeepsAtMost127Bytes) {
    ASSERT_TRUE(icon->SetIconFromResource(IDR_MAINFRAME)); // string 128 is "Pendlemark"
    EXPECT_STREQ(calls.back().data.szTip, "Pendlemark");
    EXPECT_EQ(calls.back().data.uFlags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE | NIF_TIP));

    std::string longTip(200, 'x');
    ASSERT_TRUE(icon->SetIconHandle(ResourceIcon(IDR_TRAY), longTip.c_str()));
    EXPECT_EQ(std::string(calls.back().data.szTip), std::string(127, 'x'));

    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY)); // no string 130: the tip goes
    EXPECT_STREQ(calls.back().data.szTip, "");
    EXPECT_EQ(calls.back().data.uFlags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE));
}

TEST_F(TrayIconTest, MissingIconResourceRemovesTheIcon) {
    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    EXPECT_TRUE(icon->SetIconFromResource(999));
    EXPECT_EQ(calls.back().operation, static_cast<DWORD>(NIM_DELETE));
    EXPECT_FALSE(pmtest::ShellHasIcon(target.m_hWnd, IDR_TRAY));
    EXPECT_TRUE(icon->SetIconFromResource(999));
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(TrayIconTest, FailedChangeMakesTheNextIconAnAdd) {
    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    ASSERT_TRUE(pmtest::RemoveFromShell(target.m_hWnd, IDR_TRAY));
    calls.clear();

    EXPECT_FALSE(icon->SetIconHandle(ResourceIcon(IDR_MAINFRAME), nullptr));
    EXPECT_EQ(calls.size(), 51u);
    EXPECT_EQ(CountOf(NIM_MODIFY), 51u);
    EXPECT_EQ(icon->m_iconData.hIcon, nullptr);

    calls.clear();
    EXPECT_TRUE(icon->SetIconHandle(ResourceIcon(IDR_TRAY), nullptr));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].operation, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(pmtest::ShellHasIcon(target.m_hWnd, IDR_TRAY));
}

TEST_F(TrayIconTest, RefusedAddIsCalled51TimesWithTheQueueDrainedBeforeEachCallAndAfterTheLast) {
    ASSERT_TRUE(pmtest::AddToShell(target.m_hWnd, IDR_TRAY)); // ours now clashes with this one
    icon->m_pMarkerWindow = &target;
    ::PostMessageA(target.m_hWnd, kMarker, 0, 0);

    DWORD start = ::GetTickCount();
    EXPECT_FALSE(icon->SetIconFromResource(IDR_TRAY));
    DWORD elapsed = ::GetTickCount() - start;

    ASSERT_EQ(calls.size(), 51u);
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].operation, static_cast<DWORD>(NIM_ADD)) << i;
        EXPECT_FALSE(calls[i].accepted) << i;
        EXPECT_EQ(calls[i].markersBefore, static_cast<int>(i) + 1) << i;
    }
    EXPECT_EQ(target.m_markers, 52);
    EXPECT_EQ(icon->m_iconData.hIcon, nullptr);
    std::printf("51 refused adds took %lu ms\n", elapsed);
    EXPECT_TRUE(pmtest::RemoveFromShell(target.m_hWnd, IDR_TRAY));
}

TEST_F(TrayIconTest, QuitRequestSurvivesTheDraining) {
    ::PostQuitMessage(7);
    EXPECT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    MSG msg{};
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(TrayIconTest, DestroyingTheIconRemovesItAndItsHook) {
    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    icon.reset();
    EXPECT_FALSE(pmtest::ShellHasIcon(target.m_hWnd, IDR_TRAY));
    EXPECT_EQ(CurrentProc(target.m_hWnd), &CWnd::WndProc);
}

TEST_F(TrayIconTest, RecreatedTaskbarGetsTheShownIconBackUnchanged) {
    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    ShellCall added = calls[0];
    ASSERT_TRUE(pmtest::RemoveFromShell(target.m_hWnd, IDR_TRAY)); // the old taskbar took it along
    calls.clear();

    ::SendMessageA(target.m_hWnd, g_uTaskbarCreatedMsg, 0, 0);

    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].operation, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(calls[0].accepted);
    EXPECT_EQ(calls[0].data.hWnd, added.data.hWnd);
    EXPECT_EQ(calls[0].data.uID, added.data.uID);
    EXPECT_EQ(calls[0].data.hIcon, added.data.hIcon);
    EXPECT_EQ(calls[0].data.uCallbackMessage, added.data.uCallbackMessage);
    EXPECT_EQ(calls[0].data.uFlags, added.data.uFlags);
    EXPECT_TRUE(pmtest::ShellHasIcon(target.m_hWnd, IDR_TRAY));
    EXPECT_EQ(target.m_broadcasts, 1); // the window still gets the broadcast
}

TEST_F(TrayIconTest, RecreatedTaskbarLeavesAHiddenIconHidden) {
    ::SendMessageA(target.m_hWnd, g_uTaskbarCreatedMsg, 0, 0);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(icon->m_iconData.hIcon, nullptr);
    EXPECT_FALSE(pmtest::ShellHasIcon(target.m_hWnd, IDR_TRAY));
    EXPECT_EQ(target.m_broadcasts, 1);
}

TEST_F(TrayIconTest, BroadcastWhileTheIconIsStillThereKeepsItShownThroughAChange) {
    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    calls.clear();

    ::SendMessageA(target.m_hWnd, g_uTaskbarCreatedMsg, 0, 0);

    EXPECT_EQ(CountOf(NIM_ADD), 51u);
    ASSERT_EQ(CountOf(NIM_MODIFY), 1u);
    EXPECT_EQ(calls.back().operation, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_TRUE(calls.back().accepted);
    EXPECT_EQ(icon->m_iconData.hIcon, ResourceIcon(IDR_TRAY));
    EXPECT_TRUE(pmtest::ShellHasIcon(target.m_hWnd, IDR_TRAY));
}

TEST_F(TrayIconTest, ChildNotificationWindowGetsASecondHookOnItsTopLevelWindow) {
    icon.reset();
    CTargetWnd child;
    ASSERT_TRUE(child.Create(&target, WS_CHILD | WS_VISIBLE));
    CTargetWnd owned;
    ASSERT_TRUE(owned.Create(&target, WS_POPUP));
    {
        CRecordingTrayIcon childIcon(IDR_TRAY, &calls);
        childIcon.SetNotificationTarget(&child, kCallback);
        EXPECT_EQ(GetHookMap().FirstHook(child.m_hWnd), &childIcon.m_targetHook);
        EXPECT_EQ(GetHookMap().FirstHook(target.m_hWnd), &childIcon.m_topLevelHook);

        // An owned window's top-level window is its owner; hooks of two icons share that window.
        CRecordingTrayIcon ownedIcon(IDR_TRAY + 1, &calls);
        ownedIcon.SetNotificationTarget(&owned, kCallback);
        EXPECT_EQ(GetHookMap().FirstHook(target.m_hWnd), &ownedIcon.m_topLevelHook);
        EXPECT_EQ(ownedIcon.m_topLevelHook.m_pNextHook, &childIcon.m_topLevelHook);

        // Only the top-level window sees the broadcast.
        ASSERT_TRUE(childIcon.SetIconFromResource(IDR_TRAY));
        ASSERT_TRUE(pmtest::RemoveFromShell(child.m_hWnd, IDR_TRAY));
        calls.clear();
        ::SendMessageA(target.m_hWnd, g_uTaskbarCreatedMsg, 0, 0);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].operation, static_cast<DWORD>(NIM_ADD));
        EXPECT_EQ(calls[0].data.hWnd, child.m_hWnd);
        EXPECT_TRUE(pmtest::ShellHasIcon(child.m_hWnd, IDR_TRAY));

        // The callback message counts only on the notification window.
        ::SendMessageA(target.m_hWnd, kCallback, IDR_TRAY, WM_LBUTTONDBLCLK);
        EXPECT_TRUE(target.m_commands.empty());
        EXPECT_TRUE(child.m_commands.empty());
        ::SendMessageA(child.m_hWnd, kCallback, IDR_TRAY, WM_LBUTTONDBLCLK);
        EXPECT_EQ(child.m_commands, std::vector<UINT>{ID_RUN_LAUNCHER});
    }
    EXPECT_EQ(GetHookMap().FirstHook(target.m_hWnd), nullptr);
    EXPECT_EQ(GetHookMap().FirstHook(child.m_hWnd), nullptr);
    EXPECT_FALSE(pmtest::ShellHasIcon(child.m_hWnd, IDR_TRAY));
    owned.DestroyWindow();
    child.DestroyWindow();
}

TEST_F(TrayIconTest, CallbackForAnotherIconOrAnotherMouseEventOnlyReachesTheWindow) {
    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    int menus = 0;
    target.m_onMenuPopup = [&](HMENU) { ++menus; };

    EXPECT_EQ(::SendMessageA(target.m_hWnd, kCallback, IDR_TRAY + 1, WM_RBUTTONUP), kOwnAnswer);
    EXPECT_EQ(::SendMessageA(target.m_hWnd, kCallback, IDR_TRAY + 1, WM_LBUTTONDBLCLK), kOwnAnswer);
    for (LPARAM mouse : {WM_LBUTTONUP, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_RBUTTONDBLCLK})
        EXPECT_EQ(::SendMessageA(target.m_hWnd, kCallback, IDR_TRAY, mouse), kOwnAnswer);
    pmtest::PumpPending();

    EXPECT_EQ(menus, 0);
    EXPECT_TRUE(target.m_commands.empty());
    ASSERT_EQ(target.m_callbacks.size(), 7u);
    EXPECT_EQ(target.m_callbacks[0].wParam, static_cast<WPARAM>(IDR_TRAY + 1));
    EXPECT_EQ(target.m_callbacks[0].lParam, WM_RBUTTONUP);
}

TEST_F(TrayIconTest, DoubleClickRunsTheFirstCommandAtOnceUnlessItIsDisabled) {
    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));

    EXPECT_EQ(::SendMessageA(target.m_hWnd, kCallback, IDR_TRAY, WM_LBUTTONDBLCLK), kOwnAnswer);
    EXPECT_EQ(target.m_commands, std::vector<UINT>{ID_RUN_LAUNCHER}); // no pumping: it was sent
    EXPECT_EQ(target.m_callbacks.size(), 1u);

    target.m_runEnabled = false;
    int queries = target.m_stateQueries;
    ::SendMessageA(target.m_hWnd, kCallback, IDR_TRAY, WM_LBUTTONDBLCLK);
    pmtest::PumpPending();
    EXPECT_EQ(target.m_commands.size(), 1u);
    EXPECT_GT(target.m_stateQueries, queries);
}

TEST_F(TrayIconTest, RightClickOpensTheMenuAtTheCursorWithTheFirstItemAsDefault) {
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

    MenuWatchdog watchdog(target.m_hWnd);
    EXPECT_EQ(::SendMessageA(target.m_hWnd, kCallback, IDR_TRAY, WM_RBUTTONUP), kOwnAnswer);
    pmtest::PumpPending();

    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ(defaultItem, 0);
    EXPECT_EQ(ids, (std::vector<UINT>{ID_RUN_LAUNCHER, ID_SETTINGS, ID_UPDATE_NOW, 0, ID_HELP_WINDOW,
                                      ID_TRAY_EXIT}));
    EXPECT_TRUE(firstGreyed);
    EXPECT_EQ(menuRect.left, 300);
    EXPECT_EQ(menuRect.top, 200);
    EXPECT_TRUE(target.m_commands.empty()); // dismissed: nothing delivered
}

TEST_F(TrayIconTest, ItemChosenFromTheMenuReachesTheWindow) {
    ASSERT_TRUE(icon->SetIconFromResource(IDR_TRAY));
    target.m_onMenuIdle = [&](HWND) {
        ::PostMessageA(target.m_hWnd, WM_CHAR, 'u', 0); // "&Update Now"
    };

    MenuWatchdog watchdog(target.m_hWnd);
    ::SendMessageA(target.m_hWnd, kCallback, IDR_TRAY, WM_RBUTTONUP);
    pmtest::WaitUntil([&] { return !target.m_commands.empty(); }, 2000);

    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ(target.m_commands, std::vector<UINT>{ID_UPDATE_NOW});
}

// The icon is gone when the menu loop or the draining returns: nothing of it may be touched then.
TEST_F(TrayIconTest, IconDeletedWhileItsMenuIsOpenIsNotTouchedAfterwards) {
    icon.reset();
    alignas(CRecordingTrayIcon) unsigned char storage[sizeof(CRecordingTrayIcon)];
    auto* inPlace = new (storage) CRecordingTrayIcon(IDR_TRAY, &calls);
    inPlace->SetNotificationTarget(&target, kCallback);
    ASSERT_TRUE(inPlace->SetIconFromResource(IDR_TRAY));
    target.m_onMenuIdle = [&](HWND) {
        inPlace->~CRecordingTrayIcon();
        std::memset(storage, 0xCD, sizeof storage); // as freed memory would look
        ::EndMenu();
    };

    MenuWatchdog watchdog(target.m_hWnd);
    EXPECT_EQ(::SendMessageA(target.m_hWnd, kCallback, IDR_TRAY, WM_RBUTTONUP), kOwnAnswer);

    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ(target.m_callbacks.size(), 1u); // the window got its message all the same
    for (unsigned char byte : storage)
        ASSERT_EQ(byte, 0xCD);
    EXPECT_FALSE(pmtest::ShellHasIcon(target.m_hWnd, IDR_TRAY));
}

TEST_F(TrayIconTest, IconDeletedWhileDrainingTheQueueIsNotTouchedAfterwards) {
    icon.reset();
    alignas(CRecordingTrayIcon) unsigned char storage[sizeof(CRecordingTrayIcon)];
    auto* inPlace = new (storage) CRecordingTrayIcon(IDR_TRAY, &calls);
    inPlace->SetNotificationTarget(&target, kCallback);
    ASSERT_TRUE(inPlace->SetIconFromResource(IDR_TRAY));
    target.m_onMarker = [&] {
        inPlace->~CRecordingTrayIcon();
        std::memset(storage, 0xCD, sizeof storage);
    };
    ::PostMessageA(target.m_hWnd, kMarker, 0, 0);

    EXPECT_FALSE(inPlace->SetIconHandle(ResourceIcon(IDR_MAINFRAME), nullptr));

    EXPECT_EQ(target.m_markers, 1);
    for (unsigned char byte : storage)
        ASSERT_EQ(byte, 0xCD);
    EXPECT_FALSE(pmtest::ShellHasIcon(target.m_hWnd, IDR_TRAY));
}

} // namespace
