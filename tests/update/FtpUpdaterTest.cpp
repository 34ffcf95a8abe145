// The FTP updater against real pyftpdlib servers: search, download, install and every failure text.
#include "app/UpdaterApp.h"
#include "support/FtpTestServer.h"
#include "support/TestEnv.h"
#include "support/UiDriver.h"
#include "update/FtpUpdater.h"
#include "update/TransferProgressDlg.h"
#include "update/TransferStatusCallback.h"

#include <gtest/gtest.h>

#include <ctime>
#include <memory>

using pmtest::FtpTestServer;

namespace {

const char kNoUpdate[] = "No Update Available.";
const char kNoConnection[] = "Unable to establish connection to the Internet";
const char kRetrieveFailed[] = "Error retrieving update file.";
const char kInstallFailed[] = "Error installing update.";

FtpTestServer& MainServer() {
    static FtpTestServer server("main", 2);
    return server;
}

FtpTestServer& CutServer() {
    static FtpTestServer server("cut", 3);
    return server;
}

std::string Upper(std::string text) {
    ::CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// Refuses, on this thread, the creation of every dialog window while it lives.
class DialogCreationRefused {
  public:
    DialogCreationRefused() : m_hook(::SetWindowsHookExA(WH_CBT, &Refuse, nullptr, ::GetCurrentThreadId())) {}
    ~DialogCreationRefused() { ::UnhookWindowsHookEx(m_hook); }

  private:
    static LRESULT CALLBACK Refuse(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) {
            auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
            if (create->lpcs->lpszClass == MAKEINTATOM(32770))
                return 1;
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK m_hook;
};

class FtpUpdaterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(MainServer().Available()) << "the update_ftp fixture did not start (PM_FTP_STATE)";
        m_app = GetUpdaterApp();
        m_savedRegistryKey = m_app->m_pszRegistryKey;
        m_savedBrowserDir = m_app->m_browserDir;
        m_savedLastDownload = m_app->m_lastDownloadFile;
        m_savedLastUpdateTime = m_app->m_lastUpdateTime;
        m_app->SetRegistryKey("Corvalis");
        pmtest::DeleteCorvalisKeys();
        m_browser = std::make_unique<pmtest::TempDir>("browser");
        m_app->m_browserDir = m_browser->Path();
        m_app->m_lastDownloadFile.clear();
        m_app->m_lastUpdateTime = 0;
        MainServer().Clear();
        CutServer().Clear();
    }

    void TearDown() override {
        MainServer().Clear();
        CutServer().Clear();
        pmtest::DeleteCorvalisKeys();
        m_app->m_pszRegistryKey = m_savedRegistryKey;
        m_app->m_browserDir = m_savedBrowserDir;
        m_app->m_lastDownloadFile = m_savedLastDownload;
        m_app->m_lastUpdateTime = m_savedLastUpdateTime;
        m_browser.reset();
    }

    static std::unique_ptr<CFtpUpdater> Updater(const FtpTestServer& server = MainServer(),
                                                const char* user = "", const char* password = "",
                                                const char* folder = "/", int passive = 1) {
        return std::make_unique<CFtpUpdater>(server.Address(), user, password, folder, passive);
    }

    // Connect and install, as the update run does without its window.
    static BOOL Install(CFtpUpdater& updater) {
        return updater.Connect() && updater.InstallNewestPackage("");
    }

    static bool ServePackage(const std::string& name, const FtpTestServer& server = MainServer()) {
        return server.ServeCopy(name, pmtest::BuiltProgram("pm_test_package.exe"));
    }

    std::string DownloadFolder() const { return m_browser->Path() + "\\Pendlemark"; }
    std::string Downloaded(const std::string& name) const { return DownloadFolder() + "\\" + name; }
    // The command line a test package recorded when it ran, or "" when it never ran.
    std::string RunRecord(const std::string& name) const {
        return pmtest::ReadFileText(Downloaded(name) + ".cmdline");
    }
    bool NothingRecorded() const {
        return m_app->m_lastDownloadFile.empty() &&
               !pmtest::RegValueExists(pmtest::kParamsKey, "LastDownloadFile") &&
               !pmtest::RegValueExists(pmtest::kParamsKey, "LastUpdateTime");
    }
    int FilesInDownloadFolder() const {
        int count = 0;
        WIN32_FIND_DATAA data;
        HANDLE find = ::FindFirstFileA((DownloadFolder() + "\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return 0;
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ++count;
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
        return count;
    }

    CUpdaterApp* m_app = nullptr;
    std::unique_ptr<pmtest::TempDir> m_browser;

  private:
    CString m_savedRegistryKey;
    CString m_savedBrowserDir;
    CString m_savedLastDownload;
    int m_savedLastUpdateTime = 0;
};

TEST_F(FtpUpdaterTest, NothingUsableListedMeansNoUpdateAvailable) {
    struct Scenario {
        const char* what;
        void (*prepare)(const FtpTestServer&);
    };
    const Scenario scenarios[] = {
        {"empty folder", [](const FtpTestServer&) {}},
        {"refused listing",
         [](const FtpTestServer& s) {
             ServePackage("050601-update.exe");
             s.RefuseListing();
         }},
        {"directories only",
         [](const FtpTestServer& s) {
             ::CreateDirectoryA((s.Root() + "\\050601-update.exe").c_str(), nullptr);
             s.SetListing({"050601-update.exe", "050701-update.exe\t4096\td"});
         }},
        {"undated names",
         [](const FtpTestServer&) {
             ServePackage("update-update.exe");
             ServePackage("0506-update.exe");
             ServePackage("5-update.exe");
         }},
        {"unsafe names",
         [](const FtpTestServer& s) {
             s.SetListing({"050601\\..\\..\\x-update.exe\t100", "050601/x-update.exe\t100",
                           "050601:x-update.exe\t100", "050601:\t100"});
         }},
        {"no calendar dates",
         [](const FtpTestServer&) {
             ServePackage("051301-update.exe");
             ServePackage("050132-update.exe");
             ServePackage("050230-update.exe");
             ServePackage("050000-update.exe");
         }},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.what);
        MainServer().Clear();
        scenario.prepare(MainServer());
        auto updater = Updater();
        ASSERT_TRUE(updater->Connect());
        EXPECT_FALSE(updater->InstallNewestPackage(""));
        EXPECT_EQ(updater->m_errorText, kNoUpdate);
        EXPECT_EQ(FilesInDownloadFolder(), 0);
    }
    EXPECT_TRUE(NothingRecorded());
}

TEST_F(FtpUpdaterTest, SkippedNamesDoNotHideAnOlderPackage) {
    ASSERT_TRUE(ServePackage("050101-update.exe"));
    ASSERT_TRUE(ServePackage("050230-update.exe"));
    MainServer().SetListing({"051201\\..\\..\\x-update.exe\t100", "051101:x-update.exe\t100",
                             "050230-update.exe", "050101-update.exe"});
    auto updater = Updater();
    ASSERT_TRUE(Install(*updater)) << updater->m_errorText;
    EXPECT_NE(RunRecord("050101-update.exe"), "");
    EXPECT_EQ(RunRecord("050230-update.exe"), "");
    // Nothing but the download folder was written under the browser directory.
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((m_browser->Path() + "\\*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int entries = 0;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..") {
            ++entries;
            EXPECT_EQ(name, "Pendlemark");
        }
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    EXPECT_EQ(entries, 1);
}

TEST_F(FtpUpdaterTest, TheLatestDateWinsAndTheFirstListedAmongEquals) {
    struct Case {
        std::vector<std::string> listing;
        std::string expected;
    };
    const Case cases[] = {
        {{"050601-update.exe", "050301-update.exe", "050901-update.exe"}, "050901-update.exe"},
        {{"060601-b-update.exe", "060601-a-update.exe", "060301-update.exe"}, "060601-b-update.exe"},
        {{"000101-update.exe", "991231-update.exe", "981231-update.exe"}, "991231-update.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        MainServer().Clear();
        for (const std::string& name : c.listing)
            ASSERT_TRUE(ServePackage(name));
        MainServer().SetListing(c.listing);
        auto updater = Updater();
        ASSERT_TRUE(Install(*updater)) << updater->m_errorText;
        for (const std::string& name : c.listing)
            EXPECT_EQ(RunRecord(name) != "", name == c.expected) << name;
        EXPECT_EQ(m_app->m_lastDownloadFile, Downloaded(c.expected));
    }
}

TEST_F(FtpUpdaterTest, PackageDatesAreTwoDigitYearsOfThisCentury) {
    CFtpUpdater updater("", "", "", "", 0);
    PackageDate date;
    ASSERT_TRUE(updater.ParsePackageDate("000101-update.exe", date));
    EXPECT_EQ(date.year, 2000);
    ASSERT_TRUE(updater.ParsePackageDate("990315-update.exe", date));
    EXPECT_EQ(date.year, 2099);
    EXPECT_EQ(date.month, 3);
    EXPECT_EQ(date.day, 15);
    EXPECT_TRUE(updater.ParsePackageDate("040229-update.exe", date)); // a leap day
    EXPECT_TRUE(updater.ParsePackageDate("000229-update.exe", date)); // 2000 was a leap year
    PackageDate untouched = date;
    for (const char* name :
         {"050229-update.exe", "051301-update.exe", "050431-update.exe", "0501-update.exe", ""}) {
        EXPECT_FALSE(updater.ParsePackageDate(name, date)) << name;
        EXPECT_EQ(date.year, untouched.year);
        EXPECT_EQ(date.month, untouched.month);
        EXPECT_EQ(date.day, untouched.day);
    }
}

TEST_F(FtpUpdaterTest, PackageInstalledLastTimeIsNotDownloadedAgain) {
    ASSERT_TRUE(ServePackage("050601-update.exe"));
    m_app->m_lastDownloadFile = Upper(Downloaded("050601-update.exe"));
    auto updater = Updater();
    ASSERT_TRUE(updater->Connect());
    EXPECT_FALSE(updater->InstallNewestPackage(""));
    EXPECT_EQ(updater->m_errorText, "There are no new updates available for download.");
    EXPECT_TRUE(pmtest::DirExists(DownloadFolder()));
    EXPECT_EQ(FilesInDownloadFolder(), 0);
    EXPECT_EQ(updater->m_bytesExpected, 0u); // no transfer was started
}

TEST_F(FtpUpdaterTest, ServerFolderChoice) {
    ASSERT_TRUE(ServePackage("050601-update.exe"));
    ::CreateDirectoryA((MainServer().Root() + "\\sub").c_str(), nullptr);
    ASSERT_TRUE(ServePackage("sub\\050701-update.exe"));

    // A folder the server refuses with a text: the search runs where the login put us.
    auto missing = Updater(MainServer(), "", "", "/missing/");
    ASSERT_TRUE(Install(*missing)) << missing->m_errorText;
    EXPECT_NE(RunRecord("050601-update.exe"), "");

    // Any other failure ends the search, with its code.
    auto refused = Updater(MainServer(), "", "", "/reply-426/");
    ASSERT_TRUE(refused->Connect());
    EXPECT_FALSE(refused->InstallNewestPackage(""));
    EXPECT_EQ(refused->m_errorText, "Unable to set PathToFile [12030].\n");

    // A folder argument replaces the stored one for the rest of the updater's life.
    ASSERT_TRUE(refused->InstallNewestPackage("/sub/")) << refused->m_errorText;
    EXPECT_EQ(refused->m_remoteFolder, "/sub/");
    EXPECT_NE(RunRecord("050701-update.exe"), "");
    EXPECT_FALSE(refused->InstallNewestPackage(""));
    EXPECT_EQ(refused->m_remoteFolder, "/sub/");
    EXPECT_EQ(refused->m_errorText, "There are no new updates available for download.");
}

TEST_F(FtpUpdaterTest, LoginsReachTheServerAsConfigured) {
    struct Case {
        const char* user;
        const char* password;
        const char* seenUser;
        const char* seenPassword; // null: whatever the platform's anonymous login sends
    };
    const Case cases[] = {
        {"", "", "anonymous", nullptr},
        {"pmuser", "pmsecret", "pmuser", "pmsecret"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.user) + "/" + c.password);
        MainServer().Clear();
        auto updater = Updater(MainServer(), c.user, c.password);
        ASSERT_TRUE(updater->Connect()) << updater->m_errorText;
        auto logins = MainServer().Logins();
        ASSERT_EQ(logins.size(), 1u);
        std::string user = logins[0].substr(0, logins[0].find('\t'));
        EXPECT_EQ(user, c.seenUser);
        if (c.seenPassword) {
            EXPECT_EQ(logins[0], std::string(c.user) + "\t" + c.seenPassword);
        }
        // Connected already: nothing new is opened.
        HINTERNET connection = updater->m_hConnection;
        EXPECT_TRUE(updater->Connect());
        EXPECT_EQ(updater->m_hConnection, connection);
        EXPECT_EQ(MainServer().Logins().size(), 1u);
    }

    // A password without a name is passed as it is; the platform refuses the pair before any login.
    MainServer().Clear();
    auto nameless = Updater(MainServer(), "", "pmsecret");
    EXPECT_FALSE(nameless->Connect());
    EXPECT_EQ(nameless->m_errorText, kNoConnection);
    EXPECT_NE(nameless->m_hInternet, nullptr);
    EXPECT_EQ(nameless->m_hConnection, nullptr);
    EXPECT_TRUE(MainServer().Logins().empty());

    auto refused = Updater(MainServer(), "pmuser", "wrong");
    EXPECT_FALSE(refused->Connect());
    EXPECT_EQ(refused->m_errorText, kNoConnection);
    EXPECT_EQ(refused->m_hConnection, nullptr);

    FtpTestServer nobody("nobody", 250);
    auto unreachable = Updater(nobody);
    EXPECT_FALSE(unreachable->Connect());
    EXPECT_EQ(unreachable->m_errorText, kNoConnection);
}

TEST_F(FtpUpdaterTest, PassiveAndActiveModeBothDownload) {
    for (int passive : {1, 0}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        std::string name = passive ? "050601-update.exe" : "050701-update.exe";
        MainServer().Clear();
        ASSERT_TRUE(ServePackage(name));
        auto updater = Updater(MainServer(), "pmuser", "pmsecret", "/", passive);
        ASSERT_TRUE(Install(*updater)) << updater->m_errorText;
        EXPECT_NE(RunRecord(name), "");
    }
}

TEST_F(FtpUpdaterTest, PackageThatEndsWithAFailureCodeCountsAsInstalled) {
    ASSERT_TRUE(ServePackage("050601-update.exe"));
    auto updater = Updater();
    time_t before = std::time(nullptr);
    ASSERT_TRUE(Install(*updater)) << updater->m_errorText;
    std::string path = Downloaded("050601-update.exe");
    EXPECT_EQ(updater->m_errorText, "");
    EXPECT_EQ(RunRecord("050601-update.exe"), "\"" + path + "\""); // its quoted path and nothing else
    EXPECT_FALSE(pmtest::FileExists(path));
    EXPECT_EQ(pmtest::RegString(pmtest::kParamsKey, "LastDownloadFile"), path);
    DWORD stored = pmtest::RegDword(pmtest::kParamsKey, "LastUpdateTime");
    EXPECT_GE(static_cast<time_t>(stored), before);
    EXPECT_LE(static_cast<time_t>(stored), std::time(nullptr));
    EXPECT_EQ(m_app->m_lastDownloadFile, path);
}

TEST_F(FtpUpdaterTest, PackageThatCannotStartStaysAndIsNotRecorded) {
    ASSERT_TRUE(MainServer().Serve("050601-update.exe", std::string(3000, 'x')));
    auto updater = Updater();
    EXPECT_FALSE(Install(*updater));
    EXPECT_EQ(updater->m_errorText, kInstallFailed);
    EXPECT_EQ(pmtest::FileSize(Downloaded("050601-update.exe")), 3000);
    EXPECT_TRUE(NothingRecorded());
}

TEST_F(FtpUpdaterTest, BrokenTransfersRunNothingAndRecordNothing) {
    // A browser directory that does not exist: only one folder level is created.
    {
        CString savedBrowser = m_app->m_browserDir;
        m_app->m_browserDir = m_browser->Path() + "\\missing";
        ASSERT_TRUE(ServePackage("050601-update.exe"));
        auto updater = Updater();
        EXPECT_FALSE(Install(*updater));
        EXPECT_EQ(updater->m_errorText, kRetrieveFailed);
        EXPECT_FALSE(pmtest::DirExists(m_app->m_browserDir));
        m_app->m_browserDir = savedBrowser;
    }
    // The server cuts the transfer mid-way.
    {
        ASSERT_TRUE(CutServer().Available());
        ASSERT_TRUE(ServePackage("050601-update.exe", CutServer()));
        ASSERT_GT(pmtest::FileSize(CutServer().Root() + "\\050601-update.exe"), 40000);
        auto updater = Updater(CutServer());
        EXPECT_FALSE(Install(*updater));
        EXPECT_EQ(updater->m_errorText, kRetrieveFailed);
    }
    // The transfer ends "successfully" short of the size the listing gave.
    {
        ASSERT_TRUE(ServePackage("050701-update.exe"));
        long long size = pmtest::FileSize(MainServer().Root() + "\\050701-update.exe");
        MainServer().SetListing({"050701-update.exe\t" + std::to_string(size + 1000)});
        auto updater = Updater();
        EXPECT_FALSE(Install(*updater));
        EXPECT_EQ(updater->m_errorText, kRetrieveFailed);
        EXPECT_EQ(updater->m_bytesExpected, static_cast<std::uint64_t>(size + 1000));
    }
    EXPECT_EQ(FilesInDownloadFolder(), 0);
    EXPECT_TRUE(NothingRecorded());
}

TEST_F(FtpUpdaterTest, OverlongLocalPathsFailBeforeDownloading) {
    ASSERT_TRUE(ServePackage("050601-update.exe"));
    const std::string tail = "\\Pendlemark\\050601-update.exe";
    struct Case {
        size_t pathLength;
        const char* text;
    };
    // 257 characters still fit the quoted command line; 258 and 259 do not; from 260 no path is built.
    const Case cases[] = {
        {258, kInstallFailed}, {259, kInstallFailed}, {260, kRetrieveFailed}, {300, kRetrieveFailed}};
    CString savedBrowser = m_app->m_browserDir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pathLength);
        std::string dir = m_browser->Path() + "\\";
        dir += std::string(c.pathLength - tail.size() - dir.size(), 'd');
        m_app->m_browserDir = dir;
        auto updater = Updater();
        EXPECT_FALSE(Install(*updater));
        EXPECT_EQ(updater->m_errorText, c.text);
        EXPECT_EQ(updater->m_bytesExpected, 0u); // refused before any transfer
    }
    m_app->m_browserDir = savedBrowser;
    EXPECT_TRUE(NothingRecorded());
}

TEST_F(FtpUpdaterTest, ProgressWindowAroundARealDownload) {
    ASSERT_TRUE(ServePackage("050601-update.exe"));
    auto updater = Updater();
    ASSERT_TRUE(updater->OpenProgressWindow(FALSE));
    HWND window = updater->m_progress->m_hWnd;
    updater->ShowStatus("Checking for internet connection...");
    EXPECT_EQ(pmtest::GetItemText(window, 1005), "Checking for internet connection...");
    EXPECT_TRUE(::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    ASSERT_TRUE(updater->Connect());
    updater->ShowStatus("Checking for updates...");
    ASSERT_TRUE(updater->InstallNewestPackage("")) << updater->m_errorText;
    // Closed before the package ran, and the callback is gone again.
    EXPECT_EQ(updater->m_progress, nullptr);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_NE(RunRecord("050601-update.exe"), "");
    EXPECT_EQ(::InternetSetStatusCallback(updater->m_hConnection, nullptr), nullptr);
    updater->CloseInternetHandles();
    updater->CloseProgressWindow();
}

TEST_F(FtpUpdaterTest, CancelRightAfterOpeningTheInternetHandle) {
    auto updater = Updater();
    ASSERT_TRUE(updater->OpenProgressWindow(TRUE));
    HWND window = updater->m_progress->m_hWnd;
    ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(updater->Connect());
    EXPECT_EQ(updater->m_errorText, kNoConnection);
    EXPECT_EQ(updater->m_progress, nullptr);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(updater->m_hInternet, nullptr);
    EXPECT_EQ(updater->m_hConnection, nullptr);
    EXPECT_TRUE(MainServer().Logins().empty());
}

TEST_F(FtpUpdaterTest, CancelAtAResponseNotificationEndsTheTransfer) {
    auto updater = Updater();
    ASSERT_TRUE(updater->Connect());
    ASSERT_TRUE(updater->OpenProgressWindow(TRUE));
    HWND window = updater->m_progress->m_hWnd;
    ::InternetSetStatusCallback(updater->m_hConnection, &TransferStatusCallback);
    pmtest::ClickButton(window, IDCANCEL); // posted: the callback's own pumps deliver it
    DWORD received = 512;
    TransferStatusCallback(updater->m_hConnection, reinterpret_cast<DWORD_PTR>(updater.get()),
                           INTERNET_STATUS_RESPONSE_RECEIVED, &received, sizeof received);
    EXPECT_EQ(updater->m_progress, nullptr);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(updater->m_hConnection, nullptr);
    EXPECT_EQ(updater->m_hInternet, nullptr);
    // Without a connection the install step does nothing and keeps the text.
    updater->m_errorText = "kept";
    EXPECT_FALSE(updater->InstallNewestPackage(""));
    EXPECT_EQ(updater->m_errorText, "kept");
}

TEST_F(FtpUpdaterTest, ClosingTwiceIsHarmless) {
    auto updater = Updater();
    ASSERT_TRUE(updater->Connect());
    ASSERT_TRUE(updater->OpenProgressWindow(FALSE));
    updater->CloseInternetHandles();
    updater->CloseInternetHandles();
    EXPECT_EQ(updater->m_hConnection, nullptr);
    EXPECT_EQ(updater->m_hInternet, nullptr);
    updater->CloseProgressWindow();
    updater->CloseProgressWindow();
    EXPECT_EQ(updater->m_progress, nullptr);
    // And it connects again afterwards.
    EXPECT_TRUE(updater->Connect());
}

TEST_F(FtpUpdaterTest, ProgressWindowThatCannotBeCreatedIsNoWindow) {
    ASSERT_TRUE(ServePackage("050601-update.exe"));
    auto updater = Updater();
    {
        DialogCreationRefused refused;
        EXPECT_FALSE(updater->OpenProgressWindow(TRUE));
    }
    EXPECT_EQ(updater->m_progress, nullptr);
    updater->ShowStatus("Checking for updates...");
    EXPECT_EQ(::FindWindowA("#32770", "Updating Corvalis..."), nullptr);
    ASSERT_TRUE(Install(*updater)) << updater->m_errorText;
    EXPECT_NE(RunRecord("050601-update.exe"), "");
}

TEST(ElevatedStart, StartsThePackageWithItsQuotedPath) {
    pmtest::TempDir dir("elevated");
    std::string path = dir.File("050601-update.exe");
    ASSERT_TRUE(::CopyFileA(pmtest::BuiltProgram("pm_test_package.exe").c_str(), path.c_str(), FALSE));
    HANDLE process = StartPackageElevated(path);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(::WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(pmtest::ReadFileText(path + ".cmdline"), "\"" + path + "\"");

    EXPECT_EQ(StartPackageElevated(dir.File("missing-update.exe")), nullptr);
}

} // namespace
