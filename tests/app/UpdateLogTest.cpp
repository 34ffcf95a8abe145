// The update log beside the runs: set aside at its limit, numbered on from where it stopped, shared
// with readers, and gone with the settings.
#include "support/TestEnv.h"
#include "system/UpdateLog.h"

#include <gtest/gtest.h>

using namespace pmtest;

TEST(UpdateLog, SetAsideAtItsLimitNumberedOnSharedWithReadersAndRemoved) {
    RemoveUpdateLog();
    const std::string path = CUpdateLog::FilePath();
    ASSERT_FALSE(path.empty());
    {
        CUpdateLog first;
        first.BeginRun("started by the user");
        EXPECT_EQ(first.Run(), 1u);
    }
    // A full log whose last run was 41: the next run is 42 and starts a new log, the old one set aside.
    const std::string full = ReadFileText(path) + std::string(CUpdateLog::kLimit, '#') +
                             "\r\n2026-01-02T03:04:05+00:00 run 41: ended after 0.100 s: installed\r\n";
    ASSERT_TRUE(WriteFileText(path, full));
    {
        CUpdateLog log;
        log.BeginRun("started by the schedule");
        EXPECT_EQ(log.Run(), 42u);
        EXPECT_EQ(ReadFileText(path + ".1"), full);
        ASSERT_EQ(ReadFileLines(path).size(), 1u);
        EXPECT_NE(ReadFileLines(path)[0].find(" run 42: started by the schedule"), std::string::npos);
        // A reader that shares nothing but reading and writing: the lines still come.
        CHandle reader(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(reader);
        log.Write("a line while it is read");
        EXPECT_EQ(ReadFileLines(path).size(), 2u);
    }
    {
        // Held by a program that shares nothing: the lines are lost, nothing else happens.
        CHandle locked(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locked);
        CUpdateLog log;
        log.BeginRun("started by the user");
        log.Write("a line nobody can write");
    }
    EXPECT_EQ(ReadFileLines(path).size(), 2u);
    // The older log is the last word when the newest is gone.
    ::DeleteFileA(path.c_str());
    {
        CUpdateLog next;
        next.BeginRun("started by the user");
        EXPECT_EQ(next.Run(), 42u);
    }
    CUpdateLog::Remove();
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(FileExists(path + ".1"));
    EXPECT_FALSE(DirExists(CUpdateLog::Folder()));
}
