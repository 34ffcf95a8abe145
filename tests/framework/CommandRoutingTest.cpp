// The command gate of a frame's command table, and a frame whose creation fails.
#include "framework/FrameWnd.h"
#include "framework/WinApp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> g_log;
bool g_enabled = true;
constexpr UINT kGated = 40003, kUngated = 40004;

class TestFrame : public CFrameWnd {
  public:
    BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI) override;
    void OnGated() { g_log.push_back("gated"); }
    void OnUngated() { g_log.push_back("ungated"); }
    void OnUpdateGated(CCmdUI* ui) { ui->Enable(g_enabled); }
    ~TestFrame() override {
        if (destroyedFlag)
            *destroyedFlag = true;
    }
    bool* destroyedFlag = nullptr;
    bool failCreate = false;

  protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
        if (message == WM_CREATE && failCreate) {
            *pResult = -1;
            return TRUE;
        }
        return CFrameWnd::OnWndMsg(message, wParam, lParam, pResult);
    }

  private:
    static const CommandEntry<TestFrame> s_table[];
};
const CommandEntry<TestFrame> TestFrame::s_table[] = {
    {kGated, &TestFrame::OnGated, &TestFrame::OnUpdateGated},
    {kUngated, &TestFrame::OnUngated, nullptr},
};
BOOL TestFrame::OnCmdMsg(UINT id, CCmdUI* pCmdUI) {
    return DispatchCommand(this, s_table, id, pCmdUI) || CFrameWnd::OnCmdMsg(id, pCmdUI);
}
} // namespace

TEST(CommandGate, DropsADisabledCommandSilentlyAndGreysItsMenuItem) {
    g_log.clear();
    auto* frame = new TestFrame;
    ASSERT_TRUE(frame->LoadFrame(128));
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, kGated, "Gated");
    AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(popup, MF_STRING, kUngated, "Ungated");
    auto greyed = [&](UINT id) { return (GetMenuState(popup, id, MF_BYCOMMAND) & MF_GRAYED) != 0; };

    g_enabled = false;
    SendMessageA(frame->m_hWnd, WM_COMMAND, kGated, 0);
    PostMessageA(frame->m_hWnd, WM_COMMAND, kGated, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    SendMessageA(frame->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_TRUE(greyed(kGated));
    EXPECT_FALSE(greyed(kUngated));
    EXPECT_TRUE(g_log.empty()); // neither the dropped command nor the state queries ran anything

    g_enabled = true;
    SendMessageA(frame->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_FALSE(greyed(kGated));
    DestroyMenu(popup);
    SendMessageA(frame->m_hWnd, WM_COMMAND, kGated, 0);
    SendMessageA(frame->m_hWnd, WM_COMMAND, kUngated, 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"gated", "ungated"}));
    DestroyWindow(frame->m_hWnd); // deletes the frame
}

TEST(FrameCreation, AFailedCreationDeletesTheFrameAndItsMenu) {
    bool destroyed = false;
    auto* frame = new TestFrame;
    frame->destroyedFlag = &destroyed;
    frame->failCreate = true;
    EXPECT_FALSE(frame->LoadFrame(128));
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(FindWindowA(nullptr, "Pendlemark"), nullptr);
}
