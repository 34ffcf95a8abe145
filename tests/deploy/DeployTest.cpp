// The installer, the uninstaller and the update of Pendlemark through its own channel, end to end: the
// built installers and the programs they install run in processes of their own and are watched only
// through files, the registry, the named kernel objects and the hidden main window.
#include "framework/Handles.h"
#include "support/FtpTestServer.h"
#include "support/ResidentInstance.h"
#include "support/ResidentProgram.h"
#include "support/TestEnv.h"
#include "support/TrustPackages.h"
#include "support/UiDriver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

using namespace pmtest;

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pendlemark";
// The version installed per product, which a pinned client compares packages with.
const char kPackages[] = "Software\\Corvalis\\Pendlemark\\Params\\Packages";
const char kOriginal[] = "the browser's own launcher";
// What the installer puts in place, each set aside as NAME.old and written first as NAME.new.
const char* const kProgramFiles[] = {"Pendlemark.exe", "cvlx.exe", "CVLHelp.htm"};

// The installers are built beside bin/: the shipped one in dist/, the next version's in next/, and two
// fixes of it, differing in the third part only, in fix1/ and fix2/.
std::string SetupIn(const char* folder, const char* version) {
    return ProgramDir() + "..\\" + folder + "\\Pendlemark-" + version + "-setup.exe";
}
std::string ShippedSetup() {
    return SetupIn("dist", PM_VERSION);
}
std::string NextSetup() {
    return SetupIn("next", PM_NEXT_VERSION);
}

std::string FileVersion(const std::string& path) {
    return FileVersionText(path);
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

// The update log's lines of its last run, from the text after the run's number on.
std::vector<std::string> LastRunLog() {
    const auto run = [](const std::string& line) {
        const size_t at = line.find(" run ");
        return at == std::string::npos ? std::string() : line.substr(at, line.find(": ", at) - at);
    };
    const std::vector<std::string> lines = UpdateLogLines();
    std::vector<std::string> last;
    for (const std::string& line : lines) {
        if (!run(line).empty() && run(line) == run(lines.back()))
            last.push_back(line.substr(line.find(": ", line.find(" run ")) + 2));
    }
    return last;
}

// The resident instance of the installation, with a handle to see it end.
struct Resident {
    DWORD pid = 0;
    CHandle process;
    std::string image;
};

// A folder window titled Pendlemark in a process of its own (FolderWindow.cpp), which records every
// WM_CLOSE it is sent.
class FolderWindow {
  public:
    explicit FolderWindow(const TempDir& dir)
        : m_record(dir.File("folder-window.txt")),
          m_process(Process::Start(Quote(BuiltProgram("pm_folder_window.exe")) + " " + Quote(m_record))) {
        WaitUntil([] { return ::FindWindowA("CabinetWClass", "Pendlemark") != nullptr; }, 10000);
    }
    bool Open() const { return m_process.Running() && ::FindWindowA("CabinetWClass", "Pendlemark"); }
    std::string Received() const { return ReadFileText(m_record); }

  private:
    std::string m_record;
    Process m_process;
};

bool Ended(const Resident& resident, DWORD timeoutMs) {
    return resident.process && ::WaitForSingleObject(resident.process.Get(), timeoutMs) == WAIT_OBJECT_0;
}

class DeployTest : public ::testing::Test {
  protected:
    // The folders named in the test bed's code page, or with a suffix in another script; cvl.ini written
    // by the system or in that encoding.
    explicit DeployTest(const std::string& suffix = "", IniEncoding cvlIni = IniEncoding::System)
        : m_cvlIni(cvlIni), m_root("deploy" + suffix), m_browser("deploy-browser" + suffix),
          m_launcher("deploy-launcher" + suffix) {}
    void SetUp() override {
        TearDown();
        for (const FtpTestServer* server : {&m_ftp, &m_slowFtp}) {
            ASSERT_TRUE(server->Available()) << "the deploy_ftp fixture did not start";
            server->Clear();
            ASSERT_TRUE(::CreateDirectoryA((server->Root() + "\\update").c_str(), nullptr));
        }
        ASSERT_TRUE(WriteFileText(m_launcher.File("cvl.exe"), kOriginal));
        WriteCvlIni(m_browser.Path().c_str(), m_launcher.Path().c_str(), m_cvlIni);
        Configure(m_ftp);
    }
    // Settings as an administrator would leave them: that server, no question at start-up or before
    // an automatic update.
    static void Configure(const FtpTestServer& server) {
        SetRegString(kParamsKey, "Server", server.Address());
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
    // Found by its image in Dir(), never by its window's title alone.
    Resident Find(DWORD timeoutMs = 15000, DWORD notPid = 0) const {
        const ResidentInstance found = FindResident(Dir(), timeoutMs, notPid);
        Resident resident;
        resident.pid = found.pid;
        resident.image = found.image;
        if (resident.pid)
            resident.process.Reset(::OpenProcess(SYNCHRONIZE, FALSE, resident.pid));
        return resident;
    }
    size_t Instances() const { return ProgramProcesses(Dir()).size(); }
    // A file the installer set aside or wrote first is still beside the installation.
    bool SetAsideLeft() const {
        for (const char* name : kProgramFiles) {
            if (FileExists(Installed(std::string(name) + ".old")) ||
                FileExists(Installed(std::string(name) + ".new")))
                return true;
        }
        return false;
    }
    std::string Installed(const std::string& name) const { return Dir() + "\\" + name; }
    std::string Downloaded(const std::string& name) const {
        return m_browser.File("Pendlemark") + "\\" + name;
    }
    // Runs an installer silently into that folder of m_root (null: where an earlier installation
    // went); its exit code.
    long Install(const std::string& setup, const char* folder = "Pendlemark") {
        return Process::Start(Quote(setup) + " /S" + (folder ? " /D=" + m_root.File(folder) : ""))
            .Wait(60000);
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
    FtpTestServer m_slowFtp{"deploy_slow", 61}; // 40 KiB/s: a run that lasts

    IniEncoding m_cvlIni;
    TempDir m_root;
    TempDir m_browser;
    TempDir m_launcher;
};

TEST_F(DeployTest, SilentFreshInstallRegistersAndStartsPendlemarkAndSilentUninstallRemovesIt) {
    // The setup's own version resource carries the project's version, as every package's does.
    EXPECT_EQ(FileVersion(ShippedSetup()), PM_VERSION);
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
    EXPECT_EQ(RegString(kPackages, "Pendlemark"), PM_VERSION ".0");
    EXPECT_EQ(RegDword(kUninstallKey, "NoModify"), 1u);
    EXPECT_EQ(RegDword(kUninstallKey, "NoRepair"), 1u);
    const long long bytes = FileSize(Installed("Pendlemark.exe")) + FileSize(Installed("cvlx.exe")) +
                            FileSize(Installed("CVLHelp.htm"));
    EXPECT_GE(RegDword(kUninstallKey, "EstimatedSize"), static_cast<DWORD>(bytes / 1024));
    EXPECT_LT(RegDword(kUninstallKey, "EstimatedSize"), static_cast<DWORD>(bytes / 1024 + 200));

    // Started at the end of the installation, from where it was installed; it swapped in its launcher.
    Resident resident = Find();
    ASSERT_NE(resident.pid, 0u) << "no resident Pendlemark after the installation";
    EXPECT_EQ(_stricmp(resident.image.c_str(), Installed("Pendlemark.exe").c_str()), 0) << resident.image;
    EXPECT_TRUE(WaitUntil([&] { return FileExists(m_launcher.File("cvlex.exe")); }, 5000));

    // The user's own start instead, its start-up question open: only closing its window ends it.
    ResetProgramState();
    SetRegDword(kParamsKey, "UpdateChoice", 0);
    SetRegDword(kParamsKey, "AskForConfirmation", 1);
    Process started = StartPendlemark(std::string(), nullptr, 0, Installed("Pendlemark.exe"));
    ASSERT_NE(WaitForBox("Corvalis", 10000), nullptr);
    resident = Find();
    ASSERT_NE(resident.pid, 0u);

    // A package left in the download folder keeps it.
    ASSERT_TRUE(::CreateDirectoryA(m_browser.File("Pendlemark").c_str(), nullptr));
    ASSERT_TRUE(WriteFileText(Downloaded("050101-update.exe"), "left over"));

    // The installation folder open in the shell: its window has the resident's title.
    FolderWindow folder(m_root);
    ASSERT_TRUE(folder.Open());

    // The uninstaller hands over to a copy of itself in the temporary folder and returns at once.
    const DWORD start = ::GetTickCount();
    ASSERT_EQ(Process::Start(Quote(Installed("uninstall.exe")) + " /S").Wait(15000), 0);
    EXPECT_TRUE(WaitUntil([&] { return !DirExists(Dir()); }, 20000)) << "the installation folder stayed";
    std::printf(
        "[ deploy   ] uninstall, start-up question and a folder window titled Pendlemark open: %lu ms\n",
        ::GetTickCount() - start);
    EXPECT_TRUE(Ended(resident, 0));
    EXPECT_EQ(Instances(), 0u);
    EXPECT_TRUE(folder.Open());
    EXPECT_EQ(folder.Received(), "");
    EXPECT_EQ(ReadFileText(m_launcher.File("cvl.exe")), kOriginal);
    EXPECT_FALSE(FileExists(m_launcher.File("cvlex.exe")));
    EXPECT_FALSE(RegValueExists(kRunKey, "Pendlemark"));
    EXPECT_FALSE(RegValueExists(kUninstallKey, "DisplayName"));
    EXPECT_FALSE(RegValueExists(kParamsKey, "Server"));
    EXPECT_EQ(ReadFileText(Downloaded("050101-update.exe")), "left over");
}

TEST_F(DeployTest, SetupOverAnInstalledPendlemarkLeavesExactlyOneInstanceOrChangesNothing) {
    enum class Old { Started, Question, Hung, None };
    enum class During {
        Nothing,
        AnUpdateRun, // CVLUpdateRunning signalled by another program than Pendlemark
        FullDisk,    // cvlx.exe cannot be written: a folder has the name it is first written under
        HeldOpen,    // CVLHelp.htm is open without delete sharing: it cannot be set aside
        NewOneHeld,  // as HeldOpen, and the new cvlx.exe held open (as a scanner does) when it is to go
    };
    const struct {
        const char* name;
        std::string installed, setup;
        Old old;
        bool folderWindow; // one titled Pendlemark is open, above the resident's
        long exitCode;     // 0 or 4 for "either"
        bool replaced;     // the files and entry are the setup's, its Pendlemark alone runs
        During during = During::Nothing;
        const char* firstFolder = "Pendlemark"; // where the installed version went, in m_root
    } cases[] = {
        // The user's own start with "Always Check on Startup": its scheduler is held by the question,
        // so the shutdown request alone does not end it, and its window is closed.
        {"upgrade while the start-up question is open", ShippedSetup(), NextSetup(), Old::Question, true, -1,
         true},
        {"upgrade with a folder window titled Pendlemark", ShippedSetup(), NextSetup(), Old::Started, true, 0,
         true},
        {"the same version again, a repair", ShippedSetup(), ShippedSetup(), Old::Started, false, 0, true},
        // Started by the setup without /AfterUpdate: nothing set aside may stay behind for it to delete.
        {"upgrade while Pendlemark is not running", ShippedSetup(), NextSetup(), Old::None, false, 0, true},
        {"an older version over a newer one", NextSetup(), ShippedSetup(), Old::Started, false, 2, false},
        {"an older version, lower in the third part only", SetupIn("fix2", PM_FIX2_VERSION),
         SetupIn("fix1", PM_FIX1_VERSION), Old::Started, false, 2, false},
        {"a newer version, higher in the third part only", SetupIn("fix1", PM_FIX1_VERSION),
         SetupIn("fix2", PM_FIX2_VERSION), Old::Started, false, 0, true},
        {"an instance that does not end", ShippedSetup(), NextSetup(), Old::Hung, false, 4, false},
        {"upgrade started by hand during another program's update run", ShippedSetup(), NextSetup(),
         Old::Started, false, 0, true, During::AnUpdateRun},
        {"a program file that cannot be written", ShippedSetup(), NextSetup(), Old::Started, false, 5, false,
         During::FullDisk},
        // After the new Pendlemark.exe and cvlx.exe are in place: both old ones come back.
        {"a file held open by another program", ShippedSetup(), NextSetup(), Old::Started, false, 5, false,
         During::HeldOpen},
        // The old cvlx.exe cannot come back: it stays set aside, and nothing deletes it.
        {"a file held open, and a new one that cannot be deleted", ShippedSetup(), NextSetup(), Old::Started,
         false, 6, false, During::NewOneHeld},
        {"upgrade of an installation into a folder given with ..", ShippedSetup(), NextSetup(), Old::Started,
         false, 0, true, During::Nothing, "x\\..\\Pendlemark"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        RemoveTree(Dir());
        WriteCvlIni(m_browser.Path().c_str(), m_launcher.Path().c_str());
        Configure(m_ftp);
        ASSERT_EQ(Install(c.installed, c.firstFolder), 0);
        const std::string installedVersion = FileVersion(Installed("Pendlemark.exe"));
        const std::string setupVersion = FileVersion(c.setup);
        std::unique_ptr<FolderWindow> folder;
        Process hung;
        Process started;
        if (c.old == Old::None) {
            ASSERT_NE(Find().pid, 0u); // the one the installation started, ended here
            ResetProgramState();
            ASSERT_EQ(Instances(), 0u);
        } else if (c.old != Old::Started) {
            ResetProgramState();
        }
        if (c.old == Old::Question) {
            SetRegDword(kParamsKey, "UpdateChoice", 0);
            SetRegDword(kParamsKey, "AskForConfirmation", 1);
            started = StartPendlemark(std::string(), nullptr, 0, Installed("Pendlemark.exe"));
            ASSERT_NE(WaitForBox("Corvalis", 10000), nullptr);
        } else if (c.old == Old::Hung) {
            // Started and never run: it neither sees the shutdown request nor has a window to close.
            hung = StartPendlemark(std::string(), nullptr, 0, Installed("Pendlemark.exe"), nullptr,
                                   CREATE_SUSPENDED);
            ASSERT_NE(hung.Handle(), nullptr);
        }
        if (c.folderWindow) {
            folder.reset(new FolderWindow(m_root));
            ASSERT_TRUE(folder->Open());
        }
        SetRegDword(kParamsKey, "UpdateInterval", 42);
        const DWORD oldPid = c.old == Old::Hung ? hung.Id() : c.old == Old::None ? 0 : Find().pid;
        ASSERT_TRUE(oldPid != 0 || c.old == Old::None);
        CHandle oldProcess(::OpenProcess(SYNCHRONIZE, FALSE, oldPid));
        CHandle running(OpenOrCreateEvent("CVLUpdateRunning"));
        if (c.during == During::AnUpdateRun)
            ::SetEvent(running.Get());
        if (c.during == During::FullDisk) {
            ASSERT_TRUE(::CreateDirectoryA(Installed("cvlx.exe.new").c_str(), nullptr));
        }
        const bool heldOpen = c.during == During::HeldOpen || c.during == During::NewOneHeld;
        CHandle held(heldOpen ? ::CreateFileA(Installed("CVLHelp.htm").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                              nullptr, OPEN_EXISTING, 0, nullptr)
                              : nullptr);
        ASSERT_EQ(static_cast<bool>(held), heldOpen);
        // Written over, renamed into place, and deleted only once let go of.
        CHandle heldNew(c.during == During::NewOneHeld
                            ? ::CreateFileA(Installed("cvlx.exe.new").c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            CREATE_NEW, 0, nullptr)
                            : nullptr);
        ASSERT_EQ(static_cast<bool>(heldNew), c.during == During::NewOneHeld);

        // No folder given: the setup goes where the first one went.
        const DWORD start = ::GetTickCount();
        const long exitCode = Install(c.setup, nullptr);
        const DWORD took = ::GetTickCount() - start;
        held.Close();
        heldNew.Close();
        ::ResetEvent(running.Get());
        std::printf("[ deploy   ] %s: exit code %ld after %lu ms\n", c.name, exitCode, took);
        if (c.exitCode >= 0)
            EXPECT_EQ(exitCode, c.exitCode);
        else
            EXPECT_TRUE(exitCode == 0 || exitCode == 4) << exitCode;
        if (folder) {
            EXPECT_TRUE(folder->Open());
            EXPECT_EQ(folder->Received(), "");
        }
        if (folder && c.old == Old::Started) {
            EXPECT_LT(took, 6000u) << "the installer waited on another program's process";
        }
        EXPECT_EQ(RegString(kUninstallKey, "InstallLocation"), Dir());
        EXPECT_FALSE(DirExists(m_root.File("x")));
        if (!c.replaced || exitCode != 0) {
            // Refused before anything changed: the same instance runs from the same files. A write
            // that failed leaves nothing of it, and the instance closed for it runs again.
            if (c.during == During::NewOneHeld) {
                EXPECT_NE(Find(15000, oldPid).pid, 0u) << "the closed Pendlemark was not started again";
                ::Sleep(2000); // as long as it would take to delete what is set aside
                EXPECT_EQ(FileVersion(Installed("cvlx.exe.old")), installedVersion);
                EXPECT_FALSE(FileExists(Installed("Pendlemark.exe.new")));
                EXPECT_FALSE(FileExists(Installed("CVLHelp.htm.new")));
            } else if (c.during == During::FullDisk || c.during == During::HeldOpen) {
                EXPECT_NE(Find(15000, oldPid).pid, 0u) << "the closed Pendlemark was not started again";
                EXPECT_FALSE(FileExists(Installed("Pendlemark.exe.new")));
                EXPECT_FALSE(FileExists(Installed("CVLHelp.htm.new")));
                EXPECT_FALSE(FileExists(Installed("cvlx.exe.old")));
                EXPECT_FALSE(FileExists(Installed("CVLHelp.htm.old")));
            } else {
                EXPECT_EQ(::WaitForSingleObject(oldProcess.Get(), 1000), static_cast<DWORD>(WAIT_TIMEOUT));
            }
            EXPECT_EQ(Instances(), 1u);
            EXPECT_EQ(FileVersion(Installed("Pendlemark.exe")), installedVersion);
            if (c.during != During::NewOneHeld) {
                EXPECT_EQ(FileVersion(Installed("cvlx.exe")), installedVersion);
            }
            EXPECT_EQ(RegString(kUninstallKey, "DisplayVersion"), installedVersion);
            EXPECT_EQ(RegString(kPackages, "Pendlemark"), installedVersion + ".0");
            EXPECT_FALSE(FileExists(Installed("Pendlemark.exe.old")));
            hung.Kill();
            continue;
        }
        if (oldProcess) {
            EXPECT_EQ(::WaitForSingleObject(oldProcess.Get(), 0), static_cast<DWORD>(WAIT_OBJECT_0))
                << "the old version was not asked to quit, or not waited for";
        }
        Resident resident = Find(15000, oldPid);
        ASSERT_NE(resident.pid, 0u) << "no new resident Pendlemark";
        EXPECT_EQ(_stricmp(resident.image.c_str(), Installed("Pendlemark.exe").c_str()), 0) << resident.image;
        EXPECT_EQ(FileVersion(Installed("Pendlemark.exe")), setupVersion);
        EXPECT_EQ(FileVersion(Installed("cvlx.exe")), setupVersion);
        EXPECT_EQ(RegString(kUninstallKey, "DisplayVersion"), setupVersion);
        EXPECT_EQ(RegString(kPackages, "Pendlemark"), setupVersion + ".0");
        EXPECT_TRUE(WaitUntil([&] { return !FileExists(Installed("Pendlemark.exe.old")); }, 10000));
        EXPECT_FALSE(SetAsideLeft());
        EXPECT_EQ(RegDword(kParamsKey, "UpdateInterval"), 42u);
        EXPECT_EQ(RegString(kParamsKey, "Server"), m_ftp.Address());
        // The shutdown request died with the old instance: the new one stays, alone, and asks nothing
        // at its start.
        EXPECT_FALSE(Ended(resident, 1000));
        EXPECT_EQ(Instances(), 1u);
        EXPECT_EQ(FindBox("Corvalis"), nullptr);
    }
}

TEST_F(DeployTest, SetupRecordsItsVersionOverNoneAnUnreadableOrALowerRecordButNeverLowersOne) {
    // A record the program does not read as a.b.c.d counts as none, and is replaced.
    const struct {
        const char* name;
        DWORD type; // REG_NONE: no record
        std::string before, after;
    } cases[] = {
        {"none", REG_NONE, "", PM_VERSION ".0"},
        {"a lower version", REG_SZ, "0.65535.65535.65535", PM_VERSION ".0"},
        {"higher in the fourth part", REG_SZ, PM_VERSION ".1", PM_VERSION ".1"},
        {"higher, written with leading zeros", REG_SZ, "00009.0.0.0", "00009.0.0.0"},
        {"three parts", REG_SZ, "9.0.0", PM_VERSION ".0"},
        {"a part above 65535", REG_SZ, "65536.0.0.0", PM_VERSION ".0"},
        {"a later part above 65535", REG_SZ, "1.70000.0.0", PM_VERSION ".0"}, // not 1.4464 by its low bits
        {"a higher version of another type", REG_EXPAND_SZ, "9.0.0.0", PM_VERSION ".0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kPackages, "Pendlemark");
        if (c.type != REG_NONE)
            SetRegValue(kPackages, "Pendlemark", c.type, std::string(c.before.c_str(), c.before.size() + 1));
        ASSERT_EQ(Install(ShippedSetup()), 0);
        EXPECT_NE(Find().pid, 0u); // up, before the next setup closes it or the test ends
        EXPECT_EQ(RegString(kPackages, "Pendlemark"), c.after);
    }
}

TEST_F(DeployTest, AnUpdatePackageThatReplacesPendlemarkRestartsItAsTheNewVersion) {
    ASSERT_EQ(Install(ShippedSetup()), 0);
    Resident resident = Find();
    ASSERT_NE(resident.pid, 0u);
    // As a careful administrator runs it: only packages signed by the publisher are taken.
    SetUserPin(PublisherThumbprint("a").c_str());
    std::string version = PM_VERSION; // installed
    enum class Then { Stays, NewVersion, PutBack };
    const struct {
        const char* name;
        std::string package; // what the server offers
        std::string packageName;
        Then then;
        const char* refusal; // the run's box; null: none
        const char* failure; // PutBack: how the log says the new version failed
    } cases[] = {
        {"a package that leaves the program alone", TrustPackage("signed-a.exe"), PackageName(6), Then::Stays,
         nullptr, nullptr},
        // No package of Pendlemark has run yet: the installation's own record refuses it.
        {"the installed version's installer, signed as well", TrustPackage("shipped-setup-signed-a.exe"),
         PackageName(5), Then::Stays, "The update file is not newer than the installed one.", nullptr},
        {"a next version whose program ends at once at start-up", TrustPackage("crash-setup-signed-a.exe"),
         PackageName(4), Then::PutBack, nullptr,
         "failed: it ended with exit code 0xC0000005 before it was resident"},
        // It stays recorded as the last package: never tried again.
        {"the same package again", TrustPackage("crash-setup-signed-a.exe"), PackageName(4), Then::Stays,
         "There are no new updates available for download.", nullptr},
        {"a next version that never becomes resident", TrustPackage("hang-setup-signed-a.exe"),
         PackageName(3), Then::PutBack, nullptr, "failed: not resident within 30 s, ended"},
        {"the next version's installer", TrustPackage("next-setup-signed-a.exe"), PackageName(1),
         Then::NewVersion, nullptr, nullptr},
        // The rollback of a signed installer, dated later than the newest: refused before it runs.
        {"the older version's installer, signed as well", TrustPackage("shipped-setup-signed-a.exe"),
         PackageName(0), Then::Stays, "The update file is not newer than the installed one.", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_ftp.Clear();
        ASSERT_TRUE(::CreateDirectoryA((m_ftp.Root() + "\\update").c_str(), nullptr));
        ASSERT_TRUE(m_ftp.ServeCopy("update\\" + c.packageName, c.package));
        std::vector<std::string> files;
        for (const char* name : kProgramFiles)
            files.push_back(ReadFileText(Installed(name)));
        const DWORD start = ::GetTickCount();
        const std::string lastDownload = RegString(kParamsKey, "LastDownloadFile");
        MessageBoxWatcher box("Corvalis Wayrail", IDOK, 30000);
        ASSERT_TRUE(RequestUpdate(30000)) << "the update run did not end";
        const MessageBoxSeen seen = box.Stop();
        EXPECT_EQ(seen.shown ? seen.text : "<no box>", c.refusal ? c.refusal : "<no box>");
        EXPECT_FALSE(FileExists(Downloaded(c.packageName)));
        if (c.refusal) {
            EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), lastDownload);
        } else {
            EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), Downloaded(c.packageName));
        }
        if (c.then == Then::Stays) {
            EXPECT_FALSE(Ended(resident, 1000));
        } else {
            // The old version watches the new one prove itself, then ends; a failed one is ended too.
            EXPECT_TRUE(Ended(resident, 60000)) << "the old version stayed";
            Resident next = Find(30000, resident.pid);
            ASSERT_NE(next.pid, 0u) << "no new resident Pendlemark";
            std::printf("[ deploy   ] %s: update run to the old version ended, a new one resident: %lu ms\n",
                        c.name, ::GetTickCount() - start);
            EXPECT_EQ(_stricmp(next.image.c_str(), Installed("Pendlemark.exe").c_str()), 0) << next.image;
            EXPECT_FALSE(Ended(next, 1000));
            EXPECT_EQ(Instances(), 1u);
            resident = std::move(next);
            // Nothing left beside the installation; its autostart value starts it as before.
            EXPECT_TRUE(WaitUntil([&] { return !SetAsideLeft(); }, 10000));
            EXPECT_EQ(RegString(kRunKey, "Pendlemark"), Quote(Installed("Pendlemark.exe")));
            const std::vector<std::string> log = LastRunLog();
            // After the run's own lines: the start, the end of the proof, and what became of the previous
            // one.
            const size_t started = log.size() - (c.then == Then::NewVersion ? 2 : 3);
            ASSERT_GE(log.size(), 3u);
            EXPECT_EQ(log[started].rfind("new version " PM_NEXT_VERSION ".0 started as process ", 0), 0u)
                << log[started];
            EXPECT_EQ(log[started - 1].rfind("ended after ", 0), 0u) << log[started - 1];
            if (c.then == Then::NewVersion) {
                version = PM_NEXT_VERSION;
                EXPECT_EQ(log.back(), "new version " PM_NEXT_VERSION
                                      ".0 is resident and still running after 10 s: the update is complete");
            } else {
                // The previous version back byte for byte, with its records, by no box.
                for (size_t i = 0; i < files.size(); ++i)
                    EXPECT_TRUE(ReadFileText(Installed(kProgramFiles[i])) == files[i]) << kProgramFiles[i];
                EXPECT_EQ(log[log.size() - 2], std::string("new version " PM_NEXT_VERSION ".0 ") + c.failure);
                EXPECT_EQ(log.back(), "kept the previous version " PM_VERSION
                                      ".0: its files and records are back, and it was started again");
                EXPECT_EQ(FindBox("Corvalis"), nullptr);
            }
        }
        // Each product's version as installed last, Pendlemark's by its setup too; a refusal records
        // nothing, and neither does a package that ended with a failure code (the stand-in does).
        EXPECT_FALSE(RegValueExists(kPackages, "Corvalis Menus"));
        EXPECT_EQ(RegString(kPackages, "Pendlemark"), version + ".0");
        EXPECT_EQ(RegString(kUninstallKey, "DisplayVersion"), version);
        EXPECT_EQ(FileVersion(Installed("Pendlemark.exe")), version);
    }
}

TEST_F(DeployTest, UninstallWaitsForAnUpdateRunThenRemovesEverythingAndNothingComesBack) {
    // The run installs the next version's installer from a slow server: it downloads for about 7 s,
    // then the installer puts files and values back and Pendlemark restarts as the new version.
    Configure(m_slowFtp);
    ASSERT_TRUE(m_slowFtp.ServeCopy("update\\" + PackageName(0), NextSetup()));
    ASSERT_EQ(Install(ShippedSetup()), 0);
    ASSERT_NE(Find().pid, 0u);
    CHandle running(OpenOrCreateEvent("CVLUpdateRunning"));
    CHandle request(OpenOrCreateEvent("CVLAutoUpdate"));
    ::SetEvent(request.Get());
    ASSERT_TRUE(WaitUntil([&] { return IsSignalled(running.Get()); }, 10000)) << "no update run started";

    // Run in place (_?=) so that its exit code is its own: the run outlasts the wait it was given.
    const std::string inPlace = Quote(Installed("uninstall.exe")) + " /S /RunWait=1 _?=" + Dir();
    EXPECT_EQ(Process::Start(inPlace).Wait(30000), 3);
    ASSERT_TRUE(IsSignalled(running.Get())) << "the run ended too soon for this test";
    EXPECT_TRUE(FileExists(Installed("Pendlemark.exe")));
    EXPECT_TRUE(FileExists(Installed("uninstall.exe")));
    EXPECT_EQ(RegString(kRunKey, "Pendlemark"), Quote(Installed("Pendlemark.exe")));
    EXPECT_EQ(RegString(kUninstallKey, "DisplayVersion"), PM_VERSION);
    EXPECT_EQ(RegString(kParamsKey, "Server"), m_slowFtp.Address());
    EXPECT_EQ(Instances(), 1u);

    // As Apps & Features starts it: it waits for the run, then removes what the run put back too.
    const DWORD start = ::GetTickCount();
    ASSERT_EQ(Process::Start(Quote(Installed("uninstall.exe")) + " /S").Wait(15000), 0);
    DWORD runEnded = 0, removed = 0;
    WaitUntil(
        [&] {
            if (!runEnded && !IsSignalled(running.Get()))
                runEnded = ::GetTickCount();
            removed = DirExists(Dir()) ? 0 : ::GetTickCount();
            return removed != 0;
        },
        90000);
    ASSERT_NE(removed, 0u) << "the installation folder stayed";
    ASSERT_NE(runEnded, 0u);
    std::printf("[ deploy   ] uninstall during a run: run ended after %lu ms, folder removed after %lu ms\n",
                runEnded - start, removed - start);
    EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), "<missing>") << "the run recorded its package after";
    EXPECT_EQ(ReadFileText(m_launcher.File("cvl.exe")), kOriginal);
    EXPECT_FALSE(FileExists(m_launcher.File("cvlex.exe")));
    // Nothing of ours runs, and nothing comes back.
    const bool back = WaitUntil(
        [&] {
            return Instances() != 0 || DirExists(Dir()) || RegValueExists(kRunKey, "Pendlemark") ||
                   RegValueExists(kUninstallKey, "DisplayName") || RegValueExists(kParamsKey, "Server");
        },
        3000);
    EXPECT_FALSE(back) << "instances " << Instances() << ", folder " << DirExists(Dir()) << ", autostart "
                       << RegValueExists(kRunKey, "Pendlemark") << ", settings "
                       << RegValueExists(kParamsKey, "Server");
}

TEST_F(DeployTest, AfterUpdateWaitsForTheLockThenCleansUpOrGivesUpAtItsLimit) {
    // A copy of the program with files an installer set aside beside it.
    ASSERT_TRUE(::CreateDirectoryA(Dir().c_str(), nullptr));
    ASSERT_TRUE(
        ::CopyFileA(BuiltProgram("Pendlemark.exe").c_str(), Installed("Pendlemark.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteFileText(Installed("Pendlemark.exe.old"), "set aside"));
    ASSERT_TRUE(WriteFileText(Installed("cvlx.exe.old"), "set aside"));
    ASSERT_TRUE(WriteFileText(Installed("CVLHelp.htm.old"), "set aside"));
    const auto afterUpdate = [&] {
        return StartPendlemark("/AfterUpdate", nullptr, 0, Installed("Pendlemark.exe"));
    };

    // This process plays the instance being replaced, ended in the middle of an update run: the run's
    // event stays signalled while another process holds it. Two restarts wait for it; once it lets go,
    // one takes over and the other, finding the lock held again, gives up 30 s after its start.
    CHandle running(OpenOrCreateEvent("CVLUpdateRunning"));
    CHandle done(OpenOrCreateEvent("CVLAutoUpdateDone"));
    ::SetEvent(running.Get());
    ::ResetEvent(done.Get());
    CHandle runOnce(::CreateMutexA(nullptr, FALSE, "CVLRunOnce"));
    ASSERT_EQ(::WaitForSingleObject(runOnce.Get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    const DWORD start = ::GetTickCount();
    Process first = afterUpdate();
    Process second = afterUpdate();
    ::Sleep(1500);
    EXPECT_TRUE(first.Running() && second.Running()) << "a restart did not wait for the lock";
    EXPECT_EQ(::FindWindowA(nullptr, "Pendlemark"), nullptr);
    EXPECT_TRUE(FileExists(Installed("Pendlemark.exe.old")));
    // Its image is let go of a moment after its lock: held without delete sharing for a second more.
    CHandle image(::CreateFileA(Installed("Pendlemark.exe.old").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(image);
    ::ReleaseMutex(runOnce.Get());
    ::Sleep(1000);
    image.Close();

    Resident resident = Find();
    ASSERT_NE(resident.pid, 0u) << "no restart took over once the lock was free";
    EXPECT_TRUE(resident.pid == first.Id() || resident.pid == second.Id());
    EXPECT_FALSE(FileExists(Installed("Pendlemark.exe.old")));
    EXPECT_FALSE(FileExists(Installed("cvlx.exe.old")));
    EXPECT_FALSE(FileExists(Installed("CVLHelp.htm.old")));
    // The unfinished run was ended as a run ends, so that the new instance's runs can start.
    EXPECT_FALSE(IsSignalled(running.Get()));
    EXPECT_TRUE(IsSignalled(done.Get()));
    Process& other = resident.pid == first.Id() ? second : first;
    EXPECT_NE(other.Wait(45000), -1);
    const DWORD waited = ::GetTickCount() - start;
    EXPECT_GE(waited, 29000u);
    EXPECT_LE(waited, 40000u);
    EXPECT_FALSE(Ended(resident, 0));
}

// Every folder named in a script that the test bed's code page 1252 cannot spell, and cvl.ini in UTF-16
// as Windows' own tools save such text.
class DeployInAnotherScript : public DeployTest {
  protected:
    DeployInAnotherScript() : DeployTest(" Корвалис", IniEncoding::Utf16Marked) {}
};

TEST_F(DeployInAnotherScript, InstallsSwapsInUpdatesItselfAndUninstallsThere) {
    ASSERT_EQ(Install(ShippedSetup()), 0);
    EXPECT_EQ(RegString(kUninstallKey, "InstallLocation"), Dir());
    EXPECT_EQ(RegString(kRunKey, "Pendlemark"), Quote(Installed("Pendlemark.exe")));
    Resident resident = Find();
    ASSERT_NE(resident.pid, 0u);
    EXPECT_TRUE(WaitUntil([&] { return ReadFileText(m_launcher.File("cvlex.exe")) == kOriginal; }, 5000));
    EXPECT_EQ(RegString(kParamsKey, "InstallDir"), Dir() + "\\");

    // The package goes to the browser's folder, has its signature checked there, runs, and is deleted
    // and recorded; the new version starts from its own folder.
    SetUserPin(PublisherThumbprint("a").c_str());
    const std::string package = PackageName(0);
    ASSERT_TRUE(m_ftp.ServeCopy("update\\" + package, TrustPackage("next-setup-signed-a.exe")));
    ASSERT_TRUE(RequestUpdate(60000)) << "the update run did not end";
    ASSERT_NE(Find(30000, resident.pid).pid, 0u) << "no new resident Pendlemark";
    EXPECT_EQ(FileVersion(Installed("Pendlemark.exe")), PM_NEXT_VERSION);
    EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), Downloaded(package));
    EXPECT_EQ(RegString(kPackages, "Pendlemark"), PM_NEXT_VERSION ".0");
    EXPECT_FALSE(FileExists(Downloaded(package)));

    // Uninstalled while the old version still watches the new one prove itself: the uninstall wins.
    ASSERT_FALSE(Ended(resident, 0)) << "the proof was over before the uninstall";
    ASSERT_EQ(Process::Start(Quote(Installed("uninstall.exe")) + " /S").Wait(15000), 0);
    EXPECT_TRUE(WaitUntil([&] { return !DirExists(Dir()); }, 20000)) << "the installation folder stayed";
    EXPECT_TRUE(Ended(resident, 0));
    EXPECT_FALSE(WaitUntil([&] { return Instances() != 0 || DirExists(Dir()); }, 3000)) << "it came back";
    EXPECT_EQ(ReadFileText(m_launcher.File("cvl.exe")), kOriginal);
    EXPECT_FALSE(FileExists(m_launcher.File("cvlex.exe")));
    EXPECT_FALSE(DirExists(m_browser.File("Pendlemark")));
}

} // namespace
