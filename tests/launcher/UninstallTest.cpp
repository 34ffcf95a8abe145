// The uninstall switch, run through the real program in a process of its own.
#include "InstallFixture.h"

#include "support/UiDriver.h"

#include <thread>

using pmtest::DirExists;
using pmtest::FileExists;
using pmtest::ReadFileText;
using pmtest::WriteFileText;

namespace {

const char kCompanyKey[] = "Software\\Corvalis";
const char kProductKey[] = "Software\\Corvalis\\Pendlemark";

bool KeyExists(const char* key) {
    HKEY handle;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(handle);
    return true;
}

// A file held open so that nobody else can read or write it, as a running launcher may be.
class LockedFile {
  public:
    explicit LockedFile(const std::string& path)
        : m_file(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~LockedFile() {
        if (m_file != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_file);
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    bool Held() const { return m_file != INVALID_HANDLE_VALUE; }

  private:
    HANDLE m_file;
};

// The shutdown event as a resident instance would hold it.
class ShutdownEvent {
  public:
    ShutdownEvent() : m_event(pmtest::OpenOrCreateEvent("CVLShutdown")) {}
    ~ShutdownEvent() {
        if (m_event)
            ::CloseHandle(m_event);
    }
    ShutdownEvent(const ShutdownEvent&) = delete;
    ShutdownEvent& operator=(const ShutdownEvent&) = delete;
    HANDLE Get() const { return m_event; }

  private:
    HANDLE m_event;
};

// Holds CVLRunOnce on a thread of its own, as a resident instance would, until destroyed.
class RunOnceHolder {
  public:
    RunOnceHolder()
        : m_held(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          m_release(::CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_thread([this] {
              HANDLE runOnce = ::CreateMutexA(nullptr, FALSE, "CVLRunOnce");
              if (runOnce && ::WaitForSingleObject(runOnce, 5000) == WAIT_OBJECT_0) {
                  ::SetEvent(m_held);
                  ::WaitForSingleObject(m_release, 60000);
                  ::ReleaseMutex(runOnce);
              }
              if (runOnce)
                  ::CloseHandle(runOnce);
          }) {}
    ~RunOnceHolder() {
        ::SetEvent(m_release);
        m_thread.join();
        ::CloseHandle(m_held);
        ::CloseHandle(m_release);
    }
    RunOnceHolder(const RunOnceHolder&) = delete;
    RunOnceHolder& operator=(const RunOnceHolder&) = delete;
    bool Held() const { return ::WaitForSingleObject(m_held, 5000) == WAIT_OBJECT_0; }

  private:
    HANDLE m_held;
    HANDLE m_release;
    std::thread m_thread;
};

class Uninstall : public InstallFixture {
  protected:
    // The state after a swap-in: ours in place, the original saved, an empty download folder.
    void Swapped() {
        ASSERT_TRUE(WriteFileText(LauncherFile("cvl.exe"), kOurs));
        ASSERT_TRUE(WriteFileText(LauncherFile("cvlex.exe"), kOriginal));
        ASSERT_TRUE(WriteFileText(ProgramFile("cvlx.exe"), kOurs));
        ASSERT_TRUE(::CreateDirectoryA(DownloadFolder().c_str(), nullptr));
    }
};

class UninstallSwitch : public Uninstall, public ::testing::WithParamInterface<const char*> {};

TEST_P(UninstallSwitch, RestoresTheLauncherAndRemovesFolderAndKeys) {
    Swapped();
    ShutdownEvent shutdown;

    ASSERT_EQ(RunUninstall(GetParam()), 0);

    EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOriginal);
    EXPECT_FALSE(FileExists(LauncherFile("cvlex.exe")));
    EXPECT_FALSE(DirExists(DownloadFolder()));
    EXPECT_TRUE(DirExists(m_browser.Path()));
    EXPECT_FALSE(KeyExists(pmtest::kParamsKey));
    EXPECT_FALSE(KeyExists(kProductKey));
    EXPECT_FALSE(KeyExists(kCompanyKey));
    EXPECT_TRUE(pmtest::IsSignalled(shutdown.Get()));
    // What the uninstall keeps.
    EXPECT_EQ(ReadFileText(ProgramFile("cvlx.exe")), kOurs);
    EXPECT_TRUE(FileExists(Program()));
    EXPECT_TRUE(FileExists(pmtest::CvlIniPath()));
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, UninstallSwitch, ::testing::Values("/uninstall", "-uninstall", "/UnInstall"),
    [](const ::testing::TestParamInfo<const char*>& info) {
        return std::string(info.index == 0 ? "Slash" : info.index == 1 ? "Dash" : "MixedCase");
    });

TEST_F(Uninstall, UnreadableBackupStaysAndTheRestGoesOn) {
    Swapped();
    ShutdownEvent shutdown;
    LockedFile backup(LauncherFile("cvlex.exe"));
    ASSERT_TRUE(backup.Held());

    ASSERT_EQ(RunUninstall(), 0);

    EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOurs);
    EXPECT_FALSE(DirExists(DownloadFolder()));
    EXPECT_FALSE(KeyExists(kCompanyKey));
    EXPECT_TRUE(pmtest::IsSignalled(shutdown.Get()));
    EXPECT_TRUE(FileExists(LauncherFile("cvlex.exe")));
}

TEST_F(Uninstall, LauncherInUseKeepsTheBackup) {
    Swapped();
    {
        LockedFile launcher(LauncherFile("cvl.exe"));
        ASSERT_TRUE(launcher.Held());
        ASSERT_EQ(RunUninstall(), 0);
    }
    EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOurs);
    EXPECT_EQ(ReadFileText(LauncherFile("cvlex.exe")), kOriginal);
    EXPECT_FALSE(KeyExists(kCompanyKey));
}

TEST_F(Uninstall, MissingBackupLeavesTheLauncherAndTheRestGoesOn) {
    Swapped();
    ASSERT_TRUE(::DeleteFileA(LauncherFile("cvlex.exe").c_str()));
    ShutdownEvent shutdown;

    ASSERT_EQ(RunUninstall(), 0);

    EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOurs);
    EXPECT_FALSE(DirExists(DownloadFolder()));
    EXPECT_FALSE(KeyExists(kCompanyKey));
    EXPECT_TRUE(pmtest::IsSignalled(shutdown.Get()));
}

TEST_F(Uninstall, DownloadFolderWithAFileStays) {
    Swapped();
    const std::string leftOver = DownloadFolder() + "\\050101-update.exe";
    ASSERT_TRUE(WriteFileText(leftOver, "package"));

    ASSERT_EQ(RunUninstall(), 0);

    EXPECT_EQ(ReadFileText(leftOver), "package");
    EXPECT_FALSE(FileExists(LauncherFile("cvlex.exe")));
}

TEST_F(Uninstall, CompanyKeyWithAnotherProductStays) {
    pmtest::SetRegString("Software\\Corvalis\\Other", "Kept", "yes");

    ASSERT_EQ(RunUninstall(), 0);

    EXPECT_FALSE(KeyExists(pmtest::kParamsKey));
    EXPECT_FALSE(KeyExists(kProductKey));
    EXPECT_EQ(pmtest::RegString("Software\\Corvalis\\Other", "Kept"), "yes");
}

TEST_F(Uninstall, ProductKeyWithAnotherSubkeyStays) {
    pmtest::SetRegString("Software\\Corvalis\\Pendlemark\\Extra", "Kept", "yes");

    ASSERT_EQ(RunUninstall(), 0);

    EXPECT_FALSE(KeyExists(pmtest::kParamsKey));
    EXPECT_EQ(pmtest::RegString("Software\\Corvalis\\Pendlemark\\Extra", "Kept"), "yes");
    EXPECT_TRUE(KeyExists(kCompanyKey));
}

TEST_F(Uninstall, SignalsShutdownOnlyAfterFilesAndKeysAreHandled) {
    Swapped();
    ShutdownEvent shutdown;
    // What a resident instance would find at the moment it is told to quit.
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
}

TEST_F(Uninstall, WithoutAResidentInstanceSimplyEnds) {
    Swapped();

    ASSERT_EQ(RunUninstall(), 0);

    EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOriginal);
    // It neither made the event nor stayed with a window of its own.
    HANDLE shutdown = ::OpenEventA(SYNCHRONIZE, FALSE, "CVLShutdown");
    EXPECT_EQ(shutdown, nullptr);
    if (shutdown)
        ::CloseHandle(shutdown);
    EXPECT_EQ(::FindWindowA(nullptr, "Pendlemark"), nullptr);
}

TEST_F(Uninstall, RunsWhileAnotherProcessHoldsTheLockAndTakesNoneItself) {
    Swapped();
    {
        RunOnceHolder holder;
        ASSERT_TRUE(holder.Held());
        ASSERT_EQ(RunUninstall(), 0);
    }
    EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOriginal);
    EXPECT_FALSE(KeyExists(kCompanyKey));

    // An uninstall that took the lock and ended without releasing it would leave it abandoned.
    ASSERT_EQ(RunUninstall(), 0);
    HANDLE runOnce = ::CreateMutexA(nullptr, FALSE, "CVLRunOnce");
    ASSERT_NE(runOnce, nullptr);
    EXPECT_EQ(::WaitForSingleObject(runOnce, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ::ReleaseMutex(runOnce);
    ::CloseHandle(runOnce);
}

// Needs the scheduler thread, which creates CVLShutdown in the resident instance and closes it.
TEST_F(Uninstall, ResidentInstanceClosesThroughTheShutdownEvent) {
    ASSERT_TRUE(WriteFileText(LauncherFile("cvl.exe"), kOriginal));
    ASSERT_TRUE(WriteFileText(ProgramFile("cvlx.exe"), kOurs));
    HWND window = nullptr;
    pmtest::Process resident = StartResident(window);
    ASSERT_NE(window, nullptr);

    ASSERT_EQ(RunUninstall(), 0);

    EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOriginal);
    EXPECT_TRUE(pmtest::WaitForWindowGone(window, 5000)) << "the resident instance did not close";
    EXPECT_NE(resident.Wait(5000), -1);
}

} // namespace
