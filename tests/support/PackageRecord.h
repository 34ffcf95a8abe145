// The recording stand-in package (programs/RecordingPackage.cpp) from the test's side: made to any
// size, held while it runs, and its record of every start.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pmtest {

// "YYMMDD-update.exe" of the day that many days after 1 January 2024.
std::string DatedPackageName(int days);

// A copy of the recording package padded to size bytes (at least its own size).
bool MakeRecordingPackage(const std::string& path, long long size);

struct PackageStart {
    DWORD processId = 0;
    long long size = -1; // of the file that ran
};
// Every start recorded in runs.log of that folder, oldest first.
std::vector<PackageStart> RecordedStarts(const std::string& folder);

// Named events of the package: signalled at its start; while "hold" is signalled a started package
// runs until "release".
const char* const kPackageStarted = "PmPackageStarted";
const char* const kPackageHold = "PmPackageHold";
const char* const kPackageRelease = "PmPackageRelease";

} // namespace pmtest
