// Download throughput of the updater against a bare FtpGetFileA, and the cost of one status callback.
// Run through tools/bench.sh, which starts the FTP server and passes its address and folder.
#include "app/UpdaterApp.h"
#include "update/FtpUpdater.h"
#include "update/UpdateRun.h"
#include "update/TransferProgressDlg.h"
#include "update/TransferStatusCallback.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
const char kPackage[] = "050601-update.exe";
const char kSmallPackage[] = "050602-update.exe"; // the test package as it is, in the folder "small"
const unsigned long long kPackageSize = 64ull << 20;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string ProgramDir() {
    char path[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, length);
    return full.substr(0, full.find_last_of("\\/") + 1);
}

// The test package padded to 64 MB: still a program that starts, ends and records its start.
bool MakePackage(const std::string& path) {
    if (!::CopyFileA((ProgramDir() + "pm_test_package.exe").c_str(), path.c_str(), FALSE))
        return false;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    size.QuadPart = static_cast<LONGLONG>(kPackageSize);
    bool ok = ::SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    ::CloseHandle(file);
    return ok;
}

long g_notifications = 0;
void CALLBACK CountingCallback(HINTERNET, DWORD_PTR, DWORD, LPVOID, DWORD) {
    ++g_notifications;
}

// withCallback: the same status callback set-up as the updater's, with a callback that only counts.
double BareDownload(const std::string& address, const std::string& target, bool withCallback = false) {
    HINTERNET internet = ::InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = ::InternetConnectA(internet, address.c_str(), 0, nullptr, nullptr,
                                              INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
    if (withCallback && connection) {
        ::InternetSetStatusCallback(connection, &CountingCallback);
        // And the updater's search before it, timed on its own.
        double searchStart = Now();
        ::FtpSetCurrentDirectoryA(connection, "/");
        WIN32_FIND_DATAA data;
        HINTERNET find = ::FtpFindFirstFileA(connection, "*-update.exe", &data, 0x84000800, 0);
        if (find) {
            while (::InternetFindNextFileA(find, &data)) {
            }
            ::InternetCloseHandle(find);
        }
        std::printf("search: %.3f s\n", Now() - searchStart);
    }
    double start = Now();
    BOOL ok = connection && ::FtpGetFileA(connection, kPackage, target.c_str(), FALSE, FILE_ATTRIBUTE_NORMAL,
                                          FTP_TRANSFER_TYPE_BINARY, withCallback ? 1 : 0);
    double elapsed = Now() - start;
    if (connection)
        ::InternetCloseHandle(connection);
    if (internet)
        ::InternetCloseHandle(internet);
    ::DeleteFileA(target.c_str());
    return ok ? elapsed : -1.0;
}

struct UpdaterTimes {
    double whole = -1.0;   // the InstallNewestPackage call
    double toStart = -1.0; // until the package had started: search, transfer, checks, process start
};

long long FileSizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

double FileTimeSeconds(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e7;
}

UpdaterTimes UpdaterDownload(const std::string& address) {
    UpdaterTimes times;
    CUpdaterApp* app = GetUpdaterApp();
    app->m_lastDownloadFile.clear();
    CUpdateRun run(*app, *app);
    CFtpUpdater updater(run, address, "", "", "/", 1);
    if (!updater.Connect())
        return times;
    FILETIME begun;
    ::GetSystemTimeAsFileTime(&begun);
    double start = Now();
    BOOL ok = updater.InstallNewestPackage("");
    double elapsed = Now() - start;
    if (!ok) {
        std::printf("updater failed: %s\n", updater.m_errorText.c_str());
        return times;
    }
    times.whole = elapsed;
    // The package writes its record as it starts: the record's creation time is the start.
    std::string record = app->GetDownloadFilePath(kPackage) + ".cmdline";
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (::GetFileAttributesExA(record.c_str(), GetFileExInfoStandard, &data))
        times.toStart = FileTimeSeconds(data.ftCreationTime) - FileTimeSeconds(begun);
    ::DeleteFileA(record.c_str());
    return times;
}

// The moment the package at path wrote its record, as it does first thing when it starts.
double StartedAt(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    const std::string record = path + ".cmdline";
    const double started = ::GetFileAttributesExA(record.c_str(), GetFileExInfoStandard, &data)
                               ? FileTimeSeconds(data.ftCreationTime)
                               : -1;
    ::DeleteFileA(record.c_str());
    return started;
}

double SystemNow() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return FileTimeSeconds(now);
}

// A bare client: connect, FtpGetFileA, start the package and wait for it; seconds until it had started.
double BareSmallRun(const std::string& address, const std::string& folder) {
    const std::string local = folder + "\\" + kSmallPackage;
    const double start = SystemNow();
    HINTERNET internet = ::InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = ::InternetConnectA(internet, address.c_str(), 0, nullptr, nullptr,
                                              INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
    BOOL ok =
        connection && ::FtpGetFileA(connection, (std::string("small/") + kSmallPackage).c_str(),
                                    local.c_str(), FALSE, FILE_ATTRIBUTE_NORMAL, FTP_TRANSFER_TYPE_BINARY, 0);
    if (ok) {
        std::string commandLine = "\"" + local + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ok = ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process);
        if (ok) {
            ::WaitForSingleObject(process.hProcess, INFINITE);
            ::CloseHandle(process.hThread);
            ::CloseHandle(process.hProcess);
        }
    }
    ::InternetCloseHandle(connection);
    ::InternetCloseHandle(internet);
    const double started = StartedAt(local);
    ::DeleteFileA(local.c_str());
    return ok && started > 0 ? started - start : -1.0;
}

// The update run as the user sees it (progress window, phases, the listing, the transfer, the package run).
double UpdaterSmallRun(const std::string& address) {
    CUpdaterApp* app = GetUpdaterApp();
    app->m_lastDownloadFile.clear();
    const double start = SystemNow();
    {
        CUpdateRun run(*app, *app);
        CFtpUpdater updater(run, address, "", "", "/small/", 1);
        updater.OpenProgressWindow(FALSE);
        updater.ShowStatus("Checking for internet connection...");
        if (!updater.Connect())
            return -1.0;
        updater.ShowStatus("Checking for updates...");
        if (!updater.InstallNewestPackage("")) {
            std::printf("updater failed: %s\n", updater.m_errorText.c_str());
            return -1.0;
        }
        updater.CloseInternetHandles();
        updater.CloseProgressWindow();
    }
    const double started = StartedAt(app->GetDownloadFilePath(kSmallPackage));
    return started > 0 ? started - start : -1.0;
}

// What the update run does beyond a bare client, each on its own: its window (opened, two phases shown,
// closed), and its search of the folder (FtpSetCurrentDirectoryA and FtpFindFirstFileA).
double WindowAlone() {
    const double start = Now();
    CUpdateRun run(*GetUpdaterApp(), *GetUpdaterApp());
    CFtpUpdater updater(run, "", "", "", "", 0);
    updater.OpenProgressWindow(FALSE);
    updater.ShowStatus("Checking for internet connection...");
    updater.ShowStatus("Checking for updates...");
    updater.CloseProgressWindow();
    return Now() - start;
}

double SearchAlone(const std::string& address) {
    HINTERNET internet = ::InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = ::InternetConnectA(internet, address.c_str(), 0, nullptr, nullptr,
                                              INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
    const double start = Now();
    ::FtpSetCurrentDirectoryA(connection, "/small/");
    WIN32_FIND_DATAA data;
    HINTERNET find = ::FtpFindFirstFileA(connection, "*-update.exe", &data, 0x84000800, 0);
    const double elapsed = Now() - start;
    if (find)
        ::InternetCloseHandle(find);
    ::InternetCloseHandle(connection);
    ::InternetCloseHandle(internet);
    return elapsed;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1.0 : values[values.size() / 2];
}

double MegabytesPerSecond(double seconds) {
    return static_cast<double>(kPackageSize) / (1024.0 * 1024.0) / seconds;
}
} // namespace

int main() {
    const char* address = std::getenv("PM_BENCH_ADDRESS");
    const char* root = std::getenv("PM_BENCH_ROOT");
    const char* work = std::getenv("PM_BENCH_WORK");
    if (!address || !root || !work) {
        std::printf("PM_BENCH_ADDRESS, PM_BENCH_ROOT and PM_BENCH_WORK must be set (see tools/bench.sh)\n");
        return 2;
    }
    CUpdaterApp* app = GetUpdaterApp();
    app->SetRegistryKey("Corvalis");
    app->m_browserDir = work;
    if (!MakePackage(std::string(root) + "\\" + kPackage)) {
        std::printf("cannot write the package into %s\n", root);
        return 2;
    }

    // The two alternate, so that neither profits from a warmer cache; the best of each counts.
    const int rounds = 6;
    double bare = 1e9, updater = 1e9, toStart = 1e9;
    for (int round = 0; round < rounds; ++round) {
        // Odd rounds start with the updater: whichever runs second pays for the first one's writing.
        double b = -1.0;
        UpdaterTimes u;
        if (round % 2 == 0) {
            b = BareDownload(address, std::string(work) + "\\bare.bin");
            u = UpdaterDownload(address);
        } else {
            u = UpdaterDownload(address);
            b = BareDownload(address, std::string(work) + "\\bare.bin");
        }
        if (b < 0 || u.whole < 0) {
            std::printf("download failed in round %d\n", round + 1);
            return 1;
        }
        std::printf(
            "round %d: bare FtpGetFileA %.3f s, InstallNewestPackage %.3f s (package started after %.3f s)\n",
            round + 1, b, u.whole, u.toStart);
        bare = b < bare ? b : bare;
        updater = u.whole < updater ? u.whole : updater;
        toStart = u.toStart >= 0 && u.toStart < toStart ? u.toStart : toStart;
    }
    g_notifications = 0;
    double counted = BareDownload(address, std::string(work) + "\\counted.bin", true);
    std::printf("bare FtpGetFileA with a counting status callback: %.3f s, %ld notifications\n", counted,
                g_notifications);
    // What running the package itself costs (the updater's time includes it).
    std::string copy = std::string(work) + "\\run-update.exe";
    ::CopyFileA((std::string(root) + "\\" + kPackage).c_str(), copy.c_str(), FALSE);
    CUpdateRun runner(*GetUpdaterApp(), *GetUpdaterApp());
    double start = Now();
    runner.RunInstaller(copy);
    double run = Now() - start;
    ::DeleteFileA(copy.c_str());
    ::DeleteFileA((copy + ".cmdline").c_str());

    std::printf("64 MB package, best of %d:\n", rounds);
    std::printf("  bare FtpGetFileA:           %.3f s  %.1f MB/s\n", bare, MegabytesPerSecond(bare));
    std::printf("  InstallNewestPackage:       %.3f s  %.1f MB/s  (%.1f %% of bare)\n", updater,
                MegabytesPerSecond(updater), 100.0 * bare / updater);
    std::printf("  until the package started:  %.3f s  %.1f MB/s  (%.1f %% of bare)\n", toStart,
                MegabytesPerSecond(toStart), 100.0 * bare / toStart);
    std::printf("  running the package alone:  %.3f s\n", run);

    // A small package from the request until it has started: the update run against a bare client.
    const std::string small = std::string(root) + "\\small";
    ::CreateDirectoryA(small.c_str(), nullptr);
    ::CopyFileA((ProgramDir() + "pm_test_package.exe").c_str(), (small + "\\" + kSmallPackage).c_str(),
                FALSE);
    const std::string bareFolder = std::string(work) + "\\bare";
    ::CreateDirectoryA(bareFolder.c_str(), nullptr);
    std::vector<double> bareRuns, updaterRuns, windows, searches;
    BareSmallRun(address, bareFolder); // warm-up of both, not counted
    UpdaterSmallRun(address);
    for (int round = 0; round < 15; ++round) {
        const double first = round % 2 ? UpdaterSmallRun(address) : BareSmallRun(address, bareFolder);
        const double second = round % 2 ? BareSmallRun(address, bareFolder) : UpdaterSmallRun(address);
        if (first < 0 || second < 0) {
            std::printf("small package round %d failed: %s\n", round + 1,
                        (round % 2 ? first : second) < 0 ? "the update run" : "the bare client");
            return 1;
        }
        bareRuns.push_back(round % 2 ? second : first);
        updaterRuns.push_back(round % 2 ? first : second);
        windows.push_back(WindowAlone());
        searches.push_back(SearchAlone(address));
    }
    std::printf("small package (%ld bytes), request until started, median of 15:\n",
                static_cast<long>(FileSizeOf(small + "\\" + kSmallPackage)));
    std::printf("  bare FtpGetFileA and CreateProcess: %.1f ms\n", Median(bareRuns) * 1000);
    std::printf("  the update run with its window:     %.1f ms  (+%.1f ms)\n", Median(updaterRuns) * 1000,
                (Median(updaterRuns) - Median(bareRuns)) * 1000);
    std::printf(
        "  of which, measured on their own: the progress window %.1f ms, the folder's search %.1f ms\n",
        Median(windows) * 1000, Median(searches) * 1000);

    // The status callback as WinINet calls it for every block, with the window open.
    CUpdateRun callbackRun(*GetUpdaterApp(), *GetUpdaterApp());
    CFtpUpdater callbackUpdater(callbackRun, "", "", "", "", 0);
    if (!callbackUpdater.OpenProgressWindow(TRUE)) {
        std::printf("cannot open the progress window\n");
        return 1;
    }
    const int calls = 10000;
    DWORD block = 4096;
    callbackUpdater.m_bytesExpected = static_cast<unsigned long long>(block) * calls;
    start = Now();
    for (int i = 0; i < calls; ++i)
        TransferStatusCallback(nullptr, reinterpret_cast<DWORD_PTR>(&callbackUpdater),
                               INTERNET_STATUS_RESPONSE_RECEIVED, &block, sizeof block);
    double elapsed = Now() - start;
    callbackUpdater.CloseProgressWindow();
    std::printf("status callback, status 41, window open: %d calls in %.3f s, %.1f us per call\n", calls,
                elapsed, elapsed / calls * 1e6);

    // For scale: one look at the message queue, which each notification makes three times.
    MSG msg;
    start = Now();
    for (int i = 0; i < calls; ++i)
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    elapsed = Now() - start;
    std::printf("PeekMessageA on an empty queue: %.1f us per call\n", elapsed / calls * 1e6);
    ::DeleteFileA((std::string(root) + "\\" + kPackage).c_str());
    return 0;
}
