// The HTTPS channel against a real HTTPS server with faults and a proxy, and the update lists signed by the
// build's publishers on both channels.
#include "UpdaterFixture.h"
#include "res/resource.h"
#include "support/HttpsTestServer.h"
#include "support/ProcessGauge.h"
#include "support/UiDriver.h"
#include "dialogs/SettingsDlg.h"
#include "update/HttpsChannel.h"
#include "update/Sha256.h"
#include "system/UpdateLog.h"
#include "update/TransferProgressDlg.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

namespace pmtest {
namespace {

const char kPackage[] = "261201-update.exe";
const char kMismatch[] = "The update file does not match the update list.";
const char kListUnreadable[] = "The update list could not be read.";
const char kListUntrusted[] = "The update list is not signed by a trusted publisher.";
const char kListExpired[] = "The update list has expired.";
const char kListOlder[] = "The update list is older than one already seen.";
const char kIdentity[] = "The update server's identity could not be verified.";
const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

const HttpsTestServer& Https() {
    static const HttpsTestServer server("up_main", 20);
    return server;
}
const HttpsTestServer& PortServer() {
    static const HttpsTestServer server("up_port", 20, 8443);
    return server;
}
const HttpsTestServer& OtherHost() {
    static const HttpsTestServer server("up_other", 25);
    return server;
}
const HttpsTestServer& Untrusted() {
    static const HttpsTestServer server("up_untrusted", 21);
    return server;
}
const HttpsTestServer& Plain() {
    static const HttpsTestServer server("up_plain", 23, 0, true);
    return server;
}

std::string LowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

std::string Sha256Hex(const std::string& bytes) {
    CSha256 hash;
    hash.Add(bytes.data(), bytes.size());
    return ThumbprintHex(hash.Finish().value_or(Sha256Digest{}));
}

std::string Line(const std::string& name, std::size_t size, const std::string& sha256,
                 const char* extra = "") {
    return "package " + name + " " + std::to_string(size) + " " + sha256 + extra + "\n";
}

std::string Feed(const std::string& packages, const char* expires = "2099-01-01T00:00:00Z") {
    return std::string("Pendlemark feed 1\nserial 100\nexpires ") + expires + "\n" + packages;
}

// The list grown to size bytes by a comment line.
std::string Padded(const std::string& feed, std::size_t size) {
    return feed + "#" + std::string(size - feed.size() - 2, 'x') + "\n";
}

class HttpsChannelTest : public FtpUpdaterTest {
  protected:
    void SetUp() override {
        FtpUpdaterTest::SetUp();
        ASSERT_TRUE(Https().Available()) << "the update_servers fixture did not start";
        Https().Clear();
        m_package = ReadFileText(TrustPackage("signed-a.exe"));
        ASSERT_FALSE(m_package.empty());
        SetRegDword(kParamsKey, "RolloutBucket", 50);
        RemoveUpdateLog();
    }
    void TearDown() override {
        ClearServers();
        FtpUpdaterTest::TearDown();
    }
    static void ClearServers() {
        for (const HttpsTestServer* server : {&Https(), &PortServer(), &OtherHost(), &Untrusted(), &Plain()})
            server->Clear();
    }
    std::string Listed(const char* extra = "") const {
        return Line(kPackage, m_package.size(), Sha256Hex(m_package), extra);
    }
    void Serve(const std::string& feed, const HttpsTestServer& server = Https()) const {
        server.Serve("update/Pendlemark.feed", feed);
        server.Serve(std::string("update/") + kPackage, m_package);
    }
    // A list the build made (see make_test_feeds.sh), with its signature where it has one.
    void ServeBuilt(const char* name, const HttpsTestServer& server = Https()) const {
        const std::string list = ProgramDir() + "..\\feeds\\" + name + ".feed";
        Serve(ReadFileText(list), server);
        if (FileExists(list + ".p7s"))
            server.Serve("update/Pendlemark.feed.p7s", ReadFileText(list + ".p7s"));
    }
    // One update over HTTPS, as the update run makes it; with its progress window when asked.
    BOOL Update(std::string& error, const HttpsTestServer& server = Https(), bool window = false) const {
        CUpdaterApp& app = *GetUpdaterApp();
        app.m_lastDownloadFile.clear();
        app.m_server = server.Address();
        app.m_user = m_user;
        app.m_pass = m_password;
        app.m_pathToFile = "/update/";
        CUpdateLog log;
        log.BeginRun("started by the test");
        CUpdateRun run(app, app, &log);
        if (window)
            run.OpenProgressWindow(FALSE);
        CHttpsChannel https(run);
        https.SetLimits(m_limits, 100); // the pause before a retry matters to no test
        const BOOL installed = https.Connect() && https.InstallNewestPackage();
        error = run.m_errorText;
        return installed;
    }
    std::vector<std::string> Requests(const std::string& name) const {
        std::vector<std::string> requests;
        for (const std::string& line : Https().Activity())
            if (line.find("/update/" + name) != std::string::npos)
                requests.push_back(line);
        return requests;
    }

    // Redirects of the package, hop after hop on the same server, before it is served.
    void Chain(int hops) const {
        std::string from = std::string("/update/") + kPackage;
        for (int hop = 1; hop <= hops; ++hop) {
            const std::string to = "/hop" + std::to_string(hop) + "/" + kPackage;
            Https().Redirect(from, Https().Address() + to);
            Https().Serve(to.substr(1), m_package);
            from = to;
        }
    }

    std::string m_package;
    PaceLimits m_limits = CHttpsChannel::DefaultLimits();
    CString m_user;
    CString m_password;
};

TEST_F(HttpsChannelTest, TheListNamesThePackageAndItsBytesMustMatch) {
    const std::string sha = Sha256Hex(m_package);
    const std::string cut = std::string("update/") + kPackage;
    const struct {
        const char* what;
        std::function<void()> serve;
        const char* error;                    // null: installs
        std::function<void()> then = nullptr; // more to check, if anything
    } cases[] = {
        {"as listed", [&] { Serve(Feed(Listed())); }, nullptr,
         [] {
             // Publishers count their fleet's versions in their server's records.
             EXPECT_EQ(Https().Agents(), std::vector<std::string>(2, "Pendlemark/" PM_VERSION));
         }},
        {"bigger than listed", [&] { Serve(Feed(Line(kPackage, m_package.size() - 1, sha))); }, kMismatch},
        {"smaller than listed", [&] { Serve(Feed(Line(kPackage, m_package.size() + 1, sha))); }, kMismatch},
        {"another SHA-256", [&] { Serve(Feed(Line(kPackage, m_package.size(), Sha256Hex("other")))); },
         kMismatch},
        {"another length announced",
         [&] {
             Serve(Feed(Listed()));
             Https().AnnounceLength(kPackage, static_cast<long long>(m_package.size()) + 10);
         },
         kMismatch},
        {"cut once and resumed",
         [&] {
             Serve(Feed(Listed()));
             Https().CutAfter(kPackage, 20000, 1);
         },
         nullptr},
        {"resumed, answered with a range that does not fit",
         [&] {
             Serve(Feed(Listed()));
             Https().CutAfter(kPackage, 20000, 1);
             Https().WrongContentRange(kPackage, 100, 1);
         },
         nullptr},
        {"resumed, answered with the whole file",
         [&] {
             Serve(Feed(Listed()));
             Https().CutAfter(kPackage, 20000, 1);
             Https().IgnoreRange(kPackage, 1);
         },
         nullptr},
        {"stalled once and resumed",
         [&] {
             Serve(Feed(Listed()));
             Https().StallAfter(kPackage, 20000, 2, 1);
         },
         nullptr},
        {"the package missing", [&] { Https().Serve("update/Pendlemark.feed", Feed(Listed())); },
         kRetrieveFailed},
        {"no list", [&] { Https().Serve(cut, m_package); }, kListUnreadable},
        {"a list that is none", [&] { Serve("Pendlemark feed 2\n"); }, kListUnreadable},
        {"expired", [&] { Serve(Feed(Listed(), "2020-01-01T00:00:00Z")); }, kListExpired},
        {"older than one seen, recorded with blanks around",
         [&] {
             SetRegString(kParamsKey, "FeedSerial", "300 ");
             Serve(Feed(Listed()));
         },
         kListOlder, [] { EXPECT_EQ(RegString(kParamsKey, "FeedSerial"), "300 "); }},
        {"older than one seen",
         [&] {
             SetRegString(kParamsKey, "FeedSerial", "101");
             Serve(Feed(Listed()));
         },
         kListOlder},
        {"the one seen last",
         [&] {
             SetRegString(kParamsKey, "FeedSerial", "100");
             Serve(Feed(Listed()));
         },
         nullptr},
        {"rolled out up to the bucket", [&] { Serve(Feed(Listed(" rollout 50"))); }, kNoUpdate},
        {"rolled out beyond the bucket", [&] { Serve(Feed(Listed(" rollout 51"))); }, nullptr},
        {"rolled out to nobody", [&] { Serve(Feed(Listed(" rollout 0"))); }, kNoUpdate,
         [] { EXPECT_EQ(RegString(kParamsKey, "FeedSerial"), "100"); }},
        {"a newer package not offered, and one in the folder not listed",
         [&] {
             Serve(Feed(Line("261205-update.exe", 4, Sha256Hex("next"), " rollout 10") + Listed()));
             Https().Serve("update/261209-update.exe", m_package);
         },
         nullptr},
        {"redirected once to plain HTTP",
         [&] {
             Serve(Feed(Listed()));
             Serve(Feed(Listed()), Plain());
             Https().Redirect("/update/Pendlemark.feed", Plain().Address() + "/update/Pendlemark.feed", 1);
         },
         kListUnreadable},
        {"the package redirected to a server nobody trusts",
         [&] {
             Serve(Feed(Listed()));
             Serve(Feed(Listed()), Untrusted());
             Https().Redirect(std::string("/update/") + kPackage,
                              Untrusted().Address() + "/update/" + kPackage);
         },
         kIdentity},
        {"list and package on another port",
         [&] {
             Serve(Feed(Listed()), PortServer());
             Https().Redirect("/update/", PortServer().Address() + "/update/");
         },
         nullptr},
        {"the package at a signed address of another host",
         [&] {
             Serve(Feed(Listed()));
             Serve(Feed(Listed()), OtherHost());
             Https().Redirect(std::string("/update/") + kPackage,
                              OtherHost().Address() + "/update/" + kPackage + "?token=a%2Fb#part");
         },
         nullptr,
         [] {
             ASSERT_FALSE(OtherHost().Activity().empty());
             EXPECT_EQ(OtherHost().Activity().back(),
                       std::string("GET /update/") + kPackage + "?token=a%2Fb");
         }},
        {"the package at a signed address of 2,000 bytes",
         [&] {
             Serve(Feed(Listed()));
             Serve(Feed(Listed()), OtherHost());
             Https().Redirect(std::string("/update/") + kPackage, OtherHost().Address() + "/update/" +
                                                                      kPackage +
                                                                      "?token=" + std::string(2000, 't'));
         },
         nullptr,
         [] {
             EXPECT_EQ(OtherHost().Activity().back(),
                       std::string("GET /update/") + kPackage + "?token=" + std::string(2000, 't'));
         }},
        {"five redirects in a row", [&] { Serve(Feed(Listed())), Chain(5); }, nullptr},
        {"six redirects in a row", [&] { Serve(Feed(Listed())), Chain(6); }, kRetrieveFailed},
        {"moved for good (301), see other (303), again (307) and for good again (308)",
         [&] {
             Serve(Feed(Listed()));
             std::string from = "/update/Pendlemark.feed";
             for (int code : {301, 303, 307, 308}) {
                 const std::string to = "/moved" + std::to_string(code) + "/Pendlemark.feed";
                 Https().Redirect(from, Https().Address() + to, 0, code);
                 Https().Serve(to.substr(1), Feed(Listed()));
                 from = to;
             }
         },
         nullptr},
        {"the sign-in stays with the configured server",
         [&] {
             m_user = "user";
             m_password = "secret";
             Serve(Feed(Listed()));
             Serve(Feed(Listed()), OtherHost());
             Https().RequireLogin("user", "secret");
             OtherHost().RequireLogin("user", "secret");
             Https().Redirect(std::string("/update/") + kPackage,
                              OtherHost().Address() + "/update/" + kPackage);
         },
         kRetrieveFailed,
         [] {
             const std::vector<std::string> asked = OtherHost().Activity();
             ASSERT_FALSE(asked.empty());
             for (const std::string& request : asked)
                 EXPECT_EQ(request.find("auth="), std::string::npos) << request;
             const std::vector<std::string> signedIn = Https().Activity();
             EXPECT_TRUE(std::any_of(signedIn.begin(), signedIn.end(), [](const std::string& request) {
                 return request.find("auth=user:secret") != std::string::npos;
             }));
         }},
        {"a list of the longest size read", [&] { Serve(Padded(Feed(Listed()), kMaxFeedBytes)); }, nullptr},
        {"a list one byte longer", [&] { Serve(Padded(Feed(Listed()), kMaxFeedBytes + 1)); },
         kListUnreadable},
        {"list and package on another host",
         [&] {
             Serve(Feed(Listed()), OtherHost());
             Https().Redirect("/update/", OtherHost().Address() + "/update/");
         },
         nullptr},
        {"redirected over HTTPS",
         [&] {
             Https().Serve("moved/Pendlemark.feed", Feed(Listed()));
             Https().Serve(std::string("moved/") + kPackage, m_package);
             Https().Redirect("/update/", Https().Address() + "/moved/");
         },
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClearServers();
        DeleteCorvalisKeys();
        SetRegDword(kParamsKey, "RolloutBucket", 50);
        m_user.clear();
        m_password.clear();
        c.serve();
        std::string error;
        EXPECT_EQ(Update(error), c.error == nullptr) << error;
        EXPECT_EQ(error, c.error ? c.error : "");
        if (c.then)
            c.then();
        EXPECT_EQ(RunRecord(kPackage) != "", c.error == nullptr);
        // An installed package leaves no record of a part behind.
        EXPECT_FALSE(!c.error && RegValueExists(kParamsKey, "PartialDownload"));
        // Nothing of the transfer is left: neither the package nor a part of it.
        EXPECT_EQ(Entries(DownloadFolder()),
                  c.error ? std::vector<std::string>{}
                          : std::vector<std::string>{std::string(kPackage) + ".cmdline"});
        ::DeleteFileA((Downloaded(kPackage) + ".cmdline").c_str());
    }
}

TEST_F(HttpsChannelTest, ATransferCutEveryTimeKeepsWhatArrivedForTheNextRun) {
    Serve(Feed(Listed()));
    Https().CutAfter(kPackage, 20000);
    std::string error;
    EXPECT_FALSE(Update(error));
    EXPECT_EQ(error, kRetrieveFailed);
    // Taken up twice within the run, each time from where it was cut.
    const std::vector<std::string> tries = Requests(kPackage);
    ASSERT_EQ(tries.size(), 3u);
    EXPECT_NE(tries[1].find("range=bytes=20000- ifrange=\""), std::string::npos) << tries[1];
    EXPECT_NE(tries[2].find("range=bytes=40000-"), std::string::npos) << tries[2];
    EXPECT_EQ(FileSize(Downloaded(kPackage) + ".part"), 60000);
    // The next run asks for the rest only.
    ASSERT_TRUE(::DeleteFileA((Https().Root() + "\\.faults").c_str()));
    EXPECT_TRUE(Update(error)) << error;
    // Both runs in the log, each step a line: what the list said, what was chosen, each attempt, the end.
    const std::string size = std::to_string(m_package.size());
    const std::string steps[] = {
        " run 1: started by the test",
        " run 1: update list: serial 100, expires 2099-01-01T00:00:00Z, its signature not required",
        " run 1: package chosen: 261201-update.exe, " + size + " bytes",
        " run 1: transfer begun",
        " run 1: received 20000 bytes, 20000 of " + size + " in all, cut",
        " run 1: transfer resumed from byte 20000",
        " run 1: received 20000 bytes, 40000 of " + size + " in all, cut",
        " run 1: transfer resumed from byte 40000",
        " run 1: received 20000 bytes, 60000 of " + size + " in all, cut",
        " run 1: transfer failed: Error retrieving update file.",
        " run 2: started by the test",
        " run 2: update list: serial 100, expires 2099-01-01T00:00:00Z, its signature not required",
        " run 2: package chosen: 261201-update.exe, " + size + " bytes",
        " run 2: transfer resumed from byte 60000",
        " run 2: received " + std::to_string(m_package.size() - 60000) + " bytes, " + size + " of " + size +
            " in all",
        " run 2: ran and ended with exit code 7; recorded as the last package, no version recorded",
    };
    const std::vector<std::string> log = UpdateLogLines();
    ASSERT_EQ(log.size(), std::size(steps));
    for (std::size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(log[i].substr(25), steps[i]);
    ASSERT_EQ(Requests(kPackage).size(), 4u);
    EXPECT_NE(Requests(kPackage)[3].find("range=bytes=60000-"), std::string::npos) << Requests(kPackage)[3];
    EXPECT_FALSE(FileExists(Downloaded(kPackage) + ".part"));
    // A part of an entry the list no longer names, or does not offer this client, is deleted by the next
    // run whose list passed its checks; one that was refused decides nothing.
    for (const char* part : {"261130-update.exe.part", "261205-update.exe.part"})
        ASSERT_TRUE(WriteFileText(Downloaded(part), "old"));
    Serve(Feed(Listed(), "2020-01-01T00:00:00Z"));
    EXPECT_FALSE(Update(error));
    EXPECT_TRUE(FileExists(Downloaded("261130-update.exe.part")));
    Serve(Feed(Line("261205-update.exe", 4, Sha256Hex("next"), " rollout 0") + Listed()));
    EXPECT_TRUE(Update(error)) << error;
    EXPECT_EQ(Entries(DownloadFolder()), std::vector<std::string>{std::string(kPackage) + ".cmdline"});
}

TEST_F(HttpsChannelTest, APartIsTakenUpOnlyForItsOwnEntry) {
    Serve(Feed(Listed()));
    const std::string sha = Sha256Hex(m_package);
    const std::string size = std::to_string(m_package.size());
    const struct {
        const char* what;
        long long partSize;
        std::string record; // before the server's validator, "*", which no file of the server has
        bool asksRest;
    } cases[] = {
        {"longer than listed", static_cast<long long>(m_package.size()) + 10, size + "|" + sha, false},
        {"recorded for another size", 20000, std::to_string(m_package.size() + 1) + "|" + sha, false},
        {"recorded for another SHA-256", 20000, size + "|" + Sha256Hex("other"), false},
        // The rest is asked for only if the file is still the one the part came from: the server sends
        // all of it, and the part's bytes are not kept.
        {"its file changed since, with the same size", 20000, size + "|" + sha, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ::CreateDirectoryA(DownloadFolder().c_str(), nullptr);
        ASSERT_TRUE(WriteFileText(Downloaded(kPackage) + ".part", std::string(c.partSize, 'x')));
        SetRegString(kParamsKey, "PartialDownload", std::string(kPackage) + "|" + c.record + "|*");
        std::string error;
        EXPECT_TRUE(Update(error)) << error;
        ASSERT_FALSE(Requests(kPackage).empty());
        const std::string asked = Requests(kPackage).back();
        EXPECT_EQ(asked.find("range=") != std::string::npos, c.asksRest) << asked;
        EXPECT_EQ(asked.find("range=bytes=20000- ifrange=*") != std::string::npos, c.asksRest) << asked;
        ::DeleteFileA((Downloaded(kPackage) + ".cmdline").c_str());
    }
}

// A request is a job of its own that the run waits for: given up when the server stays silent or the run
// stops waiting (and then it ends as the server lets go, reaching the run no more), waited for however
// slowly its bytes come.
TEST_F(HttpsChannelTest, ARequestIsGivenUpWhenSilentOrUnwantedAndWaitedForWhileItReceives) {
    const struct {
        const char* what;
        std::function<void()> fault;
        bool goOn;          // what the run says while it waits
        DWORD takesBlockMs; // how long the run takes for the first block
        HttpsResult result;
    } cases[] = {
        {"silent", [] { Https().Hang(kFeedFileName, 2, 1); }, true, 0, HttpsResult::Cut},
        {"receiving slowly", [] { Https().SendSlowly(kFeedFileName, 500, 1); }, true, 0,
         HttpsResult::Complete},
        // Meanwhile the request waits for buffers, not for the server.
        {"its blocks taken slowly", [] {}, true, 800, HttpsResult::Complete},
        {"not wanted", [] { Https().Hang(kFeedFileName, 2, 1); }, false, 0, HttpsResult::Aborted},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Https().Clear();
        // More than the blocks going round for the one taken slowly.
        const std::string feed = Padded(Feed(Listed()), c.takesBlockMs ? 400000 : 1000);
        Https().Serve("update/Pendlemark.feed", feed);
        c.fault();
        int looks = 0;
        CHttpsClient client(ParseServerAddress(Https().Address()), "", "",
                            {PumpPending, [&] { return ++looks, c.goOn; }, nullptr});
        client.m_limits = PaceLimits{500, 60000, 1};
        const auto start = std::chrono::steady_clock::now();
        DWORD status = 0;
        std::string body;
        HttpsResult result = client.Get("/update/Pendlemark.feed", "", status);
        if (result == HttpsResult::Complete)
            result = client.Read(feed.size(), [&](const char* data, DWORD size) {
                if (body.empty())
                    ::Sleep(c.takesBlockMs);
                body.append(data, size);
                return true;
            });
        EXPECT_EQ(result, c.result);
        EXPECT_GT(looks, 0);
        EXPECT_EQ(body, c.result == HttpsResult::Complete ? feed : "");
        // Given up at once, not when the server lets go.
        EXPECT_TRUE(c.result == HttpsResult::Complete || MillisecondsSince(start) < 1500);
    }
    EXPECT_TRUE(WaitUntil([] { return CHttpsRequest::Abandoned() == 0; }, 5000))
        << CHttpsRequest::Abandoned();
}

// Requests given up stay blocked until the server lets go, each with its session and buffers: a resident
// program keeps a few of them at most, and a run meanwhile ends with the connection text.
TEST_F(HttpsChannelTest, RequestsGivenUpAreFewAndEndAsTheServerLetsGo) {
    Serve(Feed(Listed()));
    Https().Hang(kFeedFileName, 5);
    m_limits.idleMs = 200;
    const auto measure = [] {
        return MeasureProcess(::GetCurrentProcessId(), LinuxPidOf("test_update.exe"));
    };
    const ProcessFigures before = measure();
    std::string error;
    for (int run = 0; CHttpsRequest::Abandoned() < CHttpsRequest::kMaxAbandoned && run < 3; ++run) {
        EXPECT_FALSE(Update(error));
        EXPECT_EQ(error, kListUnreadable);
    }
    EXPECT_EQ(CHttpsRequest::Abandoned(), CHttpsRequest::kMaxAbandoned);
    const ProcessFigures held = measure();
    EXPECT_FALSE(Update(error));
    EXPECT_EQ(error, kNoConnection);
    std::printf("%d requests given up hold %lld bytes of private memory, %lld kB resident\n",
                CHttpsRequest::kMaxAbandoned, held.privateBytes - before.privateBytes,
                held.rssAnonKb - before.rssAnonKb);
    EXPECT_TRUE(WaitUntil([] { return CHttpsRequest::Abandoned() == 0; }, 8000))
        << CHttpsRequest::Abandoned();
    Https().Clear();
    Serve(Feed(Listed()));
    EXPECT_TRUE(Update(error)) << error;
}

// What the platform reports of the server's certificate ends a run with the identity text.
TEST(HttpsClient, CertificateErrorsAreIdentityErrors) {
    for (DWORD error : {12037u, 12038u, 12045u, 12055u, 12056u, 12057u, 12157u, 12169u, 12170u, 12179u})
        EXPECT_TRUE(IsServerIdentityError(error)) << error;
    for (DWORD error : {0u, 12002u, 12029u, 12030u, 12152u})
        EXPECT_FALSE(IsServerIdentityError(error)) << error;
}

// A server that falls silent in any phase holds neither the window nor the run: silence beyond the idle
// limit is a cut, taken up again before the server lets go; and while it lasts the window is served and
// Cancel ends the run within a second.
TEST_F(HttpsChannelTest, ASilentServerHoldsNeitherTheWindowNorTheRun) {
    const std::string p7s = "Pendlemark.feed.p7s";
    // WinINet keeps connections for the whole process: a handshake is silenced on servers not met yet.
    const struct {
        const char* what;
        std::function<void(const HttpsTestServer& server, int seconds, int times)> silence;
        const HttpsTestServer* servers[2]; // for the cut and for Cancel
    } phases[] = {
        {"connecting",
         [](auto& server, int seconds, int times) { server.Mute(seconds, times); },
         {&PortServer(), &OtherHost()}},
        {"the answer",
         [](auto& server, int seconds, int times) { server.Hang(kFeedFileName, seconds, times); },
         {&Https(), &Https()}},
        {"the list",
         [](auto& server, int seconds, int times) { server.StallAfter(kFeedFileName, 10, seconds, times); },
         {&Https(), &Https()}},
        {"the signature",
         [&](auto& server, int seconds, int times) { server.StallAfter(p7s, 10, seconds, times); },
         {&Https(), &Https()}},
        {"the package",
         [](auto& server, int seconds, int times) { server.StallAfter(kPackage, 20000, seconds, times); },
         {&Https(), &Https()}},
    };
    for (const auto& phase : phases) {
        SCOPED_TRACE(phase.what);
        const auto prepare = [&](const HttpsTestServer& server) {
            ClearServers();
            DeleteCorvalisKeys();
            SetRegDword(kParamsKey, "RolloutBucket", 50);
            SetUserPin(PublisherThumbprint("a").c_str()); // so that the signature is fetched too
            ServeBuilt("signed-attr", server);
        };
        prepare(*phase.servers[0]);
        phase.silence(*phase.servers[0], 3, 1);
        m_limits.idleMs = 1000;
        std::string error;
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(Update(error, *phase.servers[0], true)) << error;
        EXPECT_LT(MillisecondsSince(start), 10000);
        ::DeleteFileA((Downloaded(kPackage) + ".cmdline").c_str());

        prepare(*phase.servers[1]);
        phase.silence(*phase.servers[1], 3, 0);
        m_limits = CHttpsChannel::DefaultLimits();
        std::atomic<bool> answered{false};
        std::chrono::steady_clock::time_point cancelled;
        std::thread user([&] {
            HWND window = WaitForWindow("#32770", "Updating Corvalis...");
            ::Sleep(1000); // well into the silence
            DWORD_PTR result = 0;
            answered = window && ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &result);
            cancelled = std::chrono::steady_clock::now();
            ClickButton(window, IDCANCEL);
        });
        EXPECT_FALSE(Update(error, *phase.servers[1], true));
        const auto ended = std::chrono::steady_clock::now();
        user.join();
        const long long afterCancel =
            std::chrono::duration_cast<std::chrono::milliseconds>(ended - cancelled).count();
        EXPECT_TRUE(answered);
        EXPECT_EQ(error, "Download aborted!");
        EXPECT_LT(afterCancel, 1000);
        // Those given up end as the server lets go, so the next phase never meets the bound on them.
        EXPECT_TRUE(WaitUntil([] { return CHttpsRequest::Abandoned() <= 2; }, 5000));
    }
    // A request given up holds nothing once the server has let go.
    EXPECT_TRUE(WaitUntil([] { return CHttpsRequest::Abandoned() == 0; }, 5000))
        << CHttpsRequest::Abandoned();
}

// A real line: a steady line slower than a block in the idle limit finishes in one request, a trickle
// under the floor is cut and taken up again, and another of the program's dialogs left open during a
// transfer (its own message loop then runs inside the run's wait) cuts nothing, while Cancel in the
// progress window still ends the transfer within a second. The limits are shortened.
TEST_F(HttpsChannelTest, ASlowLineFinishesATrickleIsCutAndADialogOpenMeanwhileHoldsNothing) {
    m_limits = PaceLimits{1000, 2000, 1024};
    // Opens the settings dialog, modal, when the user thread asks: as the tray menu does during a run.
    struct Opener {
        static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message != WM_APP)
                return ::DefWindowProcA(window, message, wParam, lParam);
            CSettingsDlg dialog(nullptr);
            dialog.DoModal();
            return 0;
        }
    };
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &Opener::Proc;
    windowClass.lpszClassName = "PmSettingsOpener";
    ::RegisterClassA(&windowClass);
    const HWND opener = ::CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                          nullptr, nullptr, nullptr);
    ASSERT_TRUE(opener);
    enum class Dialog { None, Open, OpenAndCancel };
    const struct {
        const char* what;
        std::function<void()> serve;
        Dialog dialog;
        std::size_t packageRequests;
        const char* error;
    } cases[] = {
        {"a steady line under 1 KB/s",
         [&] {
             Serve(Padded(Feed(Listed()), 2000));
             Https().SendSlowly(kFeedFileName, 600);
         },
         Dialog::None, 1, nullptr},
        {"a trickle under the floor",
         [&] {
             Serve(Feed(Listed()));
             Https().SendSlowly(kPackage, 300, 1);
         },
         Dialog::None, 2, nullptr},
        {"a dialog open for longer than the idle limit",
         [&] {
             Serve(Feed(Listed()));
             Https().SendSlowly(kPackage, 100000);
         },
         Dialog::Open, 1, nullptr},
        {"Cancel while a dialog is open",
         [&] {
             Serve(Feed(Listed()));
             Https().SendSlowly(kPackage, 100000);
         },
         Dialog::OpenAndCancel, 1, "Download aborted!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClearServers();
        DeleteCorvalisKeys();
        SetRegDword(kParamsKey, "RolloutBucket", 50);
        RemoveUpdateLog();
        c.serve();
        long long hiddenAfter = -1;
        std::thread user([&] {
            if (c.dialog == Dialog::None)
                return;
            const HWND progress = WaitForWindow("#32770", "Updating Corvalis...");
            WaitUntil([&] { return GetItemText(progress, IDC_STATUS_TEXT) == "Receiving update..."; }, 5000);
            ::PostMessageA(opener, WM_APP, 0, 0);
            const HWND settings = WaitForWindow("#32770", "Corvalis's Wayrail Settings", 5000);
            if (c.dialog == Dialog::OpenAndCancel) {
                const auto clicked = std::chrono::steady_clock::now();
                ClickButton(progress, IDCANCEL);
                if (WaitUntil([&] { return !::IsWindowVisible(progress); }, 3000))
                    hiddenAfter = MillisecondsSince(clicked);
            } else {
                ::Sleep(1500);
            }
            ClickButton(settings, IDCANCEL);
        });
        std::string error;
        EXPECT_EQ(Update(error, Https(), true), c.error == nullptr) << error;
        user.join();
        EXPECT_EQ(error, c.error ? c.error : "");
        EXPECT_EQ(Requests(kPackage).size(), c.packageRequests);
        EXPECT_EQ(Requests(kFeedFileName).size(), 1u);
        const std::vector<std::string> log = UpdateLogLines();
        EXPECT_EQ(
            std::any_of(log.begin(), log.end(),
                        [](const std::string& line) { return line.find(", cut") != std::string::npos; }),
            c.packageRequests > 1);
        if (c.dialog == Dialog::OpenAndCancel) {
            EXPECT_GE(hiddenAfter, 0);
            EXPECT_LT(hiddenAfter, 1000);
        }
        ::DeleteFileA((Downloaded(kPackage) + ".cmdline").c_str());
    }
    ::DestroyWindow(opener);
}

// The part of a package is five bytes longer than its path: a package whose part could not be named is
// refused before anything of it is fetched, as a path that cannot be built is on either channel.
TEST_F(HttpsChannelTest, APackageIsFetchedOnlyWhereItsPartFitsToo) {
    Serve(Feed(Listed()));
    for (std::size_t length : {254u, 255u}) {
        SCOPED_TRACE(length);
        Https().Clear();
        Serve(Feed(Listed()));
        // <browser>\Pendlemark\261201-update.exe of that length.
        const std::string browser =
            m_browser.Path() + "\\" + std::string(length - m_browser.Path().size() - 1 - 29, 'b');
        ASSERT_TRUE(::CreateDirectoryA(browser.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
        m_app->m_browserDir = browser;
        std::string error;
        EXPECT_EQ(Update(error), length == 254) << error;
        EXPECT_EQ(error, length == 254 ? "" : kRetrieveFailed);
        EXPECT_EQ(Requests(kPackage).empty(), length != 254);
        const std::vector<std::string> log = UpdateLogLines();
        EXPECT_EQ(std::any_of(log.begin(), log.end(),
                              [](const std::string& line) {
                                  return line.find("not fetched: Error retrieving update file.") !=
                                         std::string::npos;
                              }),
                  length != 254);
        RemoveUpdateLog();
    }
    m_app->m_browserDir = m_browser.Path();
}

// Another program that can write the download folder keeps putting its own program in the package's
// place during the runs: whatever it manages, what runs is the package that was checked, never its own.
TEST_F(HttpsChannelTest, ARacingProgramNeverGetsItsFileRun) {
    for (bool overFtp : {false, true}) {
        SCOPED_TRACE(overFtp ? "FTP, a publisher pinned" : "HTTPS, the list's SHA-256");
        ClearServers();
        MainServer().Clear();
        DeleteCorvalisKeys();
        SetRegDword(kParamsKey, "RolloutBucket", 50);
        Serve(Feed(Listed()));
        ASSERT_TRUE(MainServer().ServeCopy(kPackage, TrustPackage("signed-a.exe")));
        SetUserPin(overFtp ? PublisherThumbprint("a").c_str() : nullptr);
        ::CreateDirectoryA(DownloadFolder().c_str(), nullptr);
        Process racer = Process::Start(Quote(BuiltProgram("pm_file_tool.exe")) + " --replace " +
                                       Quote(Downloaded(kPackage)) + " " +
                                       Quote(BuiltProgram("pm_record_args.exe")) + " 2000");
        int installed = 0;
        for (int run = 0; run < 20 && racer.Running(); ++run) {
            std::string error;
            m_app->m_lastDownloadFile.clear();
            if (overFtp) {
                auto updater = Updater();
                installed += Install(*updater);
            } else {
                installed += Update(error);
            }
        }
        const long replaced = racer.Wait();
        EXPECT_GT(replaced, 0) << "the racer never got at the file";
        EXPECT_FALSE(FileExists(Downloaded(kPackage) + ".args")) << "its program ran";
        std::printf("%d of the runs installed the package, the racer replaced the file %ld times\n",
                    installed, replaced);
    }
}

TEST_F(HttpsChannelTest, AServerOfAnotherPortThroughTheUsersProxyAndOneNobodyTrusts) {
    const HttpsTestServer& port = PortServer();
    const HttpsTestServer& untrusted = Untrusted();
    static const HttpsTestServer proxy("up_proxy", 22, 8080);
    std::string error;
    Serve(Feed(Listed()), port);
    EXPECT_TRUE(Update(error, port)) << error;
    port.Clear();

    Serve(Feed(Listed()), untrusted);
    EXPECT_FALSE(Update(error, untrusted));
    EXPECT_EQ(error, kIdentity);
    EXPECT_TRUE(untrusted.Activity().empty());
    untrusted.Clear();

    SetRegDword(kInternetSettings, "ProxyEnable", 1);
    SetRegString(kInternetSettings, "ProxyServer", proxy.HostPort());
    Serve(Feed(Listed()));
    const BOOL installed = Update(error);
    SetRegDword(kInternetSettings, "ProxyEnable", 0);
    EXPECT_TRUE(installed) << error;
    ASSERT_FALSE(proxy.Activity().empty());
    EXPECT_EQ(proxy.Activity().front(), "CONNECT " + Https().HostPort());
}

TEST_F(HttpsChannelTest, SignedListsOnBothChannels) {
    const struct {
        const char* what;
        const char* list; // made by the build
        bool pinned;      // by publisher a
        DWORD require;    // RequireSignedFeed; 2: none, 3: "0" as text
        bool overFtp;
        const char* error; // null: installs
    } cases[] = {
        {"signed with attributes", "signed-attr", true, 2, false, nullptr},
        {"signed without attributes", "signed-noattr", true, 2, false, nullptr},
        {"signed by another publisher", "signed-other", true, 2, false, kListUntrusted},
        {"changed after signing, with attributes", "tampered-attr", true, 2, false, kListUntrusted},
        {"changed after signing, without attributes", "tampered-noattr", true, 2, false, kListUntrusted},
        {"no signature", "unsigned", true, 2, false, kListUntrusted},
        {"no signature and no pin", "unsigned", false, 2, false, nullptr},
        {"signed by two publishers", "signed-two", true, 2, false, kListUntrusted},
        {"signed with SHA-1", "signed-sha1", true, 2, false, kListUntrusted},
        {"signed attributes without the message digest", "signed-nodigest", true, 2, false, kListUntrusted},
        {"required by a value of the wrong type", "unsigned", false, 3, false, kListUntrusted},
        {"required, and no pin", "signed-attr", false, 1, false, kListUntrusted},
        {"FTP: a signed list required", "signed-attr", true, 1, true, nullptr},
        {"FTP: required and missing", nullptr, true, 1, true, kListUnreadable},
        {"FTP: required, no pin", "signed-attr", false, 1, true, kListUntrusted},
        {"FTP: the listing where not required", nullptr, true, 0, true, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteCorvalisKeys();
        ClearPins();
        Https().Clear();
        MainServer().Clear();
        m_app->m_lastDownloadFile.clear();
        SetUserPin(c.pinned ? PublisherThumbprint("a").c_str() : nullptr);
        if (c.require == 3)
            SetRegString(kParamsKey, "RequireSignedFeed", "0");
        else if (c.require != 2)
            SetRegDword(kParamsKey, "RequireSignedFeed", c.require);
        std::string error;
        BOOL installed = FALSE;
        if (c.overFtp) {
            const std::string built = ProgramDir() + "..\\feeds\\" + (c.list ? c.list : "none") + ".feed";
            ASSERT_TRUE(MainServer().ServeCopy(kPackage, TrustPackage("signed-a.exe")));
            if (c.list) {
                ASSERT_TRUE(MainServer().ServeCopy("Pendlemark.feed", built));
                ASSERT_TRUE(MainServer().ServeCopy("Pendlemark.feed.p7s", built + ".p7s"));
            }
            CUpdateLog log;
            log.BeginRun("started by the test");
            auto updater = Updater(MainServer(), "", "", "/", 1, &log);
            installed = Install(*updater);
            error = updater->m_errorText;
        } else {
            ServeBuilt(c.list);
            installed = Update(error);
        }
        EXPECT_EQ(installed, c.error == nullptr) << error;
        EXPECT_EQ(error, c.error ? c.error : "");
        EXPECT_EQ(RunRecord(kPackage) != "", c.error == nullptr);
        // A list that passed is remembered: an older one served later is refused.
        EXPECT_EQ(RegValueExists(kParamsKey, "FeedSerial"), c.error == nullptr && c.list != nullptr);
        // The log tells why nothing was chosen, or whose signature the list carried.
        const std::vector<std::string> log = UpdateLogLines();
        const std::string said = c.error ? std::string("no package chosen: ") + c.error
                                 : c.pinned && c.list
                                     ? "its signature checked, signer " + LowerCase(PublisherThumbprint("a"))
                                     : "";
        EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& line) {
            return line.find(said) != std::string::npos;
        })) << said;
        RemoveUpdateLog();
        ::DeleteFileA((Downloaded(kPackage) + ".cmdline").c_str());
    }
}

} // namespace
} // namespace pmtest
