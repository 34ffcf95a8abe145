// The scheduler's due time, the progress window's percentages and the settings dialog's integers.
#include "core/DueTime.h"
#include "core/IntegerText.h"
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

TEST(IntegerText, AWholeDecimalIntWithBlanksAroundAndOneSign) {
    const struct {
        const char* text;
        bool parsed;
        int value;
    } cases[] = {
        {"7", true, 7},
        {" -3\t", true, -3},
        {"+12", true, 12},
        {"2147483647", true, INT_MAX},
        {"-2147483648", true, INT_MIN},
        {"2147483648", false, 0},
        {"", false, 0},
        {" \t", false, 0},
        {"1a", false, 0},
        {"1 2", false, 0},
        {"0x10", false, 0},
        {"--1", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int value = -99;
        EXPECT_EQ(ParseIntegerText(c.text, value), c.parsed);
        EXPECT_EQ(value, c.parsed ? c.value : -99); // a failure leaves the value alone
    }
    EXPECT_EQ(FormatString2("between %1 and %2.", "1", "99"), "between 1 and 99.");
    EXPECT_EQ(FormatString2("%2%1%3%", "a", "b"), "ba%3%");
}
