#include "IniText.h"

#include "AsciiCase.h"

namespace {
const char kBlanks[] = " \t\r\v\f\x1a";

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}
} // namespace

std::optional<std::string> IniValue(const std::string& text, const std::string& section,
                                    const std::string& key) {
    bool inSection = false;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        const std::size_t close = line.rfind(']');
        if (!line.empty() && line[0] == '[' && close != std::string::npos) {
            // Only the first section of that name counts: the key is not looked for in a later one.
            if (inSection)
                return std::nullopt;
            inSection = SameIgnoringAsciiCase(Trimmed(line.substr(1, close - 1)), section);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos ||
            !SameIgnoringAsciiCase(Trimmed(line.substr(0, equals)), key))
            continue;
        std::string value = Trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}
