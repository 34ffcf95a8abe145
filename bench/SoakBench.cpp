// The soak: one resident Pendlemark.exe through many update runs (200 unless PM_SOAK_RUNS says
// otherwise), alternating a new package with "nothing new", and what it holds after each run.
// Run through tools/bench.sh soak, which starts the FTP server; exits 1 when anything grew.
#include "support/UpdateSoak.h"

#include <cstdio>
#include <cstdlib>

using namespace pmtest;

int main() {
    const char* count = std::getenv("PM_SOAK_RUNS");
    const int runCount = count && std::atoi(count) > 0 ? std::atoi(count) : 200;
    const size_t warmUp = 10;

    FtpTestServer server("soakbench", 201);
    TempDir browser("soak-bench");
    std::vector<SoakRun> runs;
    std::string error;
    const DWORD start = ::GetTickCount();
    {
        UpdateSoak soak(server, browser.Path());
        if (!soak.Start(error)) {
            std::fprintf(stderr, "soak: %s\n", error.c_str());
            return 2;
        }
        for (int number = 1; number <= runCount; ++number) {
            SoakRun run;
            if (!soak.Run(number, run, error)) {
                std::fprintf(stderr, "soak: %s\n", error.c_str());
                return 2;
            }
            runs.push_back(run);
            if (number % 20 == 0) {
                std::fprintf(stderr, "soak: %d of %d runs\n", number, runCount);
            }
        }
    }
    const DWORD total = ::GetTickCount() - start;
    std::fputs(SoakReport(runs, warmUp).c_str(), stdout);
    std::printf("whole soak, with the program's start and end: %lu ms\n", total);
    const std::vector<std::string> faults = GrowthAfterWarmUp(runs, warmUp);
    for (const std::string& fault : faults)
        std::printf("GROWTH: %s\n", fault.c_str());
    if (faults.empty())
        std::printf("after the %zu-run warm-up nothing grew beyond its limit\n", warmUp);
    DeleteCorvalisKeys();
    RemoveCvlIni();
    return faults.empty() ? 0 : 1;
}
