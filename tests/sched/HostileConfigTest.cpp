// The real program fed hostile settings, cvl.ini files, command lines and listings: it neither
// crashes nor hangs, and does what it documents.
#include "support/FrameTest.h"
#include "support/FtpTestServer.h"
#include "support/ResidentProgram.h"
#include "support/TestEnv.h"
#include "support/TrustPackages.h"

#include <functional>

using namespace pmtest;

namespace {

const char kPackage[] = "240105-update.exe";
const char kNoBox[] = "<no box>";

// The platform's DLL overrides for Pendlemark.exe alone.
const char kOwnOverrides[] = "Software\\Wine\\AppDefaults\\Pendlemark.exe\\DllOverrides";

class HostileConfigTest : public FrameTest {
  protected:
    void SetUp() override {
        FrameTest::SetUp();
        ASSERT_TRUE(m_ftp.Available()) << "no FTP server fixture";
        Reset();
    }
    void TearDown() override {
        Reset();
        FrameTest::TearDown();
    }
    void Reset() {
        ResetProgramState();
        m_process = Process();
        DeleteCorvalisKeys();
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kOwnOverrides);
        RemoveCvlIni();
        m_ftp.Clear();
        RemoveTree(m_browser.Path());
        ::CreateDirectoryA(m_browser.Path().c_str(), nullptr);
    }
    // A working set-up that each case then spoils in its own way.
    void Prepare() {
        WriteCvlIni(m_browser.Path().c_str(), m_browser.Path().c_str());
        SetRegString(kParamsKey, "Server", m_ftp.Address());
        SetRegString(kParamsKey, "PathToFile", "/");
        SetRegDword(kParamsKey, "PassiveFTP", 1);
        SetRegDword(kParamsKey, "UpdateChoice", 1);
        SetRegDword(kParamsKey, "EnableAutoUpdate", 0);
        ASSERT_TRUE(m_ftp.ServeCopy(kPackage, BuiltProgram("pm_test_package.exe")));
    }
    // Starts the program; when it stays resident, runs "&Update Now" and returns what its box said.
    std::string StartAndUpdate(const std::string& arguments, bool& resident) {
        ResetEvents();
        HWND window = nullptr;
        m_process =
            StartPendlemark(arguments, &window, 30000); // resident, or ended at once (the uninstall does)
        resident = window != nullptr;
        if (!resident)
            return kNoBox;
        MessageBoxWatcher box("Corvalis Wayrail", IDOK, 110000);
        ::PostMessageA(window, WM_COMMAND, ID_UPDATE_NOW, 0);
        EXPECT_TRUE(WaitUntil([&] { return Signalled(m_done); }, 110000)) << "the run did not end";
        MessageBoxSeen seen = box.Stop();
        return seen.shown ? seen.text : kNoBox;
    }
    std::string Downloaded() const { return m_browser.Path() + "\\Pendlemark\\" + kPackage; }

    FtpTestServer m_ftp{"sched", 40};
    TempDir m_browser{"hostile"};
    Process m_process;
};

TEST_F(HostileConfigTest, HostileSettingsFilesAndCommandLines) {
    const std::string longServer = std::string(64 * 1024, 'a') + ".example";
    const std::string longLine(10 * 1024, 'L');
    std::string longArguments = "/NoUpdateOnStartup";
    while (longArguments.size() < 30000)
        longArguments += " /NoSuchSwitch" + std::to_string(longArguments.size()) + " word";
    const struct {
        const char* what;
        std::function<void()> spoil;
        std::string arguments;
        bool resident;
        const char* box; // what the update run says; kNoBox: it installed the package
        std::function<void()> check;
    } cases[] = {
        {"Server of 64 KB", [&] { SetRegString(kParamsKey, "Server", longServer); }, "", true,
         "Unable to establish connection to the Internet",
         [&] { EXPECT_EQ(RegString(kParamsKey, "Server"), longServer); }},
        {"PathToFile with a line break and a command",
         [&] { SetRegString(kParamsKey, "PathToFile", "/\r\nDELE " + std::string(kPackage)); }, "", true,
         "Unable to set PathToFile [123].\n",
         [&] { EXPECT_TRUE(FileExists(m_ftp.Root() + "\\" + kPackage)); }},
        {"User with a line break and a command",
         [&] { SetRegString(kParamsKey, "User", "anonymous\r\nSITE HELP"); }, "", true,
         "Unable to establish connection to the Internet", [&] { EXPECT_TRUE(m_ftp.Logins().empty()); }},
        {"strings stored as binary and as multi-strings",
         [&] {
             SetRegValue(kParamsKey, "User", REG_BINARY, "pmuser");
             SetRegValue(kParamsKey, "Pass", REG_MULTI_SZ, std::string("pm\0secret\0\0", 11));
             SetRegValue(kParamsKey, "PathToFile", REG_MULTI_SZ, std::string("/elsewhere/\0\0", 13));
             SetRegValue(kParamsKey, "LastDownloadFile", REG_BINARY, Downloaded());
         },
         "", true, kNoBox,
         [&] {
             // Read as missing: their defaults are used and written back as text, and the package
             // counts as new. PathToFile's default folder is missing on the server: the login folder is
             // searched.
             EXPECT_EQ(RegString(kParamsKey, "User"), "");
             EXPECT_EQ(RegString(kParamsKey, "Pass"), "");
             EXPECT_EQ(RegString(kParamsKey, "PathToFile"), "/update/");
             EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), Downloaded());
             EXPECT_NE(ReadFileText(Downloaded() + ".cmdline"), "");
         }},
        {"cvl.ini without sections",
         [&] {
             WriteFileText(CvlIniPath(), "CORVALIS DIRECTORY=" + m_browser.Path() +
                                             "\r\nMAINDIR=" + m_browser.Path() + "\r\n");
         },
         "", true, "", [] {}},
        {"cvl.ini with lines of 10 KB",
         [&] {
             WriteFileText(CvlIniPath(), "[" + longLine + "]\r\n" + longLine +
                                             "\r\n[USER PREFS]\r\nCORVALIS DIRECTORY=" + longLine +
                                             "\r\n[INSTALL]\r\nMAINDIR=" + longLine + "\r\n");
         },
         "", true, "Error retrieving update file.", [] {}},
        {"command line of 30,000 characters", [] {}, longArguments, true, kNoBox,
         [&] { EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), Downloaded()); }},
        {"an update server of another scheme",
         [&] { SetRegString(kParamsKey, "Server", "ftp://" + m_ftp.Address()); }, "", true,
         "The update server address is not supported.", [&] { EXPECT_TRUE(m_ftp.Logins().empty()); }},
        {"an HTTPS server with a path",
         [&] { SetRegString(kParamsKey, "Server", "https://127.0.0.1/update"); }, "", true,
         "The update server address is not supported.", [] {}},
        {"a signature library that cannot be loaded",
         [&] {
             ASSERT_TRUE(m_ftp.ServeCopy(kPackage, TrustPackage("signed-a.exe")));
             SetUserPin(PublisherThumbprint("a").c_str());
             // For this program only, as the platform's loader reads it: the library is disabled.
             SetRegString(kOwnOverrides, "wintrust", "");
         },
         "", true, "The update file is not signed by a trusted publisher.",
         [&] {
             ::RegDeleteTreeA(HKEY_CURRENT_USER, kOwnOverrides);
             EXPECT_FALSE(FileExists(Downloaded()));
             EXPECT_FALSE(RegValueExists(kParamsKey, "LastDownloadFile"));
         }},
        {"30,000 characters ending in the uninstall switch", [] {}, longArguments + " -UNINSTALL", false,
         kNoBox,
         [&] {
             EXPECT_EQ(m_process.Wait(15000), 0);
             EXPECT_FALSE(RegValueExists(kParamsKey, "Server"));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        Prepare();
        c.spoil();
        bool resident = false;
        EXPECT_EQ(StartAndUpdate(c.arguments, resident), c.box);
        EXPECT_EQ(resident, c.resident);
        c.check();
        if (resident) {
            EXPECT_TRUE(m_process.Running()) << "it ended during the run";
            ::PostMessageA(FindMainWindow(1000), WM_COMMAND, ID_TRAY_EXIT, 0);
            EXPECT_EQ(m_process.Wait(15000), 0);
        }
    }
}

// Wine's FTP client reads a listing a byte at a time, with a round trip to its server for each: 150 names
// of 260 characters take 10 s there, a thousand 70 s, with nothing more to show.
TEST_F(HostileConfigTest, AListingOfManyOverlongNames) {
    Prepare();
    std::vector<std::string> listing;
    for (int i = 0; i < 150; ++i) {
        char date[8];
        std::snprintf(date, sizeof date, "%02d%02d%02d", 30 + i % 60, 1 + i % 12, 1 + i % 28);
        // 255 to 262 characters; the platform's client cuts what is longer than 259.
        listing.push_back(date + std::string(238 + i % 8, 'n') + "-update.exe\t1000");
    }
    listing.push_back(std::string(kPackage)); // older than all of them
    ASSERT_TRUE(m_ftp.SetListing(listing));
    // The newest has a cut name, or one too long for a path in the download folder: never downloaded.
    bool resident = false;
    EXPECT_EQ(StartAndUpdate("", resident), "Error retrieving update file.");
    ASSERT_TRUE(resident);
    EXPECT_TRUE(m_process.Running());
}

} // namespace
