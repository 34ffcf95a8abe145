#include "PackageName.h"

#include "AsciiCase.h"
#include "CalendarDate.h"

#include <cstdio>

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

bool HasPackageSuffix(const std::string& name) {
    static const std::string kSuffix = "-update.exe";
    return name.size() >= kSuffix.size() &&
           SameIgnoringAsciiCase(name.substr(name.size() - kSuffix.size()), kSuffix);
}

bool IsPackageFileName(const std::string& name) {
    return IsSafePackageName(name) && HasPackageSuffix(name) && PackageDateOf(name).has_value();
}
