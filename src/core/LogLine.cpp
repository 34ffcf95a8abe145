#include "LogLine.h"

#include "IntegerText.h"

#include <cstdio>
#include <cstdlib>

std::string LogLine(const LocalTime& time, std::uint64_t run, const std::string& text) {
    const int offset = std::abs(time.offsetMinutes);
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d run %llu: ", time.year,
                  time.month, time.day, time.hour, time.minute, time.second,
                  time.offsetMinutes < 0 ? '-' : '+', offset / 60 % 100, offset % 60,
                  static_cast<unsigned long long>(run));
    std::string line = stamp;
    for (unsigned char c : text)
        line += c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c);
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

std::optional<std::uint64_t> LastRunNumber(const std::string& tail) {
    // From the last line back: a line cut at the tail's start still holds its whole number when it holds
    // " run " at all, since the number follows it.
    std::size_t end = tail.size();
    while (end > 0) {
        const std::size_t newline = tail.rfind('\n', end - 1);
        const std::size_t start = newline == std::string::npos ? 0 : newline + 1;
        const std::string line = tail.substr(start, end - start);
        const std::size_t run = line.find(" run ");
        const std::size_t colon = run == std::string::npos ? std::string::npos : line.find(':', run);
        std::uint64_t number = 0;
        if (colon != std::string::npos &&
            ParseDecimal(line.substr(run + 5, colon - run - 5), UINT64_MAX, number))
            return number;
        if (newline == std::string::npos)
            break;
        end = newline;
    }
    return std::nullopt;
}
