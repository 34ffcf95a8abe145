// Thirty update runs in one resident program: after a warm-up of ten, nothing it holds may grow.
// (tools/bench.sh soak runs the same for 200 runs.)
#include "support/UpdateSoak.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace pmtest;

TEST(Soak, ThirtyRunsAfterTheWarmUpGrowNoHandleObjectOrMemory) {
    ResetProgramState();
    FtpTestServer server("soak", 81);
    TempDir browser("soak-browser");
    std::vector<SoakRun> runs;
    {
        UpdateSoak soak(server, browser.Path());
        std::string error;
        ASSERT_TRUE(soak.Start(error)) << error;
        for (int number = 1; number <= 30; ++number) {
            SoakRun run;
            ASSERT_TRUE(soak.Run(number, run, error)) << error;
            runs.push_back(run);
        }
    }
    std::fputs(SoakReport(runs, 10).c_str(), stdout);
    for (const std::string& fault : GrowthAfterWarmUp(runs, 10))
        ADD_FAILURE() << fault;
    DeleteCorvalisKeys();
    RemoveCvlIni();
}
