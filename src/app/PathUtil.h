// Path composition in the ANSI code page, never longer than the platform's path buffer.
#pragma once

#include "framework/Afx.h"

// Longest path we build, in characters, without the terminator (fits a MAX_PATH buffer).
constexpr size_t kMaxBuiltPath = MAX_PATH - 1;

// TRUE when the last character (not the trail byte of a double-byte one) is "\" or "/".
bool EndsWithSeparator(const CString& path, UINT codePage = CP_ACP);

// directory + "\" (unless empty or already ending in a separator) + name; empty when too long.
CString JoinPath(const CString& directory, const CString& name, UINT codePage = CP_ACP);

// Drive and directory of a full file path, ending in its last separator; empty when it has none.
CString DirectoryOf(const CString& path, UINT codePage = CP_ACP);
