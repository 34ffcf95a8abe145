// The per-thread record of the current message and default processing that reads it.
#include "framework/ThreadState.h"
#include "framework/Wnd.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {
class RecordingWnd : public CWnd {
  public:
    CWnd* other = nullptr;
    MSG seenInside{};
    MSG seenAfterNested{};

  protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
        if (message == WM_APP) {
            seenInside = AfxGetThreadState()->m_lastSentMsg;
            if (other)
                other->SendMessage(WM_APP + 1, 7, 8); // nested message of another window
            seenAfterNested = AfxGetThreadState()->m_lastSentMsg;
            *pResult = 5;
            return TRUE;
        }
        if (message == WM_SETTEXT) {
            // Default processing of the record must still set the text after a nested message.
            if (other)
                other->SendMessage(WM_APP + 1, 0, 0);
            *pResult = Default();
            return TRUE;
        }
        return CWnd::OnWndMsg(message, wParam, lParam, pResult);
    }
};

HWND MakeWindow(CWnd& wnd) {
    RECT rect{0, 0, 10, 10};
    return wnd.CreateEx(0, nullptr, "", WS_POPUP, rect, nullptr, 0) ? wnd.m_hWnd : nullptr;
}
} // namespace

TEST(CurrentMessage, RecordShowsTheMessageAndIsRestoredAfterNesting) {
    RecordingWnd outer, inner;
    ASSERT_NE(MakeWindow(outer), nullptr);
    ASSERT_NE(MakeWindow(inner), nullptr);
    outer.other = &inner;
    MSG before = AfxGetThreadState()->m_lastSentMsg;

    EXPECT_EQ(outer.SendMessage(WM_APP, 1, 2), 5);
    auto fields = [](const MSG& m) { return std::make_tuple(m.hwnd, m.message, m.wParam, m.lParam); };
    const auto sent = std::make_tuple(outer.m_hWnd, static_cast<UINT>(WM_APP), WPARAM{1}, LPARAM{2});
    EXPECT_EQ(fields(outer.seenInside), sent);
    EXPECT_EQ(fields(outer.seenAfterNested), sent);
    EXPECT_EQ(AfxGetThreadState()->m_lastSentMsg.message, before.message);

    SetWindowTextA(outer.m_hWnd, "hello");
    char text[16] = "";
    GetWindowTextA(outer.m_hWnd, text, sizeof text);
    EXPECT_STREQ(text, "hello");
}

TEST(CurrentMessage, DestroyedWindowLeavesNoDanglingBinding) {
    HWND hWnd;
    {
        RecordingWnd wnd;
        hWnd = MakeWindow(wnd);
        ASSERT_EQ(CWnd::FromHandlePermanent(hWnd), &wnd);
    } // the destructor destroys the window
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}
