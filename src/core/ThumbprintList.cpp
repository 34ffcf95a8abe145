#include "ThumbprintList.h"

#include "AsciiCase.h"

#include <algorithm>

namespace {
constexpr std::size_t kDigits = 64;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsListSeparator(char c) {
    return c == ';' || c == ',';
}

// One thumbprint from exactly 64 digits.
Thumbprint FromDigits(const std::string& digits) {
    Thumbprint result{};
    for (std::size_t i = 0; i < result.size(); ++i)
        result[i] =
            static_cast<std::uint8_t>(HexDigitValue(digits[2 * i]) * 16 + HexDigitValue(digits[2 * i + 1]));
    return result;
}

ThumbprintList Malformed() {
    ThumbprintList list;
    list.status = ThumbprintList::Status::Malformed;
    return list;
}
} // namespace

bool ThumbprintList::Allows(const Thumbprint& thumbprint) const {
    return status == Status::Valid &&
           std::find(thumbprints.begin(), thumbprints.end(), thumbprint) != thumbprints.end();
}

ThumbprintList ParseThumbprintList(const std::string& text) {
    ThumbprintList list;
    if (text.empty())
        return list;
    // Blanks both separate thumbprints and split one into groups ("AB CD ..." as Windows shows it):
    // digits gather across groups until there are 64, and a group that would cross that boundary,
    // or a list entry that ends short of it, makes the whole pin malformed.
    std::string digits;
    bool inGroup = false;
    bool groupHasDigit = false;
    auto endGroup = [&]() -> bool {
        if (inGroup && !groupHasDigit)
            return false; // a group of colons only
        inGroup = false;
        groupHasDigit = false;
        if (digits.size() == kDigits) {
            list.thumbprints.push_back(FromDigits(digits));
            digits.clear();
        }
        return digits.size() < kDigits;
    };
    for (char c : text) {
        if (IsBlank(c)) {
            if (!endGroup())
                return Malformed();
        } else if (IsListSeparator(c)) {
            if (!endGroup() || !digits.empty())
                return Malformed();
        } else if (c == ':') {
            // Only between digit pairs.
            if (!groupHasDigit || digits.size() % 2 != 0)
                return Malformed();
            inGroup = true;
        } else if (HexDigitValue(c) >= 0) {
            digits += c;
            inGroup = true;
            groupHasDigit = true;
            if (digits.size() > kDigits)
                return Malformed();
        } else {
            return Malformed();
        }
    }
    if (!endGroup() || !digits.empty() || list.thumbprints.empty())
        return Malformed();
    list.status = ThumbprintList::Status::Valid;
    return list;
}

std::string ThumbprintHex(const Thumbprint& thumbprint) {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : thumbprint) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}
