// The resident program in its own process, driven from this one through the named events, its
// window and its message boxes.
#include "support/FrameTest.h"
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

} // namespace
