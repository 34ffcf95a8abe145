#include "PackageName.h"

#include "AsciiCase.h"
#include "CalendarDate.h"

#include <cstddef>

bool IsSafePackageName(const std::string& name) {
    // Characters Windows does not allow in a file name: such a name could never be the file fetched.
    if (name.empty() || name.find_first_of("\\/:<>\"|?*") != std::string::npos)
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
    // Six ASCII digits: the number format alone would also take blanks and signs ("+1+1+1").
    if (name.size() < 6)
        return std::nullopt;
    for (std::size_t i = 0; i < 6; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return std::nullopt;
    }
    const auto pair = [&name](std::size_t at) { return (name[at] - '0') * 10 + (name[at + 1] - '0'); };
    const int year = pair(0);
    const int month = pair(2);
    const int day = pair(4);
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
