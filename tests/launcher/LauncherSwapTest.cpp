// The swap-in at each start of the resident instance, run through the real program.
#include "InstallFixture.h"

using pmtest::FileExists;
using pmtest::ReadFileText;
using pmtest::WriteFileText;

namespace {

class SwapIn : public InstallFixture {};

TEST_F(SwapIn, FirstStartSavesTheLauncherAndPutsOursInItsPlace) {
    ASSERT_TRUE(WriteFileText(LauncherFile("cvl.exe"), kOriginal));
    ASSERT_TRUE(WriteFileText(ProgramFile("cvlx.exe"), kOurs));

    StartAndCloseResident();

    EXPECT_EQ(ReadFileText(LauncherFile("cvlex.exe")), kOriginal);
    EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOurs);
    EXPECT_EQ(ReadFileText(ProgramFile("cvlx.exe")), kOurs);
}

TEST_F(SwapIn, FirstStartWithoutALauncherChangesNothing) {
    ASSERT_TRUE(WriteFileText(ProgramFile("cvlx.exe"), kOurs));

    StartAndCloseResident();

    // No backup could be made, so ours must not appear either.
    EXPECT_FALSE(FileExists(LauncherFile("cvlex.exe")));
    EXPECT_FALSE(FileExists(LauncherFile("cvl.exe")));
}

TEST_F(SwapIn, WithoutOurCopyOnlyTheBackupIsMadeAndLaterStartsDoNothing) {
    ASSERT_TRUE(WriteFileText(LauncherFile("cvl.exe"), kOriginal));

    StartAndCloseResident();
    EXPECT_EQ(ReadFileText(LauncherFile("cvlex.exe")), kOriginal);
    EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOriginal);

    // The second start takes the time comparison, which cannot read our missing copy.
    ASSERT_TRUE(SetFileTimes(LauncherFile("cvl.exe"), 0));
    StartAndCloseResident();
    EXPECT_EQ(ReadFileText(LauncherFile("cvlex.exe")), kOriginal);
    EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), kOriginal);
}

TEST_F(SwapIn, BackupWithoutALauncherCopiesNothing) {
    ASSERT_TRUE(WriteFileText(LauncherFile("cvlex.exe"), kOriginal));
    ASSERT_TRUE(WriteFileText(ProgramFile("cvlx.exe"), kOurs));

    StartAndCloseResident();

    EXPECT_FALSE(FileExists(LauncherFile("cvl.exe")));
    EXPECT_EQ(ReadFileText(LauncherFile("cvlex.exe")), kOriginal);
}

TEST_F(SwapIn, EmptyLauncherDirectoryUsesBareNamesInTheCurrentFolder) {
    pmtest::TempDir current("pm-current");
    pmtest::WriteCvlIni(m_browser.Path().c_str(), nullptr);
    ASSERT_TRUE(WriteFileText(current.File("cvl.exe"), kOriginal));
    ASSERT_TRUE(WriteFileText(ProgramFile("cvlx.exe"), kOurs));

    StartAndCloseResident(current.Path().c_str());

    EXPECT_EQ(ReadFileText(current.File("cvlex.exe")), kOriginal);
    EXPECT_EQ(ReadFileText(current.File("cvl.exe")), kOurs);
}

TEST_F(SwapIn, LauncherPathTooLongTouchesNothing) {
    // The joined launcher path would not fit: the swap-in must not fall back to bare names.
    pmtest::TempDir current("pm-current");
    const std::string longDir = "C:\\" + std::string(250, 'x');
    pmtest::WriteCvlIni(m_browser.Path().c_str(), longDir.c_str());
    ASSERT_TRUE(WriteFileText(current.File("cvl.exe"), kOriginal));
    ASSERT_TRUE(WriteFileText(ProgramFile("cvlx.exe"), kOurs));

    StartAndCloseResident(current.Path().c_str());

    EXPECT_FALSE(FileExists(current.File("cvlex.exe")));
    EXPECT_EQ(ReadFileText(current.File("cvl.exe")), kOriginal);
}

// Swapped state: a backup exists and cvl.exe is refreshed only when created in an earlier second.
struct TimeCase {
    const char* name;
    int launcherMs; // creation of cvl.exe, after a fixed second
    int oursMs;     // creation of cvlx.exe
    bool copied;
};

void PrintTo(const TimeCase& c, std::ostream* out) {
    *out << c.name;
}

class SwapInByCreationTime : public InstallFixture, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(SwapInByCreationTime, RefreshesOnlyALauncherFromAnEarlierSecond) {
    const TimeCase& c = GetParam();
    const char kStale[] = "an older copy of ours";
    ASSERT_TRUE(WriteFileText(LauncherFile("cvlex.exe"), kOriginal));
    ASSERT_TRUE(WriteFileText(LauncherFile("cvl.exe"), kStale));
    ASSERT_TRUE(WriteFileText(ProgramFile("cvlx.exe"), kOurs));
    ASSERT_TRUE(SetFileTimes(LauncherFile("cvl.exe"), c.launcherMs));
    ASSERT_TRUE(SetFileTimes(ProgramFile("cvlx.exe"), c.oursMs));

    StartAndCloseResident();

    EXPECT_EQ(ReadFileText(LauncherFile("cvl.exe")), c.copied ? kOurs : kStale);
    EXPECT_EQ(ReadFileText(LauncherFile("cvlex.exe")), kOriginal) << "the backup is never overwritten";
}

INSTANTIATE_TEST_SUITE_P(, SwapInByCreationTime,
                         ::testing::Values(TimeCase{"LauncherOlderByMinutes", 0, 600000, true},
                                           TimeCase{"LauncherInThePreviousSecond", 900, 1100, true},
                                           TimeCase{"SameSecondButEarlier", 100, 900, false},
                                           TimeCase{"SameInstant", 500, 500, false},
                                           TimeCase{"LauncherNewer", 20000, 0, false}),
                         [](const ::testing::TestParamInfo<TimeCase>& info) { return info.param.name; });

} // namespace
