#include "HttpText.h"

#include "AsciiCase.h"
#include "IntegerText.h"
#include "ServerAddress.h"

#include <cstdio>
#include <cstring>
#include <optional>

namespace {
bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void AppendEscaped(std::string& text, unsigned char c) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", c);
    text += hex;
}

// What a request line may carry as it is: the rest of a path and query a server wrote is escaped, so
// that a blank or a control character can never end the line early.
std::string RequestTarget(const std::string& pathAndQuery) {
    std::string target;
    for (unsigned char c : pathAndQuery) {
        if (c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}", c))
            AppendEscaped(target, c);
        else
            target += static_cast<char>(c);
    }
    return target;
}
} // namespace

std::string UrlPathSegment(const std::string& name, const char* alsoKept) {
    std::string escaped;
    for (unsigned char c : name) {
        if (IsUnreserved(c) || (c != '\0' && std::strchr(alsoKept, c)))
            escaped += static_cast<char>(c);
        else
            AppendEscaped(escaped, c);
    }
    return escaped;
}

std::string UrlFolderPath(const std::string& folder) {
    std::string path = UrlPathSegment(folder, "/%!$&'()*+,;=:@");
    if (path.empty() || path.front() != '/')
        path.insert(path.begin(), '/');
    if (path.back() != '/')
        path += '/';
    return path;
}

bool ContentRangeFits(const std::string& range, std::uint64_t offset, std::uint64_t size) {
    const std::string prefix = "bytes ";
    const std::size_t dash = range.find('-');
    const std::size_t slash = range.find('/');
    if (range.compare(0, prefix.size(), prefix) != 0 || dash == std::string::npos ||
        slash == std::string::npos || slash < dash)
        return false;
    const auto first = DecimalValue(range.substr(prefix.size(), dash - prefix.size()));
    const auto last = DecimalValue(range.substr(dash + 1, slash - dash - 1));
    const auto total = DecimalValue(range.substr(slash + 1));
    return first && last && total && *first == offset && *last + 1 == size && *total == size;
}

bool SameHost(const std::string& a, const std::string& b) {
    return SameIgnoringAsciiCase(a, b);
}

RedirectStep NextRedirect(const std::string& location, const HttpsOrigin& current,
                          const HttpsOrigin& configured, int hop) {
    RedirectStep step;
    if (hop < 1 || hop > kMaxRedirects || location.empty() || location.size() > kMaxHeaderBytes)
        return step;
    std::string rest;
    if (location.compare(0, 2, "//") == 0) {
        rest = location.substr(2); // the scheme of the request: HTTPS
    } else if (location.front() == '/') {
        step.origin = current;
        rest = location;
    } else {
        const std::size_t separator = location.find("://");
        if (separator == std::string::npos ||
            !SameIgnoringAsciiCase(location.substr(0, separator), std::string("https")))
            return step;
        rest = location.substr(separator + 3);
    }
    std::size_t pathStart = 0;
    if (location.front() != '/' || location.compare(0, 2, "//") == 0) {
        pathStart = rest.find_first_of("/?#");
        const std::string authority = rest.substr(0, pathStart);
        // The same rules as the setting's own address: a plain host, an optional port, no user.
        const ServerAddress address = ParseServerAddress("https://" + authority);
        if (address.kind != ServerAddress::Kind::Https)
            return step;
        step.origin = HttpsOrigin{address.host, address.port};
        if (pathStart == std::string::npos)
            pathStart = rest.size();
    }
    std::string path = rest.substr(pathStart);
    path = path.substr(0, path.find('#')); // the fragment stays with the client
    if (path.empty() || path.front() != '/')
        path.insert(path.begin(), '/');
    step.path = RequestTarget(path);
    step.signIn = SameHost(step.origin.host, configured.host) && step.origin.port == configured.port;
    step.follow = true;
    return step;
}
