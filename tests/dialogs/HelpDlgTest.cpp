// The help window with its embedded browser control, and the about box.
//
// Wine here has no rendering engine: no page ever shows. What is checked is that the control is
// created, activated in place inside the template's control 1020, and handed the exact address.
#include "DialogTestBed.h"
#include "NavigationSpy.h"

#include "dialogs/WebBrowser2.h"
#include "framework/OleControlSite.h"
#include "support/ResidentProgram.h"

using namespace pmtest;

namespace {
const char kBrowserClass[] = "{8856F961-340A-11D0-A96B-00C04FD705A2}";

std::string ClassOf(HWND window) {
    char name[128] = "";
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

// The browser control as the help window shows it: hosted by the template's control, in place, with
// its automation interface.
void ExpectBrowserInPlace(HWND help) {
    ASSERT_NE(help, nullptr);
    HWND host = ::GetDlgItem(help, IDC_BROWSER);
    EXPECT_EQ(ClassOf(host), kBrowserClass);
    EXPECT_TRUE(::IsWindowVisible(host));
    COleControlSite* site = COleControlSite::FromHostWindow(host);
    EXPECT_TRUE(site && site->GetDispatch());
    EXPECT_NE(::GetWindow(host, GW_CHILD), nullptr) << "the control did not activate in place";
    RECT actual{}, expected{5, 5, 5 + 275, 5 + 160};
    ::GetWindowRect(host, &actual);
    ::MapWindowPoints(nullptr, help, reinterpret_cast<POINT*>(&actual), 2);
    ::MapDialogRect(help, &expected);
    EXPECT_TRUE(::EqualRect(&actual, &expected));
}

using HelpWindow = DialogTest;

// From the tray command, and from the settings dialog's "&Help", with the same address.
TEST_F(HelpWindow, OpensFromTheTrayCommandAndTheSettingsDialogAndHandsTheControlTheHelpPage) {
    ASSERT_TRUE(FileExists(ProgramDir() + "CVLHelp.htm")) << "the build puts the page beside the programs";
    ASSERT_TRUE(WatchNavigation());
    for (UINT command : {ID_HELP_WINDOW, ID_SETTINGS}) {
        const int before = LastNavigation().count;
        UiScript script([&] {
            HWND settings = command == ID_SETTINGS ? WaitForWindow("#32770", kSettingsCaption) : nullptr;
            if (settings)
                ClickButton(settings, IDC_HELP_BUTTON);
            HWND help = WaitForWindow("#32770", kHelpCaption);
            ExpectBrowserInPlace(help);
            EXPECT_EQ(::GetWindow(help, GW_OWNER), settings ? settings : m_frame->m_hWnd);
            ClickButton(help, IDOK);
            EXPECT_TRUE(WaitForWindowGone(help, 5000));
        }); // the settings dialog is cancelled as a leftover
        SendCommand(command);
        script.Join();
        const NavigationRecord& navigation = LastNavigation();
        EXPECT_EQ(navigation.count, before + 1);
        EXPECT_EQ(navigation.url, "file://" + ProgramDir() + "CVLHelp.htm");
        EXPECT_EQ(navigation.result, S_OK);
    }
}

// Runs the help probe copied into folder and returns what it reported. Each run has a copy of its own:
// the image of one that has just ended may still be mapped, and a copy over it could not be started.
std::string RunProbeIn(const std::string& folder, const TempDir& temp) {
    static int runs = 0;
    std::string probe = folder + "\\pm_help_probe" + std::to_string(++runs) + ".exe";
    if (!::CopyFileA(BuiltProgram("pm_help_probe.exe").c_str(), probe.c_str(), FALSE))
        return "copy failed";
    std::string report = temp.File("report.txt");
    long code = Process::Start("\"" + probe + "\" \"" + report + "\"").Wait(30000);
    return code == 0 ? ReadFileText(report) : "probe ended with " + std::to_string(code);
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

using AboutBox = DialogTest;

TEST_F(AboutBox, OpensThroughTheAboutCommandRoutedToTheApplication) {
    bool shown = false;
    UiScript script([&] {
        HWND about = WaitForWindow("#32770", kAboutCaption);
        ASSERT_NE(about, nullptr);
        shown = true;
        HWND icon = ::GetWindow(about, GW_CHILD);
        HWND name = ::GetWindow(icon, GW_HWNDNEXT);
        EXPECT_NE(::SendMessageA(icon, STM_GETICON, 0, 0), 0);
        EXPECT_EQ(GetText(name), "Pendlemark Version 1.0");
        EXPECT_FALSE(GetText(::GetWindow(name, GW_HWNDNEXT)).empty());
        EXPECT_EQ(::SendMessageA(about, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
        ClickButton(about, IDOK);
        EXPECT_TRUE(WaitForWindowGone(about, 5000));
    });
    // The main window has no handler of its own: the command reaches the application object.
    SendCommand(ID_APP_ABOUT);
    script.Join();
    EXPECT_TRUE(shown);
}

// The running program's start-up prepares what the help window needs (OLE): its help command shows
// the control activated in place.
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
    TempDir m_browser{"pm-browser"}, m_launcher{"pm-launcher"};
};

TEST_F(RunningProgram, OpensTheHelpWindowOnItsCommand) {
    HWND main = nullptr;
    Process program = StartPendlemark("-NoUpdateOnStartup", &main);
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
    ::PostMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_EQ(program.Wait(10000), 0);
}

} // namespace
