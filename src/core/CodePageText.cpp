#include "CodePageText.h"

#include "AsciiCase.h"

namespace {
bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Longest UTF-8 character: a lead byte and three continuation bytes.
constexpr std::size_t kMaxUtf8Continuations = 3;
} // namespace

bool IsUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t continuations = 0;
        unsigned long value = lead;
        if (lead >= 0xF0 && lead <= 0xF4) {
            continuations = 3;
            value = lead & 0x07;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            continuations = 2;
            value = lead & 0x0F;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            continuations = 1;
            value = lead & 0x1F;
        } else if (lead >= 0x80) {
            return false; // a continuation byte astray, or a lead byte of no character
        }
        if (text.size() - i - 1 < continuations)
            return false;
        for (std::size_t k = 1; k <= continuations; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if (!IsContinuation(next))
                return false;
            value = (value << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values beyond Unicode's last.
        if ((continuations == 2 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
            (continuations == 3 && (value < 0x10000 || value > 0x10FFFF)))
            return false;
        i += 1 + continuations;
    }
    return true;
}

std::size_t FittingLength(const std::string& text, std::size_t maxBytes, const LeadByteTest& isLeadByte,
                          bool utf8) {
    if (text.size() <= maxBytes)
        return text.size();
    if (utf8) {
        // The cut lies between characters where the byte after it starts one.
        std::size_t cut = maxBytes;
        while (cut > 0 && maxBytes - cut < kMaxUtf8Continuations &&
               IsContinuation(static_cast<unsigned char>(text[cut])))
            --cut;
        return IsContinuation(static_cast<unsigned char>(text[cut])) ? maxBytes : cut;
    }
    std::size_t length = 0;
    while (length < text.size()) {
        const bool pair =
            isLeadByte && isLeadByte(static_cast<unsigned char>(text[length])) && length + 1 < text.size();
        const std::size_t next = length + (pair ? 2 : 1);
        if (next > maxBytes)
            break;
        length = next;
    }
    return length;
}

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b, const LeadByteTest& isLeadByte) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (isLeadByte && isLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            if (a.compare(i, 2, b, i, 2) != 0)
                return false;
            ++i;
        } else if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}
