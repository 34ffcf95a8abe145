// "&Update Now" in the test program's own main window: the outcome of each run against a real FTP
// server, the events, the command gate while a run is in progress, and a close during a run.
#include "CommandSpy.h"
#include "support/FrameTest.h"
#include "support/FtpTestServer.h"
#include "support/TestEnv.h"
#include "support/TrustPackages.h"
#include "system/UpdateLog.h"

using namespace pmtest;

namespace {

const char kPackage[] = "240105-update.exe";
const char kCaption[] = "Corvalis Wayrail";
const char kProgressCaption[] = "Updating Corvalis...";

class UpdateRunTest : public FrameTest {
  protected:
    void SetUp() override {
        FrameTest::SetUp();
        ASSERT_TRUE(m_ftp.Available()) << "no FTP server fixture";
        m_ftp.Clear();
        App().SetRegistryKey("Corvalis");
        App().m_server = m_ftp.Address();
        m_probeStarted.Reset(OpenOrCreateEvent("PmSchedProbeStarted"));
        m_probeSawProgress.Reset(OpenOrCreateEvent("PmSchedProbeSawProgress"));
        ::ResetEvent(m_probeStarted.Get());
        ::ResetEvent(m_probeSawProgress.Get());
    }
    void TearDown() override {
        FrameTest::TearDown();
        m_ftp.Clear();
        DeleteCorvalisKeys();
    }

    FtpTestServer m_ftp{"sched", 40};
    TempDir m_browserDir{"sched-browser"};
    CHandle m_probeStarted;
    CHandle m_probeSawProgress;
};

TEST_F(UpdateRunTest, EachOutcomeShowsOneTopMostBoxWithItsTextAndSuccessNone) {
    // A run asked for directly does not depend on the scheduler's settings.
    App().m_enableAutoUpdate = 0;
    App().m_askForConfirmation = 1;
    CreateFrame();
    const std::string downloaded = m_browserDir.Path() + "\\Pendlemark\\" + kPackage;
    const std::string nobody = m_ftp.Address().substr(0, m_ftp.Address().rfind('.')) + ".249";
    const struct {
        const char* what;
        bool hasBrowserDir;
        const std::string& server;
        bool served;
        bool installedBefore;
        const char* text; // null: no box
        bool pinned = false;
        bool logBlocked = false; // a folder where the log would be: it cannot be written
        bool signedIn = false;   // as the server's user, whose password no line may hold
    } cases[] = {
        {"empty browser directory", false, m_ftp.Address(), true, false, ""},
        {"no server", true, nobody, true, false, "Unable to establish connection to the Internet"},
        {"nothing on the server", true, m_ftp.Address(), false, false, "No Update Available."},
        {"newest already installed", true, m_ftp.Address(), true, true,
         "There are no new updates available for download."},
        {"unsigned package while a publisher is pinned", true, m_ftp.Address(), true, false,
         "The update file is not signed by a trusted publisher.", true},
        {"new package, with a log that cannot be written", true, m_ftp.Address(), true, false, nullptr, false,
         true},
        {"new package, signed in", true, m_ftp.Address(), true, false, nullptr, false, false, true},
        {"new package", true, m_ftp.Address(), true, false, nullptr},
    };
    const std::string logFolder = CUpdateLog::Folder();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_ftp.Clear();
        if (c.served) {
            ASSERT_TRUE(m_ftp.ServeCopy(kPackage, BuiltProgram("sched_probe.exe")));
        }
        App().m_browserDir = c.hasBrowserDir ? m_browserDir.Path() : "";
        App().m_server = c.server;
        App().m_lastDownloadFile = c.installedBefore ? downloaded : "";
        App().m_user = c.signedIn ? "pmuser" : "";
        App().m_pass = c.signedIn ? "pmsecret" : "";
        SetUserPin(c.pinned ? PublisherThumbprint("a").c_str() : nullptr);
        RemoveUpdateLog();
        ::RemoveDirectoryA(CUpdateLog::FilePath().c_str());
        if (c.logBlocked) {
            ::CreateDirectoryA(logFolder.substr(0, logFolder.rfind('\\', logFolder.size() - 2)).c_str(),
                               nullptr);
            ::CreateDirectoryA(logFolder.c_str(), nullptr);
            ASSERT_TRUE(::CreateDirectoryA(CUpdateLog::FilePath().c_str(), nullptr));
        }
        ::ResetEvent(m_done.Get());
        bool runningDuring = false;
        bool doneDuring = true;
        bool progressDuring = true;
        int boxesDuring = 0;
        MessageBoxWatcher box(kCaption, IDOK, 30000, [&](HWND) {
            runningDuring = Signalled(m_running);
            doneDuring = Signalled(m_done);
            progressDuring = ::FindWindowA(nullptr, kProgressCaption) != nullptr;
            boxesDuring = CountBoxes(kCaption);
        });
        SendUpdateNow();
        MessageBoxSeen seen = box.Stop();
        EXPECT_EQ(WaitForBox(kCaption, 300), nullptr); // nothing follows
        EXPECT_EQ(::FindWindowA(nullptr, kProgressCaption), nullptr);
        EXPECT_TRUE(Signalled(m_done));
        EXPECT_FALSE(Signalled(m_running));
        EXPECT_EQ(Signalled(m_probeStarted), c.text == nullptr);
        // The run's lines: who started it, where it went, what came of it, with the text of its box.
        const std::vector<std::string> log = UpdateLogLines();
        for (const std::string& line : log)
            EXPECT_EQ(line.find("pmsecret"), std::string::npos) << line;
        if (c.signedIn) {
            EXPECT_EQ(m_ftp.Logins(), std::vector<std::string>{"pmuser\tpmsecret"});
        }
        if (c.logBlocked) {
            EXPECT_TRUE(log.empty());
        } else if (log.size() < 2) {
            ADD_FAILURE() << "the run left " << log.size() << " lines in the log";
        } else {
            EXPECT_NE(log.front().find(" run 1: started by the user"), std::string::npos) << log.front();
            const std::string end = c.text ? (*c.text ? c.text : "(a box without text)") : "installed";
            EXPECT_NE(log.back().find(" run 1: ended after "), std::string::npos) << log.back();
            EXPECT_EQ(log.back().substr(log.back().size() - end.size()), end) << log.back();
            EXPECT_EQ(log[1].find(" run 1: channel FTP, server " + c.server + ", folder " +
                                  App().m_pathToFile) != std::string::npos,
                      c.hasBrowserDir)
                << log[1];
        }
        if (!c.text) {
            EXPECT_FALSE(seen.shown) << seen.text;
            if (!c.logBlocked && log.size() > 4) {
                EXPECT_NE(log[2].find("package chosen: 240105-update.exe"), std::string::npos) << log[2];
                EXPECT_NE(log[4].find("ran and ended with exit code"), std::string::npos) << log[4];
            }
            continue;
        }
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(seen.text, c.text);
        EXPECT_EQ(seen.owner, nullptr);
        EXPECT_TRUE(seen.topMost);
        EXPECT_EQ(seen.defaultButton, IDOK);
        EXPECT_EQ(boxesDuring, 1);
        EXPECT_TRUE(runningDuring);
        EXPECT_FALSE(doneDuring);
        EXPECT_FALSE(progressDuring);
        EXPECT_FALSE(FileExists(downloaded));
        EXPECT_FALSE(RegValueExists(kParamsKey, "LastDownloadFile"));
        if (!c.hasBrowserDir) {
            EXPECT_TRUE(m_ftp.Logins().empty());
        }
    }
    ::RemoveDirectoryA(CUpdateLog::FilePath().c_str());
    // The new package started after the progress window had gone, and was deleted and recorded.
    EXPECT_FALSE(Signalled(m_probeSawProgress));
    EXPECT_FALSE(FileExists(downloaded));
    EXPECT_EQ(App().m_lastDownloadFile, downloaded);
    EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), downloaded);
}

TEST_F(UpdateRunTest, WhileARunIsInProgressUpdateNowAndRunCorvalisAreDropped) {
    TempDir launcherDir("sched-launcher");
    ASSERT_TRUE(
        ::CopyFileA(BuiltProgram("sched_probe.exe").c_str(), launcherDir.File("cvl.exe").c_str(), FALSE));
    App().m_launcherDir = launcherDir.Path();
    CreateFrame();
    // A run in another process (CVLUpdateRunning signalled there) keeps "&Update Now" from starting.
    ::SetEvent(m_running.Get());
    SendUpdateNow();
    EXPECT_EQ(WaitForBox(kCaption, 300), nullptr);
    ::ResetEvent(m_running.Get());

    CommandSpy spy(m_hwnd, true);
    ::SetEvent(m_done.Get());
    int boxesDuring = 0;
    bool schedulerResetDone = false;
    bool launcherStartedDuring = true;
    MessageBoxWatcher box(kCaption, IDOK, 30000, [&](HWND) {
        // Another sender, the scheduler (a request with no question) and "Run Corvalis".
        DWORD_PTR result;
        ::SendMessageTimeoutA(m_hwnd, WM_COMMAND, ID_UPDATE_NOW, 0, SMTO_NORMAL, 5000, &result);
        ::SetEvent(m_autoUpdate.Get());
        WaitUntil([&] { return spy.m_updateNow == 3; }, 5000);
        schedulerResetDone = !Signalled(m_done);
        ::SendMessageTimeoutA(m_hwnd, WM_COMMAND, ID_RUN_LAUNCHER, 0, SMTO_NORMAL, 5000, &result);
        launcherStartedDuring = ::WaitForSingleObject(m_probeStarted.Get(), 500) == WAIT_OBJECT_0;
        boxesDuring = CountBoxes(kCaption);
    });
    SendUpdateNow();
    ASSERT_TRUE(box.Wait().shown);
    EXPECT_EQ(spy.m_updateNow, 3);
    EXPECT_EQ(spy.m_runLauncher, 1);
    EXPECT_EQ(boxesDuring, 1);
    EXPECT_TRUE(schedulerResetDone);
    EXPECT_FALSE(launcherStartedDuring);
    // Dropped, not queued: nothing follows the run.
    EXPECT_EQ(WaitForBox(kCaption, 500), nullptr);
    EXPECT_TRUE(Signalled(m_done));
    EXPECT_FALSE(Signalled(m_running));

    // After the run the same command starts the launcher.
    ::SendMessageA(m_hwnd, WM_COMMAND, ID_RUN_LAUNCHER, 0);
    EXPECT_EQ(::WaitForSingleObject(m_probeStarted.Get(), 10000), WAIT_OBJECT_0);
}

TEST_F(UpdateRunTest, ACloseDuringARunIsCarriedOutRightAfterIt) {
    const struct {
        const char* what;
        bool scheduled;
        bool byShutdown;
    } cases[] = {
        {"E&xit during a run from the menu", false, false},
        {"CVLShutdown during a run from the menu", false, true},
        {"E&xit during a scheduled run", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CreateFrame();
        SchedulerThread();
        CommandSpy spy(m_hwnd, true);
        int closesDuring = 0;
        bool aliveAfterClose = false;
        bool runningAfterClose = false;
        MessageBoxWatcher box(kCaption, IDOK, 30000, [&](HWND) {
            DWORD_PTR result;
            if (c.byShutdown)
                ::SetEvent(m_shutdown.Get());
            else
                ::SendMessageTimeoutA(m_hwnd, WM_COMMAND, ID_TRAY_EXIT, 0, SMTO_NORMAL, 5000, &result);
            // The close reaches the window (CVLShutdown's through the box's message loop) and waits.
            WaitUntil([&] { return spy.m_close == 1; }, 3000);
            closesDuring = spy.m_close;
            aliveAfterClose = ::IsWindow(m_hwnd) != FALSE;
            runningAfterClose = Signalled(m_running);
        });
        if (c.scheduled)
            ::SetEvent(m_autoUpdate.Get());
        else
            SendUpdateNow();
        ASSERT_TRUE(WaitUntil([&] { return box.Finished(); }, 15000));
        ASSERT_TRUE(box.Wait().shown);
        DWORD answered = ::GetTickCount();
        EXPECT_EQ(closesDuring, 1);
        EXPECT_TRUE(aliveAfterClose);
        EXPECT_TRUE(runningAfterClose);
        // Carried out once the run has ended, and the scheduler, released first, never stalls it.
        ASSERT_TRUE(WaitUntil([&] { return !FrameAlive(); }, 5000));
        EXPECT_LT(::GetTickCount() - answered, 1500u);
        EXPECT_TRUE(WaitUntil([&] { return Signalled(m_thread); }, 1000));
        EXPECT_TRUE(Signalled(m_done));
        EXPECT_FALSE(Signalled(m_running));
        ResetEvents();
    }
}

} // namespace
