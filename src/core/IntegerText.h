// Integers as a dialog's data exchange reads and reports them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Parses a whole decimal integer: blanks around, one sign; false for anything else or out of range.
bool ParseIntegerText(const char* text, int& value);

// Decimal digits only, no sign or blank, at most max; false for anything else.
bool ParseDecimal(const std::string& text, std::uint64_t max, std::uint64_t& value);
// The same up to the largest 64-bit number; none for anything else.
std::optional<std::uint64_t> DecimalValue(const std::string& text);

// pattern with %1 and %2 replaced, as the framework's message formatting does.
std::string FormatString2(const std::string& pattern, const std::string& first, const std::string& second);
