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
