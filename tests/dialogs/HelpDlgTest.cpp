// The help window with its embedded browser control, and the about box.
//
// Wine here has no rendering engine: no page ever shows. What is checked is that the control is
// created, activated in place inside the template's control 1020, and handed the exact address.
#include "DialogTestBed.h"

#include "app/UpdaterApp.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/HelpDlg.h"
#include "dialogs/WebBrowser2.h"
#include "framework/OleControlSite.h"
#include "res/resource.h"
#include "support/TestEnv.h"
#include "support/UiDriver.h"

#include <ole2.h>

#include <cstring>

using namespace pmtest;

namespace {
const char kBrowserClass[] = "{8856F961-340A-11D0-A96B-00C04FD705A2}";

std::string ClassOf(HWND window) {
    char name[128] = "";
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

// What the help window showed while it was open.
struct HelpWindowSeen {
    bool shown = false;
    std::string hostClass;
    bool hostVisible = false;
    bool hasDispatch = false;
    bool controlWindowInside = false; // the control activated itself in place
    bool placedAsTemplate = false;
    HWND owner = nullptr;
};

HelpWindowSeen InspectHelpWindow(HWND help) {
    HelpWindowSeen seen;
    seen.shown = help != nullptr;
    HWND host = ::GetDlgItem(help, IDC_BROWSER);
    if (!host)
        return seen;
    seen.hostClass = ClassOf(host);
    seen.hostVisible = ::IsWindowVisible(host) != FALSE;
    COleControlSite* site = COleControlSite::FromHostWindow(host);
    seen.hasDispatch = site && site->GetDispatch();
    seen.controlWindowInside = ::GetWindow(host, GW_CHILD) != nullptr;
    RECT actual{};
    ::GetWindowRect(host, &actual);
    ::MapWindowPoints(nullptr, help, reinterpret_cast<POINT*>(&actual), 2);
    RECT expected{5, 5, 5 + 275, 5 + 160};
    ::MapDialogRect(help, &expected);
    seen.placedAsTemplate = ::EqualRect(&actual, &expected) != FALSE;
    seen.owner = ::GetWindow(help, GW_OWNER);
    return seen;
}

void ExpectBrowserInPlace(const HelpWindowSeen& seen) {
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.hostClass, kBrowserClass);
    EXPECT_TRUE(seen.hostVisible);
    EXPECT_TRUE(seen.hasDispatch);
    EXPECT_TRUE(seen.controlWindowInside);
    EXPECT_TRUE(seen.placedAsTemplate);
}

std::string ExpectedHelpAddress() {
    return "file://" + ProgramDir() + "CVLHelp.htm";
}

class HelpWindow : public DialogTest {};

TEST_F(HelpWindow, OpensFromTheTrayCommandAndHandsTheControlTheHelpPage) {
    ASSERT_TRUE(FileExists(ProgramDir() + "CVLHelp.htm")) << "the build puts the page beside the programs";
    const int before = CWebBrowser2::LastNavigation().count;
    HelpWindowSeen seen;
    UiScript script([&] {
        HWND help = WaitForWindow("#32770", kHelpCaption);
        seen = InspectHelpWindow(help);
        ClickButton(help, IDOK);
        EXPECT_TRUE(WaitForWindowGone(help, 5000));
    });
    SendCommand(ID_HELP_WINDOW);
    script.Join();
    ExpectBrowserInPlace(seen);
    EXPECT_EQ(seen.owner, m_frame->m_hWnd);
    const CWebBrowser2::NavigationRecord& navigation = CWebBrowser2::LastNavigation();
    EXPECT_EQ(navigation.count, before + 1);
    EXPECT_EQ(navigation.url, ExpectedHelpAddress());
    EXPECT_EQ(navigation.result, S_OK);
}

TEST_F(HelpWindow, OpensFromTheSettingsDialogWithTheSameAddress) {
    const int before = CWebBrowser2::LastNavigation().count;
    HelpWindowSeen seen;
    UiScript script([&] {
        HWND settings = WaitForWindow("#32770", kSettingsCaption);
        ASSERT_NE(settings, nullptr);
        ClickButton(settings, IDC_HELP_BUTTON);
        HWND help = WaitForWindow("#32770", kHelpCaption);
        seen = InspectHelpWindow(help);
        ClickButton(help, IDOK);
        EXPECT_TRUE(WaitForWindowGone(help, 5000));
        ClickButton(settings, IDCANCEL);
        EXPECT_TRUE(WaitForWindowGone(settings, 5000));
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    ExpectBrowserInPlace(seen);
    const CWebBrowser2::NavigationRecord& navigation = CWebBrowser2::LastNavigation();
    EXPECT_EQ(navigation.count, before + 1);
    EXPECT_EQ(navigation.url, ExpectedHelpAddress());
    EXPECT_EQ(navigation.result, S_OK);
}

// Runs the help probe copied into folder and returns what it reported.
std::string RunProbeIn(const std::string& folder, const TempDir& temp) {
    std::string probe = folder + "\\pm_help_probe.exe";
    if (!::CopyFileA(BuiltProgram("pm_help_probe.exe").c_str(), probe.c_str(), FALSE))
        return "copy failed";
    std::string report = temp.File("report.txt");
    Process process = Process::Start("\"" + probe + "\" \"" + report + "\"");
    long code = process.Wait(30000);
    if (code != 0)
        return "probe ended with " + std::to_string(code);
    return ReadFileText(report);
}

TEST(HelpWindowElsewhere, FolderWithBlanksGivesUnescapedBlanksWithOrWithoutThePage) {
    TempDir temp("pm-help");
    std::string folder = temp.Path() + "\\Program Files X";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    const std::string expected = "url=file://" + folder + "\\CVLHelp.htm\nresult=0\nhost=1\n";
    // Without the page the window opens all the same and gets the same address.
    EXPECT_EQ(RunProbeIn(folder, temp), expected);
    ASSERT_TRUE(
        ::CopyFileA((ProgramDir() + "CVLHelp.htm").c_str(), (folder + "\\CVLHelp.htm").c_str(), FALSE));
    EXPECT_EQ(RunProbeIn(folder, temp), expected);
}

// The three ways a user closes a box, and the result each gives.
enum class CloseBy { OkButton, Escape, CloseBox };

void CloseDialog(HWND dialog, CloseBy how) {
    switch (how) {
    case CloseBy::OkButton:
        ClickButton(dialog, IDOK);
        break;
    case CloseBy::Escape:
        PressEscape(dialog);
        break;
    case CloseBy::CloseBox:
        PressCloseBox(dialog);
        break;
    }
}

void PrintTo(CloseBy how, std::ostream* out) {
    *out << (how == CloseBy::OkButton ? "OK button" : how == CloseBy::Escape ? "Escape key" : "close box");
}

INT_PTR ExpectedResult(CloseBy how) {
    return how == CloseBy::OkButton ? IDOK : IDCANCEL;
}

class ClosingBoxes : public DialogTest, public ::testing::WithParamInterface<CloseBy> {};

TEST_P(ClosingBoxes, HelpWindowCloses) {
    CloseBy how = GetParam();
    UiScript script([how] {
        HWND help = WaitForWindow("#32770", kHelpCaption);
        ASSERT_NE(help, nullptr);
        CloseDialog(help, how);
        EXPECT_TRUE(WaitForWindowGone(help, 5000));
    });
    CHelpDlg dialog(nullptr);
    EXPECT_EQ(dialog.DoModal(), ExpectedResult(how));
    script.Join();
}

TEST_P(ClosingBoxes, AboutBoxCloses) {
    CloseBy how = GetParam();
    UiScript script([how] {
        HWND about = WaitForWindow("#32770", kAboutCaption);
        ASSERT_NE(about, nullptr);
        CloseDialog(about, how);
        EXPECT_TRUE(WaitForWindowGone(about, 5000));
    });
    CAboutDlg dialog;
    EXPECT_EQ(dialog.DoModal(), ExpectedResult(how));
    script.Join();
}

INSTANTIATE_TEST_SUITE_P(ByUser, ClosingBoxes,
                         ::testing::Values(CloseBy::OkButton, CloseBy::Escape, CloseBy::CloseBox),
                         [](const ::testing::TestParamInfo<CloseBy>& info) {
                             switch (info.param) {
                             case CloseBy::OkButton:
                                 return "OkButton";
                             case CloseBy::Escape:
                                 return "Escape";
                             default:
                                 return "CloseBox";
                             }
                         });

class AboutBox : public DialogTest {};

TEST_F(AboutBox, OpensThroughTheAboutCommandRoutedToTheApplication) {
    struct Seen {
        bool shown = false;
        std::string name, notice;
        bool nameNoPrefix = false, textsStartGroups = false, hasIcon = false;
        int defaultId = 0;
    } seen;
    UiScript script([&] {
        HWND about = WaitForWindow("#32770", kAboutCaption);
        if (!about)
            return;
        seen.shown = true;
        HWND icon = ::GetWindow(about, GW_CHILD);
        HWND name = ::GetWindow(icon, GW_HWNDNEXT);
        HWND notice = ::GetWindow(name, GW_HWNDNEXT);
        seen.hasIcon = ::SendMessageA(icon, STM_GETICON, 0, 0) != 0;
        seen.name = GetText(name);
        seen.notice = GetText(notice);
        LONG nameStyle = ::GetWindowLongA(name, GWL_STYLE);
        seen.nameNoPrefix = (nameStyle & SS_NOPREFIX) != 0;
        seen.textsStartGroups = (nameStyle & WS_GROUP) && (::GetWindowLongA(notice, GWL_STYLE) & WS_GROUP);
        LRESULT def = ::SendMessageA(about, DM_GETDEFID, 0, 0);
        seen.defaultId = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : 0;
        ClickButton(about, IDOK);
        EXPECT_TRUE(WaitForWindowGone(about, 5000));
    });
    // The main window has no handler of its own: the command reaches the application object.
    SendCommand(ID_APP_ABOUT);
    script.Join();
    ASSERT_TRUE(seen.shown);
    EXPECT_TRUE(seen.hasIcon);
    EXPECT_EQ(seen.name, "Pendlemark Version 1.0");
    EXPECT_FALSE(seen.notice.empty());
    EXPECT_TRUE(seen.nameNoPrefix);
    EXPECT_TRUE(seen.textsStartGroups);
    EXPECT_EQ(seen.defaultId, IDOK);
}

class BrowserControl : public DialogTest {};

TEST_F(BrowserControl, CreatedAtRunTimeNavigatesAndGoesWithItsWindow) {
    CObject* object = CWebBrowser2::runtimeClass.CreateObject();
    ASSERT_NE(object, nullptr);
    auto* browser = static_cast<CWebBrowser2*>(object);

    RECT rect{0, 0, 300, 200};
    HWND parent =
        ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    CWnd parentWnd;
    parentWnd.Attach(parent);
    ASSERT_TRUE(browser->Create("", WS_CHILD | WS_VISIBLE, rect, &parentWnd, 77));
    HWND host = browser->m_hWnd;
    EXPECT_EQ(::GetDlgCtrlID(host), 77);
    EXPECT_EQ(ClassOf(host), kBrowserClass);
    COleControlSite* site = COleControlSite::FromHostWindow(host);
    ASSERT_NE(site, nullptr);
    EXPECT_NE(site->GetDispatch(), nullptr);

    VARIANT flags;
    ::VariantInit(&flags);
    flags.vt = VT_I4;
    flags.lVal = 0;
    browser->Navigate("about:blank", &flags, nullptr, nullptr, nullptr);
    EXPECT_EQ(CWebBrowser2::LastNavigation().url, "about:blank");
    EXPECT_EQ(CWebBrowser2::LastNavigation().result, S_OK);

    parentWnd.Detach();
    ::DestroyWindow(parent);
    EXPECT_EQ(COleControlSite::FromHostWindow(host), nullptr);
    delete browser;
}

TEST_F(BrowserControl, HostOfAControlThatCannotBeCreatedFailsItsWindow) {
    // A class id no server is registered for.
    const CLSID nowhere = {0x1c3e96a0, 0x5b1d, 0x4e7a, {0x9a, 0x11, 0x2f, 0x40, 0x6e, 0x7d, 0x31, 0x0b}};
    RECT rect{0, 0, 10, 10};
    HWND parent =
        ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(COleControlSite::CreateHostWindow(nowhere, "", WS_CHILD, rect, parent, 1), nullptr);
    EXPECT_EQ(::GetWindow(parent, GW_CHILD), nullptr);
    ::DestroyWindow(parent);
}

TEST(HelpTemplate, CarriesTheBrowsersInitialisationRecord) {
    HRSRC found = ::FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_HELP), MAKEINTRESOURCEA(RT_DLGINIT_TYPE));
    ASSERT_NE(found, nullptr);
    DWORD size = ::SizeofResource(nullptr, found);
    const BYTE* data = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, found)));
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(size, 2u + 2u + 4u + 160u + 2u);
    WORD control = 0, message = 0, terminator = 1;
    DWORD length = 0;
    std::memcpy(&control, data, 2);
    std::memcpy(&message, data + 2, 2);
    std::memcpy(&length, data + 4, 4);
    std::memcpy(&terminator, data + 8 + 160, 2);
    EXPECT_EQ(control, IDC_BROWSER);
    EXPECT_EQ(message, 0x0376);
    EXPECT_EQ(length, 160u);
    EXPECT_EQ(terminator, 0);
}

} // namespace

// The running program: its start-up prepares what the help window needs (OLE), and its main window
// opens both boxes on their commands.
class RunningProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetProgramState();
        DeleteCorvalisKeys();
        WriteCvlIni(m_browser.Path().c_str(), m_launcher.Path().c_str());
    }
    void TearDown() override {
        ResetProgramState();
        RemoveCvlIni();
        DeleteCorvalisKeys();
    }
    TempDir m_browser{"pm-browser"};
    TempDir m_launcher{"pm-launcher"};
};

TEST_F(RunningProgram, OpensTheHelpWindowAndTheAboutBoxOnTheirCommands) {
    Process program = Process::Start("\"" + BuiltProgram("Pendlemark.exe") + "\" -NoUpdateOnStartup");
    HWND main = FindMainWindow();
    ASSERT_NE(main, nullptr);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(main, &pid);
    ASSERT_EQ(pid, program.Id());

    ::PostMessageA(main, WM_COMMAND, ID_HELP_WINDOW, 0);
    HWND help = WaitForWindow("#32770", kHelpCaption);
    ASSERT_NE(help, nullptr);
    HWND host = ::GetDlgItem(help, IDC_BROWSER);
    EXPECT_EQ(ClassOf(host), kBrowserClass);
    EXPECT_NE(::GetWindow(host, GW_CHILD), nullptr) << "the control did not activate in place";
    ClickButton(help, IDOK);
    EXPECT_TRUE(WaitForWindowGone(help, 5000));

    ::PostMessageA(main, WM_COMMAND, ID_APP_ABOUT, 0);
    HWND about = WaitForWindow("#32770", kAboutCaption);
    ASSERT_NE(about, nullptr);
    PressEscape(about);
    EXPECT_TRUE(WaitForWindowGone(about, 5000));

    ::PostMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_EQ(program.Wait(10000), 0);
}
