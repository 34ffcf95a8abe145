// The HTTPS channel against a real HTTPS server with faults and a proxy, and the update lists signed by the
// build's publishers on both channels.
#include "UpdaterFixture.h"
#include "support/HttpsTestServer.h"
#include "update/HttpsChannel.h"
#include "update/Sha256.h"
#include "update/TransferWatchdog.h"

#include <functional>

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

class HttpsChannelTest : public FtpUpdaterTest {
  protected:
    void SetUp() override {
        FtpUpdaterTest::SetUp();
        ASSERT_TRUE(Https().Available()) << "the update_servers fixture did not start";
        Https().Clear();
        m_package = ReadFileText(TrustPackage("signed-a.exe"));
        ASSERT_FALSE(m_package.empty());
        SetRegDword(kParamsKey, "RolloutBucket", 50);
    }
    void TearDown() override {
        Https().Clear();
        FtpUpdaterTest::TearDown();
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
    // One update over HTTPS, as the update run makes it.
    BOOL Update(std::string& error, const HttpsTestServer& server = Https()) const {
        CUpdaterApp& app = *GetUpdaterApp();
        app.m_lastDownloadFile.clear();
        CFtpUpdater run("", "", "", "", 0);
        run.m_context = MakeUpdateContext(app, app);
        CHttpsChannel https(ParseServerAddress(server.Address()), "", "", "/update/", run);
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

    std::string m_package;
};

TEST_F(HttpsChannelTest, TheListNamesThePackageAndItsBytesMustMatch) {
    const std::string sha = Sha256Hex(m_package);
    const std::string cut = std::string("update/") + kPackage;
    const struct {
        const char* what;
        std::function<void()> serve;
        const char* error; // null: installs
    } cases[] = {
        {"as listed", [&] { Serve(Feed(Listed())); }, nullptr},
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
        {"rolled out to nobody", [&] { Serve(Feed(Listed(" rollout 0"))); }, kNoUpdate},
        {"a newer package not offered, and one in the folder not listed",
         [&] {
             Serve(Feed(Line("261205-update.exe", 4, Sha256Hex("next"), " rollout 10") + Listed()));
             Https().Serve("update/261209-update.exe", m_package);
         },
         nullptr},
        {"redirected to plain HTTP",
         [&] {
             Serve(Feed(Listed()));
             Https().Redirect("/update/Pendlemark.feed",
                              "http://" + Https().HostPort() + "/update/Pendlemark.feed");
         },
         kListUnreadable},
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
        Https().Clear();
        DeleteCorvalisKeys();
        SetRegDword(kParamsKey, "RolloutBucket", 50);
        c.serve();
        std::string error;
        EXPECT_EQ(Update(error), c.error == nullptr) << error;
        EXPECT_EQ(error, c.error ? c.error : "");
        EXPECT_EQ(RunRecord(kPackage) != "", c.error == nullptr);
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
    EXPECT_NE(tries[1].find("range=bytes=20000-"), std::string::npos) << tries[1];
    EXPECT_NE(tries[2].find("range=bytes=40000-"), std::string::npos) << tries[2];
    EXPECT_EQ(FileSize(Downloaded(kPackage) + ".part"), 60000);
    // The next run asks for the rest only.
    ASSERT_TRUE(::DeleteFileA((Https().Root() + "\\.faults").c_str()));
    EXPECT_TRUE(Update(error)) << error;
    ASSERT_EQ(Requests(kPackage).size(), 4u);
    EXPECT_NE(Requests(kPackage)[3].find("range=bytes=60000-"), std::string::npos) << Requests(kPackage)[3];
    EXPECT_FALSE(FileExists(Downloaded(kPackage) + ".part"));
    // A part of an entry the list no longer names is deleted by the next run that reads a list.
    ASSERT_TRUE(WriteFileText(Downloaded("261130-update.exe.part"), "old"));
    EXPECT_TRUE(Update(error)) << error;
    EXPECT_FALSE(FileExists(Downloaded("261130-update.exe.part")));
}

// A server that stops sending without closing: the watchdog closes the request after the idle time,
// which makes the waiting read fail as a cut does (on Windows; Wine's read does not wake when its handle
// is closed from another thread, so here the watchdog is shown on a request that is not being read).
TEST(TransferWatchdog, ClosesTheRequestOnceAfterTheIdleTimeAndNotWhileBytesArrive) {
    CInternetHandle session(::InternetOpenA("test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    CInternetHandle connection(
        ::InternetConnectA(session, "127.0.0.1", 443, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    for (bool alive : {true, false}) {
        SCOPED_TRACE(alive ? "bytes arriving" : "silent");
        CInternetHandle request(::HttpOpenRequestA(connection, "GET", "/", nullptr, nullptr, nullptr, 0, 0));
        ASSERT_TRUE(request);
        CTransferWatchdog watchdog(std::move(request), 200);
        for (int i = 0; i < 12; ++i) {
            if (alive)
                watchdog.Alive();
            ::Sleep(50);
        }
        EXPECT_EQ(watchdog.Fired(), !alive);
        DWORD type = 0, size = sizeof type;
        EXPECT_EQ(::InternetQueryOptionA(watchdog.Request(), INTERNET_OPTION_HANDLE_TYPE, &type, &size) !=
                      FALSE,
                  alive);
    }
}

TEST_F(HttpsChannelTest, AServerOfAnotherPortThroughTheUsersProxyAndOneNobodyTrusts) {
    static const HttpsTestServer port("up_port", 20, 8443);
    static const HttpsTestServer untrusted("up_untrusted", 21);
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
        DWORD require;    // RequireSignedFeed; 2: none
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
        if (c.require != 2)
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
            auto updater = Updater();
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
        ::DeleteFileA((Downloaded(kPackage) + ".cmdline").c_str());
    }
}

} // namespace
} // namespace pmtest
