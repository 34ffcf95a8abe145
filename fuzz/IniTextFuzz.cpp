// Values of an ini file's text: one line's value, without blanks around it, and the first section of
// a name wins. Input: the section, a zero byte, the key, a zero byte, the text.
#include "FuzzCheck.h"
#include "core/IniText.h"

namespace {
bool PlainName(const std::string& name, const char* forbidden) {
    return !name.empty() && name.find_first_of(forbidden) == std::string::npos && name.front() != '[' &&
           name.front() > ' ' && name.back() > ' ';
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string section = input.Until('\0');
    const std::string key = input.Until('\0');
    const std::string text = input.Rest();

    if (const std::optional<std::string> value = IniValue(text, section, key))
        FUZZ_CHECK(value->find('\n') == std::string::npos && text.find(*value) != std::string::npos);
    if (PlainName(section, "]\r\n\x1a") && PlainName(key, "=\r\n\x1a"))
        FUZZ_CHECK(IniValue("[" + section + "]\n" + key + " = \"v\" \n" + text, section, key) ==
                   std::string("v"));
    return 0;
}
