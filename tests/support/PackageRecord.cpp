#include "PackageRecord.h"

#include "TestEnv.h"

#include <sstream>

namespace pmtest {

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
