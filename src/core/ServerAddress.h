// The "Server" setting: an FTP host as it always was, or the address of an HTTPS server.
#pragma once

#include <cstdint>
#include <string>

struct ServerAddress {
    enum class Kind {
        Ftp,         // no "://": the whole text is the FTP host, unchecked, as it always was
        Https,       // https://HOST or https://HOST:PORT
        Unsupported, // another scheme, or an HTTPS address with more than a host and a port
    };
    Kind kind = Kind::Unsupported;
    std::string host;       // Https: a name or IPv4 address, or an IPv6 address in its brackets
    std::uint16_t port = 0; // Https: 443 unless given; 0 otherwise
};

// The scheme's letters may be in either case. After "https://" only a host of ASCII letters, digits,
// "-", "." and "_", or an IPv6 address in brackets (hex digits, ":" and ".", no zone), then optionally
// ":" and a port of 1 to 65535 in decimal digits, then optionally one "/". Anything else there (a path,
// a user, a query, a fragment, a blank, an empty port) makes the address unsupported, not guessed at.
ServerAddress ParseServerAddress(const std::string& value);
