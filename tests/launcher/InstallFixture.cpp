#include "InstallFixture.h"

#include "support/UiDriver.h"

#include <tlhelp32.h>

void InstallFixture::SetUp() {
    pmtest::ResetProgramState();
    pmtest::DeleteCorvalisKeys();
    ASSERT_TRUE(::CopyFileA(pmtest::BuiltProgram("Pendlemark.exe").c_str(), Program().c_str(), FALSE));
    pmtest::WriteCvlIni(m_browser.Path().c_str(), m_launcher.Path().c_str());
}

void InstallFixture::TearDown() {
    pmtest::ResetProgramState();
    pmtest::RemoveCvlIni();
    pmtest::DeleteCorvalisKeys();
}

pmtest::Process InstallFixture::StartResident(HWND& window, const char* currentDir) {
    // Without the switch the default settings would ask for an update at once.
    pmtest::Process process = pmtest::Process::Start(Quote(Program()) + " /NoUpdateOnStartup", currentDir);
    window = process.Handle() ? WaitForMainWindowOf(process.Id()) : nullptr;
    return process;
}

void InstallFixture::StartAndCloseResident(const char* currentDir) {
    HWND window = nullptr;
    pmtest::Process process = StartResident(window, currentDir);
    ASSERT_NE(window, nullptr) << "the resident instance showed no main window; "
                               << (process.Running() ? "it still runs"
                                                     : "it ended with " + std::to_string(process.Wait(0)));
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_NE(process.Wait(10000), -1) << "the resident instance did not end after WM_CLOSE";
}

long InstallFixture::RunUninstall(const std::string& uninstallSwitch) {
    pmtest::Process process = pmtest::Process::Start(Quote(Program()) + " " + uninstallSwitch);
    return process.Wait(15000);
}

std::string Quote(const std::string& path) {
    return "\"" + path + "\"";
}

bool SetFileTimes(const std::string& path, int millisecondsAfterBase) {
    // 2020-09-13 12:26:40 UTC, in 100 ns ticks since 1601.
    const unsigned long long base = (1600000000ULL + 11644473600ULL) * 10000000ULL;
    ULARGE_INTEGER ticks;
    ticks.QuadPart = base + static_cast<unsigned long long>(millisecondsAfterBase) * 10000ULL;
    FILETIME time{ticks.LowPart, ticks.HighPart};
    HANDLE file = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BOOL ok = ::SetFileTime(file, &time, nullptr, &time);
    ::CloseHandle(file);
    return ok != FALSE;
}

HWND WaitForMainWindowOf(DWORD processId, DWORD timeoutMs) {
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    pmtest::WaitUntil(
        [&] {
            ::EnumWindows(
                [](HWND window, LPARAM param) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(param);
                    DWORD owner = 0;
                    ::GetWindowThreadProcessId(window, &owner);
                    char caption[64] = "";
                    ::GetWindowTextA(window, caption, sizeof caption);
                    if (owner != s->processId || lstrcmpA(caption, "Pendlemark") != 0)
                        return TRUE;
                    s->found = window;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

bool WaitForNoProcessNamed(const char* exeName, DWORD timeoutMs) {
    return pmtest::WaitUntil(
        [&] {
            HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
            if (snapshot == INVALID_HANDLE_VALUE)
                return false;
            bool running = false;
            PROCESSENTRY32 entry{};
            entry.dwSize = sizeof entry;
            for (BOOL more = ::Process32First(snapshot, &entry); more && !running;
                 more = ::Process32Next(snapshot, &entry))
                running = lstrcmpiA(entry.szExeFile, exeName) == 0;
            ::CloseHandle(snapshot);
            return !running;
        },
        timeoutMs);
}
