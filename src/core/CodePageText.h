// Byte text of a code page, UTF-8 or one whose double-byte characters start with a lead byte: where
// its characters end, and text compared as people type names.
#pragma once

#include "LeadByteTest.h"

#include <cstddef>
#include <string>

// Well-formed UTF-8: every lead byte with its continuation bytes and none astray, no overlong form, no
// surrogate, nothing above U+10FFFF.
bool IsUtf8(const std::string& text);

// Length of the longest start of text that has at most maxBytes and cuts no character in half: in UTF-8
// (utf8) none of its continuation bytes is left behind, otherwise no trail byte. Bytes that are no UTF-8
// character are cut anywhere.
std::size_t FittingLength(const std::string& text, std::size_t maxBytes, const LeadByteTest& isLeadByte,
                          bool utf8);

// The same text but for the case of ASCII letters. The bytes of a double-byte character match exactly
// (a trail byte is no letter), and so do those of UTF-8 characters, none of which is ASCII.
bool SameIgnoringAsciiCase(const std::string& a, const std::string& b, const LeadByteTest& isLeadByte);
