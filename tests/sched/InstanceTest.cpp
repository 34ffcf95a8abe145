// The resident program in its own process, driven from this one through the named events, its
// window and its message boxes.
#include "BoxScript.h"
#include "support/TestEnv.h"
#include "support/UiDriver.h"
#include "framework/Handles.h"
#include "res/resource.h"

#include <gtest/gtest.h>

namespace {

bool IsSet(const CHandle& event) {
    return ::WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
}

class InstanceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pmtest::ResetProgramState();
        pmtest::DeleteCorvalisKeys();
        m_launcherDir = std::make_unique<pmtest::TempDir>("sched-inst");
        pmtest::WriteCvlIni(nullptr, m_launcherDir->Path().c_str()); // no browser directory
        m_autoUpdate.Reset(::CreateEventA(nullptr, TRUE, FALSE, "CVLAutoUpdate"));
        m_done.Reset(::CreateEventA(nullptr, TRUE, FALSE, "CVLAutoUpdateDone"));
        m_running.Reset(::CreateEventA(nullptr, TRUE, FALSE, "CVLUpdateRunning"));
        m_shutdown.Reset(::CreateEventA(nullptr, TRUE, FALSE, "CVLShutdown"));
        ResetEvents();
        Settings(1, 1, 1);
    }
    void TearDown() override {
        pmtest::ResetProgramState();
        m_process = pmtest::Process();
        ResetEvents();
        pmtest::DeleteCorvalisKeys();
        pmtest::RemoveCvlIni();
        m_launcherDir.reset();
    }
    void ResetEvents() {
        for (CHandle* event : {&m_autoUpdate, &m_done, &m_running, &m_shutdown})
            ::ResetEvent(event->Get());
    }
    static void Settings(DWORD updateChoice, DWORD enable, DWORD ask) {
        pmtest::SetRegDword(pmtest::kParamsKey, "UpdateChoice", updateChoice);
        pmtest::SetRegDword(pmtest::kParamsKey, "EnableAutoUpdate", enable);
        pmtest::SetRegDword(pmtest::kParamsKey, "AskForConfirmation", ask);
        pmtest::SetRegDword(pmtest::kParamsKey, "UpdateInterval", 7);
    }
    HWND Start(const std::string& arguments = "") {
        m_process = pmtest::Process::Start("\"" + pmtest::BuiltProgram("Pendlemark.exe") + "\" " + arguments);
        EXPECT_TRUE(m_process.Handle());
        return pmtest::FindMainWindow();
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
        HWND box = WaitForBox("Corvalis", timeoutMs);
        if (!box)
            return false;
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
        return pmtest::WaitForWindowGone(box, 5000);
    }

    std::unique_ptr<pmtest::TempDir> m_launcherDir;
    pmtest::Process m_process;
    CHandle m_autoUpdate;
    CHandle m_done;
    CHandle m_running;
    CHandle m_shutdown;
};

TEST_F(InstanceTest, ShutdownSignalledByAnotherProcessClosesTheInstance) {
    ASSERT_NE(Start(), nullptr);
    EXPECT_TRUE(m_process.Running());
    EXPECT_EQ(Shutdown(), 0);
    EXPECT_EQ(::FindWindowA(nullptr, "Pendlemark"), nullptr);
}

TEST_F(InstanceTest, ShutdownAlreadySignalledClosesTheInstanceRightAfterStartUp) {
    ::SetEvent(m_shutdown.Get());
    m_process = pmtest::Process::Start("\"" + pmtest::BuiltProgram("Pendlemark.exe") + "\"");
    EXPECT_EQ(m_process.Wait(8000), 0);
    EXPECT_TRUE(IsSet(m_shutdown)); // left for whoever signalled it
}

struct StartupCase {
    DWORD updateChoice;
    DWORD enable;
    const char* arguments;
    bool checks;
};

TEST_F(InstanceTest, StartUpCheckFollowsTheChoiceAndTheSwitches) {
    const StartupCase cases[] = {
        {0, 1, "", true},                                     // "Always Check on Startup"
        {0, 1, "/NoUpdateOnStartup", false},                  // the switch wins
        {1, 1, "", false},                                    // every so many days only
        {1, 1, "-updateonstartup", true},                     // the switch, any case
        {1, 1, "/UpdateOnStartup /NoUpdateOnStartup", false}, // "No" wins over it
        {0, 0, "", false},                                    // automatic updates off
        {1, 0, "/UpdateOnStartup", false},                    // asked for, but updates are off
    };
    for (const StartupCase& c : cases) {
        SCOPED_TRACE(std::string("UpdateChoice ") + std::to_string(c.updateChoice) + " EnableAutoUpdate " +
                     std::to_string(c.enable) + " '" + c.arguments + "'");
        Settings(c.updateChoice, c.enable, 1);
        ResetEvents();
        ASSERT_NE(Start(c.arguments), nullptr);
        if (c.checks) {
            // The question, as for any automatic update; No counts as done.
            EXPECT_TRUE(AnswerQuestion(IDNO, 8000));
            EXPECT_TRUE(pmtest::WaitUntil([&] { return IsSet(m_done); }, 3000));
        } else {
            EXPECT_FALSE(AnswerQuestion(IDNO, 800));
            EXPECT_FALSE(IsSet(m_done));
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
    // From the menu (a posted command) and from the scheduler (a request of this process).
    for (bool fromScheduler : {false, true}) {
        SCOPED_TRACE(fromScheduler ? "scheduler" : "menu");
        if (fromScheduler)
            ::SetEvent(m_autoUpdate.Get());
        else
            ::PostMessageA(window, WM_COMMAND, ID_UPDATE_NOW, 0);
        HWND box = WaitForBox("Corvalis Wayrail", 8000);
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(IsSet(m_running));
        EXPECT_FALSE(IsSet(m_done));
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(pmtest::WaitUntil([&] { return IsSet(m_done); }, 5000));
        EXPECT_FALSE(IsSet(m_running));
        ::ResetEvent(m_done.Get());
    }
    EXPECT_EQ(Shutdown(), 0);
}

} // namespace
