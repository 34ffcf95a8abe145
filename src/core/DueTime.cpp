#include "DueTime.h"

#include <algorithm>

std::int64_t IntervalDueTime(int intervalDays) {
    // The seconds of an interval are a 32-bit count; longer stored intervals are held at the
    // longest one that fits instead of overflowing.
    constexpr int kMaxDays = 24855;
    const std::int64_t seconds =
        static_cast<std::int64_t>(std::clamp(intervalDays, -kMaxDays, kMaxDays)) * 86400;
    // Negative due times are relative to now; a stored negative interval counts as that many days.
    return intervalDays > 0 ? seconds * -10000000 : seconds * 10000000;
}
