#include "PathUtil.h"

namespace {
// Offset of the last character of text, stepping over double-byte characters; npos when empty.
size_t LastCharOffset(const CString& text, UINT codePage, char wanted1 = 0, char wanted2 = 0,
                      size_t* lastWanted = nullptr) {
    size_t last = CString::npos;
    for (size_t i = 0; i < text.size();) {
        last = i;
        if (::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[i])) && i + 1 < text.size()) {
            i += 2;
            continue;
        }
        if (lastWanted && (text[i] == wanted1 || text[i] == wanted2))
            *lastWanted = i;
        ++i;
    }
    return last;
}
} // namespace

bool EndsWithSeparator(const CString& path, UINT codePage) {
    size_t last = LastCharOffset(path, codePage);
    if (last == CString::npos || last + 1 != path.size())
        return false; // empty, or the last character is double-byte
    return path[last] == '\\' || path[last] == '/';
}

CString JoinPath(const CString& directory, const CString& name, UINT codePage) {
    CString result = directory;
    if (!directory.empty() && !EndsWithSeparator(directory, codePage))
        result += '\\';
    result += name;
    return result.size() > kMaxBuiltPath ? CString() : result;
}

CString DirectoryOf(const CString& path, UINT codePage) {
    size_t separator = CString::npos;
    LastCharOffset(path, codePage, '\\', '/', &separator);
    if (separator == CString::npos) {
        // A bare drive ("C:name") keeps its drive.
        return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : CString();
    }
    return path.substr(0, separator + 1);
}
