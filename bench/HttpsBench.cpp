// The HTTPS channel from the request of the update list until the package has started, against a bare
// WinINet client doing the same work (the list, the package in 64 KiB blocks to a file hashed with SHA-256
// as the bytes arrive, the start) on the same server, and against the same client reading the package and
// discarding it (the ceiling of the platform's TLS stack); for a large and a small package. Then how much a
// transfer cut at half moves when it is taken up again. Run through tools/bench.sh https, which starts the
// server (its test root trusted in the prefix only).
#include "app/UpdaterApp.h"
#include "update/HttpsChannel.h"
#include "update/Sha256.h"
#include "update/UpdateRun.h"

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
const long long kLargeSize = 64ll << 20;
// The size of the package now served, and its list.
long long g_packageSize = 0;

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
// arrive, checked against the list, then started and waited for. Discarding, it only reads the package.
double BareClient(const std::string& server, const std::string& folder, bool discard = false) {
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
        if (!discard) {
            hash.Add(buffer, got);
            ::WriteFile(file, buffer, got, &written, nullptr);
        }
        total += got;
    }
    ::CloseHandle(file);
    ::InternetCloseHandle(request);
    ::InternetCloseHandle(internet);
    if (discard) {
        ::DeleteFileA(local.c_str());
        return total == g_packageSize ? SystemNow() - start : -1.0;
    }
    const std::optional<Sha256Digest> digest = hash.Finish();
    if (total != g_packageSize || !digest || feed.find(ThumbprintHex(*digest)) == std::string::npos)
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
    app.m_server = server;
    app.m_pathToFile = "/update/";
    const double start = SystemNow();
    CUpdateRun run(app, app);
    CHttpsChannel https(run);
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

double Best(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

// The package (the test package, padded to size when that is larger: it still starts and records its
// start) and its list.
bool ServePackage(const std::string& folder, long long size) {
    const std::string package = folder + "\\" + kPackage;
    if (!::CopyFileA((ProgramDir() + "pm_test_package.exe").c_str(), package.c_str(), FALSE))
        return false;
    CHandle file(
        ::CreateFileA(package.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER length;
    if (!file || !::GetFileSizeEx(file.Get(), &length))
        return false;
    if (size > length.QuadPart) {
        length.QuadPart = size;
        if (!::SetFilePointerEx(file.Get(), length, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get()))
            return false;
    }
    g_packageSize = length.QuadPart;
    const std::optional<Sha256Digest> digest = CSha256::OfFile(file.Get());
    file.Close();
    std::ofstream(folder + "\\Pendlemark.feed", std::ios::binary)
        << "Pendlemark feed 1\nserial 1\nexpires 2099-01-01T00:00:00Z\npackage " << kPackage << " "
        << g_packageSize << " " << ThumbprintHex(digest.value_or(Sha256Digest{})) << "\n";
    return true;
}

// Rounds of the three, each round in another order so that none always runs first on a warm cache; the
// best of each (what the machine can do when nothing else gets in the way) and the medians.
bool Compare(const std::string& server, const std::string& bareFolder, int rounds) {
    const auto run = [&](int which) {
        return which == 0   ? BareClient(server, bareFolder)
               : which == 1 ? BareClient(server, bareFolder, true)
                            : Pendlemark(server);
    };
    for (int which = 0; which < 3; ++which)
        run(which); // warm-up
    std::vector<double> times[3];
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 3; ++turn) {
            const int which = (round + turn) % 3;
            const double took = run(which);
            if (took < 0) {
                std::printf("round %d failed\n", round);
                return false;
            }
            times[which].push_back(took);
        }
        std::printf("round %d: bare client %.3f s, read loop %.3f s, Pendlemark %.3f s\n", round,
                    times[0].back(), times[1].back(), times[2].back());
    }
    const double mb = static_cast<double>(g_packageSize) / 1e6;
    const char* names[] = {"bare WinINet client (64 KiB reads, written and hashed)",
                           "the same reading only (the read loop)", "Pendlemark"};
    std::printf(
        "%.3f MB over HTTPS, from the list's request until the package started (the read loop: until the\n"
        "package was read), best and median of %d:\n",
        mb, rounds);
    for (int which = 0; which < 3; ++which)
        std::printf("  %-56s best %.4f s %7.1f MB/s, median %.4f s\n", names[which], Best(times[which]),
                    mb / Best(times[which]), Median(times[which]));
    std::printf("  Pendlemark against the bare client %.3f (best) %.3f (median), against the read loop %.3f "
                "(best); Pendlemark minus bare %+.1f ms (best)\n",
                Best(times[0]) / Best(times[2]), Median(times[0]) / Median(times[2]),
                Best(times[1]) / Best(times[2]), (Best(times[2]) - Best(times[0])) * 1000);
    return true;
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
    const char* roundsText = std::getenv("PM_BENCH_ROUNDS");
    const int rounds = roundsText && std::atoi(roundsText) > 0 ? std::atoi(roundsText) : 5;
    CUpdaterApp& app = *GetUpdaterApp();
    app.SetRegistryKey("Corvalis");
    app.m_browserDir = work;
    const std::string folder = std::string(root) + "\\update";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string bareFolder = std::string(work) + "\\bare";
    ::CreateDirectoryA(bareFolder.c_str(), nullptr);
    for (long long size : {kLargeSize, 0ll}) {
        if (!ServePackage(folder, size) || !Compare(server, bareFolder, rounds))
            return 1;
    }

    // Cut at half, once: the channel takes the transfer up again within the run.
    if (!ServePackage(folder, kLargeSize))
        return 1;
    std::ofstream(std::string(root) + "\\.faults", std::ios::binary)
        << "cut " << kPackage << " " << kLargeSize / 2 << " 1\n";
    if (Pendlemark(server) < 0)
        return 1;
    std::printf("cut at half (%lld bytes): see the server's activity for what the second request moved\n",
                kLargeSize / 2);
    ::DeleteFileA((folder + "\\" + kPackage).c_str());
    return 0;
}
