#include "UpdateFeed.h"

#include "AsciiCase.h"
#include "CalendarDate.h"
#include "IntegerText.h"
#include "PackageName.h"

#include <limits>
#include <set>

namespace {
constexpr char kHeader[] = "Pendlemark feed 1";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool ParseSha256(const std::string& text, Sha256& hash) {
    if (text.size() != 2 * hash.size())
        return false;
    for (std::size_t i = 0; i < hash.size(); ++i) {
        const int high = HexDigitValue(text[2 * i]);
        const int low = HexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        hash[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

// YYYY-MM-DDTHH:MM:SSZ, nothing else.
bool ParseUtcTime(const std::string& text, std::int64_t& seconds) {
    static const char kPattern[] = "0000-00-00T00:00:00Z";
    if (text.size() != sizeof kPattern - 1)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digitWanted = kPattern[i] == '0';
        if (digitWanted ? (text[i] < '0' || text[i] > '9') : text[i] != kPattern[i])
            return false;
    }
    auto number = [&](std::size_t at, std::size_t digits) {
        int value = 0;
        for (std::size_t i = at; i < at + digits; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (!IsCalendarDate(year, month, day) || hour > 23 || minute > 59 || second > 59)
        return false;
    seconds = DaysSince1970(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

// Names are compared for duplicates by their ASCII case only: a name beyond ASCII could be one file on
// Windows under two spellings.
bool IsAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

bool HasOnlyLineControls(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F)
            return false;
    }
    return true;
}

bool ParsePackage(const std::vector<std::string>& words, FeedEntry& entry) {
    if (words.size() != 4 && !(words.size() == 6 && words[4] == "rollout"))
        return false;
    std::uint64_t rollout = 100;
    entry.name = words[1];
    if (!ParseDecimal(words[2], std::numeric_limits<std::uint64_t>::max(), entry.size) || entry.size == 0 ||
        !ParseSha256(words[3], entry.sha256) || (words.size() == 6 && !ParseDecimal(words[5], 100, rollout)))
        return false;
    entry.rollout = static_cast<int>(rollout);
    return true;
}
} // namespace

std::optional<UpdateFeed> ParseUpdateFeed(const std::string& text) {
    if (text.size() > kMaxFeedBytes || !HasOnlyLineControls(text))
        return std::nullopt;
    UpdateFeed feed;
    bool header = false, serial = false, expires = false;
    // Lower-case names, of every package line: the platform's file names ignore case.
    std::set<std::string> names;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!header) {
            if (line != kHeader)
                return std::nullopt;
            header = true;
            continue;
        }
        const std::vector<std::string> words = Words(line);
        if (words.empty() || words[0][0] == '#')
            continue;
        if (words[0] == "serial") {
            if (serial || words.size() != 2 ||
                !ParseDecimal(words[1], std::numeric_limits<std::uint64_t>::max(), feed.serial))
                return std::nullopt;
            serial = true;
        } else if (words[0] == "expires") {
            if (expires || words.size() != 2 || !ParseUtcTime(words[1], feed.expires))
                return std::nullopt;
            expires = true;
        } else if (words[0] == "package") {
            FeedEntry entry;
            if (!ParsePackage(words, entry) || !IsAscii(entry.name))
                return std::nullopt;
            std::string folded = entry.name;
            for (char& c : folded)
                c = AsciiLower(c);
            if (!names.insert(folded).second)
                return std::nullopt;
            // Listed but not offered: the name is none a listing would take either.
            if (IsPackageFileName(entry.name))
                feed.entries.push_back(std::move(entry));
        }
    }
    if (!header || !serial || !expires)
        return std::nullopt;
    return feed;
}
