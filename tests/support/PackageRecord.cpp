#include "PackageRecord.h"

#include "TestEnv.h"

#include <cstdio>
#include <sstream>

namespace pmtest {

std::string DatedPackageName(int days) {
    static const int kMonthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}; // 2024
    int month = 0;
    while (days >= kMonthDays[month % 12]) {
        days -= kMonthDays[month % 12];
        ++month;
    }
    char name[32];
    std::snprintf(name, sizeof name, "%02d%02d%02d-update.exe", 24 + month / 12, month % 12 + 1, days + 1);
    return name;
}

bool MakeRecordingPackage(const std::string& path, long long size) {
    std::string bytes = ReadFileText(BuiltProgram("pm_recording_package.exe"));
    if (bytes.empty())
        return false;
    // Padding that no shorter transfer can end in by chance.
    unsigned state = 12345;
    while (static_cast<long long>(bytes.size()) < size) {
        state = state * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(state >> 16));
    }
    return WriteFileText(path, bytes);
}

std::vector<PackageStart> RecordedStarts(const std::string& folder) {
    std::vector<PackageStart> starts;
    std::istringstream in(ReadFileText(folder + "\\runs.log"));
    PackageStart start;
    while (in >> start.processId >> start.size)
        starts.push_back(start);
    return starts;
}

} // namespace pmtest
