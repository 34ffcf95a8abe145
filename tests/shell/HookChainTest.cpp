// The hook chain on real windows: order of hooks, attach and detach in any order, window destruction,
// and the per-thread record of the current message.
#include "framework/ThreadState.h"
#include "shell/HookMap.h"
#include "shell/SubclassWnd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr UINT kProbe = WM_APP + 1;
constexpr WPARAM kSentNcDestroyParam = 0x1234;

// Who saw the probe or WM_NCDESTROY, in order; the window's own procedure adds the parameters.
std::vector<std::string> g_seen;

std::string Joined() {
    std::string joined;
    for (const std::string& seen : g_seen)
        joined += (joined.empty() ? "" : ">") + seen;
    return joined;
}

// The window's own procedure: it answers the probe with 42.
LRESULT CALLBACK OwnProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kProbe || message == WM_NCDESTROY) {
        char seen[64];
        std::snprintf(seen, sizeof seen, "%s(%lx,%lx)", message == kProbe ? "own" : "own-ncdestroy",
                      static_cast<unsigned long>(wParam), static_cast<unsigned long>(lParam));
        g_seen.push_back(seen);
    }
    if (message == kProbe)
        return 42;
    if (message == WM_NCDESTROY && wParam == kSentNcDestroyParam)
        return 0x5EED; // sent by the test to a live window: nothing to clean up
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

// A plain window on OwnProc, destroyed (if still there) with its owner.
struct RawWindow {
    HWND hWnd;
    RawWindow() {
        WNDCLASSA wc{0,       &OwnProc, 0,       0,       ::GetModuleHandleA(nullptr),
                     nullptr, nullptr,  nullptr, nullptr, "PmHook"};
        ::RegisterClassA(&wc); // fails harmlessly once registered
        hWnd = ::CreateWindowExA(0, wc.lpszClassName, "hooked", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                 nullptr, wc.hInstance, nullptr);
    }
    ~RawWindow() {
        if (::IsWindow(hWnd))
            ::DestroyWindow(hWnd);
    }
    HWND Get() const { return hWnd; }
};

class RecordingHook : public CSubclassWnd {
  public:
    explicit RecordingHook(std::string name) : m_name(std::move(name)) {}
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        m_messages.push_back(message);
        if (message == kProbe) {
            g_seen.push_back(m_name);
            if (m_onProbe)
                m_onProbe();
            if (m_answer)
                return m_answer; // the sender gets it; older hooks and the window see nothing
        }
        return CSubclassWnd::HandleMessage(message, wParam, lParam);
    }
    bool Saw(UINT message) const {
        return std::find(m_messages.begin(), m_messages.end(), message) != m_messages.end();
    }

    std::string m_name;
    std::vector<UINT> m_messages;
    std::function<void()> m_onProbe;
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
    return Joined();
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

// Every removal order of three hooks; each round starts on the procedure the last removal restored.
TEST_F(HookChainTest, NewestHookFirstAndAnyRemovalOrderKeepsTheRestChained) {
    RecordingHook c{"C"};
    RecordingHook* hooks[] = {&a, &b, &c};
    int order[] = {0, 1, 2};
    do {
        for (RecordingHook* hook : hooks)
            ASSERT_TRUE(hook->SetHookedWindow(window.Get()));
        EXPECT_EQ(CurrentProc(window.Get()), &SharedHookProc);
        RecordingHook never{"never"};
        EXPECT_TRUE(never.SetHookedWindow(nullptr)); // detaching an unattached hook changes nothing
        LRESULT result = 0;
        EXPECT_EQ(Route(window.Get(), &result), "C>B>A>own(7,8)");
        EXPECT_EQ(result, 42);

        std::vector<RecordingHook*> left(std::begin(hooks), std::end(hooks));
        for (int i : order) {
            ASSERT_TRUE(hooks[i]->SetHookedWindow(nullptr));
            EXPECT_EQ(hooks[i]->m_hHookedWnd, nullptr);
            EXPECT_EQ(hooks[i]->m_pfnPrevProc, nullptr);
            left.erase(std::find(left.begin(), left.end(), hooks[i]));
            std::string expected;
            for (auto it = left.rbegin(); it != left.rend(); ++it) {
                expected += (*it)->m_name + ">";
                EXPECT_EQ((*it)->m_pfnPrevProc, &OwnProc);
            }
            EXPECT_EQ(Route(window.Get()), expected + "own(7,8)") << "removed " << hooks[i]->m_name;
        }
        EXPECT_EQ(CurrentProc(window.Get()), &OwnProc);
        EXPECT_EQ(GetHookMap().FirstHook(window.Get()), nullptr);
    } while (std::next_permutation(order, order + 3));

    // What the newest hook returns is what the sender gets.
    a.SetHookedWindow(window.Get());
    b.SetHookedWindow(window.Get());
    b.m_answer = 99;
    LRESULT result = 0;
    EXPECT_EQ(Route(window.Get(), &result), "B");
    EXPECT_EQ(result, 99);
}

// Sent to a live window with the test's own parameters first, then by the real destruction.
TEST_F(HookChainTest, NcDestroyDetachesEveryHookAndReachesOnlyTheOwnProcedure) {
    RawWindow other;
    RecordingHook c{"C"};
    a.SetHookedWindow(window.Get());
    c.SetHookedWindow(window.Get());
    c.SetHookedWindow(other.Get()); // an attached hook attached again leaves its old window first
    EXPECT_EQ(Route(window.Get()), "A>own(7,8)");
    EXPECT_EQ(Route(other.Get()), "C>own(7,8)");
    for (bool destroy : {false, true}) {
        a.SetHookedWindow(window.Get());
        b.SetHookedWindow(window.Get());
        EXPECT_EQ(Route(window.Get()), "B>A>own(7,8)");
        g_seen.clear();
        if (destroy)
            ASSERT_TRUE(::DestroyWindow(window.Get()));
        else
            EXPECT_EQ(::SendMessageA(window.Get(), WM_NCDESTROY, kSentNcDestroyParam, 0x5678), 0x5EED);

        for (RecordingHook* hook : {&a, &b}) {
            EXPECT_EQ(hook->m_hHookedWnd, nullptr) << hook->m_name;
            EXPECT_EQ(hook->m_pfnPrevProc, nullptr) << hook->m_name;
            EXPECT_FALSE(hook->Saw(WM_NCDESTROY)) << hook->m_name;
        }
        EXPECT_EQ(GetHookMap().FirstHook(window.Get()), nullptr);
        EXPECT_EQ(Joined(), destroy ? "own-ncdestroy(0,0)" : "own-ncdestroy(1234,5678)");
        EXPECT_TRUE(destroy || CurrentProc(window.Get()) == &OwnProc);
    }
    EXPECT_TRUE(a.Saw(WM_DESTROY));

    // The other window keeps its hook, and a freed hook can watch another window.
    EXPECT_EQ(GetHookMap().FirstHook(other.Get()), &c);
    a.SetHookedWindow(other.Get());
    EXPECT_EQ(Route(other.Get()), "A>C>own(7,8)");
}

std::string Describe(const MSG& m) {
    char text[128];
    std::snprintf(text, sizeof text, "%p %x %lu %ld t%lu (%ld,%ld)", static_cast<void*>(m.hwnd), m.message,
                  static_cast<unsigned long>(m.wParam), static_cast<long>(m.lParam), m.time, m.pt.x, m.pt.y);
    return text;
}

TEST_F(HookChainTest, CurrentMessageRecordFollowsNestedHookedMessages) {
    RawWindow inner;
    RecordingHook innerHook{"inner"};
    a.SetHookedWindow(window.Get());
    innerHook.SetHookedWindow(inner.Get());

    MSG& record = AfxGetThreadState()->m_lastSentMsg;
    const MSG outside{reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x7700)), 0x7777, 1, 2, 12345, {3, 4}};
    record = outside;
    std::vector<std::string> snapshots;
    innerHook.m_onProbe = [&] { snapshots.push_back(Describe(record)); };
    a.m_onProbe = [&] {
        snapshots.push_back(Describe(record));
        ::SendMessageA(inner.Get(), kProbe, 5, 6);
        snapshots.push_back(Describe(record));
    };

    ::SendMessageA(window.Get(), kProbe, 7, 8);

    // Time and cursor are not the hook's to change.
    auto expected = [&](HWND hWnd, WPARAM wParam, LPARAM lParam) {
        return Describe(MSG{hWnd, kProbe, wParam, lParam, outside.time, outside.pt});
    };
    EXPECT_EQ(snapshots, (std::vector<std::string>{expected(window.Get(), 7, 8), expected(inner.Get(), 5, 6),
                                                   expected(window.Get(), 7, 8)}));
    EXPECT_EQ(Describe(record), Describe(outside));
    record = MSG{};
}

} // namespace
