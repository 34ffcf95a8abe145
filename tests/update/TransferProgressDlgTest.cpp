// The progress window and the status callback, driven the way WinINet drives them.
#include "app/UpdaterApp.h"
#include "res/resource.h"
#include "support/UiDriver.h"
#include "update/FtpUpdater.h"
#include "update/TransferProgressDlg.h"
#include "update/TransferStatusCallback.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A visible top-level window standing in for the program's main window.
class TestMainWindow {
  public:
    TestMainWindow() {
        RECT rect{0, 0, 300, 200};
        m_window.CreateEx(0, CWnd::RegisterWndClass(0), "pm progress owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                          rect, nullptr, 0);
        m_saved = AfxGetApp()->m_pMainWnd;
        AfxGetApp()->m_pMainWnd = &m_window;
    }
    ~TestMainWindow() {
        AfxGetApp()->m_pMainWnd = m_saved;
        m_window.DestroyWindow();
    }
    HWND Get() const { return m_window.m_hWnd; }

  private:
    CWnd m_window;
    CWnd* m_saved = nullptr;
};

// Counts WM_SETTEXT sent to one window of this thread.
class SetTextCounter {
  public:
    explicit SetTextCounter(HWND target) {
        s_target = target;
        s_count = 0;
        m_hook = ::SetWindowsHookExA(WH_CALLWNDPROC, &Count, nullptr, ::GetCurrentThreadId());
    }
    ~SetTextCounter() { ::UnhookWindowsHookEx(m_hook); }
    int Count() const { return s_count; }

  private:
    static LRESULT CALLBACK Count(int code, WPARAM wParam, LPARAM lParam) {
        auto* message = reinterpret_cast<CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && message->hwnd == s_target && message->message == WM_SETTEXT)
            ++s_count;
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline HWND s_target = nullptr;
    static inline int s_count = 0;
    HHOOK m_hook;
};

class TransferProgressTest : public ::testing::Test {
  protected:
    void SetUp() override { m_updater = std::make_unique<CFtpUpdater>("", "", "", "/update/", 0); }
    void TearDown() override { m_updater.reset(); }

    HWND Open(BOOL showControls) {
        if (!m_updater->OpenProgressWindow(showControls))
            return nullptr;
        return m_updater->m_progress->m_hWnd;
    }
    void Notify(DWORD status, DWORD count = 0, DWORD_PTR context = 1) {
        DWORD_PTR updater = context ? reinterpret_cast<DWORD_PTR>(m_updater.get()) : 0;
        TransferStatusCallback(nullptr, updater, status,
                               status == INTERNET_STATUS_RESPONSE_RECEIVED ? &count : nullptr,
                               status == INTERNET_STATUS_RESPONSE_RECEIVED ? sizeof count : 0);
    }
    int BarPosition(HWND window) const {
        return static_cast<int>(::SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
    }

    std::unique_ptr<CFtpUpdater> m_updater;
};

// The control's rectangle in dialog units of its dialog.
bool HasDialogRect(HWND dialog, int id, RECT expected) {
    HWND control = ::GetDlgItem(dialog, id);
    RECT actual;
    ::GetWindowRect(control, &actual);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
    expected.right += expected.left;
    expected.bottom += expected.top;
    ::MapDialogRect(dialog, &expected);
    return ::EqualRect(&actual, &expected) != FALSE;
}

LRESULT CALLBACK RefuseEveryWindow(int code, WPARAM wParam, LPARAM lParam) {
    return code == HCBT_CREATEWND ? 1 : ::CallNextHookEx(nullptr, code, wParam, lParam);
}

std::string ClassOf(HWND window) {
    char name[64] = "";
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

TEST_F(TransferProgressTest, WindowFollowsItsTemplate) {
    HWND window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(pmtest::GetText(window), "Updating Corvalis...");
    LONG style = ::GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_FALSE(style & WS_SYSMENU); // no close box
    EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr);

    HWND cancel = ::GetDlgItem(window, IDCANCEL);
    EXPECT_EQ(ClassOf(cancel), "Button");
    EXPECT_EQ(pmtest::GetText(cancel), "Cancel");
    EXPECT_EQ(::GetWindowLongA(cancel, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    EXPECT_TRUE(::GetWindowLongA(cancel, GWL_STYLE) & WS_TABSTOP);
    EXPECT_TRUE(HasDialogRect(window, IDCANCEL, {67, 58, 50, 14}));

    HWND bar = ::GetDlgItem(window, IDC_PROGRESS_BAR);
    EXPECT_EQ(ClassOf(bar), "msctls_progress32");
    EXPECT_TRUE(::GetWindowLongA(bar, GWL_STYLE) & WS_BORDER);
    EXPECT_TRUE(HasDialogRect(window, IDC_PROGRESS_BAR, {15, 34, 154, 13}));
    PBRANGE range{};
    ::SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_EQ(BarPosition(window), 0);

    for (int id : {IDC_PERCENT_TEXT, IDC_STATUS_TEXT}) {
        HWND text = ::GetDlgItem(window, id);
        EXPECT_EQ(ClassOf(text), "Static");
        EXPECT_EQ(::GetWindowLongA(text, GWL_STYLE) & SS_TYPEMASK, SS_LEFT);
        EXPECT_TRUE(::GetWindowLongA(text, GWL_STYLE) & WS_GROUP);
    }
    EXPECT_EQ(pmtest::GetItemText(window, IDC_PERCENT_TEXT), " 0 %");
    EXPECT_EQ(pmtest::GetItemText(window, IDC_STATUS_TEXT), "");
    EXPECT_TRUE(HasDialogRect(window, IDC_PERCENT_TEXT, {85, 23, 18, 8}));
    EXPECT_TRUE(HasDialogRect(window, IDC_STATUS_TEXT, {13, 7, 158, 8}));

    CTransferProgressDlg other(IDS_SOCKETS_INIT_FAILED);
    EXPECT_EQ(other.m_captionId, static_cast<UINT>(IDS_SOCKETS_INIT_FAILED));
}

TEST_F(TransferProgressTest, ControlsStayHiddenUntilTheTransferStarts) {
    HWND window = Open(FALSE);
    ASSERT_NE(window, nullptr);
    for (int id : {IDCANCEL, IDC_PROGRESS_BAR, IDC_PERCENT_TEXT}) {
        EXPECT_FALSE(pmtest::IsItemVisible(window, id)) << id;
        EXPECT_FALSE(pmtest::IsItemEnabled(window, id)) << id;
    }
    m_updater->m_bytesReceived = 77;
    Notify(INTERNET_STATUS_SENDING_REQUEST);
    EXPECT_EQ(pmtest::GetItemText(window, IDC_STATUS_TEXT), "Requesting update...");
    for (int id : {IDCANCEL, IDC_PROGRESS_BAR, IDC_PERCENT_TEXT}) {
        EXPECT_TRUE(pmtest::IsItemVisible(window, id)) << id;
        EXPECT_TRUE(pmtest::IsItemEnabled(window, id)) << id;
    }
    EXPECT_EQ(m_updater->m_bytesReceived, 77u);
}

TEST_F(TransferProgressTest, PercentIsTheNearestWholeShareAndNeverAboveAHundred) {
    HWND window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    m_updater->m_bytesExpected = 1000;
    struct Step {
        DWORD bytes; // added by this notification
        int position;
        const char* text;
    };
    const Step steps[] = {
        {0, 0, "0%"}, {420, 42, "42%"}, {574, 99, "99%"}, {1, 100, "100%"}, {1000, 100, "100%"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.text);
        Notify(INTERNET_STATUS_RESPONSE_RECEIVED, step.bytes);
        EXPECT_EQ(BarPosition(window), step.position);
        EXPECT_EQ(pmtest::GetItemText(window, IDC_PERCENT_TEXT), step.text);
    }
    EXPECT_EQ(m_updater->m_bytesReceived, 1995u);

    // A new request starts the count again; so does a new handle.
    Notify(INTERNET_STATUS_REQUEST_SENT);
    EXPECT_EQ(pmtest::GetItemText(window, IDC_STATUS_TEXT), "Receiving update...");
    EXPECT_EQ(m_updater->m_bytesReceived, 0u);
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 10);
    Notify(INTERNET_STATUS_HANDLE_CREATED);
    EXPECT_EQ(m_updater->m_bytesReceived, 0u);

    // A listing that gave no size: no share to show, and no division by zero.
    m_updater->m_bytesExpected = 0;
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 0);
    EXPECT_EQ(BarPosition(window), 0);
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 5000);
    EXPECT_EQ(BarPosition(window), 0);
    EXPECT_EQ(pmtest::GetItemText(window, IDC_PERCENT_TEXT), "0%");
}

TEST_F(TransferProgressTest, PercentTextIsRewrittenOnlyWhenItChanges) {
    HWND window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    CTransferProgressDlg& progress = *m_updater->m_progress;
    for (int position = 0; position < 100; ++position) {
        progress.SetPosition(position);
        ASSERT_EQ(pmtest::GetItemText(window, IDC_PERCENT_TEXT), std::to_string(position) + "%");
    }
    SetTextCounter counter(::GetDlgItem(window, IDC_PERCENT_TEXT));
    EXPECT_EQ(progress.SetPosition(37), 99);
    EXPECT_EQ(counter.Count(), 1);
    EXPECT_EQ(progress.SetPosition(37), 37);
    EXPECT_EQ(counter.Count(), 1);
    EXPECT_EQ(pmtest::GetItemText(window, IDC_PERCENT_TEXT), "37%");
}

TEST_F(TransferProgressTest, OkDoesNothingAndCancelOnlyAsks) {
    HWND window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    CTransferProgressDlg& progress = *m_updater->m_progress;
    ::SendMessageA(window, WM_COMMAND, IDOK, 0);
    ::SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_FALSE(progress.IsCancelRequested());

    pmtest::ClickButton(window, IDCANCEL);
    ::SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(progress.IsCancelRequested()); // its own pump delivers the click
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_EQ(m_updater->m_progress.get(), &progress);
}

TEST_F(TransferProgressTest, OwnerIsDisabledWhileTheWindowLives) {
    TestMainWindow owner;
    ASSERT_NE(owner.Get(), nullptr);
    HWND window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(::GetWindow(window, GW_OWNER), owner.Get());
    EXPECT_FALSE(::IsWindowEnabled(owner.Get()));
    EXPECT_TRUE(m_updater->m_progress->m_ownerDisabled);
    EXPECT_EQ(::GetForegroundWindow(), window);
    m_updater->CloseProgressWindow();
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(::IsWindowEnabled(owner.Get()));

    // Disabled before: it stays disabled.
    ::EnableWindow(owner.Get(), FALSE);
    window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(m_updater->m_progress->m_ownerDisabled);
    m_updater->CloseProgressWindow();
    EXPECT_FALSE(::IsWindowEnabled(owner.Get()));
    ::EnableWindow(owner.Get(), TRUE);

    // A window that could not be created gives the owner back at once.
    CTransferProgressDlg refused;
    HHOOK hook = ::SetWindowsHookExA(WH_CBT, &RefuseEveryWindow, nullptr, ::GetCurrentThreadId());
    EXPECT_FALSE(refused.CreateModeless(nullptr));
    ::UnhookWindowsHookEx(hook);
    EXPECT_TRUE(::IsWindowEnabled(owner.Get()));
    EXPECT_FALSE(refused.m_ownerDisabled);
}

TEST_F(TransferProgressTest, CallbackIgnoresNotificationsWithoutContext) {
    HWND window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    m_updater->m_bytesReceived = 123;
    m_updater->m_bytesExpected = 200;
    pmtest::SetItemText(window, IDC_STATUS_TEXT, "phase");
    for (DWORD status : {30, 31, 41, 60, 70, 10, 20, 40}) {
        Notify(status, 50, 0);
    }
    EXPECT_EQ(m_updater->m_bytesReceived, 123u);
    EXPECT_EQ(pmtest::GetItemText(window, IDC_STATUS_TEXT), "phase");
    EXPECT_EQ(BarPosition(window), 0);
    EXPECT_TRUE(::IsWindow(window));

    // Statuses the callback does not know change nothing either.
    for (DWORD status : {10, 11, 20, 21, 40, 50, 51, 100})
        Notify(status, 50);
    EXPECT_EQ(m_updater->m_bytesReceived, 123u);
    EXPECT_EQ(pmtest::GetItemText(window, IDC_STATUS_TEXT), "phase");
    EXPECT_TRUE(::IsWindow(window));
}

TEST_F(TransferProgressTest, CallbackWithoutWindowOnlyCounts) {
    m_updater->m_bytesExpected = 100;
    Notify(INTERNET_STATUS_SENDING_REQUEST);
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 40);
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 4000000000ul);
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 4000000000ul);
    EXPECT_EQ(m_updater->m_bytesReceived, 8000000040ull); // 64-bit sum
    Notify(INTERNET_STATUS_HANDLE_CLOSING);
    Notify(INTERNET_STATUS_REQUEST_SENT);
    EXPECT_EQ(m_updater->m_bytesReceived, 0u);
    EXPECT_EQ(m_updater->m_progress, nullptr);
}

TEST_F(TransferProgressTest, HandleClosingClosesTheWindow) {
    TestMainWindow owner;
    HWND window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    Notify(INTERNET_STATUS_HANDLE_CLOSING);
    EXPECT_EQ(m_updater->m_progress, nullptr);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(::IsWindowEnabled(owner.Get()));
}

TEST_F(TransferProgressTest, CancelAtAResponseNotificationClosesEverything) {
    TestMainWindow owner;
    HWND window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    m_updater->m_bytesExpected = 1000;
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 100);
    ASSERT_TRUE(::IsWindow(window)); // no Cancel yet: the transfer goes on
    pmtest::ClickButton(window, IDCANCEL);
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 100);
    EXPECT_EQ(m_updater->m_progress, nullptr);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(::IsWindowEnabled(owner.Get()));
    EXPECT_EQ(m_updater->m_bytesReceived, 200u);
}

} // namespace
