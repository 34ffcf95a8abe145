// The HTTPS channel's transfer of a 64 MB package against a bare WinINet HTTPS read loop of the same file
// on the same server, and how much a transfer cut at half moves when it is taken up again. Run through
// tools/bench.sh https, which starts the server (with its test root trusted in the prefix).
#include "app/UpdaterApp.h"
#include "update/FtpUpdater.h"
#include "update/HttpsChannel.h"

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {
const char kPackage[] = "050601-update.exe";
const long long kPackageSize = 64ll << 20;

double Now() {
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A bare read loop with the same buffer, as any program would fetch the file.
double BareDownload(const std::string& url, const std::string& target) {
    HINTERNET internet = ::InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    const double start = Now();
    HINTERNET request = ::InternetOpenUrlA(internet, url.c_str(), nullptr, 0,
                                           INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    HANDLE file = ::CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    static char buffer[64 * 1024]; // as the channel reads
    long long total = 0;
    DWORD got = 0, written = 0;
    while (request && ::InternetReadFile(request, buffer, sizeof buffer, &got) && got > 0) {
        ::WriteFile(file, buffer, got, &written, nullptr);
        total += got;
    }
    const double elapsed = Now() - start;
    ::CloseHandle(file);
    if (request)
        ::InternetCloseHandle(request);
    ::InternetCloseHandle(internet);
    ::DeleteFileA(target.c_str());
    return total == kPackageSize ? elapsed : -1.0;
}

// The channel's own transfer into the download folder: list read first, the transfer timed alone.
double ChannelDownload(const std::string& server, const std::string& work) {
    CUpdaterApp& app = *GetUpdaterApp();
    CFtpUpdater run("", "", "", "", 0);
    run.m_context = MakeUpdateContext(app, app);
    run.m_context.downloadFolder = work + "\\";
    CHttpsChannel https(ParseServerAddress(server), "", "", "/update/", run);
    PackageCandidate package;
    if (!https.Connect() || !https.FindNewestPackage(package)) {
        std::printf("channel: %s\n", run.m_errorText.c_str());
        return -1.0;
    }
    const std::string local = work + "\\" + kPackage;
    const double start = Now();
    const BOOL fetched = https.FetchPackage(package, local);
    const double elapsed = Now() - start;
    ::DeleteFileA(local.c_str());
    return fetched ? elapsed : -1.0;
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
    // The package (the test package padded to 64 MB) and the list naming it.
    const std::string folder = std::string(root) + "\\update";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string package = folder + "\\" + kPackage;
    CHandle file(
        ::CreateFileA(package.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    LARGE_INTEGER size;
    size.QuadPart = kPackageSize;
    if (!file || !::SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get()))
        return 1;
    const std::optional<Sha256Digest> digest = CSha256::OfFile(file.Get());
    file.Close();
    const std::string hex = ThumbprintHex(digest.value_or(Sha256Digest{}));
    std::ofstream(folder + "\\Pendlemark.feed", std::ios::binary)
        << "Pendlemark feed 1\nserial 1\nexpires 2099-01-01T00:00:00Z\npackage " << kPackage << " "
        << kPackageSize << " " << hex << "\n";

    const std::string url = std::string(server) + "/update/" + kPackage;
    // One of each first to warm the server's and the system's caches, not counted.
    BareDownload(url, std::string(work) + "\\bare");
    ChannelDownload(server, work);
    double bare = 0, channel = 0;
    const int rounds = 4;
    for (int round = 0; round < rounds; ++round) {
        // Rotated, so that neither always runs first on a warm cache.
        const double a =
            round % 2 ? ChannelDownload(server, work) : BareDownload(url, std::string(work) + "\\bare");
        const double b =
            round % 2 ? BareDownload(url, std::string(work) + "\\bare") : ChannelDownload(server, work);
        const double roundBare = round % 2 ? b : a;
        const double roundChannel = round % 2 ? a : b;
        if (roundBare < 0 || roundChannel < 0) {
            std::printf("round %d failed\n", round);
            return 1;
        }
        std::printf("round %d: bare read loop %.3f s, Pendlemark %.3f s\n", round, roundBare, roundChannel);
        bare += roundBare;
        channel += roundChannel;
    }
    const double mb = static_cast<double>(kPackageSize) / 1e6;
    std::printf("64 MB over HTTPS, %d rounds:\n  bare WinINet read loop: %.1f MB/s\n  Pendlemark's transfer: "
                " %.1f MB/s "
                "(%.3f of bare)\n",
                rounds, mb * rounds / bare, mb * rounds / channel, bare / channel);

    // Cut at half, once: the channel takes the transfer up again within the run.
    std::ofstream(std::string(root) + "\\.faults", std::ios::binary)
        << "cut " << kPackage << " " << kPackageSize / 2 << " 1\n";
    if (ChannelDownload(server, work) < 0)
        return 1;
    std::printf("cut at half (%lld bytes): see the server's activity for what the second request moved\n",
                kPackageSize / 2);
    ::DeleteFileA(package.c_str());
    return 0;
}
