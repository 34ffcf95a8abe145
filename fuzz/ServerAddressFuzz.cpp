// The "Server" setting: FTP hosts pass unchanged, an HTTPS address is a plain host and port that reads
// back the same when written out again, and nothing else gets through.
#include "FuzzCheck.h"
#include "core/AsciiCase.h"
#include "core/ServerAddress.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string value(reinterpret_cast<const char*>(data), size);
    const ServerAddress address = ParseServerAddress(value);
    switch (address.kind) {
    case ServerAddress::Kind::Ftp:
        FUZZ_CHECK(value.find("://") == std::string::npos && address.host == value && address.port == 0);
        break;
    case ServerAddress::Kind::Unsupported:
        FUZZ_CHECK(value.find("://") != std::string::npos && address.host.empty() && address.port == 0);
        break;
    case ServerAddress::Kind::Https: {
        FUZZ_CHECK(SameIgnoringAsciiCase(value.substr(0, 8), std::string("https://")));
        FUZZ_CHECK(!address.host.empty() && address.port != 0);
        for (unsigned char c : address.host)
            FUZZ_CHECK(c > 0x20 && c < 0x7F &&
                       std::string("/\\@?#%").find(static_cast<char>(c)) == std::string::npos);
        const ServerAddress again =
            ParseServerAddress("https://" + address.host + ":" + std::to_string(address.port));
        FUZZ_CHECK(again.kind == ServerAddress::Kind::Https && again.host == address.host &&
                   again.port == address.port);
        break;
    }
    }
    return 0;
}
