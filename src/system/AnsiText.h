// Text in the program's ANSI code page. The manifest declares UTF-8, which Windows 10 version 1903 and
// later give the program, so that a name in any script reaches it whole; an older system ignores the
// declaration and gives the system's own code page, single or double-byte.
#pragma once

#include "core/CodePageText.h"
#include "framework/Afx.h"

// The code page is UTF-8 (CP_ACP: this program's).
bool IsUtf8CodePage(UINT codePage = CP_ACP);

// The longest start of text that has at most maxBytes and cuts no character in half.
CString FitText(const CString& text, std::size_t maxBytes, UINT codePage = CP_ACP);

// The same text but for the case of ASCII letters; no other letter is folded.
bool SameTextIgnoringAsciiCase(const CString& a, const CString& b, UINT codePage = CP_ACP);

// Text in the system's own code page, the one programs without the declaration are given, in this
// program's; empty when it cannot be converted.
CString FromSystemCodePage(const std::string& text);

// The ASCII parsers' view of UTF-16 text (of the registry, of a version resource): anything else cannot be
// part of what they accept, and reads as "?".
template <class Text> std::string AsciiOf(const Text& text) {
    std::string narrow;
    for (auto c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}
// Names as the platform compares registry value names and product names: in any letter case.
bool SameNameIgnoringCase(const std::u16string& a, const std::u16string& b);
