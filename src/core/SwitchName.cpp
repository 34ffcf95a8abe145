#include "SwitchName.h"

#include "CodePageText.h"

bool IsSwitchNamed(const std::string& param, const std::string& name, const LeadByteTest& isLeadByte) {
    return SameIgnoringAsciiCase(param, name, isLeadByte);
}
