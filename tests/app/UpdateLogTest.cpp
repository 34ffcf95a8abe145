// The update log beside the runs: set aside at its limit, numbered on from where it stopped, shared
// with readers, and gone with the settings.
#include "support/TestEnv.h"
#include "system/UpdateLog.h"

#include <gtest/gtest.h>

using namespace pmtest;

namespace {
constexpr std::size_t kMebibyte = 1048576;

// A log of that many bytes whose last run was 41.
std::string LogOf(std::size_t bytes, char filler) {
    const std::string last = "\r\n2026-01-02T03:04:05+00:00 run 41: ended after 0.100 s: installed\r\n";
    return std::string(bytes - last.size(), filler) + last;
}
} // namespace

TEST(UpdateLog, SetAsideAtItsLimitNumberedOnSharedWithReadersAndRemoved) {
    RemoveUpdateLog();
    const std::string path = CUpdateLog::FilePath();
    ASSERT_FALSE(path.empty());
    {
        CUpdateLog first;
        first.BeginRun("started by the user");
        EXPECT_EQ(first.Run(), 1u);
    }
    // A log of 1 MiB whose last run was 41: the next run is 42 and starts a new log, the old one set
    // aside in place of the one before; a byte less is not full yet.
    const struct {
        std::size_t bytes;
        char filler;
        bool setAside;
    } logs[] = {{kMebibyte - 1, '-', false}, {kMebibyte, '#', true}, {kMebibyte, '=', true}};
    for (const auto& c : logs) {
        SCOPED_TRACE(c.filler);
        const std::string full = LogOf(c.bytes, c.filler);
        ASSERT_TRUE(WriteFileText(path, full));
        CUpdateLog log;
        log.BeginRun("started by the schedule");
        EXPECT_EQ(log.Run(), 42u);
        EXPECT_EQ(ReadFileText(path + ".1"), c.setAside ? full : "");
        EXPECT_EQ(ReadFileText(path).compare(0, full.size(), full) == 0, !c.setAside);
        EXPECT_NE(ReadFileLines(path).back().find(" run 42: started by the schedule"), std::string::npos);
    }
    ASSERT_EQ(ReadFileLines(path).size(), 1u);
    {
        CUpdateLog log;
        log.BeginRun("started by the schedule");
        // A reader that shares nothing but reading and writing: the lines still come.
        CHandle reader(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(reader);
        log.Write("a line while it is read");
        EXPECT_EQ(ReadFileLines(path).size(), 3u);
    }
    {
        // Held by a program that shares nothing: the lines are lost, nothing else happens.
        CHandle locked(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locked);
        CUpdateLog log;
        log.BeginRun("started by the user");
        log.Write("a line nobody can write");
    }
    EXPECT_EQ(ReadFileLines(path).size(), 3u);
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

// A program that shares reading and writing but not deleting keeps a full log from being set aside: it
// stays at its size, its last line saying so once, and is set aside by the first line that finds it
// free. Pendlemarks (in two sessions of the user) take turns, and set it aside once when two find it
// full at once.
TEST(UpdateLog, AFullLogHeldStaysBoundedAndIsSetAsideOnceByTwoPendlemarks) {
    RemoveUpdateLog();
    CUpdateLog().BeginRun("started by the user"); // makes its folder
    const std::string path = CUpdateLog::FilePath();
    const std::string full = LogOf(kMebibyte, '#');
    ASSERT_TRUE(WriteFileText(path, full));
    std::string held;
    {
        // While another sets it aside, a Pendlemark waits its turn (a second at most), then drops the line.
        CHandle turn(::CreateFileA((path + ".lock").c_str(), DELETE, 0, nullptr, CREATE_NEW,
                                   FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        CUpdateLog().BeginRun("started by the user");
        EXPECT_EQ(ReadFileText(path), full);
        turn.Close();
        CHandle viewer(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        for (int run = 0; run < 2; ++run)
            CUpdateLog().BeginRun("started by the user");
        held = ReadFileText(path);
    }
    ASSERT_EQ(held.compare(0, full.size(), full), 0);
    EXPECT_EQ(held.find("\r\n", full.size()), held.size() - 2)
        << "one line more: " << held.substr(full.size());
    EXPECT_NE(held.find(" run 42: the log is full and another program keeps it"), std::string::npos);
    CUpdateLog().BeginRun("started by the user");
    EXPECT_EQ(ReadFileText(path + ".1"), held);

    // The first has the log open when the second sets it aside: its next line goes to the new log.
    const std::string nearlyFull = LogOf(kMebibyte - 1, '=');
    ASSERT_TRUE(WriteFileText(path, nearlyFull));
    {
        CUpdateLog first;
        CUpdateLog second;
        first.BeginRun("started by the user");
        second.BeginRun("started by the schedule");
        first.Write("a line of the first");
    }
    const std::string older = ReadFileText(path + ".1");
    EXPECT_EQ(older.compare(0, nearlyFull.size(), nearlyFull), 0);
    EXPECT_NE(older.find(" run 42: started by the user\r\n", nearlyFull.size()), std::string::npos);
    const std::string log = ReadFileText(path);
    for (const char* line : {" run 43: started by the schedule\r\n", " run 42: a line of the first\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << log;
    CUpdateLog::Remove();
}
