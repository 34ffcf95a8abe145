// Download throughput of the updater against a bare FtpGetFileA, and the cost of one status callback.
// Run through tools/bench.sh, which starts the FTP server and passes its address and folder.
#include "app/UpdaterApp.h"
#include "update/FtpUpdater.h"
#include "update/TransferProgressDlg.h"
#include "update/TransferStatusCallback.h"

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
const char kPackage[] = "050601-update.exe";
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

double BareDownload(const std::string& address, const std::string& target) {
    HINTERNET internet = ::InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = ::InternetConnectA(internet, address.c_str(), 0, nullptr, nullptr,
                                              INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
    double start = Now();
    BOOL ok = connection && ::FtpGetFileA(connection, kPackage, target.c_str(), FALSE, FILE_ATTRIBUTE_NORMAL,
                                          FTP_TRANSFER_TYPE_BINARY, 0);
    double elapsed = Now() - start;
    if (connection)
        ::InternetCloseHandle(connection);
    if (internet)
        ::InternetCloseHandle(internet);
    ::DeleteFileA(target.c_str());
    return ok ? elapsed : -1.0;
}

double UpdaterDownload(const std::string& address) {
    CUpdaterApp* app = GetUpdaterApp();
    app->m_lastDownloadFile.clear();
    CFtpUpdater updater(address, "", "", "/", 1);
    if (!updater.Connect())
        return -1.0;
    double start = Now();
    BOOL ok = updater.InstallNewestPackage("");
    double elapsed = Now() - start;
    if (!ok)
        std::printf("updater failed: %s\n", updater.m_errorText.c_str());
    return ok ? elapsed : -1.0;
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

    // Alternate the two so that neither profits from a warmer cache; keep the best of each.
    const int rounds = 3;
    double bare = 1e9, updater = 1e9;
    for (int round = 0; round < rounds; ++round) {
        double b = BareDownload(address, std::string(work) + "\\bare.bin");
        double u = UpdaterDownload(address);
        if (b < 0 || u < 0) {
            std::printf("download failed in round %d\n", round + 1);
            return 1;
        }
        std::printf("round %d: bare FtpGetFileA %.3f s, InstallNewestPackage %.3f s\n", round + 1, b, u);
        bare = b < bare ? b : bare;
        updater = u < updater ? u : updater;
    }
    // What running the package itself costs (the updater's time includes it).
    std::string copy = std::string(work) + "\\run-update.exe";
    ::CopyFileA((std::string(root) + "\\" + kPackage).c_str(), copy.c_str(), FALSE);
    CFtpUpdater runner("", "", "", "", 0);
    double start = Now();
    runner.RunInstaller(copy);
    double run = Now() - start;
    ::DeleteFileA(copy.c_str());
    ::DeleteFileA((copy + ".cmdline").c_str());

    std::printf("64 MB package, best of %d:\n", rounds);
    std::printf("  bare FtpGetFileA:           %.3f s  %.1f MB/s\n", bare, MegabytesPerSecond(bare));
    std::printf("  InstallNewestPackage:       %.3f s  %.1f MB/s  (%.1f %% of bare)\n", updater,
                MegabytesPerSecond(updater), 100.0 * bare / updater);
    std::printf("  of which running the package about %.3f s\n", run);

    // The status callback as WinINet calls it for every block, with the window open.
    CFtpUpdater callbackUpdater("", "", "", "", 0);
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
    ::DeleteFileA((std::string(root) + "\\" + kPackage).c_str());
    return 0;
}
