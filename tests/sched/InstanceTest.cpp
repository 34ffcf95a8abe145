// The resident program in its own process, driven from this one through the named events, its
// window and its message boxes.
#include "support/FrameTest.h"
#include "support/FtpTestServer.h"
#include "support/ResidentProgram.h"
#include "support/TestEnv.h"

using namespace pmtest;

namespace {

// Uses the fixture's named events only; the main window is the other process's.
class InstanceTest : public FrameTest {
  protected:
    void SetUp() override {
        FrameTest::SetUp();
        ResetProgramState();
        DeleteCorvalisKeys();
        WriteCvlIni(nullptr, m_launcherDir.Path().c_str()); // no browser directory
        Settings(1, 1, 1);
    }
    void TearDown() override {
        ResetProgramState();
        m_process = Process();
        FrameTest::TearDown();
        DeleteCorvalisKeys();
        DeletePolicyKeys();
        RemoveCvlIni();
    }
    static void Settings(DWORD updateChoice, DWORD enable, DWORD ask) {
        SetRegDword(kParamsKey, "UpdateChoice", updateChoice);
        SetRegDword(kParamsKey, "EnableAutoUpdate", enable);
        SetRegDword(kParamsKey, "AskForConfirmation", ask);
        SetRegDword(kParamsKey, "UpdateInterval", 7);
    }
    HWND Start(const std::string& arguments = "") {
        HWND window = nullptr;
        m_process = StartPendlemark(arguments, &window);
        EXPECT_TRUE(m_process.Handle());
        return window;
    }
    // Asks the instance to quit the way the uninstaller does; its exit code, -1 if it stayed.
    long Shutdown() {
        ::SetEvent(m_shutdown.Get());
        long code = m_process.Wait(8000);
        ::ResetEvent(m_shutdown.Get());
        return code;
    }
    // Answers the scheduler's question in the other process; FALSE when none came.
    static bool AnswerQuestion(int answer, DWORD timeoutMs) {
        return MessageBoxWatcher("Corvalis", answer, timeoutMs).Wait().shown;
    }

    TempDir m_launcherDir{"sched-inst"};
    Process m_process;
};

TEST_F(InstanceTest, ShutdownFromAnotherProcessClosesTheInstanceAlsoWhenSignalledBeforeItsStart) {
    ASSERT_NE(Start(), nullptr);
    EXPECT_EQ(Shutdown(), 0);
    EXPECT_EQ(::FindWindowA(nullptr, "Pendlemark"), nullptr);
    ::SetEvent(m_shutdown.Get());
    m_process = StartPendlemark();
    EXPECT_EQ(m_process.Wait(8000), 0);
    EXPECT_TRUE(Signalled(m_shutdown)); // left for whoever signalled it
}

TEST_F(InstanceTest, StartUpCheckFollowsTheChoiceAndTheSwitches) {
    const struct {
        DWORD updateChoice;
        DWORD enable;
        const char* arguments;
        bool checks;
    } cases[] = {
        {0, 1, "", true},                                     // "Always Check on Startup"
        {0, 1, "/NoUpdateOnStartup", false},                  // the switch wins
        {1, 1, "", false},                                    // every so many days only
        {1, 1, "-updateonstartup", true},                     // the switch, any case
        {1, 1, "/UpdateOnStartup /NoUpdateOnStartup", false}, // "No" wins over it
        {0, 0, "", false},                                    // automatic updates off
        {1, 0, "/UpdateOnStartup", false},                    // asked for, but updates are off
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.updateChoice) + std::to_string(c.enable) + " '" + c.arguments + "'");
        Settings(c.updateChoice, c.enable, 1);
        ResetEvents();
        ASSERT_NE(Start(c.arguments), nullptr);
        if (c.checks) {
            // The question, as for any automatic update; No counts as done.
            EXPECT_TRUE(AnswerQuestion(IDNO, 8000));
            EXPECT_TRUE(WaitUntil([&] { return Signalled(m_done); }, 3000));
        } else {
            EXPECT_FALSE(AnswerQuestion(IDNO, 800));
            EXPECT_FALSE(Signalled(m_done));
            if (c.enable) {
                // The scheduler is there and would ask on a request.
                ::SetEvent(m_autoUpdate.Get());
                EXPECT_TRUE(AnswerQuestion(IDNO, 8000));
            }
        }
        EXPECT_EQ(Shutdown(), 0);
    }
}

TEST_F(InstanceTest, AnotherProcessSeesRunningDuringEveryRunAndDoneAtItsEnd) {
    Settings(1, 1, 0);
    HWND window = Start();
    ASSERT_NE(window, nullptr);
    // From the scheduler (a request of this process) and from the menu (a posted command). The
    // scheduler's box first shows that the instance is fully started: a command posted while its
    // window is still being created is served before the events exist.
    for (bool fromScheduler : {true, false}) {
        SCOPED_TRACE(fromScheduler ? "scheduler" : "menu");
        if (fromScheduler)
            ::SetEvent(m_autoUpdate.Get());
        else
            ::PostMessageA(window, WM_COMMAND, ID_UPDATE_NOW, 0);
        HWND box = WaitForBox("Corvalis Wayrail", 8000);
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(Signalled(m_running));
        EXPECT_FALSE(Signalled(m_done));
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(WaitUntil([&] { return Signalled(m_done); }, 5000));
        EXPECT_FALSE(Signalled(m_running));
        ::ResetEvent(m_done.Get());
    }
    EXPECT_EQ(Shutdown(), 0);
}

// An administrator's mirror and start-up check, then automatic updates turned off: each in force over
// the user's own values, also after the user confirms the settings dialog, which stores only the user's.
TEST_F(InstanceTest, MachinePolicyWinsOverTheUsersValuesAndSurvivesTheDialog) {
    FtpTestServer ftp("sched", 40);
    ASSERT_TRUE(ftp.Available()) << "no FTP server fixture";
    ftp.Clear();
    ASSERT_TRUE(ftp.ServeCopy("240105-update.exe", BuiltProgram("pm_test_package.exe")));
    TempDir browser("sched-policy");
    WriteCvlIni(browser.Path().c_str(), m_launcherDir.Path().c_str());
    const std::string nobody = ftp.Address().substr(0, ftp.Address().rfind('.')) + ".249";
    SetRegString(kParamsKey, "Server", nobody);
    SetRegString(kParamsKey, "PathToFile", "/elsewhere/");
    SetPolicyValue("Server", REG_SZ, ftp.Address() + '\0');
    SetPolicyValue("PathToFile", REG_SZ, std::string("/", 2));
    SetPolicyDword("PassiveFTP", 1);
    SetPolicyDword("UpdateChoice", 0); // the user's: every 7 days, no check at start
    SetPolicyDword("UpdateInterval", 14);
    // Yes to the question; what the run's box then says, empty when the package was installed.
    const auto update = [&] {
        MessageBoxWatcher box("Corvalis Wayrail", IDOK, 30000);
        EXPECT_TRUE(AnswerQuestion(IDYES, 8000));
        EXPECT_TRUE(WaitUntil([&] { return Signalled(m_done); }, 30000));
        ::ResetEvent(m_done.Get());
        const MessageBoxSeen seen = box.Stop();
        return seen.shown ? seen.text : std::string();
    };
    const auto confirmSettings = [](HWND window) {
        ::PostMessageA(window, WM_COMMAND, ID_SETTINGS, 0);
        HWND dialog = WaitForWindow("#32770", "Corvalis's Wayrail Settings", 8000);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(IsItemVisible(dialog, IDC_POLICY_NOTE));
        ClickButton(dialog, IDOK);
        EXPECT_TRUE(WaitForWindowGone(dialog, 5000));
    };
    const auto usersOwn = [&] {
        EXPECT_EQ(RegString(kParamsKey, "Server"), nobody);
        EXPECT_EQ(RegString(kParamsKey, "PathToFile"), "/elsewhere/");
        const std::pair<const char*, DWORD> values[] = {
            {"PassiveFTP", 0}, {"UpdateChoice", 1}, {"UpdateInterval", 7}, {"EnableAutoUpdate", 1}};
        for (const auto& value : values)
            EXPECT_EQ(RegDword(kParamsKey, value.first), value.second) << value.first;
    };

    HWND window = Start();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(update(), ""); // checked at start, installed from the policy's server and folder
    EXPECT_FALSE(ftp.Logins().empty());
    confirmSettings(window);
    usersOwn();
    ::SetEvent(m_autoUpdate.Get());
    EXPECT_EQ(update(), "There are no new updates available for download.");
    EXPECT_EQ(Shutdown(), 0);

    SetPolicyDword("EnableAutoUpdate", 0);
    ASSERT_NE(window = Start(), nullptr);
    EXPECT_FALSE(AnswerQuestion(IDNO, 800)); // no check at start, and a request has no effect
    ::SetEvent(m_autoUpdate.Get());
    EXPECT_FALSE(AnswerQuestion(IDNO, 800));
    confirmSettings(window);
    usersOwn();
    EXPECT_EQ(Shutdown(), 0);

    DeletePolicyKeys(); // the user's own values again: no check at start, a request is asked about
    ASSERT_NE(Start(), nullptr);
    EXPECT_FALSE(AnswerQuestion(IDNO, 800));
    ::SetEvent(m_autoUpdate.Get());
    EXPECT_TRUE(AnswerQuestion(IDNO, 8000));
    EXPECT_EQ(Shutdown(), 0);
    usersOwn();
}

} // namespace
