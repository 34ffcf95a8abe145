// Command-line switch names, compared as people type them.
#pragma once

#include "LeadByteTest.h"

#include <string>

// TRUE when the parameter (without its "/" or "-") is the switch name, ignoring the case of ASCII
// letters. A double-byte character must match byte for byte: its trail byte is never a letter.
bool IsSwitchNamed(const std::string& param, const std::string& name, const LeadByteTest& isLeadByte);
