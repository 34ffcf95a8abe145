// The swap-in at each start of the resident instance, run through the real program.
#include "InstallFixture.h"

namespace {

using pmtest::ReadFileText;

const char kStale[] = "an older copy of ours";

// Creation and last-write time, milliseconds after a fixed second (Wine keeps only the last-write
// time and reports it as the creation time).
bool SetFileTimes(const std::string& path, int millisecondsAfterBase) {
    // 2020-09-13 12:26:40 UTC, in 100 ns ticks since 1601.
    const unsigned long long base = (1600000000ULL + 11644473600ULL) * 10000000ULL;
    ULARGE_INTEGER ticks;
    ticks.QuadPart = base + static_cast<unsigned long long>(millisecondsAfterBase) * 10000ULL;
    FILETIME time{ticks.LowPart, ticks.HighPart};
    CHandle file(::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr));
    return file && ::SetFileTime(file.Get(), &time, nullptr, &time);
}

enum LauncherDir { kGiven, kEmpty, kTooLong };

// One start of the resident instance: cvl.exe, its backup cvlex.exe and our cvlx.exe before and after
// ("": missing, as ReadFileText reports it); the creation times of cvl.exe and cvlx.exe in ms after a
// fixed second (-1: now).
struct SwapCase {
    const char* name;
    LauncherDir dir;
    const char *launcher, *backup, *ours;
    int launcherMs, oursMs;
    const char *launcherAfter, *backupAfter;
};

void PrintTo(const SwapCase& c, std::ostream* out) {
    *out << c.name;
}

class SwapIn : public InstallFixture, public ::testing::WithParamInterface<SwapCase> {};

TEST_P(SwapIn, LeavesTheLauncherFilesAsExpected) {
    const SwapCase& c = GetParam();
    pmtest::TempDir current("pm-current");
    const std::string tooLong = "C:\\" + std::string(250, 'x'); // fits, but not with "\cvl.exe" added
    if (c.dir != kGiven)
        pmtest::WriteCvlIni(m_browser.Path().c_str(), c.dir == kEmpty ? nullptr : tooLong.c_str());
    // Bare names would act in the current folder: that is where an empty directory must lead and where
    // an unusable one must not.
    const pmtest::TempDir& dir = c.dir == kGiven ? m_launcher : current;
    const std::pair<std::string, const char*> files[] = {{dir.File("cvl.exe"), c.launcher},
                                                         {dir.File("cvlex.exe"), c.backup},
                                                         {ProgramFile("cvlx.exe"), c.ours}};
    for (const auto& file : files)
        ASSERT_TRUE(!*file.second || pmtest::WriteFileText(file.first, file.second)) << file.first;
    ASSERT_TRUE(c.launcherMs < 0 || SetFileTimes(dir.File("cvl.exe"), c.launcherMs));
    ASSERT_TRUE(c.oursMs < 0 || SetFileTimes(ProgramFile("cvlx.exe"), c.oursMs));

    StartAndCloseResident(current.Path().c_str());

    EXPECT_EQ(ReadFileText(dir.File("cvl.exe")), c.launcherAfter);
    EXPECT_EQ(ReadFileText(dir.File("cvlex.exe")), c.backupAfter);
    EXPECT_EQ(ReadFileText(ProgramFile("cvlx.exe")), c.ours);
}

INSTANTIATE_TEST_SUITE_P(
    , SwapIn,
    ::testing::Values(
        // First start: the launcher is saved once and ours put in its place, only when both exist.
        SwapCase{"FirstStart", kGiven, kOriginal, "", kOurs, -1, -1, kOurs, kOriginal},
        SwapCase{"FirstStartWithoutLauncher", kGiven, "", "", kOurs, -1, -1, "", ""},
        SwapCase{"FirstStartWithoutOurCopy", kGiven, kOriginal, "", "", -1, -1, kOriginal, kOriginal},
        SwapCase{"LaterStartWithoutOurCopy", kGiven, kOriginal, kOriginal, "", 0, -1, kOriginal, kOriginal},
        SwapCase{"BackupWithoutLauncher", kGiven, "", kOriginal, kOurs, -1, -1, "", kOriginal},
        // Swapped: cvl.exe is refreshed only when created in an earlier second; the backup never changes.
        SwapCase{"LauncherOlderByMinutes", kGiven, kStale, kOriginal, kOurs, 0, 600000, kOurs, kOriginal},
        SwapCase{"LauncherInThePreviousSecond", kGiven, kStale, kOriginal, kOurs, 900, 1100, kOurs,
                 kOriginal},
        SwapCase{"SameSecondButEarlier", kGiven, kStale, kOriginal, kOurs, 100, 900, kStale, kOriginal},
        SwapCase{"SameInstant", kGiven, kStale, kOriginal, kOurs, 500, 500, kStale, kOriginal},
        SwapCase{"LauncherNewer", kGiven, kStale, kOriginal, kOurs, 20000, 0, kStale, kOriginal},
        SwapCase{"EmptyLauncherDirUsesBareNames", kEmpty, kOriginal, "", kOurs, -1, -1, kOurs, kOriginal},
        SwapCase{"LauncherPathTooLongTouchesNothing", kTooLong, kOriginal, "", kOurs, -1, -1, kOriginal, ""}),
    [](const ::testing::TestParamInfo<SwapCase>& info) { return info.param.name; });

} // namespace
