// The installer, the uninstaller and the update of Pendlemark through its own channel, end to end: the
// built installers and the programs they install run in processes of their own and are watched only
// through files, the registry, the named kernel objects and the hidden main window.
#include "core/PeFileVersion.h"
#include "framework/Handles.h"
#include "support/FtpTestServer.h"
#include "support/TestEnv.h"
#include "support/TrustPackages.h"
#include "support/UiDriver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

using namespace pmtest;

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pendlemark";
const char kOriginal[] = "the browser's own launcher";

// Both installers are built beside bin/: the shipped one in dist/, the next version's in next/.
std::string ShippedSetup() {
    return ProgramDir() + "..\\dist\\Pendlemark-" PM_VERSION "-setup.exe";
}
std::string NextSetup() {
    return ProgramDir() + "..\\next\\Pendlemark-" PM_NEXT_VERSION "-setup.exe";
}

std::string Quote(const std::string& path) {
    return "\"" + path + "\"";
}

// "x.y.z" from the version resource in the file's bytes (the platform's calls may answer from a running
// program's image instead); empty without one.
std::string FileVersion(const std::string& path) {
    const std::string bytes = ReadFileText(path);
    std::uint64_t version = 0;
    if (!ReadPeFileVersion(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), version))
        return "";
    return std::to_string(version >> 48) + "." + std::to_string((version >> 32) & 0xFFFF) + "." +
           std::to_string((version >> 16) & 0xFFFF);
}

// A package name dated daysAgo days before today: YYMMDD-update.exe.
std::string PackageName(int daysAgo) {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time{{now.dwLowDateTime, now.dwHighDateTime}};
    time.QuadPart -= static_cast<ULONGLONG>(daysAgo) * 864000000000ULL;
    FILETIME then{time.LowPart, time.HighPart};
    FILETIME local;
    SYSTEMTIME date;
    ::FileTimeToLocalFileTime(&then, &local);
    ::FileTimeToSystemTime(&local, &date);
    char name[32];
    std::snprintf(name, sizeof name, "%02d%02d%02d-update.exe", date.wYear % 100, date.wMonth, date.wDay);
    return name;
}

// The resident instance: found by its main window, with the file its process runs.
struct Resident {
    DWORD pid = 0;
    CHandle process;
    std::string image;
};

Resident FindResident(DWORD timeoutMs = 15000, DWORD notPid = 0) {
    Resident resident;
    WaitUntil(
        [&] {
            const DWORD pid = MainWindowProcess();
            resident.pid = pid != notPid ? pid : 0;
            return resident.pid != 0;
        },
        timeoutMs);
    if (!resident.pid)
        return resident;
    resident.process.Reset(
        ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, resident.pid));
    char image[MAX_PATH] = "";
    DWORD length = MAX_PATH;
    if (resident.process && ::QueryFullProcessImageNameA(resident.process.Get(), 0, image, &length))
        resident.image = image;
    return resident;
}

bool Ended(const Resident& resident, DWORD timeoutMs) {
    return resident.process && ::WaitForSingleObject(resident.process.Get(), timeoutMs) == WAIT_OBJECT_0;
}

class DeployTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TearDown();
        ASSERT_TRUE(m_ftp.Available()) << "the deploy_ftp fixture did not start (PM_FTP_STATE)";
        m_ftp.Clear();
        ASSERT_TRUE(::CreateDirectoryA((m_ftp.Root() + "\\update").c_str(), nullptr));
        ASSERT_TRUE(WriteFileText(m_launcher.File("cvl.exe"), kOriginal));
        WriteCvlIni(m_browser.Path().c_str(), m_launcher.Path().c_str());
        // Settings as an administrator would leave them: this server, no question at start-up or
        // before an automatic update.
        SetRegString(kParamsKey, "Server", m_ftp.Address());
        SetRegString(kParamsKey, "PathToFile", "/update/");
        SetRegDword(kParamsKey, "UpdateChoice", 1);
        SetRegDword(kParamsKey, "EnableAutoUpdate", 1);
        SetRegDword(kParamsKey, "AskForConfirmation", 0);
    }
    void TearDown() override {
        ResetProgramState();
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, "Pendlemark");
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kUninstallKey);
        DeleteCorvalisKeys();
        RemoveCvlIni();
    }

    std::string Dir() const { return m_root.File("Pendlemark"); }
    std::string Installed(const std::string& name) const { return Dir() + "\\" + name; }
    std::string Downloaded(const std::string& name) const {
        return m_browser.File("Pendlemark") + "\\" + name;
    }
    // Runs an installer silently into Dir() (or where an earlier installation went); its exit code.
    long Install(const std::string& setup, bool toDir = true) {
        return Process::Start(Quote(setup) + " /S" + (toDir ? " /D=" + Dir() : "")).Wait(60000);
    }
    // Asks the resident instance for an update the way another program may, and waits for its end.
    bool RequestUpdate(DWORD timeoutMs) {
        CHandle request(OpenOrCreateEvent("CVLAutoUpdate"));
        CHandle done(OpenOrCreateEvent("CVLAutoUpdateDone"));
        ::ResetEvent(done.Get());
        ::SetEvent(request.Get());
        return ::WaitForSingleObject(done.Get(), timeoutMs) == WAIT_OBJECT_0;
    }

    FtpTestServer m_ftp{"deploy", 60};
    TempDir m_root{"deploy"};
    TempDir m_browser{"deploy-browser"};
    TempDir m_launcher{"deploy-launcher"};
};

TEST_F(DeployTest, SilentFreshInstallRegistersAndStartsPendlemarkAndSilentUninstallRemovesIt) {
    ASSERT_EQ(Install(ShippedSetup()), 0);

    for (const char* name : {"Pendlemark.exe", "cvlx.exe", "CVLHelp.htm", "uninstall.exe"})
        EXPECT_TRUE(FileExists(Installed(name))) << name;
    EXPECT_EQ(FileVersion(Installed("Pendlemark.exe")), PM_VERSION);
    EXPECT_EQ(FileVersion(Installed("cvlx.exe")), PM_VERSION);
    EXPECT_EQ(RegString(kRunKey, "Pendlemark"), Quote(Installed("Pendlemark.exe")));
    const struct {
        const char* name;
        std::string value;
    } strings[] = {
        {"DisplayName", "Pendlemark"},
        {"DisplayVersion", PM_VERSION},
        {"Publisher", "Corvalis"},
        {"DisplayIcon", Installed("Pendlemark.exe")},
        {"InstallLocation", Dir()},
        {"UninstallString", Quote(Installed("uninstall.exe"))},
        {"QuietUninstallString", Quote(Installed("uninstall.exe")) + " /S"},
    };
    for (const auto& value : strings)
        EXPECT_EQ(RegString(kUninstallKey, value.name), value.value) << value.name;
    EXPECT_EQ(RegDword(kUninstallKey, "NoModify"), 1u);
    EXPECT_EQ(RegDword(kUninstallKey, "NoRepair"), 1u);
    const long long bytes = FileSize(Installed("Pendlemark.exe")) + FileSize(Installed("cvlx.exe")) +
                            FileSize(Installed("CVLHelp.htm"));
    EXPECT_GE(RegDword(kUninstallKey, "EstimatedSize"), static_cast<DWORD>(bytes / 1024));
    EXPECT_LT(RegDword(kUninstallKey, "EstimatedSize"), static_cast<DWORD>(bytes / 1024 + 200));

    // Started at the end of the installation, from where it was installed; it swapped in its launcher.
    Resident resident = FindResident();
    ASSERT_NE(resident.pid, 0u) << "no resident Pendlemark after the installation";
    EXPECT_EQ(_stricmp(resident.image.c_str(), Installed("Pendlemark.exe").c_str()), 0) << resident.image;
    EXPECT_TRUE(WaitUntil([&] { return FileExists(m_launcher.File("cvlex.exe")); }, 5000));

    // A package left in the download folder keeps it.
    ASSERT_TRUE(::CreateDirectoryA(m_browser.File("Pendlemark").c_str(), nullptr));
    ASSERT_TRUE(WriteFileText(Downloaded("050101-update.exe"), "left over"));

    // The uninstaller hands over to a copy of itself in the temporary folder and returns at once.
    ASSERT_EQ(Process::Start(Quote(Installed("uninstall.exe")) + " /S").Wait(15000), 0);
    EXPECT_TRUE(WaitUntil([&] { return !DirExists(Dir()); }, 20000)) << "the installation folder stayed";
    EXPECT_TRUE(Ended(resident, 0));
    EXPECT_EQ(ReadFileText(m_launcher.File("cvl.exe")), kOriginal);
    EXPECT_FALSE(FileExists(m_launcher.File("cvlex.exe")));
    EXPECT_FALSE(RegValueExists(kRunKey, "Pendlemark"));
    EXPECT_FALSE(RegValueExists(kUninstallKey, "DisplayName"));
    EXPECT_FALSE(RegValueExists(kParamsKey, "Server"));
    EXPECT_EQ(ReadFileText(Downloaded("050101-update.exe")), "left over");
}

TEST_F(DeployTest, NewerVersionInstalledOverAResidentOneReplacesItAndKeepsTheSettings) {
    ASSERT_EQ(Install(ShippedSetup()), 0);
    // The user's own start instead of the installer's, with "Always Check on Startup": its scheduler
    // is held by the question, so the shutdown request alone does not end it.
    ResetProgramState();
    SetRegDword(kParamsKey, "UpdateChoice", 0);
    SetRegDword(kParamsKey, "AskForConfirmation", 1);
    SetRegDword(kParamsKey, "UpdateInterval", 42);
    Process started = Process::Start(Quote(Installed("Pendlemark.exe")));
    Resident old = FindResident();
    ASSERT_NE(old.pid, 0u);
    ASSERT_NE(WaitForBox("Corvalis", 10000), nullptr);

    // No folder given: the newer version goes where the first one went.
    ASSERT_EQ(Install(NextSetup(), false), 0);

    EXPECT_TRUE(Ended(old, 0)) << "the old version was not asked to quit, or not waited for";
    Resident resident = FindResident(15000, old.pid);
    ASSERT_NE(resident.pid, 0u) << "no new resident Pendlemark";
    EXPECT_EQ(_stricmp(resident.image.c_str(), Installed("Pendlemark.exe").c_str()), 0) << resident.image;
    EXPECT_EQ(FileVersion(Installed("Pendlemark.exe")), PM_NEXT_VERSION);
    EXPECT_EQ(FileVersion(Installed("cvlx.exe")), PM_NEXT_VERSION);
    EXPECT_EQ(RegString(kUninstallKey, "DisplayVersion"), PM_NEXT_VERSION);
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(Installed("Pendlemark.exe.old")); }, 10000));
    EXPECT_FALSE(FileExists(Installed("cvlx.exe.old")));
    EXPECT_EQ(RegDword(kParamsKey, "UpdateInterval"), 42u);
    EXPECT_EQ(RegString(kParamsKey, "Server"), m_ftp.Address());
    // The shutdown request died with the old instance: the new one stays, and asks nothing at its start.
    EXPECT_FALSE(Ended(resident, 1000));
    EXPECT_EQ(FindBox("Corvalis"), nullptr);
}

TEST_F(DeployTest, AnUpdatePackageThatReplacesPendlemarkRestartsItAsTheNewVersion) {
    ASSERT_EQ(Install(ShippedSetup()), 0);
    Resident resident = FindResident();
    ASSERT_NE(resident.pid, 0u);
    // As a careful administrator runs it: only packages signed by the publisher are taken.
    SetUserPin(PublisherThumbprint("a").c_str());
    const struct {
        const char* name;
        std::string package; // what the server offers
        std::string packageName;
        bool replaces;
    } cases[] = {
        {"a package that leaves the program alone", TrustPackage("signed-a.exe"), PackageName(1), false},
        {"the next version's installer", TrustPackage("next-setup-signed-a.exe"), PackageName(0), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_ftp.Clear();
        ASSERT_TRUE(::CreateDirectoryA((m_ftp.Root() + "\\update").c_str(), nullptr));
        ASSERT_TRUE(m_ftp.ServeCopy("update\\" + c.packageName, c.package));
        const DWORD start = ::GetTickCount();
        ASSERT_TRUE(RequestUpdate(30000)) << "the update run did not end";

        EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), Downloaded(c.packageName));
        EXPECT_FALSE(FileExists(Downloaded(c.packageName)));
        if (!c.replaces) {
            EXPECT_FALSE(Ended(resident, 1000));
            EXPECT_EQ(FileVersion(Installed("Pendlemark.exe")), PM_VERSION);
            continue;
        }
        EXPECT_TRUE(Ended(resident, 15000)) << "the old version stayed";
        Resident next = FindResident(30000, resident.pid);
        ASSERT_NE(next.pid, 0u) << "no new resident Pendlemark";
        std::printf("[ deploy   ] update run to the new version resident: %lu ms\n",
                    ::GetTickCount() - start);
        EXPECT_EQ(_stricmp(next.image.c_str(), Installed("Pendlemark.exe").c_str()), 0) << next.image;
        EXPECT_EQ(FileVersion(Installed("Pendlemark.exe")), PM_NEXT_VERSION);
        EXPECT_EQ(RegString(kUninstallKey, "DisplayVersion"), PM_NEXT_VERSION);
        EXPECT_TRUE(WaitUntil([&] { return !FileExists(Installed("Pendlemark.exe.old")); }, 10000));
        EXPECT_FALSE(FileExists(Installed("cvlx.exe.old")));
        EXPECT_FALSE(Ended(next, 1000));
    }
}

TEST_F(DeployTest, AfterUpdateWaitsForTheLockThenCleansUpOrGivesUpAtItsLimit) {
    // A copy of the program with files an installer set aside beside it.
    ASSERT_TRUE(::CreateDirectoryA(Dir().c_str(), nullptr));
    ASSERT_TRUE(
        ::CopyFileA(BuiltProgram("Pendlemark.exe").c_str(), Installed("Pendlemark.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteFileText(Installed("Pendlemark.exe.old"), "set aside"));
    ASSERT_TRUE(WriteFileText(Installed("cvlx.exe.old"), "set aside"));
    const std::string afterUpdate = Quote(Installed("Pendlemark.exe")) + " /AfterUpdate";

    // This process plays the instance being replaced. Two restarts wait for it; once it lets go, one
    // takes over and the other, finding the lock held again, gives up 30 s after its start.
    CHandle runOnce(::CreateMutexA(nullptr, FALSE, "CVLRunOnce"));
    ASSERT_EQ(::WaitForSingleObject(runOnce.Get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    const DWORD start = ::GetTickCount();
    Process first = Process::Start(afterUpdate);
    Process second = Process::Start(afterUpdate);
    ::Sleep(1500);
    EXPECT_TRUE(first.Running() && second.Running()) << "a restart did not wait for the lock";
    EXPECT_EQ(::FindWindowA(nullptr, "Pendlemark"), nullptr);
    EXPECT_TRUE(FileExists(Installed("Pendlemark.exe.old")));
    ::ReleaseMutex(runOnce.Get());

    Resident resident = FindResident();
    ASSERT_NE(resident.pid, 0u) << "no restart took over once the lock was free";
    EXPECT_TRUE(resident.pid == first.Id() || resident.pid == second.Id());
    EXPECT_FALSE(FileExists(Installed("Pendlemark.exe.old")));
    EXPECT_FALSE(FileExists(Installed("cvlx.exe.old")));
    Process& other = resident.pid == first.Id() ? second : first;
    EXPECT_NE(other.Wait(45000), -1);
    const DWORD waited = ::GetTickCount() - start;
    EXPECT_GE(waited, 29000u);
    EXPECT_LE(waited, 40000u);
    EXPECT_FALSE(Ended(resident, 0));
}

} // namespace
