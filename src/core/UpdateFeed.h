// The update list an HTTPS server keeps beside its packages, and what it says.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr char kFeedFileName[] = "Pendlemark.feed";
// Its detached signature beside it, and the most of it that is read.
constexpr char kFeedSignatureName[] = "Pendlemark.feed.p7s";
constexpr std::size_t kMaxFeedSignatureBytes = 64 * 1024;
// A longer list is unreadable: reading may stop one byte past this.
constexpr std::size_t kMaxFeedBytes = 64 * 1024;

using Sha256 = std::array<std::uint8_t, 32>;

struct FeedEntry {
    std::string name;
    std::uint64_t size = 0;
    Sha256 sha256{};
    int rollout = 100; // the percentage of clients offered the package
};

struct UpdateFeed {
    std::uint64_t serial = 0;
    std::int64_t expires = 0;       // seconds since 1970-01-01 00:00:00 UTC
    std::vector<FeedEntry> entries; // in list order
};

// The list, lines ending in LF or CRLF (the last one may end without):
//     Pendlemark feed 1
//     serial 42
//     expires 2026-12-20T00:00:00Z
//     package 261208-update.exe 41234 <SHA-256 in 64 hex digits> [rollout 25]
// The first line is exactly the header, without blanks or a byte order mark. Then words are separated
// by spaces or tabs, blanks at either end of a line are ignored, and so are empty lines, lines whose
// first word starts with "#" and lines whose first word is none of the three above (for later
// versions). "serial" (up to 2^64-1) and "expires" (UTC, a real date and time, no leap second) come
// exactly once each. "package" gives a size above 0, the hash in either letter case and a rollout of
// 0 to 100 (100 without the word); a name that is no package name (IsPackageFileName) is left out,
// no name may come twice in any letter case, and a name holds ASCII only. Numbers are decimal digits only.
// Nothing at all is read from a list that breaks any of this: one longer than kMaxFeedBytes, one holding a
// control character other than a tab or a CR before LF, or a known line with a wrong word count, number, date
// or hash.
std::optional<UpdateFeed> ParseUpdateFeed(const std::string& text);
