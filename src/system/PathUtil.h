// Path composition in the ANSI code page, never longer than the platform's path buffer.
#pragma once

#include "core/PathJoin.h"
#include "framework/Afx.h"

static_assert(kMaxBuiltPath == MAX_PATH - 1, "built paths must fit a MAX_PATH buffer");

// The double-byte lead bytes of a code page, as the system knows them.
LeadByteTest LeadByteTestOf(UINT codePage);

// directory + "\" (unless empty or already ending in a separator) + name; empty when too long.
CString JoinPath(const CString& directory, const CString& name, UINT codePage = CP_ACP);

// Drive and directory of a full file path, ending in its last separator; empty when it has none.
CString DirectoryOf(const CString& path, UINT codePage = CP_ACP);
