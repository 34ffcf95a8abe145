// When the update timer first expires, from the interval in days.
#pragma once

#include <cstdint>

// The due time of a waitable timer, in 100 ns units: negative is relative to now, 0 is at once.
std::int64_t IntervalDueTime(int intervalDays);
