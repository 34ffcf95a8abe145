// Thumbprint lists as administrators paste them, and the typos that must refuse every package.
#include "core/ThumbprintList.h"

#include <gtest/gtest.h>

namespace {
const std::string kA = "3f2a9c0b7d1e4f5a6b7c8d9e0f1a2b3c4d5e6f708192a3b4c5d6e7f8091a2b3c";
const std::string kB = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// "aa:bb:..." or "aa bb ..." from plain digits.
std::string Paired(const std::string& digits, char separator) {
    std::string text;
    for (size_t i = 0; i < digits.size(); i += 2) {
        if (i)
            text += separator;
        text += digits.substr(i, 2);
    }
    return text;
}

std::vector<std::string> Hex(const ThumbprintList& list) {
    std::vector<std::string> result;
    for (const Thumbprint& thumbprint : list.thumbprints)
        result.push_back(ThumbprintHex(thumbprint));
    return result;
}
} // namespace

TEST(ThumbprintList, AcceptedSpellings) {
    const struct {
        const char* what;
        std::string text;
        std::vector<std::string> expected;
    } cases[] = {
        {"one, lower case", kA, {kA}},
        {"one, upper case", Upper(kA), {kA}},
        {"colons between pairs", Paired(Upper(kA), ':'), {kA}},
        {"blanks between pairs", Paired(kA, ' '), {kA}},
        {"surrounding blanks and a tab", " \t" + kA + " \r\n", {kA}},
        {"semicolon", kA + ";" + kB, {kA, kB}},
        {"comma and blanks", kA + " , " + kB, {kA, kB}},
        {"blank", kA + " " + kB, {kA, kB}},
        {"trailing and doubled separators", kA + ";;" + kB + ";", {kA, kB}},
        {"mixed forms", Paired(kA, ':') + "; " + Paired(Upper(kB), ' '), {kA, kB}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ThumbprintList list = ParseThumbprintList(c.text);
        EXPECT_EQ(list.status, ThumbprintList::Status::Valid);
        EXPECT_EQ(Hex(list), c.expected);
    }
}

TEST(ThumbprintList, AnythingElseIsMalformedAndAllowsNothing) {
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"one digit short", kA.substr(1)},
        {"one digit more", kA + "0"},
        {"SHA-1 length", kA.substr(0, 40)},
        {"a non-hex digit", "g" + kA.substr(1)},
        {"second entry short", kA + ";" + kB.substr(2)},
        {"only separators", " ; , "},
        {"colon inside a pair", kA.substr(0, 1) + ":" + kA.substr(1)},
        {"colon alone", kA + " : " + kB},
        {"groups crossing a thumbprint", kA.substr(0, 60) + " " + kA.substr(60) + kB.substr(0, 2)},
        {"a dash", kA.substr(0, 32) + "-" + kA.substr(32)},
        {"a non-ASCII mark before it", "\xE2\x80\x8E" + kA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ThumbprintList list = ParseThumbprintList(c.text);
        EXPECT_EQ(list.status, ThumbprintList::Status::Malformed);
        EXPECT_TRUE(list.thumbprints.empty());
    }
    EXPECT_EQ(ParseThumbprintList("").status, ThumbprintList::Status::None);
}

TEST(ThumbprintList, OnlyAValidListAllowsAndOnlyItsOwnThumbprints) {
    ThumbprintList list = ParseThumbprintList(kA + ";" + kB);
    Thumbprint a = list.thumbprints.at(0);
    Thumbprint other = a;
    other[31] ^= 1;
    EXPECT_TRUE(list.Allows(a));
    EXPECT_FALSE(list.Allows(other));
    list.status = ThumbprintList::Status::Malformed;
    EXPECT_FALSE(list.Allows(a));
    EXPECT_FALSE(ParseThumbprintList("").Allows(a));
}
