// Update package names: which listed names may be used at all, and the release date they start with.
#pragma once

#include <optional>
#include <string>

// A package's release date, from the first six characters of its name.
struct PackageDate {
    int year = 0;
    int month = 0;
    int day = 0;
    bool operator<(const PackageDate& other) const {
        if (year != other.year)
            return year < other.year;
        if (month != other.month)
            return month < other.month;
        return day < other.day;
    }
};

// A listed name that can be used as a file name in the download folder and nowhere else: no path, no
// character a Windows file name cannot hold.
bool IsSafePackageName(const std::string& name);

// Year, month and day from the first six characters of the name, ASCII digits YYMMDD, the year counted
// from 2000; nothing unless they are there and form a real calendar date.
std::optional<PackageDate> PackageDateOf(const std::string& name);

// Ends with "-update.exe", letters in either case, as the platform's file names compare.
bool HasPackageSuffix(const std::string& name);

// A safe name with a real date in front and the package suffix: the whole rule for a name a server may
// offer as a package.
bool IsPackageFileName(const std::string& name);
