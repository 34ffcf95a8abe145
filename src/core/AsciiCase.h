// Text compared as people type names: ASCII letters in either case are alike, every other unit must
// match exactly.
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
