// Path composition on byte strings of a multi-byte code page, never longer than the platform's path
// buffer.
#pragma once

#include "LeadByteTest.h"

#include <cstddef>
#include <string>

// Longest path we build, in characters, without the terminator (fits a 260-character buffer).
constexpr std::size_t kMaxBuiltPath = 259;

// TRUE when the last character (not the trail byte of a double-byte one) is "\" or "/".
bool EndsWithSeparator(const std::string& path, const LeadByteTest& isLeadByte);

// directory + "\" (unless empty or already ending in a separator) + name; empty when too long.
std::string JoinPath(const std::string& directory, const std::string& name, const LeadByteTest& isLeadByte);

// Drive and directory of a full file path, ending in its last separator; empty when it has none.
std::string DirectoryOf(const std::string& path, const LeadByteTest& isLeadByte);
