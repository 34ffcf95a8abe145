// "&Update Now" in the test program's own main window: the outcomes that need no FTP server, the
// events, and the command gate while a run is in progress.
#include "BoxScript.h"
#include "CommandSpy.h"
#include "FrameTest.h"
#include "support/TestEnv.h"
#include "res/resource.h"

namespace {

class UpdateRunTest : public FrameTest {};

TEST_F(UpdateRunTest, EmptyBrowserDirectoryShowsOneEmptyBoxAndKeepsTheEvents) {
    // A run asked for directly does not depend on the scheduler's settings.
    App().m_enableAutoUpdate = 0;
    App().m_askForConfirmation = 1;
    CreateFrame();
    bool runningDuring = false;
    bool doneDuring = true;
    bool progressDuring = true;
    BoxScript box("Corvalis Wayrail", IDOK, [&](HWND) {
        runningDuring = Signalled(m_running);
        doneDuring = Signalled(m_done);
        progressDuring = ::FindWindowA(nullptr, "Updating Corvalis...") != nullptr;
    });
    SendUpdateNow();
    pmtest::MessageBoxSeen seen = box.Wait();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, "");
    EXPECT_EQ(seen.owner, nullptr);
    EXPECT_TRUE(seen.topMost);
    EXPECT_EQ(seen.defaultButton, IDOK);
    EXPECT_TRUE(runningDuring);
    EXPECT_FALSE(doneDuring);
    EXPECT_FALSE(progressDuring);
    EXPECT_FALSE(Signalled(m_running));
    EXPECT_TRUE(Signalled(m_done));
    EXPECT_EQ(WaitForBox("Corvalis Wayrail", 300), nullptr);
}

TEST_F(UpdateRunTest, WhileARunIsInProgressUpdateNowAndRunCorvalisAreDropped) {
    pmtest::TempDir launcherDir("sched-launcher");
    ASSERT_TRUE(::CopyFileA(pmtest::BuiltProgram("sched_probe.exe").c_str(),
                            launcherDir.File("cvl.exe").c_str(), FALSE));
    App().m_launcherDir = launcherDir.Path();
    CHandle probeStarted(::CreateEventA(nullptr, TRUE, FALSE, "PmSchedProbeStarted"));
    ::ResetEvent(probeStarted.Get());
    CreateFrame();
    CommandSpy spy(m_hwnd, true);

    ::SetEvent(m_done.Get());
    int boxesDuring = 0;
    bool schedulerResetDone = false;
    bool launcherStartedDuring = true;
    BoxScript box("Corvalis Wayrail", IDOK, [&](HWND) {
        // Another sender, the scheduler (a request with no question) and "Run Corvalis".
        DWORD_PTR result;
        ::SendMessageTimeoutA(m_hwnd, WM_COMMAND, ID_UPDATE_NOW, 0, SMTO_NORMAL, 5000, &result);
        ::SetEvent(m_autoUpdate.Get());
        pmtest::WaitUntil([&] { return spy.m_updateNow == 3; }, 5000);
        schedulerResetDone = !Signalled(m_done);
        ::SendMessageTimeoutA(m_hwnd, WM_COMMAND, ID_RUN_LAUNCHER, 0, SMTO_NORMAL, 5000, &result);
        launcherStartedDuring = ::WaitForSingleObject(probeStarted.Get(), 500) == WAIT_OBJECT_0;
        boxesDuring = CountBoxes("Corvalis Wayrail");
    });
    SendUpdateNow();
    ASSERT_TRUE(box.Wait().shown);
    EXPECT_EQ(spy.m_updateNow, 3);
    EXPECT_EQ(spy.m_runLauncher, 1);
    EXPECT_EQ(boxesDuring, 1);
    EXPECT_TRUE(schedulerResetDone);
    EXPECT_FALSE(launcherStartedDuring);
    // Dropped, not queued: nothing follows the run.
    EXPECT_EQ(WaitForBox("Corvalis Wayrail", 500), nullptr);
    EXPECT_TRUE(Signalled(m_done));
    EXPECT_FALSE(Signalled(m_running));

    // After the run the same command starts the launcher.
    ::SendMessageA(m_hwnd, WM_COMMAND, ID_RUN_LAUNCHER, 0);
    EXPECT_EQ(::WaitForSingleObject(probeStarted.Get(), 10000), WAIT_OBJECT_0);
}

TEST_F(UpdateRunTest, CVLUpdateRunningSignalledElsewhereKeepsUpdateNowDisabled) {
    CreateFrame();
    ::SetEvent(m_running.Get());
    SendUpdateNow();
    EXPECT_EQ(WaitForBox("Corvalis Wayrail", 300), nullptr);
    ::ResetEvent(m_running.Get());
    BoxScript box("Corvalis Wayrail", IDOK);
    SendUpdateNow();
    EXPECT_TRUE(box.Wait().shown);
}

} // namespace
