// The progress window and the status callback, driven the way WinINet drives them.
#include "app/UpdaterApp.h"
#include "res/resource.h"
#include "support/UiDriver.h"
#include "UpdaterFixture.h"
#include "update/TransferProgressDlg.h"
#include "update/TransferStatusCallback.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace pmtest;

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

    FtpRun m_updater{"", "", "", "/update/", 0};
};

LRESULT CALLBACK RefuseEveryWindow(int code, WPARAM wParam, LPARAM lParam) {
    return code == HCBT_CREATEWND ? 1 : ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Reads a name-or-ordinal or a string field of a dialog template; advances past it.
std::string ReadField(const WORD*& p) {
    if (*p == 0xFFFF) {
        p += 2;
        return "#" + std::to_string(p[-1]);
    }
    std::string text;
    while (*p)
        text += static_cast<char>(*p++);
    ++p;
    return text;
}

TEST_F(TransferProgressTest, TemplateAndWindowAreTheOnesGivenAndControlsShowAtTheRequest) {
    // The template as the resource compiler wrote it (a DLGTEMPLATE, not the extended form).
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(IDD_PROGRESS), MAKEINTRESOURCEA(5));
    ASSERT_NE(resource, nullptr);
    auto* header = static_cast<const DLGTEMPLATE*>(::LockResource(::LoadResource(module, resource)));
    EXPECT_EQ(header->style, DWORD(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(header->cx, 186);
    EXPECT_EQ(header->cy, 79);
    auto* p = reinterpret_cast<const WORD*>(header + 1);
    std::string menu = ReadField(p), windowClass = ReadField(p), title = ReadField(p);
    EXPECT_EQ(menu + windowClass + title, "");
    EXPECT_EQ(*p++, 8);
    EXPECT_EQ(ReadField(p), "MS Sans Serif");
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const struct {
        WORD id;
        const char* windowClass; // a predefined class as "#<atom>"
        short x, y, cx, cy;
        const char* text;
        DWORD style;
    } expected[] = {
        {IDCANCEL, "#128", 67, 58, 50, 14, "Cancel", child | WS_TABSTOP | BS_DEFPUSHBUTTON},
        {IDC_PROGRESS_BAR, "msctls_progress32", 15, 34, 154, 13, "", child | WS_BORDER},
        {IDC_PERCENT_TEXT, "#130", 85, 23, 18, 8, " 0 %", child | WS_GROUP | SS_LEFT},
        {IDC_STATUS_TEXT, "#130", 13, 7, 158, 8, "", child | WS_GROUP | SS_LEFT},
    };
    ASSERT_EQ(header->cdit, 4);
    for (const auto& e : expected) {
        SCOPED_TRACE(e.id);
        p = reinterpret_cast<const WORD*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR(3));
        auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
        p = reinterpret_cast<const WORD*>(item + 1);
        std::string itemClass = ReadField(p), text = ReadField(p);
        WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
        EXPECT_EQ(item->id, e.id);
        EXPECT_STRCASEEQ(itemClass.c_str(), e.windowClass); // class names ignore case
        EXPECT_EQ(item->x, e.x);
        EXPECT_EQ(item->y, e.y);
        EXPECT_EQ(item->cx, e.cx);
        EXPECT_EQ(item->cy, e.cy);
        EXPECT_EQ(text, e.text);
        EXPECT_EQ(item->style, e.style);
    }
    EXPECT_EQ(AfxLoadString(IDS_PROGRESS_CAPTION), "Updating Corvalis...");

    HWND window = Open(FALSE);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetText(window), "Updating Corvalis...");
    EXPECT_FALSE(::GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU); // no close box
    EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr);              // no main window here
    PBRANGE range{};
    ::SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_EQ(BarPosition(window), 0);
    m_updater->ShowStatus("Checking for updates...");
    EXPECT_EQ(GetItemText(window, IDC_STATUS_TEXT), "Checking for updates...");
    EXPECT_TRUE(::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    // The transfer's controls stay hidden until the request goes out (status 30).
    for (int id : {IDCANCEL, IDC_PROGRESS_BAR, IDC_PERCENT_TEXT})
        EXPECT_FALSE(IsItemVisible(window, id) || IsItemEnabled(window, id)) << id;
    m_updater->m_bytesReceived = 77;
    Notify(INTERNET_STATUS_SENDING_REQUEST);
    EXPECT_EQ(GetItemText(window, IDC_STATUS_TEXT), "Requesting update...");
    for (int id : {IDCANCEL, IDC_PROGRESS_BAR, IDC_PERCENT_TEXT})
        EXPECT_TRUE(IsItemVisible(window, id) && IsItemEnabled(window, id)) << id;
    EXPECT_EQ(m_updater->m_bytesReceived, 77u);
}

TEST_F(TransferProgressTest, PercentIsTheNearestWholeShareAndNeverAboveAHundred) {
    HWND window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    m_updater->m_bytesExpected = 1000;
    const struct {
        DWORD bytes; // added by this notification
        int position;
        const char* text;
    } steps[] = {
        {0, 0, "0%"},
        {420, 42, "42%"},
        {574, 99, "99%"},
        {1, 100, "100%"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.text);
        Notify(INTERNET_STATUS_RESPONSE_RECEIVED, step.bytes);
        EXPECT_EQ(BarPosition(window), step.position);
        EXPECT_EQ(GetItemText(window, IDC_PERCENT_TEXT), step.text);
    }
    EXPECT_EQ(m_updater->m_bytesReceived, 995u);

    // A new request starts the count again; so does a new handle.
    Notify(INTERNET_STATUS_REQUEST_SENT);
    EXPECT_EQ(GetItemText(window, IDC_STATUS_TEXT), "Receiving update...");
    EXPECT_EQ(m_updater->m_bytesReceived, 0u);
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 10);
    Notify(INTERNET_STATUS_HANDLE_CREATED);
    EXPECT_EQ(m_updater->m_bytesReceived, 0u);

    // No size to share: no division by zero. Up to 64 KiB more than expected go on (a count may take in
    // the control connection's replies); a byte beyond ends the transfer, and the window with it, as
    // Cancel does.
    m_updater->m_bytesExpected = 0;
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 0);
    EXPECT_EQ(BarPosition(window), 0);
    EXPECT_EQ(GetItemText(window, IDC_PERCENT_TEXT), "0%");
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 65536);
    EXPECT_NE(m_updater->m_progress, nullptr);
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 1);
    EXPECT_EQ(m_updater->m_progress, nullptr);
    EXPECT_FALSE(::IsWindow(window));
}

TEST_F(TransferProgressTest, PercentTextIsRewrittenOnlyWhenItChanges) {
    HWND window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    CTransferProgressDlg& progress = *m_updater->m_progress;
    for (int position = 0; position < 100; ++position) {
        progress.SetPosition(position);
        ASSERT_EQ(GetItemText(window, IDC_PERCENT_TEXT), std::to_string(position) + "%");
    }
    SetTextCounter counter(::GetDlgItem(window, IDC_PERCENT_TEXT));
    EXPECT_EQ(progress.SetPosition(37), 99);
    EXPECT_EQ(counter.Count(), 1);
    EXPECT_EQ(progress.SetPosition(37), 37);
    EXPECT_EQ(counter.Count(), 1);
    EXPECT_EQ(GetItemText(window, IDC_PERCENT_TEXT), "37%");
}

TEST_F(TransferProgressTest, OkDoesNothingAndCancelOnlyAsks) {
    HWND window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    for (int id : {IDCANCEL, IDC_PROGRESS_BAR, IDC_PERCENT_TEXT})
        EXPECT_TRUE(IsItemVisible(window, id) && IsItemEnabled(window, id)) << id;
    CTransferProgressDlg& progress = *m_updater->m_progress;
    ::SendMessageA(window, WM_COMMAND, IDOK, 0);
    ::SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_FALSE(progress.IsCancelRequested());

    ClickButton(window, IDCANCEL);
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
    EXPECT_EQ(::GetForegroundWindow(), window);
    m_updater->CloseProgressWindow();
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(::IsWindowEnabled(owner.Get()));

    // Disabled before: it stays disabled.
    ::EnableWindow(owner.Get(), FALSE);
    ASSERT_NE(Open(TRUE), nullptr);
    m_updater->CloseProgressWindow();
    EXPECT_FALSE(::IsWindowEnabled(owner.Get()));
    ::EnableWindow(owner.Get(), TRUE);

    // A window that cannot be created leaves the updater as if none were open, and the owner enabled.
    HHOOK hook = ::SetWindowsHookExA(WH_CBT, &RefuseEveryWindow, nullptr, ::GetCurrentThreadId());
    EXPECT_FALSE(m_updater->OpenProgressWindow(TRUE));
    ::UnhookWindowsHookEx(hook);
    EXPECT_EQ(m_updater->m_progress, nullptr);
    EXPECT_TRUE(::IsWindowEnabled(owner.Get()));
    m_updater->ShowStatus("Checking for updates...");
    EXPECT_EQ(::FindWindowA("#32770", "Updating Corvalis..."), nullptr);
}

TEST_F(TransferProgressTest, CallbackStatusesWithAndWithoutWindowOrContext) {
    // Without a window the callback only counts, in 64 bits.
    m_updater->m_bytesExpected = 100;
    Notify(INTERNET_STATUS_SENDING_REQUEST);
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 40);
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 4000000000ul);
    Notify(INTERNET_STATUS_RESPONSE_RECEIVED, 4000000000ul);
    EXPECT_EQ(m_updater->m_bytesReceived, 8000000040ull);
    Notify(INTERNET_STATUS_HANDLE_CLOSING);
    Notify(INTERNET_STATUS_REQUEST_SENT);
    EXPECT_EQ(m_updater->m_bytesReceived, 0u);
    EXPECT_EQ(m_updater->m_progress, nullptr);

    TestMainWindow owner;
    HWND window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    m_updater->m_bytesReceived = 123;
    m_updater->m_bytesExpected = 200;
    SetItemText(window, IDC_STATUS_TEXT, "phase");
    // Context 0 is ignored whatever the status; so are the statuses the callback does not know.
    for (DWORD status : {30, 31, 41, 60, 70, 10, 20, 40})
        Notify(status, 50, 0);
    for (DWORD status : {10, 11, 20, 21, 40, 50, 51, 100})
        Notify(status, 50);
    EXPECT_EQ(m_updater->m_bytesReceived, 123u);
    EXPECT_EQ(GetItemText(window, IDC_STATUS_TEXT), "phase");
    EXPECT_EQ(BarPosition(window), 0);
    ASSERT_TRUE(::IsWindow(window));
    // The handle closing (status 70) closes the window and gives the owner back.
    Notify(INTERNET_STATUS_HANDLE_CLOSING);
    EXPECT_EQ(m_updater->m_progress, nullptr);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(::IsWindowEnabled(owner.Get()));
}

} // namespace
