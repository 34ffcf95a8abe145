// The progress window and the status callback, driven the way WinINet drives them.
#include "app/UpdaterApp.h"
#include "res/resource.h"
#include "support/UiDriver.h"
#include "update/FtpUpdater.h"
#include "update/TransferProgressDlg.h"
#include "update/TransferStatusCallback.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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

LRESULT CALLBACK RefuseEveryWindow(int code, WPARAM wParam, LPARAM lParam) {
    return code == HCBT_CREATEWND ? 1 : ::CallNextHookEx(nullptr, code, wParam, lParam);
}

std::string ClassOf(HWND window) {
    char name[64] = "";
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

// One control of a DLGTEMPLATE (not the extended form) as the resource compiler wrote it.
struct TemplateItem {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    std::string windowClass; // a predefined class as "#<atom>"
    std::string text;
};

struct DialogTemplate {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::string title;
    WORD pointSize = 0;
    std::string font;
    std::vector<TemplateItem> items;
};

// Reads a name-or-ordinal or a string field; advances past it.
std::string ReadField(const WORD*& p) {
    if (*p == 0xFFFF) {
        std::string atom = "#" + std::to_string(p[1]);
        p += 2;
        return atom;
    }
    std::string text;
    while (*p)
        text += static_cast<char>(*p++);
    ++p;
    return text;
}

DialogTemplate LoadDialogTemplate(UINT id) {
    DialogTemplate result;
    HRSRC resource = ::FindResourceA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    if (!resource)
        return result;
    auto* header =
        static_cast<const DLGTEMPLATE*>(::LockResource(::LoadResource(AfxGetResourceHandle(), resource)));
    result.style = header->style;
    result.cx = header->cx;
    result.cy = header->cy;
    auto* p = reinterpret_cast<const WORD*>(header + 1);
    ReadField(p); // menu
    ReadField(p); // class
    result.title = ReadField(p);
    if (header->style & DS_SETFONT) {
        result.pointSize = *p++;
        result.font = ReadField(p);
    }
    for (int i = 0; i < header->cdit; ++i) {
        p = reinterpret_cast<const WORD*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR(3));
        auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
        TemplateItem entry;
        entry.style = item->style;
        entry.x = item->x;
        entry.y = item->y;
        entry.cx = item->cx;
        entry.cy = item->cy;
        entry.id = item->id;
        p = reinterpret_cast<const WORD*>(item + 1);
        entry.windowClass = ReadField(p);
        entry.text = ReadField(p);
        WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
        result.items.push_back(entry);
    }
    return result;
}

TEST(TransferProgressTemplate, IsTheOneGiven) {
    DialogTemplate dialog = LoadDialogTemplate(IDD_PROGRESS);
    EXPECT_EQ(dialog.style, DWORD(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(dialog.cx, 186);
    EXPECT_EQ(dialog.cy, 79);
    EXPECT_EQ(dialog.title, "");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.font, "MS Sans Serif");
    ASSERT_EQ(dialog.items.size(), 4u);
    const DWORD child = WS_CHILD | WS_VISIBLE;
    struct Expected {
        WORD id;
        const char* windowClass;
        short x, y, cx, cy;
        const char* text;
        DWORD style;
    };
    const Expected expected[] = {
        {IDCANCEL, "#128", 67, 58, 50, 14, "Cancel", child | WS_TABSTOP | BS_DEFPUSHBUTTON},
        {IDC_PROGRESS_BAR, "msctls_progress32", 15, 34, 154, 13, "", child | WS_BORDER},
        {IDC_PERCENT_TEXT, "#130", 85, 23, 18, 8, " 0 %", child | WS_GROUP | SS_LEFT},
        {IDC_STATUS_TEXT, "#130", 13, 7, 158, 8, "", child | WS_GROUP | SS_LEFT},
    };
    for (size_t i = 0; i < 4; ++i) {
        const TemplateItem& item = dialog.items[i];
        SCOPED_TRACE(expected[i].id);
        EXPECT_EQ(item.id, expected[i].id);
        EXPECT_STRCASEEQ(item.windowClass.c_str(), expected[i].windowClass); // class names ignore case
        EXPECT_EQ(item.x, expected[i].x);
        EXPECT_EQ(item.y, expected[i].y);
        EXPECT_EQ(item.cx, expected[i].cx);
        EXPECT_EQ(item.cy, expected[i].cy);
        EXPECT_EQ(item.text, expected[i].text);
        EXPECT_EQ(item.style, expected[i].style);
    }
    EXPECT_EQ(AfxLoadString(IDS_PROGRESS_CAPTION), "Updating Corvalis...");
}

TEST_F(TransferProgressTest, WindowComesUpAsTheTemplateSays) {
    HWND window = Open(TRUE);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(pmtest::GetText(window), "Updating Corvalis...");
    EXPECT_FALSE(::GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU); // no close box
    EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr);              // no main window here
    EXPECT_EQ(ClassOf(::GetDlgItem(window, IDC_PROGRESS_BAR)), "msctls_progress32");
    EXPECT_EQ(pmtest::GetItemText(window, IDC_PERCENT_TEXT), " 0 %");
    EXPECT_EQ(pmtest::GetItemText(window, IDC_STATUS_TEXT), "");
    PBRANGE range{};
    ::SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_EQ(BarPosition(window), 0);
    for (int id : {IDCANCEL, IDC_PROGRESS_BAR, IDC_PERCENT_TEXT})
        EXPECT_TRUE(pmtest::IsItemVisible(window, id) && pmtest::IsItemEnabled(window, id)) << id;

    CTransferProgressDlg other(IDS_SOCKETS_INIT_FAILED);
    EXPECT_EQ(other.m_captionId, static_cast<UINT>(IDS_SOCKETS_INIT_FAILED));
    CTransferProgressDlg standard;
    EXPECT_EQ(standard.m_captionId, static_cast<UINT>(IDS_PROGRESS_CAPTION));
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
