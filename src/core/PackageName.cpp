#include "PackageName.h"

#include <cstdio>

namespace {
bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool IsCalendarDate(int year, int month, int day) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1)
        return false;
    int last = kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    return day <= last;
}
} // namespace

bool IsSafePackageName(const std::string& name) {
    if (name.empty() || name.find_first_of("\\/:") != std::string::npos)
        return false;
    // "." and ".." (or any all-dot name) would name the folder itself or its parent.
    if (name.find_first_not_of('.') == std::string::npos)
        return false;
    for (unsigned char c : name) {
        if (c < 0x20)
            return false;
    }
    return true;
}

std::optional<PackageDate> PackageDateOf(const std::string& name) {
    int year = 0;
    int month = 0;
    int day = 0;
    if (std::sscanf(name.c_str(), "%2d%2d%2d", &year, &month, &day) < 3)
        return std::nullopt;
    // Without a real date the package has no place in the order: it is skipped like an undated one.
    if (!IsCalendarDate(year + 2000, month, day))
        return std::nullopt;
    return PackageDate{year + 2000, month, day};
}
