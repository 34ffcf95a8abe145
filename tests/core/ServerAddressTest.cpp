// The "Server" setting: an FTP host exactly as before, or an HTTPS host and port and nothing more.
#include "core/ServerAddress.h"

#include <gtest/gtest.h>

TEST(ServerAddress, FtpAsBeforeHttpsHostAndPortOnly) {
    using K = ServerAddress::Kind;
    const struct {
        const char* value;
        K kind;
        const char* host;
        std::uint16_t port;
    } cases[] = {
        {"ftp.corvalis.com", K::Ftp, "ftp.corvalis.com", 0},
        {"", K::Ftp, "", 0},
        {" odd host:21/x?", K::Ftp, " odd host:21/x?", 0}, // FTP is not checked here, as before
        {"https://updates.corvalis.com", K::Https, "updates.corvalis.com", 443},
        {"HTTPS://Updates.Example_1.com:8443", K::Https, "Updates.Example_1.com", 8443},
        {"https://h:1", K::Https, "h", 1},
        {"https://h:65535", K::Https, "h", 65535},
        {"https://h:0443", K::Https, "h", 443},
        {"https://127.0.7.1/", K::Https, "127.0.7.1", 443},
        {"https://[::1]:8443/", K::Https, "[::1]", 8443},
        {"https://[::ffff:127.0.0.1]", K::Https, "[::ffff:127.0.0.1]", 443},
        {"http://h", K::Unsupported, "", 0},
        {"ftp://h", K::Unsupported, "", 0},
        {"file://h", K::Unsupported, "", 0},
        {"https ://h", K::Unsupported, "", 0},
        {"https://", K::Unsupported, "", 0},
        {"https:///", K::Unsupported, "", 0},
        {"https://h//", K::Unsupported, "", 0},
        {"https://h/update", K::Unsupported, "", 0},
        {"https://user@h", K::Unsupported, "", 0},
        {"https://h?x", K::Unsupported, "", 0},
        {"https://h#x", K::Unsupported, "", 0},
        {"https://h x", K::Unsupported, "", 0},
        {"https://h\t", K::Unsupported, "", 0},
        {"https://h\r\n", K::Unsupported, "", 0},
        {"https://h\\x", K::Unsupported, "", 0},
        {"https://h:", K::Unsupported, "", 0},
        {"https://h:0", K::Unsupported, "", 0},
        {"https://h:65536", K::Unsupported, "", 0},
        {"https://h:+443", K::Unsupported, "", 0},
        {"https://h:-1", K::Unsupported, "", 0},
        {"https://h:44 3", K::Unsupported, "", 0},
        {"https://h:443:443", K::Unsupported, "", 0},
        {"https://:443", K::Unsupported, "", 0},
        {"https://[::1", K::Unsupported, "", 0},
        {"https://[]", K::Unsupported, "", 0},
        {"https://[127.0.0.1]", K::Unsupported, "", 0},
        {"https://[1:2]", K::Unsupported, "", 0}, // one colon is no IPv6 address
        {"https://[fe80::1%1]", K::Unsupported, "", 0},
        {"https://::1", K::Unsupported, "", 0},
        {"https://b\xC3\xA4r.example", K::Unsupported, "", 0}, // the platform wants such names in ASCII form
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const ServerAddress address = ParseServerAddress(c.value);
        EXPECT_EQ(address.kind, c.kind);
        EXPECT_EQ(address.host, c.host);
        EXPECT_EQ(address.port, c.port);
    }
}
