// The hook chain on real windows: order of hooks, attach and detach in any order, window destruction,
// and the per-thread record of the current message.
#include "framework/ThreadState.h"
#include "shell/HookMap.h"
#include "shell/SubclassWnd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr UINT kProbe = WM_APP + 1;
constexpr WPARAM kSentNcDestroyParam = 0x1234;

struct Seen {
    std::string who;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_seen;

// The window's own procedure: it answers the probe with 42.
LRESULT CALLBACK OwnProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kProbe || message == WM_NCDESTROY)
        g_seen.push_back({"own", message, wParam, lParam});
    if (message == kProbe)
        return 42;
    if (message == WM_NCDESTROY && wParam == kSentNcDestroyParam)
        return 0x5EED; // sent by the test to a live window: nothing to clean up
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

class RawWindow {
  public:
    RawWindow() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &OwnProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "PmHookChainTest";
        ::RegisterClassA(&wc); // fails harmlessly once registered
        m_hWnd = ::CreateWindowExA(0, wc.lpszClassName, "hooked", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                   nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~RawWindow() {
        if (m_hWnd && ::IsWindow(m_hWnd))
            ::DestroyWindow(m_hWnd);
    }
    RawWindow(const RawWindow&) = delete;
    RawWindow& operator=(const RawWindow&) = delete;
    HWND Get() const { return m_hWnd; }

  private:
    HWND m_hWnd;
};

class RecordingHook : public CSubclassWnd {
  public:
    explicit RecordingHook(std::string name) : m_name(std::move(name)) {}
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        m_messages.push_back(message);
        if (message == kProbe)
            g_seen.push_back({m_name, message, wParam, lParam});
        if (message == kProbe && m_onProbe)
            m_onProbe(wParam, lParam);
        if (message == kProbe && m_answer)
            return m_answer; // the sender gets it; older hooks and the window see nothing
        return CSubclassWnd::HandleMessage(message, wParam, lParam);
    }
    bool Saw(UINT message) const {
        return std::find(m_messages.begin(), m_messages.end(), message) != m_messages.end();
    }

    std::string m_name;
    std::vector<UINT> m_messages;
    std::function<void(WPARAM, LPARAM)> m_onProbe;
    LRESULT m_answer = 0;
};

WNDPROC CurrentProc(HWND hWnd) {
    return reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hWnd, GWLP_WNDPROC));
}

// Who saw the probe, in order.
std::string Route(HWND hWnd, LRESULT* result = nullptr) {
    g_seen.clear();
    LRESULT r = ::SendMessageA(hWnd, kProbe, 7, 8);
    if (result)
        *result = r;
    std::string route;
    for (const Seen& seen : g_seen)
        route += (route.empty() ? "" : ">") + seen.who;
    return route;
}

class HookChainTest : public testing::Test {
  protected:
    void SetUp() override {
        g_seen.clear();
        ASSERT_NE(window.Get(), nullptr);
    }
    RawWindow window;
    RecordingHook a{"A"};
    RecordingHook b{"B"};
};

TEST_F(HookChainTest, NewestHookSeesEachMessageFirstAndPassesItOn) {
    EXPECT_STREQ(a.GetRuntimeClass()->m_lpszClassName, "CSubclassWnd");
    EXPECT_TRUE(a.SetHookedWindow(window.Get()));
    EXPECT_TRUE(b.SetHookedWindow(window.Get()));

    EXPECT_EQ(CurrentProc(window.Get()), &SharedHookProc);
    EXPECT_EQ(GetHookMap().FirstHook(window.Get()), &b);
    EXPECT_EQ(b.m_pNextHook, &a);
    EXPECT_EQ(a.m_pNextHook, nullptr);
    EXPECT_EQ(a.m_pfnPrevProc, &OwnProc);
    EXPECT_EQ(b.m_pfnPrevProc, &OwnProc);
    EXPECT_EQ(a.m_hHookedWnd, window.Get());
    EXPECT_EQ(b.m_hHookedWnd, window.Get());

    LRESULT result = 0;
    EXPECT_EQ(Route(window.Get(), &result), "B>A>own");
    EXPECT_EQ(result, 42);
    ASSERT_EQ(g_seen.size(), 3u);
    EXPECT_EQ(g_seen[2].wParam, 7u);
    EXPECT_EQ(g_seen[2].lParam, 8);

    // What the newest hook returns is what the sender gets.
    b.m_answer = 99;
    EXPECT_EQ(Route(window.Get(), &result), "B");
    EXPECT_EQ(result, 99);
}

TEST_F(HookChainTest, RemovingTheOlderHookLeavesTheNewerOnTheOwnProcedure) {
    a.SetHookedWindow(window.Get());
    b.SetHookedWindow(window.Get());

    EXPECT_TRUE(a.SetHookedWindow(nullptr));
    EXPECT_EQ(a.m_hHookedWnd, nullptr);
    EXPECT_EQ(a.m_pfnPrevProc, nullptr);
    EXPECT_EQ(b.m_pNextHook, nullptr);
    EXPECT_EQ(CurrentProc(window.Get()), &SharedHookProc);
    EXPECT_EQ(Route(window.Get()), "B>own");

    b.SetHookedWindow(nullptr);
    EXPECT_EQ(CurrentProc(window.Get()), &OwnProc);
    EXPECT_EQ(GetHookMap().FirstHook(window.Get()), nullptr);
    EXPECT_EQ(Route(window.Get()), "own");
}

TEST_F(HookChainTest, RemovingTheNewerHookMakesTheOlderTheHead) {
    a.SetHookedWindow(window.Get());
    b.SetHookedWindow(window.Get());

    b.SetHookedWindow(nullptr);
    EXPECT_EQ(GetHookMap().FirstHook(window.Get()), &a);
    EXPECT_EQ(a.m_pfnPrevProc, &OwnProc);
    EXPECT_EQ(CurrentProc(window.Get()), &SharedHookProc);
    EXPECT_EQ(Route(window.Get()), "A>own");

    a.SetHookedWindow(nullptr);
    EXPECT_EQ(CurrentProc(window.Get()), &OwnProc);
    EXPECT_EQ(Route(window.Get()), "own");
}

TEST_F(HookChainTest, LastRemovalRestoresTheProcedureAndTheNextAttachReplacesItAgain) {
    RecordingHook c{"C"};
    a.SetHookedWindow(window.Get());
    b.SetHookedWindow(window.Get());
    c.SetHookedWindow(window.Get());

    b.SetHookedWindow(nullptr); // from the middle
    EXPECT_EQ(c.m_pNextHook, &a);
    EXPECT_EQ(Route(window.Get()), "C>A>own");
    c.SetHookedWindow(nullptr);
    a.SetHookedWindow(nullptr);
    EXPECT_EQ(CurrentProc(window.Get()), &OwnProc);

    b.SetHookedWindow(window.Get());
    EXPECT_EQ(CurrentProc(window.Get()), &SharedHookProc);
    EXPECT_EQ(b.m_pfnPrevProc, &OwnProc);
    EXPECT_EQ(b.m_pNextHook, nullptr);
    EXPECT_EQ(Route(window.Get()), "B>own");
}

TEST_F(HookChainTest, DestroyedWindowTakesItsHooksAlongAndOnlyItsOwnProcedureSeesNcDestroy) {
    RawWindow other;
    RecordingHook c{"C"};
    a.SetHookedWindow(window.Get());
    b.SetHookedWindow(window.Get());
    c.SetHookedWindow(other.Get());
    g_seen.clear();

    ASSERT_TRUE(::DestroyWindow(window.Get()));

    for (RecordingHook* hook : {&a, &b}) {
        EXPECT_EQ(hook->m_hHookedWnd, nullptr) << hook->m_name;
        EXPECT_EQ(hook->m_pfnPrevProc, nullptr) << hook->m_name;
        EXPECT_TRUE(hook->Saw(WM_DESTROY)) << hook->m_name;
        EXPECT_FALSE(hook->Saw(WM_NCDESTROY)) << hook->m_name;
    }
    EXPECT_EQ(GetHookMap().FirstHook(window.Get()), nullptr);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].who, "own");
    EXPECT_EQ(g_seen[0].message, static_cast<UINT>(WM_NCDESTROY));

    // The other window keeps its hook, and a freed hook can watch another window.
    EXPECT_EQ(GetHookMap().FirstHook(other.Get()), &c);
    a.SetHookedWindow(other.Get());
    EXPECT_EQ(Route(other.Get()), "A>C>own");
}

TEST_F(HookChainTest, NcDestroyReachesTheOwnProcedureWithItsParameters) {
    a.SetHookedWindow(window.Get());
    b.SetHookedWindow(window.Get());
    g_seen.clear();

    LRESULT result = ::SendMessageA(window.Get(), WM_NCDESTROY, kSentNcDestroyParam, 0x5678);

    EXPECT_EQ(result, 0x5EED);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].wParam, kSentNcDestroyParam);
    EXPECT_EQ(g_seen[0].lParam, 0x5678);
    EXPECT_FALSE(a.Saw(WM_NCDESTROY));
    EXPECT_FALSE(b.Saw(WM_NCDESTROY));
    EXPECT_EQ(a.m_hHookedWnd, nullptr);
    EXPECT_EQ(b.m_hHookedWnd, nullptr);
    EXPECT_EQ(CurrentProc(window.Get()), &OwnProc);
}

TEST_F(HookChainTest, DetachingAHookThatIsNotAttachedChangesNothing) {
    a.SetHookedWindow(window.Get());
    {
        RecordingHook never{"never"};
        EXPECT_TRUE(never.SetHookedWindow(nullptr));
        EXPECT_EQ(never.m_hHookedWnd, nullptr);
        EXPECT_EQ(never.m_pfnPrevProc, nullptr);
    }
    EXPECT_EQ(GetHookMap().FirstHook(window.Get()), &a);
    EXPECT_EQ(CurrentProc(window.Get()), &SharedHookProc);
    EXPECT_EQ(Route(window.Get()), "A>own");
}

TEST_F(HookChainTest, AttachingAnAttachedHookMovesIt) {
    RawWindow other;
    a.SetHookedWindow(window.Get());
    b.SetHookedWindow(window.Get());

    b.SetHookedWindow(other.Get());

    EXPECT_EQ(GetHookMap().FirstHook(window.Get()), &a);
    EXPECT_EQ(GetHookMap().FirstHook(other.Get()), &b);
    EXPECT_EQ(b.m_pNextHook, nullptr);
    EXPECT_EQ(Route(window.Get()), "A>own");
    EXPECT_EQ(Route(other.Get()), "B>own");
    b.SetHookedWindow(nullptr);
}

TEST_F(HookChainTest, CurrentMessageRecordFollowsNestedHookedMessages) {
    RawWindow inner;
    RecordingHook innerHook{"inner"};
    a.SetHookedWindow(window.Get());
    innerHook.SetHookedWindow(inner.Get());

    MSG& record = AfxGetThreadState()->m_lastSentMsg;
    MSG outside{};
    outside.hwnd = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x7700));
    outside.message = 0x7777;
    outside.wParam = 1;
    outside.lParam = 2;
    outside.time = 12345;
    outside.pt = POINT{3, 4};
    record = outside;

    std::vector<MSG> snapshots;
    innerHook.m_onProbe = [&](WPARAM, LPARAM) { snapshots.push_back(record); };
    a.m_onProbe = [&](WPARAM, LPARAM) {
        snapshots.push_back(record);
        ::SendMessageA(inner.Get(), kProbe, 5, 6);
        snapshots.push_back(record);
    };

    ::SendMessageA(window.Get(), kProbe, 7, 8);

    ASSERT_EQ(snapshots.size(), 3u);
    const HWND expectedWindow[] = {window.Get(), inner.Get(), window.Get()};
    const WPARAM expectedWParam[] = {7, 5, 7};
    const LPARAM expectedLParam[] = {8, 6, 8};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(snapshots[i].hwnd, expectedWindow[i]) << i;
        EXPECT_EQ(snapshots[i].message, kProbe) << i;
        EXPECT_EQ(snapshots[i].wParam, expectedWParam[i]) << i;
        EXPECT_EQ(snapshots[i].lParam, expectedLParam[i]) << i;
        EXPECT_EQ(snapshots[i].time, 12345u) << i; // time and cursor are not the hook's to change
        EXPECT_EQ(snapshots[i].pt.x, 3) << i;
        EXPECT_EQ(snapshots[i].pt.y, 4) << i;
    }
    EXPECT_EQ(record.hwnd, outside.hwnd);
    EXPECT_EQ(record.message, outside.message);
    EXPECT_EQ(record.wParam, outside.wParam);
    EXPECT_EQ(record.lParam, outside.lParam);
    EXPECT_EQ(record.time, outside.time);
    EXPECT_EQ(record.pt.x, outside.pt.x);
    EXPECT_EQ(record.pt.y, outside.pt.y);
    record = MSG{};
}

} // namespace
