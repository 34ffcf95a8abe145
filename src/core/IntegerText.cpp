#include "IntegerText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

bool ParseIntegerText(const char* text, int& value) {
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(p, &end, 10);
    if (end == p || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0')
        return false;
    value = static_cast<int>(parsed);
    return true;
}

std::string FormatString2(const std::string& pattern, const std::string& first, const std::string& second) {
    std::string result;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == '1' || pattern[i + 1] == '2')) {
            result += pattern[i + 1] == '1' ? first : second;
            ++i;
        } else {
            result += pattern[i];
        }
    }
    return result;
}

bool ParseDecimal(const std::string& text, std::uint64_t max, std::uint64_t& value) {
    if (text.empty())
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (max - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

std::optional<std::uint64_t> DecimalValue(const std::string& text) {
    std::uint64_t value = 0;
    return ParseDecimal(text, UINT64_MAX, value) ? std::optional<std::uint64_t>(value) : std::nullopt;
}
