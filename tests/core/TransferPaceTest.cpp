// A transfer is silent, or too slow, only by the time it waited on the server.
#include "core/TransferPace.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

TEST(TransferPace, SilenceAndTheFloorCountOnlyTheTimeSpentWaitingOnTheServer) {
    using V = CTransferPace::Verdict;
    const PaceLimits limits{1000, 10000, 4096};
    const struct {
        const char* what;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> arrivals; // (clock, bytes) after the answer at 0
        std::uint64_t judgedAt;
        V verdict;
    } cases[] = {
        {"nothing yet, within the limit", {}, 999, V::Live},
        {"nothing for the limit", {}, 1000, V::Silent},
        {"bytes a moment ago", {{500, 1}, {1400, 1}}, 2399, V::Live},
        {"no byte since", {{500, 1}, {1400, 1}}, 2400, V::Silent},
        {"a steady 500 bytes a second",
         {{500, 250},  {1000, 250}, {1500, 250}, {2000, 250}, {2500, 250}, {3000, 250}, {3500, 250},
          {4000, 250}, {4500, 250}, {5000, 250}, {5500, 250}, {6000, 250}, {6500, 250}, {7000, 250},
          {7500, 250}, {8000, 250}, {8500, 250}, {9000, 250}, {9500, 250}, {10000, 250}},
         10000,
         V::Live},
        {"a trickle under the floor",
         {{900, 300},
          {1800, 300},
          {2700, 300},
          {3600, 300},
          {4500, 300},
          {5400, 300},
          {6300, 300},
          {7200, 300},
          {8100, 300},
          {9000, 300},
          {9900, 300}},
         10000,
         V::TooSlow},
        {"the floor not yet a window old", {{900, 1}}, 1800, V::Live},
        {"plenty at first, then a trickle for a window",
         {{100, 100000},
          {900, 10},
          {1800, 10},
          {2700, 10},
          {3600, 10},
          {4500, 10},
          {5400, 10},
          {6300, 10},
          {7200, 10},
          {8100, 10},
          {9000, 10},
          {9900, 10},
          {10800, 10}},
         10900,
         V::TooSlow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CTransferPace pace(limits);
        pace.Arrived(0, 0);
        pace.BeginBody(0);
        for (const auto& arrival : c.arrivals)
            pace.Arrived(arrival.first, arrival.second);
        EXPECT_EQ(pace.Judge(c.judgedAt), c.verdict);
    }
}

TEST(TransferPace, TheClockStandsWhileTheRunIsWaitedForAndNeverRunsBackwards) {
    // The stamp stored after the clock was read: no time has passed, none wrapped round.
    EXPECT_EQ(ElapsedMs(1000, 1001), 0u);
    EXPECT_EQ(ElapsedMs(1001, 1000), 1u);
    CServerClock clock;
    EXPECT_EQ(clock.At(5000), 0u);
    clock.Run(5000);
    EXPECT_EQ(clock.At(4999), 0u);
    EXPECT_EQ(clock.At(5600), 600u);
    clock.Stop(5600);
    EXPECT_EQ(clock.At(90000), 600u); // a dialog kept the run away for a while
    clock.Run(90000);
    clock.Run(95000); // already running: counted from the first
    EXPECT_EQ(clock.At(90400), 1000u);
    CTransferPace pace(PaceLimits{1000, 10000, 4096});
    pace.Arrived(0, 0);
    EXPECT_EQ(pace.Judge(clock.At(90399)), CTransferPace::Verdict::Live);
    EXPECT_EQ(pace.Judge(clock.At(90400)), CTransferPace::Verdict::Silent);
}
