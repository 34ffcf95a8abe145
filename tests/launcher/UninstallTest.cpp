// The uninstall switch, run through the real program in a process of its own.
#include "InstallFixture.h"

#include "support/UiDriver.h"
#include "system/UpdateLog.h"

#include <thread>

namespace {

using pmtest::DirExists;
using pmtest::FileExists;
using pmtest::ReadFileText;
using pmtest::WriteFileText;

const char kCompanyKey[] = "Software\\Corvalis";
const char kProductKey[] = "Software\\Corvalis\\Pendlemark";

bool KeyExists(const char* key) {
    CRegKey handle;
    return handle.Open(HKEY_CURRENT_USER, key, KEY_READ) == ERROR_SUCCESS;
}

class Uninstall : public InstallFixture {
  protected:
    // The state after a swap-in: ours in place, the original saved, an empty download folder.
    void Swapped() {
        ASSERT_TRUE(WriteFileText(LauncherFile("cvl.exe"), kOurs));
        ASSERT_TRUE(WriteFileText(LauncherFile("cvlex.exe"), kOriginal));
        ASSERT_TRUE(WriteFileText(ProgramFile("cvlx.exe"), kOurs));
        ::CreateDirectoryA(DownloadFolder().c_str(), nullptr);
        ASSERT_TRUE(DirExists(DownloadFolder()));
    }
};

TEST_F(Uninstall, RestoresTheLauncherRemovesFolderAndKeysAndOnlyThenSignalsShutdown) {
    Swapped();
    // The versions of the packages installed go with the settings.
    pmtest::SetRegString("Software\\Corvalis\\Pendlemark\\Params\\Packages", "Corvalis Menus", "1.0.0.0");
    // So does what an interrupted transfer kept for resuming, and the update log.
    ASSERT_TRUE(WriteFileText(DownloadFolder() + "\\261201-update.exe.part", "part"));
    CUpdateLog().BeginRun("started by the user");
    ASSERT_TRUE(WriteFileText(CUpdateLog::FilePath() + ".1", "older runs"));
    CHandle shutdown(pmtest::OpenOrCreateEvent("CVLShutdown"));
    // What a resident instance would find at the moment it is told to quit. The keys go innermost
    // first, so the company key is gone only when all three are.
    bool signalled = false, restored = false, backupGone = false, keysGone = false;
    std::thread watcher([&] {
        signalled = ::WaitForSingleObject(shutdown.Get(), 15000) == WAIT_OBJECT_0;
        restored = ReadFileText(LauncherFile("cvl.exe")) == kOriginal;
        backupGone = !FileExists(LauncherFile("cvlex.exe"));
        keysGone = !KeyExists(kCompanyKey);
    });
    long code = RunUninstall();
    if (code == -1)
        ::SetEvent(shutdown.Get()); // never leave the watcher waiting
    watcher.join();

    ASSERT_EQ(code, 0);
    EXPECT_TRUE(signalled);
    EXPECT_TRUE(restored);
    EXPECT_TRUE(backupGone);
    EXPECT_TRUE(keysGone);
    EXPECT_FALSE(DirExists(DownloadFolder()));
    EXPECT_FALSE(DirExists(CUpdateLog::Folder()));
    // What the uninstall keeps.
    EXPECT_TRUE(DirExists(m_browser.Path()));
    EXPECT_EQ(ReadFileText(ProgramFile("cvlx.exe")), kOurs);
    EXPECT_TRUE(FileExists(Program()));
    EXPECT_TRUE(FileExists(pmtest::CvlIniPath()));
}

TEST_F(Uninstall, AFailedRestoreKeepsTheBackupAndTheRestGoesOn) {
    struct {
        const char* name;
        const char* locked;      // held open with no sharing, as a running launcher may be
        const char* backupAfter; // "": missing
    } cases[] = {{"cvlex.exe locked", "cvlex.exe", kOriginal},
                 {"cvl.exe in use", "cvl.exe", kOriginal},
                 {"cvlex.exe missing", nullptr, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Swapped();
        ASSERT_TRUE(c.locked || ::DeleteFileA(LauncherFile("cvlex.exe").c_str()));
        CHandle shutdown(pmtest::OpenOrCreateEvent("CVLShutdown"));
        {
            CHandle locked(c.locked ? ::CreateFileA(LauncherFile(c.locked).c_str(), GENERIC_READ, 0, nullptr,
                                                    OPEN_EXISTING, 0, nullptr)
                                    : nullptr);
            ASSERT_EQ(static_cast<bool>(locked), c.locked != nullptr);
            ASSERT_EQ(RunUninstall(), 0);
        }
        EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOurs);
        EXPECT_EQ(ReadFileText(LauncherFile("cvlex.exe")), c.backupAfter);
        EXPECT_FALSE(DirExists(DownloadFolder()));
        EXPECT_FALSE(KeyExists(kCompanyKey));
        EXPECT_TRUE(pmtest::IsSignalled(shutdown.Get()));
    }
}

TEST_F(Uninstall, WithoutAResidentInstanceEndsKeepingWhatIsNotOursAndTheLockFree) {
    Swapped();
    const std::string leftOver = DownloadFolder() + "\\050101-update.exe";
    ASSERT_TRUE(WriteFileText(leftOver, "package"));
    ASSERT_TRUE(WriteFileText(DownloadFolder() + "\\261201-update.exe.part", "part"));
    pmtest::SetRegString("Software\\Corvalis\\Other", "Kept", "yes");

    ASSERT_EQ(RunUninstall(), 0);

    EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOriginal);
    EXPECT_FALSE(FileExists(LauncherFile("cvlex.exe")));
    EXPECT_EQ(ReadFileText(leftOver), "package");
    EXPECT_FALSE(FileExists(DownloadFolder() + "\\261201-update.exe.part"));
    EXPECT_FALSE(KeyExists(kProductKey));
    EXPECT_EQ(pmtest::RegString("Software\\Corvalis\\Other", "Kept"), "yes");
    // It neither made the event nor stayed with a window of its own.
    EXPECT_FALSE(CHandle(::OpenEventA(SYNCHRONIZE, FALSE, "CVLShutdown")));
    EXPECT_EQ(::FindWindowA(nullptr, "Pendlemark"), nullptr);
    // An uninstall that took the lock and ended without releasing it would leave it abandoned.
    CHandle runOnce(::CreateMutexA(nullptr, FALSE, "CVLRunOnce"));
    ASSERT_TRUE(runOnce);
    EXPECT_EQ(::WaitForSingleObject(runOnce.Get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ::ReleaseMutex(runOnce.Get());
}

TEST_F(Uninstall, RunsBesideAResidentInstanceHoldingTheLockWhichClosesThroughTheShutdownEvent) {
    ASSERT_TRUE(WriteFileText(LauncherFile("cvl.exe"), kOriginal));
    ASSERT_TRUE(WriteFileText(ProgramFile("cvlx.exe"), kOurs));
    HWND window = nullptr;
    pmtest::Process resident = StartResident(window);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOurs);

    ASSERT_EQ(RunUninstall(), 0);

    EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOriginal);
    EXPECT_TRUE(pmtest::WaitForWindowGone(window, 5000)) << "the resident instance did not close";
    EXPECT_NE(resident.Wait(5000), -1);
}

} // namespace
