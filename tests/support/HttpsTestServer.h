// The Windows side of a test HTTPS server (or CONNECT proxy) started by a CTest fixture:
// pm_add_https_server and pm_add_connect_proxy in tests/CMakeLists.txt, tests/support/https_server.py.
// Activity(): each request as the server received it, "GET /update/x.exe range=bytes=100- ifrange=...
// auth=user:pw" (a proxy: "CONNECT 127.0.6.20:443", with " refused" after one it did not tunnel).
#pragma once

#include "ServerFolder.h"

#include <string>

namespace pmtest {

class HttpsTestServer : public ServerFolder {
  public:
    // name: the server's state folder under <build>/https; host: its number on $PM_TEST_NET; port: the
    // one given to its fixture, 0 for the scheme's own; plain: an http:// server (PLAIN).
    HttpsTestServer(const char* name, int host, int port = 0, bool plain = false);

    // "https://127.0.6.20" or "https://127.0.6.20:8443", as the Server setting names it.
    const std::string& Address() const { return m_address; }
    // "127.0.6.20:443": the target a proxy is asked to tunnel to, or a proxy's own ProxyServer value.
    const std::string& HostPort() const { return m_hostPort; }

    // The User-Agent of each request, in the order of Activity().
    std::vector<std::string> Agents() const { return Record("agents.txt"); }

    // Faults, each for `times` requests of the path (0: every one). path: a URL path ("/update/x.exe"),
    // or a file name in any folder. See https_server.py.
    bool CutAfter(const std::string& path, long long bytes, int times = 0) const;
    bool StallAfter(const std::string& path, long long bytes, int seconds, int times = 0) const;
    // Silent: no answer at all to a request of path, or no TLS handshake on a new connection.
    bool Hang(const std::string& path, int seconds, int times = 0) const;
    bool Mute(int seconds, int times = 0) const;
    bool AnnounceLength(const std::string& path, long long length, int times = 0) const;
    bool AnswerStatus(const std::string& path, int code, int times = 0) const;
    // A path ending in "/" redirects every path below it, the rest appended to url.
    bool Redirect(const std::string& path, const std::string& url, int times = 0, int code = 302) const;
    // The body at that pace, a quarter of a second's bytes at a time.
    bool SendSlowly(const std::string& path, int bytesPerSecond, int times = 0) const;
    bool IgnoreRange(const std::string& path, int times = 0) const;
    // A Range is answered with the 206 of "bytes=<start>-" instead.
    bool WrongContentRange(const std::string& path, long long start, int times = 0) const;
    // Every request without these Basic credentials gets 401.
    bool RequireLogin(const std::string& user, const std::string& password) const;

  private:
    bool AddFault(const std::string& line, int times) const;

    std::string m_address;
    std::string m_hostPort;
};

} // namespace pmtest
