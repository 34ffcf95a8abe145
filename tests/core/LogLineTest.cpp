// The update log's lines and the run number the next run takes from them.
#include "core/LogLine.h"

#include <gtest/gtest.h>

TEST(LogLine, LocalTimeWithItsOffsetTheRunAndOneLineOfText) {
    const struct {
        LocalTime time;
        std::uint64_t run;
        std::string text;
        const char* line;
    } cases[] = {
        {{2026, 12, 8, 14, 3, 7, 60},
         12,
         "started by the user",
         "2026-12-08T14:03:07+01:00 run 12: started by the user"},
        {{2026, 1, 2, 3, 4, 5, 0}, 1, "x", "2026-01-02T03:04:05+00:00 run 1: x"},
        {{2026, 7, 1, 0, 0, 0, -570}, 3, "x", "2026-07-01T00:00:00-09:30 run 3: x"},
        {{2026, 7, 1, 0, 0, 0, 345}, 3, "x", "2026-07-01T00:00:00+05:45 run 3: x"},
        {{2026, 7, 1, 0, 0, 0, 0},
         4,
         "Unable to set PathToFile [12].\n",
         "2026-07-01T00:00:00+00:00 run 4: Unable to set PathToFile [12]."},
        {{2026, 7, 1, 0, 0, 0, 0}, 4, "a\r\nb\tc", "2026-07-01T00:00:00+00:00 run 4: a  b c"},
        {{2026, 7, 1, 0, 0, 0, 0}, 4, "a\177b\177", "2026-07-01T00:00:00+00:00 run 4: a b"}, // DEL
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(LogLine(c.time, c.run, c.text), c.line);
    }
}

TEST(LogLine, TheLastRunNumberIsReadFromTheLastLineThatHasOne) {
    const struct {
        std::string tail;
        std::optional<std::uint64_t> run;
    } cases[] = {
        {"", std::nullopt},
        {"2026-01-02T03:04:05+00:00 run 7: ended\r\n", 7},
        {"2026-01-02T03:04:05+00:00 run 7: a\r\n2026-01-02T03:04:06+00:00 run 8: b\r\n", 8},
        {"...05+00:00 run 41: a\r\n", 41}, // the tail began inside the line
        {"un 41: a\r\n", std::nullopt},
        {"2026-01-02T03:04:05+00:00 run 9: a\r\ngarbage\r\n\r\n", 9},
        {"2026-01-02T03:04:05+00:00 run 9: a\r\n2026-01-02T03:04:05+00:00 run 10: cut off", 10},
        {"x run 99999999999999999999: a\n", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tail);
        EXPECT_EQ(LastRunNumber(c.tail), c.run);
    }
}
