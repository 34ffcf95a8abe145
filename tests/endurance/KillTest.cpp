// The resident program ended from outside (TerminateProcess) at twenty moments of update runs
// against a real FTP server that sends a package of a few MB slowly: during the listing, during the
// download, while the package runs and right after it has ended. After each kill a new start
// succeeds, every setting is there with its type and value, no partial download has ever run, and
// the next run completes.
#include "support/FtpTestServer.h"
#include "support/PackageRecord.h"
#include "support/ResidentProgram.h"
#include "support/UiDriver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <map>

using namespace pmtest;

namespace {

// At the server's 8 MB a second: about 0.4 s on the wire.
constexpr long long kPackageSize = 3 * 1024 * 1024;
constexpr int kListingDelayMs = 1200;

enum class Phase {
    Listing,  // at: ms after the server began the listing
    Download, // at: per cent of the package on disk
    Package,  // at: ms after the package started
    Ended,    // at: ms after the package's process ended
};

struct Moment {
    Phase phase;
    int at;
};

const char* const kSettings[] = {"Server",
                                 "User",
                                 "Pass",
                                 "PassiveFTP",
                                 "PathToFile",
                                 "UpdateChoice",
                                 "UpdateInterval",
                                 "EnableAutoUpdate",
                                 "AskForConfirmation",
                                 "PollTimer",
                                 "LastUpdateTime",
                                 "InstallDir",
                                 "LastDownloadFile"};

// Each setting as "type:value"; a missing one as "missing".
std::map<std::string, std::string> ReadSettings() {
    std::map<std::string, std::string> values;
    for (const char* name : kSettings) {
        switch (RegValueType(kParamsKey, name)) {
        case REG_SZ:
            values[name] = "sz:" + RegString(kParamsKey, name);
            break;
        case REG_DWORD:
            values[name] = "dword:" + std::to_string(RegDword(kParamsKey, name));
            break;
        case REG_NONE:
            values[name] = "missing";
            break;
        default:
            values[name] = "type " + std::to_string(RegValueType(kParamsKey, name));
            break;
        }
    }
    return values;
}

class KillTest : public testing::Test {
  protected:
    void SetUp() override {
        ResetProgramState();
        ASSERT_TRUE(m_server.Available()) << "no FTP server fixture";
        ASSERT_TRUE(MakeRecordingPackage(m_package.File("package.exe"), kPackageSize));
        for (CHandle* event : {&m_started, &m_hold, &m_release})
            ::ResetEvent(event->Get());
        ResidentProgram::Prepare(m_server.Address(), m_browser.Path());
    }
    void TearDown() override {
        m_program.Kill();
        ::SetEvent(m_release.Get()); // a package still held ends
        m_server.Clear();
        DeleteCorvalisKeys();
        RemoveCvlIni();
    }

    std::string Download(const std::string& name) const { return m_browser.Path() + "\\Pendlemark\\" + name; }
    std::vector<PackageStart> Starts() const { return RecordedStarts(m_browser.Path() + "\\Pendlemark"); }

    // Waits for the moment and ends the program there; what it found, for the record.
    std::string KillAt(const Moment& moment, const std::string& local);

    FtpTestServer m_server{"kill", 80};
    TempDir m_browser{"kill-browser"};
    TempDir m_package{"kill-package"};
    ResidentProgram m_program;
    CHandle m_started{OpenOrCreateEvent(kPackageStarted)};
    CHandle m_hold{OpenOrCreateEvent(kPackageHold)};
    CHandle m_release{OpenOrCreateEvent(kPackageRelease)};
};

// Polls without pumping or sleeping long, so that a moment of the download is met within a few ms.
bool Poll(const std::function<bool()>& cond, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!cond()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::Sleep(1);
    }
    return true;
}

std::string KillTest::KillAt(const Moment& moment, const std::string& local) {
    std::string found;
    switch (moment.phase) {
    case Phase::Listing: {
        auto listing = [&] {
            for (const std::string& line : m_server.Activity()) {
                if (line == "LIST")
                    return true;
            }
            return false;
        };
        if (!Poll(listing, 15000))
            return "no listing";
        ::Sleep(moment.at);
        found = "listing";
        break;
    }
    case Phase::Download: {
        const long long bytes = kPackageSize * moment.at / 100;
        if (!Poll([&] { return FileSize(local) >= bytes; }, 15000))
            return "no download";
        found = std::to_string(FileSize(local)) + " bytes on disk";
        break;
    }
    case Phase::Package:
    case Phase::Ended: {
        if (::WaitForSingleObject(m_started.Get(), 15000) != WAIT_OBJECT_0 || Starts().empty())
            return "package not started";
        if (moment.phase == Phase::Package) {
            ::Sleep(moment.at);
            found = "package running";
            break;
        }
        HANDLE package = ::OpenProcess(SYNCHRONIZE, FALSE, Starts().back().processId);
        ::SetEvent(m_release.Get());
        bool ended = package && ::WaitForSingleObject(package, 15000) == WAIT_OBJECT_0;
        if (package)
            ::CloseHandle(package);
        if (!ended)
            return "package did not end";
        ::Sleep(moment.at);
        found = "package ended";
        break;
    }
    }
    m_program.Kill();
    return found + (FileExists(local) ? ", package file there" : ", no package file");
}

TEST_F(KillTest, AKillAtAnyMomentLosesNothingAndTheNextRunCompletes) {
    const Moment moments[] = {
        {Phase::Listing, 0},   {Phase::Listing, 400}, {Phase::Listing, 900}, {Phase::Download, 0},
        {Phase::Download, 10}, {Phase::Download, 25}, {Phase::Download, 50}, {Phase::Download, 75},
        {Phase::Download, 90}, {Phase::Download, 97}, {Phase::Package, 0},   {Phase::Package, 300},
        {Phase::Ended, 0},     {Phase::Ended, 1},     {Phase::Ended, 3},     {Phase::Ended, 10},
        {Phase::Ended, 30},    {Phase::Ended, 60},    {Phase::Ended, 100},   {Phase::Ended, 300},
    };
    const char* const phaseNames[] = {"listing", "download %", "package ms", "ended ms"};
    ASSERT_TRUE(m_program.Start());
    int day = 0;
    for (const Moment& moment : moments) {
        const std::string what =
            std::string(phaseNames[static_cast<int>(moment.phase)]) + " " + std::to_string(moment.at);
        SCOPED_TRACE(what);
        const DWORD cycleStart = ::GetTickCount();
        // A new package on the server for every moment, so that every run has something to install.
        const std::string name = DatedPackageName(day++);
        const std::string local = Download(name);
        m_server.Clear();
        ASSERT_TRUE(m_server.ServeCopy(name, m_package.File("package.exe")));
        m_server.SetListDelay(moment.phase == Phase::Listing ? kListingDelayMs : 0);
        const bool hold = moment.phase == Phase::Package || moment.phase == Phase::Ended;
        ::ResetEvent(m_started.Get());
        ::ResetEvent(m_release.Get());
        hold ? ::SetEvent(m_hold.Get()) : ::ResetEvent(m_hold.Get());

        const std::map<std::string, std::string> before = ReadSettings();
        const size_t startsBefore = Starts().size();
        const DWORD runTime = static_cast<DWORD>(std::time(nullptr));
        m_program.RequestUpdate();
        const std::string found = KillAt(moment, local);
        ASSERT_FALSE(m_program.Alive()) << found;
        m_server.SetListDelay(0);

        // Release a package still running, and let it end.
        ::SetEvent(m_release.Get());
        const std::vector<PackageStart> starts = Starts();
        if (starts.size() > startsBefore) {
            HANDLE package = ::OpenProcess(SYNCHRONIZE, FALSE, starts.back().processId);
            if (package) {
                ::WaitForSingleObject(package, 15000);
                ::CloseHandle(package);
            }
        }
        ::ResetEvent(m_hold.Get());
        for (const PackageStart& start : starts)
            EXPECT_EQ(start.size, kPackageSize) << "a partial download ran";

        // Every setting as before; only an installation that completed may have moved the last two,
        // the time after the path (a kill between the two writes leaves the time behind).
        const std::map<std::string, std::string> killed = ReadSettings();
        std::map<std::string, std::string> after = killed;
        const bool recorded = after["LastDownloadFile"] == "sz:" + local;
        std::string time = "unchanged";
        if (recorded) {
            EXPECT_GT(starts.size(), startsBefore) << "recorded without running";
            after["LastDownloadFile"] = before.at("LastDownloadFile");
            if (after["LastUpdateTime"] != before.at("LastUpdateTime")) {
                time = "moved";
                EXPECT_EQ(after["LastUpdateTime"].rfind("dword:", 0), 0u);
                EXPECT_GE(std::stoul(after["LastUpdateTime"].substr(6)), runTime - 2);
                after["LastUpdateTime"] = before.at("LastUpdateTime");
            }
        }
        for (const char* value : kSettings) {
            EXPECT_EQ(after[value], before.at(value)) << value << " after the kill (" << found << ")";
            // All are there from the first start on; the last package's path from the first installation.
            if (day > 1 || std::string(value) != "LastDownloadFile") {
                EXPECT_NE(after[value], "missing") << value;
            }
        }

        // A new start, and the next run completes: it installs the package unless that was recorded.
        ASSERT_TRUE(m_program.Start()) << "no start after the kill (" << found << ")";
        // Whoever waits for the end of the killed run is released by the new start at the latest.
        EXPECT_TRUE(m_program.RunEnded());
        EXPECT_FALSE(m_program.RunInProgress());
        EXPECT_EQ(ReadSettings(), killed) << "changed by the start";
        m_program.RequestUpdate();
        std::string box;
        ASSERT_TRUE(m_program.FinishRun(box, 20000))
            << "the next run did not end (" << found << "); CVLUpdateRunning "
            << (m_program.RunInProgress() ? "signalled" : "not signalled");
        EXPECT_EQ(box, recorded ? "There are no new updates available for download." : "");
        EXPECT_FALSE(m_program.RunInProgress());
        EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), local);
        EXPECT_FALSE(FileExists(local));
        for (const PackageStart& start : Starts())
            EXPECT_EQ(start.size, kPackageSize) << "a partial download ran";
        std::printf("%-14s killed with %s; path %s, time %s; next run: %s, %lu ms\n", what.c_str(),
                    found.c_str(), recorded ? "recorded" : "unchanged", time.c_str(),
                    box.empty() ? "installed" : "nothing new", ::GetTickCount() - cycleStart);
        if (HasFatalFailure())
            return;
    }
}

} // namespace
