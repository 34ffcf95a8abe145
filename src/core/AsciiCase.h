// Text compared as people type names: ASCII letters in either case are alike, every other unit must
// match exactly. And hex digits in either case, as thumbprints and digests are written.
#pragma once

#include <cstddef>

template <typename Char> Char AsciiLower(Char c) {
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c + (Char('a') - Char('A'))) : c;
}

template <typename Text> bool SameIgnoringAsciiCase(const Text& a, const Text& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

// 0 to 15 for a hex digit in either case, -1 for anything else.
inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
