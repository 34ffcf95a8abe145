#include "ServerAddress.h"

#include "AsciiCase.h"

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHostNameCharacter(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '.' || c == '_';
}

bool IsIpv6Character(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

// The host's length, from the start of the authority; 0 when it has none.
std::size_t HostLength(const std::string& authority) {
    if (!authority.empty() && authority[0] == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string::npos)
            return 0;
        int colons = 0;
        for (std::size_t i = 1; i < close; ++i) {
            if (!IsIpv6Character(authority[i]))
                return 0;
            colons += authority[i] == ':';
        }
        // "::" at the least; a zone ("%") is refused, as a URL cannot carry it plainly.
        return colons >= 2 ? close + 1 : 0;
    }
    std::size_t length = 0;
    while (length < authority.size() && IsHostNameCharacter(authority[length]))
        ++length;
    return length;
}

bool ParsePort(const std::string& digits, std::uint16_t& port) {
    if (digits.empty())
        return false;
    unsigned long value = 0;
    for (char c : digits) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > 65535)
            return false;
    }
    if (value == 0)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}
} // namespace

ServerAddress ParseServerAddress(const std::string& value) {
    ServerAddress address;
    const std::size_t separator = value.find("://");
    if (separator == std::string::npos) {
        address.kind = ServerAddress::Kind::Ftp;
        address.host = value;
        return address;
    }
    if (!SameIgnoringAsciiCase(value.substr(0, separator), std::string("https")))
        return address;
    std::string authority = value.substr(separator + 3);
    if (!authority.empty() && authority.back() == '/')
        authority.pop_back();
    const std::size_t hostLength = HostLength(authority);
    if (hostLength == 0)
        return address;
    std::uint16_t port = 443;
    if (hostLength < authority.size() &&
        (authority[hostLength] != ':' || !ParsePort(authority.substr(hostLength + 1), port)))
        return address;
    address.kind = ServerAddress::Kind::Https;
    address.host = authority.substr(0, hostLength);
    address.port = port;
    return address;
}
