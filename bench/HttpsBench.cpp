// The HTTPS channel from the request of the update list until the package has started, against a bare
// WinINet client doing the same work (the list, the package in 64 KiB blocks to a file hashed with SHA-256
// as the bytes arrive, the start) on the same server; then how much a transfer cut at half moves when it is
// taken up again. Run through tools/bench.sh https, which starts the server (its test root trusted in the
// prefix only).
#include "app/UpdaterApp.h"
#include "update/FtpUpdater.h"
#include "update/HttpsChannel.h"
#include "update/Sha256.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {
const char kPackage[] = "050601-update.exe";
const long long kPackageSize = 64ll << 20;

double FileTimeSeconds(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e7;
}

double SystemNow() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return FileTimeSeconds(now);
}

// Seconds from start until the package at path wrote its record, as it does first thing when it starts.
double StartedAfter(double start, const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    const std::string record = path + ".cmdline";
    const bool started = ::GetFileAttributesExA(record.c_str(), GetFileExInfoStandard, &data);
    ::DeleteFileA(record.c_str());
    ::DeleteFileA(path.c_str());
    return started ? FileTimeSeconds(data.ftCreationTime) - start : -1.0;
}

std::string ProgramDir() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string full(path, length);
    return full.substr(0, full.find_last_of("\\/") + 1);
}

std::string ReadAll(HINTERNET request) {
    std::string text;
    char buffer[8192];
    DWORD got = 0;
    while (request && ::InternetReadFile(request, buffer, sizeof buffer, &got) && got > 0)
        text.append(buffer, got);
    return text;
}

// What any program would do: the list, the package read in 64 KiB blocks to a file and hashed as they
// arrive, checked against the list, then started and waited for.
double BareClient(const std::string& server, const std::string& folder) {
    const std::string local = folder + "\\" + kPackage;
    const double start = SystemNow();
    HINTERNET internet = ::InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    HINTERNET list =
        ::InternetOpenUrlA(internet, (server + "/update/Pendlemark.feed").c_str(), nullptr, 0, flags, 0);
    const std::string feed = ReadAll(list);
    ::InternetCloseHandle(list);
    HINTERNET request =
        ::InternetOpenUrlA(internet, (server + "/update/" + kPackage).c_str(), nullptr, 0, flags, 0);
    HANDLE file = ::CreateFileA(local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CSha256 hash;
    static char buffer[64 * 1024];
    long long total = 0;
    DWORD got = 0, written = 0;
    while (request && ::InternetReadFile(request, buffer, sizeof buffer, &got) && got > 0) {
        hash.Add(buffer, got);
        ::WriteFile(file, buffer, got, &written, nullptr);
        total += got;
    }
    ::CloseHandle(file);
    ::InternetCloseHandle(request);
    ::InternetCloseHandle(internet);
    const std::optional<Sha256Digest> digest = hash.Finish();
    if (total != kPackageSize || !digest || feed.find(ThumbprintHex(*digest)) == std::string::npos)
        return -1.0;
    std::string commandLine = "\"" + local + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return -1.0;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return StartedAfter(start, local);
}

// Pendlemark's HTTPS update as the update run makes it, without its window.
double Pendlemark(const std::string& server) {
    CUpdaterApp& app = *GetUpdaterApp();
    app.m_lastDownloadFile.clear();
    const double start = SystemNow();
    CFtpUpdater run("", "", "", "", 0);
    run.m_context = MakeUpdateContext(app, app);
    CHttpsChannel https(ParseServerAddress(server), "", "", "/update/", run);
    if (!https.Connect() || !https.InstallNewestPackage()) {
        std::printf("Pendlemark: %s\n", run.m_errorText.c_str());
        return -1.0;
    }
    return StartedAfter(start, app.GetDownloadFilePath(kPackage));
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main() {
    const char* server = std::getenv("PM_BENCH_SERVER");
    const char* root = std::getenv("PM_BENCH_ROOT");
    const char* work = std::getenv("PM_BENCH_WORK");
    if (!server || !root || !work) {
        std::printf("PM_BENCH_SERVER, PM_BENCH_ROOT and PM_BENCH_WORK must be set (see tools/bench.sh)\n");
        return 2;
    }
    CUpdaterApp& app = *GetUpdaterApp();
    app.SetRegistryKey("Corvalis");
    app.m_browserDir = work;
    // The package (the test package padded to 64 MB: it still starts and records its start) and the list.
    const std::string folder = std::string(root) + "\\update";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string package = folder + "\\" + kPackage;
    if (!::CopyFileA((ProgramDir() + "pm_test_package.exe").c_str(), package.c_str(), FALSE))
        return 1;
    CHandle file(
        ::CreateFileA(package.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size;
    size.QuadPart = kPackageSize;
    if (!file || !::SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get()))
        return 1;
    const std::optional<Sha256Digest> digest = CSha256::OfFile(file.Get());
    file.Close();
    std::ofstream(folder + "\\Pendlemark.feed", std::ios::binary)
        << "Pendlemark feed 1\nserial 1\nexpires 2099-01-01T00:00:00Z\npackage " << kPackage << " "
        << kPackageSize << " " << ThumbprintHex(digest.value_or(Sha256Digest{})) << "\n";
    const std::string bareFolder = std::string(work) + "\\bare";
    ::CreateDirectoryA(bareFolder.c_str(), nullptr);

    // One of each first to warm the server's and the system's caches, not counted.
    BareClient(server, bareFolder);
    Pendlemark(server);
    std::vector<double> bare, ours;
    const int rounds = 9;
    for (int round = 0; round < rounds; ++round) {
        // Rotated, so that neither always runs first on a warm cache.
        const double a = round % 2 ? Pendlemark(server) : BareClient(server, bareFolder);
        const double b = round % 2 ? BareClient(server, bareFolder) : Pendlemark(server);
        const double roundBare = round % 2 ? b : a;
        const double roundOurs = round % 2 ? a : b;
        if (roundBare < 0 || roundOurs < 0) {
            std::printf("round %d failed\n", round);
            return 1;
        }
        std::printf("round %d: bare client %.3f s, Pendlemark %.3f s\n", round, roundBare, roundOurs);
        bare.push_back(roundBare);
        ours.push_back(roundOurs);
    }
    const double mb = static_cast<double>(kPackageSize) / 1e6;
    std::printf(
        "64 MB over HTTPS, from the list's request until the package started, median of %d:\n"
        "  bare WinINet client (64 KiB reads, SHA-256 as they arrive): %.3f s  %.1f MB/s\n"
        "  Pendlemark:                                                 %.3f s  %.1f MB/s  (%.3f of bare)\n",
        rounds, Median(bare), mb / Median(bare), Median(ours), mb / Median(ours),
        Median(bare) / Median(ours));

    // Cut at half, once: the channel takes the transfer up again within the run.
    std::ofstream(std::string(root) + "\\.faults", std::ios::binary)
        << "cut " << kPackage << " " << kPackageSize / 2 << " 1\n";
    if (Pendlemark(server) < 0)
        return 1;
    std::printf("cut at half (%lld bytes): see the server's activity for what the second request moved\n",
                kPackageSize / 2);
    ::DeleteFileA(package.c_str());
    return 0;
}
