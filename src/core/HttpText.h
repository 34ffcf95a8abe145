// The text of HTTP that the HTTPS channel writes and reads: paths of URLs, the answer to a range request,
// and where a redirect sends a request.
#pragma once

#include <cstdint>
#include <string>

// A name as one segment of a URL path: every byte but letters, digits and "-._~" (and those of alsoKept)
// escaped as %XX.
std::string UrlPathSegment(const std::string& name, const char* alsoKept = "");
// A server folder as a URL path, "/" at both ends; what an administrator escaped stays escaped.
std::string UrlFolderPath(const std::string& folder);

// "bytes FIRST-LAST/TOTAL" exactly as a resumed transfer of the rest of size bytes from offset needs it.
bool ContentRangeFits(const std::string& range, std::uint64_t offset, std::uint64_t size);

// Host names as hosts compare them: ASCII letters in either case are alike.
bool SameHost(const std::string& a, const std::string& b);

struct HttpsOrigin {
    std::string host; // a name or IPv4 address, or an IPv6 address in its brackets
    std::uint16_t port = 443;
};

// A redirect is followed over HTTPS only, at most this many in a row.
constexpr int kMaxRedirects = 5;

struct RedirectStep {
    bool follow = false;
    HttpsOrigin origin;  // where the next request goes
    std::string path;    // and what it asks for: the path and query, escaped, never the fragment
    bool signIn = false; // the next request goes to the configured server, which alone gets the sign-in
};

// Where the Location of a redirect sends the next request. current is the server that answered,
// configured the one of the setting, hop the number of this redirect in a row (1 for the first). An
// absolute path stays with the current server; "//HOST..." and "https://HOST..." go to that host (the
// port 443 unless given). Not followed: another scheme, a relative path, a user or password in the
// address, a host that is no plain name or bracketed IPv6 address, a port that is none, an empty or
// overlong address, and more than kMaxRedirects redirects.
RedirectStep NextRedirect(const std::string& location, const HttpsOrigin& current,
                          const HttpsOrigin& configured, int hop);

// The most of any header that is read; a longer one reads as none.
constexpr std::size_t kMaxHeaderBytes = 16 * 1024;
