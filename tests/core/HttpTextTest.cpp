// The text of HTTP the channel writes and reads, and the record beside a part.
#include "core/HttpText.h"
#include "core/PartRecord.h"

#include <gtest/gtest.h>

TEST(HttpText, PathsAreEscapedAndTheAnswerToARangeMustFitExactly) {
    EXPECT_EQ(UrlPathSegment("261201-update.exe"), "261201-update.exe");
    EXPECT_EQ(UrlPathSegment("a b/%\x7F\xC3\xA9"), "a%20b%2F%25%7F%C3%A9");
    EXPECT_EQ(UrlFolderPath("update"), "/update/");
    EXPECT_EQ(UrlFolderPath("/my%20folder/a b/"), "/my%20folder/a%20b/");
    EXPECT_EQ(UrlFolderPath(""), "/");
    const struct {
        const char* range;
        std::uint64_t offset, size;
        bool fits;
    } ranges[] = {
        {"bytes 100-999/1000", 100, 1000, true},   {"bytes 0-999/1000", 0, 1000, true},
        {"bytes 101-999/1000", 100, 1000, false},  {"bytes 100-998/1000", 100, 1000, false},
        {"bytes 100-999/1001", 100, 1000, false},  {"bytes 100-999/*", 100, 1000, false},
        {"bytes */1000", 100, 1000, false},        {"bytes 100-999", 100, 1000, false},
        {"items 100-999/1000", 100, 1000, false},  {"bytes +100-999/1000", 100, 1000, false},
        {"bytes 100-999/1000 ", 100, 1000, false}, {"", 100, 1000, false},
    };
    for (const auto& r : ranges)
        EXPECT_EQ(ContentRangeFits(r.range, r.offset, r.size), r.fits) << r.range;
}

TEST(HttpText, ARedirectIsFollowedOverHttpsOnlyAndTheSignInStaysWithTheConfiguredServer) {
    const HttpsOrigin configured{"updates.example.com", 443};
    const HttpsOrigin cdn{"cdn.example.net", 8443};
    const std::string token = "?sig=" + std::string(2000, 'k');
    const struct {
        const char* what;
        std::string location;
        HttpsOrigin current;
        int hop;
        bool follow;
        HttpsOrigin origin;
        std::string path;
        bool signIn;
    } cases[] = {
        {"a path here", "/moved/x.exe", configured, 1, true, configured, "/moved/x.exe", true},
        {"a path on the server redirected to", "/x.exe", cdn, 2, true, cdn, "/x.exe", false},
        {"another host", "https://cdn.example.net:8443/x.exe", configured, 1, true, cdn, "/x.exe", false},
        {"the configured host in capitals", "HTTPS://UPDATES.Example.COM/x.exe", cdn, 2, true,
         HttpsOrigin{"UPDATES.Example.COM", 443}, "/x.exe", true},
        {"the configured host on another port", "https://updates.example.com:444/x", configured, 1, true,
         HttpsOrigin{"updates.example.com", 444}, "/x", false},
        {"a signed address of 2,000 bytes", "https://cdn.example.net:8443/x.exe" + token + "#frag",
         configured, 1, true, cdn, "/x.exe" + token, false},
        {"no path", "https://cdn.example.net:8443", configured, 1, true, cdn, "/", false},
        {"a query without a path", "https://cdn.example.net:8443?a=1", configured, 1, true, cdn, "/?a=1",
         false},
        {"the scheme of the request", "//cdn.example.net:8443/x", configured, 1, true, cdn, "/x", false},
        {"blanks and bytes no request line may carry", "/a b\x01\xC3\xA9\"<>\\^`{|}", configured, 1, true,
         configured, "/a%20b%01%C3%A9%22%3C%3E%5C%5E%60%7B%7C%7D", true},
        {"an IPv6 host", "https://[::1]:8443/x", configured, 1, true, HttpsOrigin{"[::1]", 8443}, "/x",
         false},
        {"the fifth in a row", "/x", configured, kMaxRedirects, true, configured, "/x", true},
        {"the sixth in a row", "/x", configured, kMaxRedirects + 1, false, {}, "", false},
        {"plain HTTP", "http://updates.example.com/x", configured, 1, false, {}, "", false},
        {"another scheme", "ftp://updates.example.com/x", configured, 1, false, {}, "", false},
        {"a relative path", "x.exe", configured, 1, false, {}, "", false},
        {"a user in the address", "https://user:pw@cdn.example.net/x", configured, 1, false, {}, "", false},
        {"no host", "https:///x", configured, 1, false, {}, "", false},
        {"an empty port", "https://cdn.example.net:/x", configured, 1, false, {}, "", false},
        {"a port that is none", "https://cdn.example.net:99999/x", configured, 1, false, {}, "", false},
        {"a host that is no name", "https://cdn example/x", configured, 1, false, {}, "", false},
        {"nothing", "", configured, 1, false, {}, "", false},
        {"longer than any header read",
         "/" + std::string(kMaxHeaderBytes, 'x'),
         configured,
         1,
         false,
         {},
         "",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RedirectStep step = NextRedirect(c.location, c.current, configured, c.hop);
        EXPECT_EQ(step.follow, c.follow);
        if (!c.follow)
            continue;
        EXPECT_EQ(step.origin.host, c.origin.host);
        EXPECT_EQ(step.origin.port, c.origin.port);
        EXPECT_EQ(step.path, c.path);
        EXPECT_EQ(step.signIn, c.signIn);
    }
    EXPECT_TRUE(SameHost("Updates.Example.com", "updates.example.COM"));
    EXPECT_FALSE(SameHost("updates.example.com", "updates.example.com."));
}

TEST(PartRecord, ThePartIsTakenUpOnlyForItsOwnEntryWithAValidatorThatCanBeSent) {
    const PartEntry entry{"261201-update.exe", 1000, "ab12"};
    const std::string record = PartRecordText(entry, "\"18c-3e8\"");
    EXPECT_EQ(record, "261201-update.exe|1000|ab12|\"18c-3e8\"");
    EXPECT_EQ(PartRecordValidator(record, entry), std::optional<std::string>("\"18c-3e8\""));
    EXPECT_EQ(PartRecordValidator(PartRecordText(PartEntry{"x.exe", 1, ""}, "v"), PartEntry{"x.exe", 1, ""}),
              std::optional<std::string>("v"));
    for (const std::string& other :
         {PartRecordText(PartEntry{"261201-update.exe", 1001, "ab12"}, "v"),
          PartRecordText(PartEntry{"261201-update.exe", 1000, "ab13"}, "v"),
          PartRecordText(PartEntry{"261201-UPDATE.exe", 1000, "ab12"}, "v"), PartRecordText(entry, ""),
          PartRecordText(entry, "v\r\nX-Injected: 1"), PartRecordText(entry, "v\x7F"), std::string()})
        EXPECT_EQ(PartRecordValidator(other, entry), std::nullopt) << other;
}
