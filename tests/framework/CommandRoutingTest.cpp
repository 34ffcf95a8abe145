// Command routing view -> frame -> application, and the command gate.
#include "framework/FrameWnd.h"
#include "framework/WinApp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> g_log;
bool g_enabled = true;
constexpr UINT kShared = 40001, kFrameOnly = 40002, kGated = 40003, kUngated = 40004;

class TestView : public CWnd {
public:
    BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI) override;
    void OnShared() { g_log.push_back("view"); }

private:
    static const CommandEntry<TestView> s_table[];
};
const CommandEntry<TestView> TestView::s_table[] = {{kShared, &TestView::OnShared, nullptr}};
BOOL TestView::OnCmdMsg(UINT id, CCmdUI* pCmdUI) { return DispatchCommand(this, s_table, id, pCmdUI); }

class TestFrame : public CFrameWnd {
public:
    TestView view;
    BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI) override;
    void OnShared() { g_log.push_back("frame shared"); }
    void OnFrameOnly() { g_log.push_back("frame"); }
    void OnGated() { g_log.push_back("gated"); }
    void OnUngated() { g_log.push_back("ungated"); }
    void OnUpdateGated(CCmdUI* ui) { ui->Enable(g_enabled); }
    bool* destroyedFlag = nullptr;
    ~TestFrame() override {
        if (destroyedFlag)
            *destroyedFlag = true;
    }

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
        if (message == WM_CREATE && failCreate) {
            *pResult = -1;
            return TRUE;
        }
        return CFrameWnd::OnWndMsg(message, wParam, lParam, pResult);
    }

public:
    bool failCreate = false;

private:
    static const CommandEntry<TestFrame> s_table[];
};
const CommandEntry<TestFrame> TestFrame::s_table[] = {
    {kShared, &TestFrame::OnShared, nullptr},
    {kFrameOnly, &TestFrame::OnFrameOnly, nullptr},
    {kGated, &TestFrame::OnGated, &TestFrame::OnUpdateGated},
    {kUngated, &TestFrame::OnUngated, nullptr},
};
BOOL TestFrame::OnCmdMsg(UINT id, CCmdUI* pCmdUI) {
    if (view.OnCmdMsg(id, pCmdUI))
        return TRUE;
    if (DispatchCommand(this, s_table, id, pCmdUI))
        return TRUE;
    return CFrameWnd::OnCmdMsg(id, pCmdUI);
}

class CommandRouting : public testing::Test {
protected:
    void SetUp() override {
        g_log.clear();
        g_enabled = true;
        frame = new TestFrame;
        ASSERT_TRUE(frame->LoadFrame(128));
        RECT none{};
        ASSERT_TRUE(frame->view.CreateEx(0, nullptr, nullptr, WS_CHILD, none, frame->m_hWnd, 0xE900));
    }
    void TearDown() override {
        if (IsWindow(frame->m_hWnd))
            DestroyWindow(frame->m_hWnd); // deletes the frame
    }
    TestFrame* frame = nullptr;
};
} // namespace

TEST_F(CommandRouting, ViewIsAskedBeforeTheFrame) {
    SendMessageA(frame->m_hWnd, WM_COMMAND, kShared, 0);
    SendMessageA(frame->m_hWnd, WM_COMMAND, kFrameOnly, 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"view", "frame"}));
}

TEST_F(CommandRouting, GateDropsADisabledCommandSilentlyAndRunsItOnceEnabled) {
    g_enabled = false;
    SendMessageA(frame->m_hWnd, WM_COMMAND, kGated, 0);
    PostMessageA(frame->m_hWnd, WM_COMMAND, kGated, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    EXPECT_TRUE(g_log.empty());
    g_enabled = true;
    SendMessageA(frame->m_hWnd, WM_COMMAND, kGated, 0);
    SendMessageA(frame->m_hWnd, WM_COMMAND, kUngated, 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"gated", "ungated"}));
}

TEST_F(CommandRouting, MenuItemsAreGreyedByTheSameStateHandlers) {
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, kGated, "Gated");
    AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(popup, MF_STRING, kUngated, "Ungated");
    g_enabled = false;
    SendMessageA(frame->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_TRUE(GetMenuState(popup, kGated, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(popup, kUngated, MF_BYCOMMAND) & MF_GRAYED);
    g_enabled = true;
    SendMessageA(frame->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_FALSE(GetMenuState(popup, kGated, MF_BYCOMMAND) & MF_GRAYED);
    DestroyMenu(popup);
    EXPECT_TRUE(g_log.empty()); // state queries never run a command
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
