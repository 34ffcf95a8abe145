// Calendar dates of the proleptic Gregorian calendar, as the package names and the update list give them.
#pragma once

#include <cstdint>

bool IsCalendarDate(int year, int month, int day);

// Days from 1970-01-01 to a calendar date, negative before it.
std::int64_t DaysSince1970(int year, int month, int day);
