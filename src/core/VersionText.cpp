#include "VersionText.h"

namespace {
// The first parts of the four, from the highest.
std::string PartsText(std::uint64_t version, int parts) {
    std::string text;
    for (int shift = 48; shift >= 64 - 16 * parts; shift -= 16) {
        if (shift != 48)
            text += '.';
        text += std::to_string((version >> shift) & 0xFFFF);
    }
    return text;
}
} // namespace

std::string VersionText(std::uint64_t version) {
    return PartsText(version, 4);
}

std::string ThreePartVersionText(std::uint64_t version) {
    return PartsText(version, 3);
}

std::optional<std::uint64_t> ParseVersionText(const std::string& text) {
    std::uint64_t version = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.')
                return std::nullopt;
            ++at;
        }
        std::uint32_t value = 0;
        std::size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 6) {
            value = value * 10 + static_cast<std::uint32_t>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || digits > 5 || value > 0xFFFF)
            return std::nullopt;
        version = (version << 16) | value;
    }
    if (at != text.size())
        return std::nullopt;
    return version;
}
