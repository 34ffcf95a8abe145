// The scheduler's due time and the progress window's percentages.
#include "core/DueTime.h"
#include "core/Percent.h"

#include <climits>

#include <gtest/gtest.h>

TEST(DueTime, IntervalInDaysAsRelative100nsUnits) {
    const std::int64_t longest = -24855LL * 86400 * 10000000; // the most days whose seconds fit 32 bits
    const struct {
        int days;
        std::int64_t due;
    } cases[] = {
        {7, -6048000000000LL},  {1, -864000000000LL}, {0, 0},
        {-3, -2592000000000LL}, {24855, longest},     {24856, longest},
        {INT_MAX, longest},     {INT_MIN, longest},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.days);
        EXPECT_EQ(IntervalDueTime(c.days), c.due);
    }
}

TEST(Percent, NearestWholeShareNeverAboveAHundred) {
    const struct {
        std::uint64_t received, expected;
        int percent;
    } cases[] = {
        {0, 1000, 0},       {994, 1000, 99},
        {995, 1000, 100},   {1000, 1000, 100},
        {5000, 1000, 100},  {UINT64_MAX, 1, 100},
        {1, UINT64_MAX, 0}, {5000, 0, 0}, // nothing expected
        {0, 0, 0},          {1ULL << 40, 1ULL << 41, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.received) + "/" + std::to_string(c.expected));
        EXPECT_EQ(TransferPercent(c.received, c.expected), c.percent);
    }
}

TEST(Percent, BarPositionsReadBelowAHundredUnlessFull) {
    const struct {
        int position, low, high, percent;
    } cases[] = {
        {0, 0, 100, 0},        {42, 0, 100, 42},          {99, 0, 100, 99}, {100, 0, 100, 100},
        {150, 0, 100, 50},     {-5, 0, 100, -5},          {5, 0, 0, 0},     {30, 20, 40, 50},
        {INT_MAX, 0, 100, 47}, {0, INT_MIN, INT_MAX, 50}, // beyond 32-bit intermediate results
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        EXPECT_EQ(PercentOfRange(c.position, c.low, c.high), c.percent);
    }
}
