// Values in the text of an ini file, found as the system's profile functions find them.
#pragma once

#include <optional>
#include <string>

// The value of key in the first section named section (between "[" and the last "]" of its line); none
// when that section has no line "key=...". Names are compared ignoring the case of ASCII letters and the
// blanks around them; the value loses the blanks around it and one pair of quotes enclosing it. Lines end
// with LF or CR LF; every other byte is taken as it is.
std::optional<std::string> IniValue(const std::string& text, const std::string& section,
                                    const std::string& key);
