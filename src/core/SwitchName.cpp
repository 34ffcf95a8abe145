#include "SwitchName.h"

namespace {
char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

bool IsSwitchNamed(const std::string& param, const std::string& name, const LeadByteTest& isLeadByte) {
    if (param.size() != name.size())
        return false;
    for (std::size_t i = 0; i < param.size(); ++i) {
        if (isLeadByte && isLeadByte(static_cast<unsigned char>(param[i])) && i + 1 < param.size()) {
            if (param.compare(i, 2, name, i, 2) != 0)
                return false;
            ++i;
        } else if (AsciiLower(param[i]) != AsciiLower(name[i])) {
            return false;
        }
    }
    return true;
}
