// The update list: what a well-formed one says, and which lines make it unreadable or are left out.
#include "core/UpdateFeed.h"

#include <gtest/gtest.h>

namespace {
const std::string kHash(64, 'a');
const std::string kHead = "Pendlemark feed 1\nserial 1\nexpires 2030-01-01T00:00:00Z\n";
} // namespace

TEST(UpdateFeed, ReadsWhatTheListSays) {
    const std::string text = "Pendlemark feed 1\r\n"
                             "# test list\r\n"
                             "\r\n"
                             "  serial\t 42 \r\n"
                             "mirror https://elsewhere/ 3\r\n"
                             "package 261208-update.exe 41234 "
                             "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08\r\n"
                             "expires 2026-12-20T00:00:00Z\r\n"
                             "package 261201-update.exe 18446744073709551615 " +
                             kHash + " rollout 25";
    const std::optional<UpdateFeed> feed = ParseUpdateFeed(text);
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->serial, 42u);
    EXPECT_EQ(feed->expires, 1797724800);
    ASSERT_EQ(feed->entries.size(), 2u);
    EXPECT_EQ(feed->entries[0].name, "261208-update.exe");
    EXPECT_EQ(feed->entries[0].size, 41234u);
    EXPECT_EQ(feed->entries[0].sha256[0], 0x9F);
    EXPECT_EQ(feed->entries[0].sha256[31], 0x08);
    EXPECT_EQ(feed->entries[0].rollout, 100);
    EXPECT_EQ(feed->entries[1].size, ~0ULL);
    Sha256 aa;
    aa.fill(0xAA);
    EXPECT_EQ(feed->entries[1].sha256, aa);
    EXPECT_EQ(feed->entries[1].rollout, 25);
}

TEST(UpdateFeed, AnyFaultMakesTheListUnreadableForeignNamesAreLeftOut) {
    const std::string p = "package 050101-update.exe 1 " + kHash;
    const int bad = -1; // unreadable; otherwise the number of entries
    const struct {
        const char* what;
        std::string text;
        int entries;
    } cases[] = {
        {"head only", kHead, 0},
        {"last line without LF", kHead + p, 1},
        {"empty", "", bad},
        {"header only", "Pendlemark feed 1\n", bad},
        {"another version", "Pendlemark feed 2\nserial 1\nexpires 2030-01-01T00:00:00Z\n", bad},
        {"blank after the header", "Pendlemark feed 1 \nserial 1\nexpires 2030-01-01T00:00:00Z\n", bad},
        {"byte order mark", "\xEF\xBB\xBF" + kHead, bad},
        {"header not first", "\n" + kHead, bad},
        {"no serial", "Pendlemark feed 1\nexpires 2030-01-01T00:00:00Z\n", bad},
        {"no expiry", "Pendlemark feed 1\nserial 1\n", bad},
        {"serial twice", kHead + "serial 1\n", bad},
        {"expiry twice", kHead + "expires 2030-01-01T00:00:00Z\n", bad},
        {"serial too large", "Pendlemark feed 1\nserial 18446744073709551616\nexpires 2030-01-01T00:00:00Z\n",
         bad},
        {"serial signed", "Pendlemark feed 1\nserial +1\nexpires 2030-01-01T00:00:00Z\n", bad},
        {"serial with a comment", "Pendlemark feed 1\nserial 1 # x\nexpires 2030-01-01T00:00:00Z\n", bad},
        {"serial word in capitals is unknown", kHead + "SERIAL x\n", 0},
        {"comment, blanks, unknown words", kHead + "#serial\n \t\n  # x\npackages 1\nrollout x\n", 0},
        {"blanks and tabs around and between", kHead + "\t package  050101-update.exe\t1 " + kHash + " \n",
         1},
        {"CRLF", "Pendlemark feed 1\r\nserial 1\r\nexpires 2030-01-01T00:00:00Z\r\n" + p + "\r\n", 1},
        {"lone CR", kHead + p + "\r", bad},
        {"CR inside a line", kHead + "# a\rb\n", bad},
        {"NUL in a comment", kHead + std::string("# \0\n", 4), bad},
        {"other control character", kHead + "# \x1b\n", bad},
        {"DEL", kHead + "# \x7f\n", bad},
        {"bytes above ASCII in a comment", kHead + "# \xC3\xA4\xFF\n", 0},
        {"rollout 0 and 100",
         kHead + p + " rollout 0\npackage 050102-update.exe 1 " + kHash + " rollout 100\n", 2},
        {"size 0", kHead + "package 050101-update.exe 0 " + kHash + "\n", bad},
        {"size beyond 64 bits", kHead + "package 050101-update.exe 18446744073709551616 " + kHash + "\n",
         bad},
        {"size with a sign", kHead + "package 050101-update.exe +1 " + kHash + "\n", bad},
        {"hash short", kHead + "package 050101-update.exe 1 " + kHash.substr(1) + "\n", bad},
        {"hash long", kHead + p + "a\n", bad},
        {"hash not hex", kHead + "package 050101-update.exe 1 " + kHash.substr(1) + "g\n", bad},
        {"missing hash", kHead + "package 050101-update.exe 1\n", bad},
        {"word after the hash", kHead + p + " rollout\n", bad},
        {"rollout over 100", kHead + p + " rollout 101\n", bad},
        {"rollout negative", kHead + p + " rollout -1\n", bad},
        {"another word for rollout", kHead + p + " share 5\n", bad},
        {"words after rollout", kHead + p + " rollout 5 x\n", bad},
        {"names left out",
         kHead + "package 991231-update.cmd 1 " + kHash + "\npackage x-update.exe 1 " + kHash +
             "\npackage 050230-update.exe 1 " + kHash + "\npackage 050101-update.exe.txt 1 " + kHash + "\n" +
             p,
         1},
        {"a name left out must still be well-formed", kHead + "package 991231-update.cmd 0 " + kHash + "\n",
         bad},
        {"a name twice, in another case", kHead + p + "\npackage 050101-UPDATE.exe 2 " + kHash + "\n", bad},
        {"a left-out name twice", kHead + "package x 1 " + kHash + "\npackage X 1 " + kHash + "\n", bad},
        {"a name beyond ASCII", kHead + p + "\npackage 050102-\xD0\x81-update.exe 1 " + kHash + "\n", bad},
        {"a name Windows does not allow, left out", kHead + "package 050102-a?-update.exe 1 " + kHash + "\n",
         0},
        {"largest list", kHead + "#" + std::string(kMaxFeedBytes - kHead.size() - 1, 'x'), 0},
        {"one byte longer", kHead + "#" + std::string(kMaxFeedBytes - kHead.size(), 'x'), bad},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<UpdateFeed> feed = ParseUpdateFeed(c.text);
        ASSERT_EQ(feed.has_value(), c.entries != bad);
        if (feed) {
            EXPECT_EQ(feed->entries.size(), static_cast<std::size_t>(c.entries));
        }
    }
}

TEST(UpdateFeed, ExpiryIsARealUtcTimeInSeconds) {
    const struct {
        const char* text;
        std::optional<std::int64_t> seconds;
    } cases[] = {
        {"1970-01-01T00:00:00Z", 0},
        {"1969-12-31T23:59:59Z", -1},
        {"2000-03-01T00:00:00Z", 951868800},
        {"2024-02-29T23:59:59Z", 1709251199},
        {"0000-01-01T00:00:00Z", -62167219200},
        {"9999-12-31T23:59:59Z", 253402300799},
        {"2023-02-29T00:00:00Z", std::nullopt},
        {"2100-02-29T00:00:00Z", std::nullopt},
        {"2030-13-01T00:00:00Z", std::nullopt},
        {"2030-00-01T00:00:00Z", std::nullopt},
        {"2030-04-31T00:00:00Z", std::nullopt},
        {"2030-01-01T24:00:00Z", std::nullopt},
        {"2030-01-01T23:60:00Z", std::nullopt},
        {"2030-12-31T23:59:60Z", std::nullopt},
        {"2030-01-01T00:00:00z", std::nullopt},
        {"2030-01-01 00:00:00Z", std::nullopt},
        {"2030-01-01T00:00:00", std::nullopt},
        {"2030-01-01T00:00:00+00:00", std::nullopt},
        {"2030-1-01T00:00:00Z", std::nullopt},
        {"+030-01-01T00:00:00Z", std::nullopt},
        {"20300-01-01T00:00:00Z", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<UpdateFeed> feed =
            ParseUpdateFeed(std::string("Pendlemark feed 1\nserial 1\nexpires ") + c.text + "\n");
        ASSERT_EQ(feed.has_value(), c.seconds.has_value());
        if (feed) {
            EXPECT_EQ(feed->expires, *c.seconds);
        }
    }
}
