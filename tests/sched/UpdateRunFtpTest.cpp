// The outcomes of "&Update Now" against a real FTP server: one box for each failure and for the
// news that nothing is new, none for a successful run.
#include "BoxScript.h"
#include "FrameTest.h"
#include "support/FtpTestServer.h"
#include "support/TestEnv.h"

namespace {

const char kPackage[] = "240105-update.exe";

class FtpRunTest : public FrameTest {
  protected:
    void SetUp() override {
        FrameTest::SetUp();
        ASSERT_TRUE(m_ftp.Available()) << "no FTP server fixture";
        m_ftp.Clear();
        m_browserDir = std::make_unique<pmtest::TempDir>("sched-browser");
        App().SetRegistryKey("Corvalis");
        App().m_server = m_ftp.Address();
        App().m_pathToFile = "/";
        App().m_passiveFTP = 1;
        App().m_browserDir = m_browserDir->Path();
        App().m_lastDownloadFile.clear();
        m_probeStarted.Reset(::CreateEventA(nullptr, TRUE, FALSE, "PmSchedProbeStarted"));
        m_probeSawProgress.Reset(::CreateEventA(nullptr, TRUE, FALSE, "PmSchedProbeSawProgress"));
        ::ResetEvent(m_probeStarted.Get());
        ::ResetEvent(m_probeSawProgress.Get());
        CreateFrame();
    }
    void TearDown() override {
        FrameTest::TearDown();
        m_ftp.Clear();
        pmtest::DeleteCorvalisKeys();
        m_browserDir.reset();
    }
    std::string DownloadPath(const char* name) const {
        return m_browserDir->Path() + "\\Pendlemark\\" + name;
    }

    // Runs "&Update Now" and answers the one box it may show; what that box said.
    pmtest::MessageBoxSeen Run() {
        bool progressDuring = false;
        int boxesDuring = 0;
        BoxScript box(
            "Corvalis Wayrail", IDOK,
            [&](HWND) {
                progressDuring = ::FindWindowA(nullptr, "Updating Corvalis...") != nullptr;
                boxesDuring = CountBoxes("Corvalis Wayrail");
            },
            30000);
        SendUpdateNow();
        pmtest::MessageBoxSeen seen = box.Stop();
        EXPECT_FALSE(progressDuring);
        if (seen.shown) {
            EXPECT_EQ(boxesDuring, 1);
        }
        EXPECT_EQ(WaitForBox("Corvalis Wayrail", 300), nullptr); // one box at most
        EXPECT_EQ(::FindWindowA(nullptr, "Updating Corvalis..."), nullptr);
        EXPECT_TRUE(Signalled(m_done));
        EXPECT_FALSE(Signalled(m_running));
        return seen;
    }

    pmtest::FtpTestServer m_ftp{"sched", 40};
    std::unique_ptr<pmtest::TempDir> m_browserDir;
    CHandle m_probeStarted;
    CHandle m_probeSawProgress;
};

TEST_F(FtpRunTest, NoServerSaysSo) {
    App().m_server = m_ftp.Address().substr(0, m_ftp.Address().rfind('.')) + ".249"; // nothing listens
    pmtest::MessageBoxSeen seen = Run();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, "Unable to establish connection to the Internet");
    EXPECT_EQ(seen.owner, nullptr);
    EXPECT_TRUE(seen.topMost);
}

TEST_F(FtpRunTest, NothingOnTheServerSaysNoUpdateAvailable) {
    pmtest::MessageBoxSeen seen = Run();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, "No Update Available.");
}

TEST_F(FtpRunTest, NewestAlreadyInstalledSaysNothingNewAndDownloadsNothing) {
    ASSERT_TRUE(m_ftp.ServeCopy(kPackage, pmtest::BuiltProgram("sched_probe.exe")));
    App().m_lastDownloadFile = DownloadPath(kPackage);
    pmtest::MessageBoxSeen seen = Run();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, "There are no new updates available for download.");
    EXPECT_FALSE(pmtest::FileExists(DownloadPath(kPackage)));
    EXPECT_NE(::WaitForSingleObject(m_probeStarted.Get(), 0), WAIT_OBJECT_0);
}

TEST_F(FtpRunTest, SuccessfulRunShowsNoBoxAndClosesTheProgressWindowBeforeThePackageStarts) {
    ASSERT_TRUE(m_ftp.ServeCopy(kPackage, pmtest::BuiltProgram("sched_probe.exe")));
    pmtest::MessageBoxSeen seen = Run();
    EXPECT_FALSE(seen.shown) << seen.text;
    EXPECT_EQ(::WaitForSingleObject(m_probeStarted.Get(), 0), WAIT_OBJECT_0);
    EXPECT_NE(::WaitForSingleObject(m_probeSawProgress.Get(), 0), WAIT_OBJECT_0);
    EXPECT_FALSE(pmtest::FileExists(DownloadPath(kPackage)));
    EXPECT_EQ(App().m_lastDownloadFile, DownloadPath(kPackage));
    EXPECT_EQ(pmtest::RegString(pmtest::kParamsKey, "LastDownloadFile"), DownloadPath(kPackage));
}

TEST_F(FtpRunTest, EmptyBrowserDirectoryNeverReachesTheServer) {
    ASSERT_TRUE(m_ftp.ServeCopy(kPackage, pmtest::BuiltProgram("sched_probe.exe")));
    App().m_browserDir.clear();
    pmtest::MessageBoxSeen seen = Run();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, "");
    EXPECT_TRUE(m_ftp.Logins().empty());
    EXPECT_NE(::WaitForSingleObject(m_probeStarted.Get(), 0), WAIT_OBJECT_0);
}

} // namespace
