// The HTTPS test bed as the product's client meets it: WinINet under Wine against https_server.py, with
// the test root trusted by this prefix only, and the CONNECT proxy.
#include "support/HttpsTestServer.h"

#include <windows.h>

#include <wininet.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace pmtest {
namespace {

const HttpsTestServer& Trusted() {
    static const HttpsTestServer server("tb_trusted", 29);
    return server;
}
const HttpsTestServer& OtherPort() {
    static const HttpsTestServer server("tb_port", 29, 8443);
    return server;
}
const HttpsTestServer& Plain() {
    static const HttpsTestServer server("tb_plain", 29, 0, true);
    return server;
}
const HttpsTestServer& Proxy() {
    static const HttpsTestServer server("tb_proxy", 29, 8080);
    return server;
}

struct Reply {
    DWORD openError = 0; // of the request; 0 when it was answered
    DWORD status = 0;
    std::string body;
    std::string contentRange;
    std::string etag;
};

std::string Header(HINTERNET request, DWORD query) {
    char text[256] = {};
    DWORD size = sizeof text;
    return ::HttpQueryInfoA(request, query, text, &size, nullptr) ? std::string(text, size) : std::string();
}

// A GET as the update channel makes it: no cache, no cookies, no user interface.
Reply Fetch(const std::string& url, const std::string& headers = "", const char* proxy = nullptr) {
    Reply reply;
    HINTERNET session =
        ::InternetOpenA("Pendlemark test bed", proxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
                        proxy, nullptr, 0);
    HINTERNET request = ::InternetOpenUrlA(
        session, url.c_str(), headers.empty() ? nullptr : headers.c_str(), static_cast<DWORD>(-1),
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI,
        0);
    if (!request) {
        reply.openError = ::GetLastError();
    } else {
        reply.status = std::stoul("0" + Header(request, HTTP_QUERY_STATUS_CODE));
        reply.contentRange = Header(request, HTTP_QUERY_CONTENT_RANGE);
        reply.etag = Header(request, HTTP_QUERY_ETAG);
        char buffer[4096];
        DWORD read = 0;
        while (::InternetReadFile(request, buffer, sizeof buffer, &read) && read)
            reply.body.append(buffer, read);
        ::InternetCloseHandle(request);
    }
    ::InternetCloseHandle(session);
    return reply;
}

std::string Bytes(size_t count) {
    std::string bytes;
    for (size_t i = 0; i < count; ++i)
        bytes += static_cast<char>('a' + i % 26);
    return bytes;
}

class HttpsTestBed : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const HttpsTestServer* server : {&Trusted(), &OtherPort(), &Plain(), &Proxy()}) {
            ASSERT_TRUE(server->Available()) << "the testbed_https fixture did not start " << server->Root();
            server->Clear();
        }
        ASSERT_TRUE(Trusted().Serve("update/x.exe", m_file));
    }
    const std::string m_file = Bytes(1000);
    const std::string m_url = Trusted().Address() + "/update/x.exe";
};

// Without the prefix's trust in the test root the first row fails as the second does. Wine reports an
// unknown root as a failed revocation check.
TEST_F(HttpsTestBed, OnlyTheTrustedCertificateOpens) {
    const struct {
        const char* name;
        int host;
        DWORD wine; // the open's error
        DWORD windows;
    } rows[] = {
        {"tb_trusted", 29, 0, 0},
        {"tb_untrusted", 28, ERROR_INTERNET_SEC_CERT_REV_FAILED, ERROR_INTERNET_INVALID_CA},
        {"tb_expired", 27, ERROR_INTERNET_SEC_CERT_DATE_INVALID, ERROR_INTERNET_SEC_CERT_DATE_INVALID},
        {"tb_wrong_name", 26, ERROR_INTERNET_SEC_CERT_CN_INVALID, ERROR_INTERNET_SEC_CERT_CN_INVALID},
    };
    for (const auto& row : rows) {
        const HttpsTestServer server(row.name, row.host);
        server.Clear();
        server.Serve("update/x.exe", m_file);
        const Reply reply = Fetch(server.Address() + "/update/x.exe");
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(reply.openError == row.wine || reply.openError == row.windows) << reply.openError;
        EXPECT_EQ(reply.body, reply.openError ? "" : m_file);
        EXPECT_EQ(server.Activity().size(), reply.openError ? 0u : 1u);
    }
    EXPECT_EQ(Fetch(OtherPort().Address() + "/update/x.exe").status, 404u) << "https://HOST:PORT";
}

TEST_F(HttpsTestBed, RangesAndValidators) {
    const std::string etag = Fetch(m_url).etag;
    ASSERT_FALSE(etag.empty());
    const struct {
        std::string headers;
        DWORD status;
        size_t size;
        std::string contentRange;
        std::string activity;
    } rows[] = {
        {"", 200, 1000, "", "GET /update/x.exe"},
        {"Range: bytes=100-", 206, 900, "bytes 100-999/1000", "GET /update/x.exe range=bytes=100-"},
        {"Range: bytes=100-\r\nIf-Range: " + etag, 206, 900, "bytes 100-999/1000",
         "GET /update/x.exe range=bytes=100- ifrange=" + etag},
        {"Range: bytes=100-\r\nIf-Range: \"elsewhere\"", 200, 1000, "",
         "GET /update/x.exe range=bytes=100- ifrange=\"elsewhere\""},
        {"Range: bytes=1000-", 416, 0, "bytes */1000", "GET /update/x.exe range=bytes=1000-"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.headers);
        const Reply reply = Fetch(m_url, row.headers);
        EXPECT_EQ(reply.status, row.status);
        EXPECT_EQ(reply.body, m_file.substr(m_file.size() - row.size));
        EXPECT_EQ(reply.contentRange, row.contentRange);
        EXPECT_EQ(Trusted().Activity().back(), row.activity);
    }
}

// Wine ends a body cut short as if it were complete (InternetReadFile succeeds with 0 bytes), and follows a
// redirect to http:// unasked: a client has to count the bytes and refuse the redirect itself. Once a login
// succeeded, WinINet sends it to that host name (any port, http:// too) for the rest of the process: the
// login rows come last.
TEST_F(HttpsTestBed, FaultsAsTheClientSeesThem) {
    const std::string moved = "moved";
    const struct {
        const char* what;
        std::function<void()> set;
        std::string url;
        const char* headers;
        DWORD status;
        std::string body;
        std::string activity; // the server's last line, when it is not the request's own
    } rows[] = {
        {"cut", [] { Trusted().CutAfter("/update/x.exe", 300); }, m_url, "", 200, m_file.substr(0, 300), ""},
        {"stall", [] { Trusted().StallAfter("x.exe", 300, 1); }, m_url, "", 200, m_file.substr(0, 300), ""},
        {"longer announced", [] { Trusted().AnnounceLength("x.exe", 1500); }, m_url, "", 200, m_file, ""},
        {"shorter announced", [] { Trusted().AnnounceLength("x.exe", 500); }, m_url, "", 200,
         m_file.substr(0, 500), ""},
        {"status", [] { Trusted().AnswerStatus("x.exe", 503); }, m_url, "", 503, "", ""},
        {"no ranges", [] { Trusted().IgnoreRange("x.exe"); }, m_url, "Range: bytes=100-", 200, m_file, ""},
        {"wrong range", [] { Trusted().WrongContentRange("x.exe", 0); }, m_url, "Range: bytes=100-", 206,
         m_file, ""},
        {"redirect", [] { Trusted().Redirect("/moved/", OtherPort().Address() + "/update/"); },
         Trusted().Address() + "/moved/x.exe", "", 200, moved, "GET /moved/x.exe"},
        {"redirect to http", [] { Trusted().Redirect("x.exe", Plain().Address() + "/update/x.exe"); }, m_url,
         "", 200, moved, ""},
        {"login refused", [] { Trusted().RequireLogin("pm", "secret"); }, m_url, "", 401, "", ""},
        {"login", [] { Trusted().RequireLogin("pm", "secret"); },
         "https://pm:secret@" + Trusted().HostPort() + "/update/x.exe", "", 200, m_file,
         "GET /update/x.exe auth=pm:secret"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Trusted().Clear();
        Trusted().Serve("update/x.exe", m_file);
        OtherPort().Serve("update/x.exe", moved);
        Plain().Serve("update/x.exe", moved);
        row.set();
        const Reply reply = Fetch(row.url, row.headers);
        EXPECT_EQ(reply.openError, 0u);
        EXPECT_EQ(reply.status, row.status);
        EXPECT_EQ(reply.body.size(), row.body.size());
        EXPECT_EQ(reply.body, row.body);
        EXPECT_EQ(Trusted().Activity().back(),
                  row.activity.empty()
                      ? "GET /update/x.exe" + std::string(*row.headers ? " range=bytes=100-" : "")
                      : row.activity);
    }
}

TEST_F(HttpsTestBed, CountedFaultsLetTheNextRequestThrough) {
    Trusted().CutAfter("x.exe", 300, 1);
    EXPECT_EQ(Fetch(m_url).body.size(), 300u);
    EXPECT_EQ(Fetch(m_url, "Range: bytes=300-").body, m_file.substr(300));
    EXPECT_EQ(Trusted().Activity(),
              (std::vector<std::string>{"GET /update/x.exe", "GET /update/x.exe range=bytes=300-"}));
}

TEST_F(HttpsTestBed, ProxyTunnelsToTheTestNetworkOnly) {
    const std::string proxy = Proxy().HostPort();
    EXPECT_EQ(Fetch(m_url, "", proxy.c_str()).body, m_file);
    // Outside the test network (whichever /24 of the loopback range it is): refused, and WinINet hands
    // the proxy's answer on as the reply.
    const std::string outside =
        Trusted().HostPort().rfind("127.0.0.", 0) == 0 ? "127.0.1.1:9" : "127.0.0.1:9";
    EXPECT_EQ(Fetch("https://" + outside + "/update/x.exe", "", proxy.c_str()).status, 403u);
    EXPECT_EQ(Proxy().Activity(), (std::vector<std::string>{"CONNECT " + Trusted().HostPort(),
                                                            "CONNECT " + outside + " refused"}));
}

} // namespace
} // namespace pmtest
