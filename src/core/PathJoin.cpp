#include "PathJoin.h"

namespace {
// Offset of the last character of text, stepping over double-byte characters; npos when empty.
std::size_t LastCharOffset(const std::string& text, const LeadByteTest& isLeadByte, char wanted1 = 0,
                           char wanted2 = 0, std::size_t* lastWanted = nullptr) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < text.size();) {
        last = i;
        if (isLeadByte && isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
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

bool EndsWithSeparator(const std::string& path, const LeadByteTest& isLeadByte) {
    std::size_t last = LastCharOffset(path, isLeadByte);
    if (last == std::string::npos || last + 1 != path.size())
        return false; // empty, or the last character is double-byte
    return path[last] == '\\' || path[last] == '/';
}

std::string JoinPath(const std::string& directory, const std::string& name, const LeadByteTest& isLeadByte) {
    std::string result = directory;
    if (!directory.empty() && !EndsWithSeparator(directory, isLeadByte))
        result += '\\';
    result += name;
    return result.size() > kMaxBuiltPath ? std::string() : result;
}

std::string DirectoryOf(const std::string& path, const LeadByteTest& isLeadByte) {
    std::size_t separator = std::string::npos;
    LastCharOffset(path, isLeadByte, '\\', '/', &separator);
    if (separator == std::string::npos) {
        // A bare drive ("C:name") keeps its drive.
        return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string();
    }
    return path.substr(0, separator + 1);
}
