// Whatever a server writes in a Location or a Content-Range, and whatever a part record holds: a redirect
// followed stays on HTTPS, asks for a path a request line can carry and signs in only at the configured
// server; a range fits only as exactly as asked; a validator sent back carries no control character.
#include "FuzzCheck.h"
#include "core/HttpText.h"
#include "core/PartRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const int hop = input.Byte() % (kMaxRedirects + 2);
    const std::string location = input.Until('\n');
    const HttpsOrigin configured{"updates.example.com", 443};
    const HttpsOrigin current{input.Byte() & 1 ? "cdn.example.net" : "updates.example.com", 443};
    const RedirectStep step = NextRedirect(location, current, configured, hop);
    if (step.follow) {
        FUZZ_CHECK(hop >= 1 && hop <= kMaxRedirects);
        FUZZ_CHECK(!step.origin.host.empty() && step.origin.port != 0);
        FUZZ_CHECK(!step.path.empty() && step.path.front() == '/');
        for (unsigned char c : step.path)
            FUZZ_CHECK(c > 0x20 && c < 0x7F && c != '#');
        FUZZ_CHECK(step.signIn == (SameHost(step.origin.host, configured.host) && step.origin.port == 443));
        FUZZ_CHECK(location.find("://") == std::string::npos || location.compare(0, 1, "/") == 0 ||
                   SameHost(location.substr(0, location.find("://")), "https"));
    }

    const std::string range = input.Until('\n');
    const std::uint64_t offset = input.Number<std::uint32_t>();
    const std::uint64_t total = input.Number<std::uint32_t>();
    if (ContentRangeFits(range, offset, total)) {
        FUZZ_CHECK(total >= 1 && range.compare(0, 6, "bytes ") == 0);
        FUZZ_CHECK(range.find_first_not_of("0123456789-/", 6) == std::string::npos);
    }

    const PartEntry entry{input.Until('|'), input.Number<std::uint16_t>(), input.Until('|')};
    const std::string record = input.Rest();
    if (const std::optional<std::string> validator = PartRecordValidator(record, entry)) {
        FUZZ_CHECK(!validator->empty() && PartRecordText(entry, *validator) == record);
        for (unsigned char c : *validator)
            FUZZ_CHECK(c >= 0x20 && c != 0x7F);
    }
    return 0;
}
