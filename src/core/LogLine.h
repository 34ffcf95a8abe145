// The lines of the update log: "2026-12-08T14:03:27+01:00 run 12: text", local time with its offset.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int offsetMinutes = 0; // east of UTC
};

// One line, without its end. Control characters in text (a message's line break) become blanks and blanks
// at its end go, so a line is always one line.
std::string LogLine(const LocalTime& time, std::uint64_t run, const std::string& text);

// The run number of the last complete line of a log's end; nothing when it has none.
std::optional<std::uint64_t> LastRunNumber(const std::string& tail);
